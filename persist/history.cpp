#include "persist/history.h"

// In-memory positions; the file-backed history replaces this.
history history1;

int history::get(const std::string& movie) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = positions_.find(movie);
    return it == positions_.end() ? 0 : it->second;
}

void history::add(const std::string& movie, int position) {
    std::lock_guard<std::mutex> lock(mutex_);
    positions_[movie] = position;
}
