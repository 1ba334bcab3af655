#pragma once
// Remembered playback positions per movie.
#include <map>
#include <mutex>
#include <string>

class history {
  public:
    // Remembered position of `movie` in whole seconds, 0 when none.
    int get(const std::string& movie);
    void add(const std::string& movie, int position);

  private:
    std::mutex mutex_;
    std::map<std::string, int> positions_;
};

extern history history1;
