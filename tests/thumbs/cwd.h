#pragma once
// Runs a test in another working directory (the player writes its screenshots there).
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

class Cwd {
  public:
    explicit Cwd(const std::string& dir) {
        char buffer[4096];
        old_ = getcwd(buffer, sizeof(buffer)) != nullptr ? buffer : "/";
        EXPECT_EQ(chdir(dir.c_str()), 0);
    }
    ~Cwd() { EXPECT_EQ(chdir(old_.c_str()), 0); }
    Cwd(const Cwd&) = delete;
    Cwd& operator=(const Cwd&) = delete;

  private:
    std::string old_;
};
