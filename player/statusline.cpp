#include "player/statusline.h"

#include <climits>

namespace {
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// One "%d" conversion as sscanf does it: blanks skipped, an optional sign, one or more digits.
bool ScanInt(const char*& p, long long* value) {
    while (IsSpace(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (*p < '0' || *p > '9')
        return false;
    long long v = 0;
    while (*p >= '0' && *p <= '9') {
        if (v < LLONG_MAX / 10)
            v = v * 10 + (*p - '0');
        ++p;
    }
    *value = negative ? -v : v;
    return true;
}

int ClampToInt(long long v) {
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}
} // namespace

bool ParseStatusLine(const char* line, int* seconds) {
    if (line[0] != 'A' || line[1] != ':')
        return false;
    const char* p = line + 2;
    long long whole = 0;
    long long fraction = 0;
    if (!ScanInt(p, &whole) || *p != '.')
        return false;
    ++p;
    if (!ScanInt(p, &fraction))
        return false;
    *seconds = ClampToInt(whole);
    return true;
}
