#include "tools/unrar/passwordintake.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace {
constexpr size_t kMaxPassword = 4096;
constexpr int kReadLimitMs = 10000;

bool ReadPassword(int fd, std::string* password, std::string* error) {
    std::string text;
    while (true) {
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, kReadLimitMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            *error = "no password arrived on descriptor " + std::to_string(fd);
            return false;
        }
        char chunk[512];
        ssize_t n = ready < 0 ? -1 : read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = "cannot read the password from descriptor " + std::to_string(fd) + ": " +
                     std::strerror(errno);
            return false;
        }
        if (n == 0)
            break;
        text.append(chunk, size_t(n));
        if (text.size() > kMaxPassword + 2) {
            *error = "the password on descriptor " + std::to_string(fd) + " is too long";
            return false;
        }
    }
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    if (text.size() > kMaxPassword) {
        *error = "the password on descriptor " + std::to_string(fd) + " is too long";
        return false;
    }
    *password = text;
    return true;
}
} // namespace

bool TakePasswordFromEnvironment(std::string* password, std::string* error) {
    password->clear();
    const char* fdText = std::getenv(kPasswordFdVariable);
    const char* value = std::getenv(kPasswordVariable);
    std::string fdWord = fdText != nullptr ? fdText : "";
    std::string given = value != nullptr ? value : "";
    unsetenv(kPasswordFdVariable);
    unsetenv(kPasswordVariable);
    if (fdText == nullptr) {
        *password = given;
        return true;
    }
    if (fdWord.empty() || fdWord.size() > 9 ||
        fdWord.find_first_not_of("0123456789") != std::string::npos) {
        *error =
            std::string(kPasswordFdVariable) + " must name a descriptor, not \"" + fdWord + "\"";
        return false;
    }
    int fd = std::atoi(fdWord.c_str());
    bool ok = ReadPassword(fd, password, error);
    close(fd);
    return ok;
}
