#include "platform/textutil.h"

#include <cstdarg>
#include <cstdio>
#include <strings.h>
#include <vector>

int cmpznak(const char* text, const char* pattern) {
    for (size_t i = 0; text[i] != 0; ++i) {
        bool digitWildcard = pattern[i] == '?' && text[i] >= '0' && text[i] <= '9';
        if (!digitWildcard && pattern[i] != text[i])
            return 0;
    }
    return 1;
}

void repleaceall(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty())
        return;
    size_t pos;
    if (to.find(from) != std::string::npos) {
        // Searching again from the start would never end when the replacement holds the
        // searched text; one forward pass gives the intended result.
        pos = 0;
        while ((pos = text.find(from, pos)) != std::string::npos) {
            text.replace(pos, from.size(), to);
            pos += to.size();
        }
        return;
    }
    while ((pos = text.find(from)) != std::string::npos)
        text.replace(pos, from.size(), to);
}

void tohexdigs(const unsigned char* digest, char* out) {
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        out[2 * i] = digits[digest[i] >> 4];
        out[2 * i + 1] = digits[digest[i] & 15];
    }
    out[32] = 0;
}

bool StartsWithNoCase(const char* line, const char* prefix) {
    size_t n = 0;
    while (prefix[n] != 0)
        ++n;
    return strncasecmp(line, prefix, n) == 0;
}

std::string Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), fmt, args);
        out.assign(buf.data(), static_cast<size_t>(n));
    }
    va_end(args);
    return out;
}

std::string OneLine(const std::string& text) {
    std::string line;
    line.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7f) {
            line += ' ';
        } else if (c == 0xc2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
            line += ' '; // U+0080..U+009F (NEL among them)
            ++i;
        } else {
            line += text[i];
        }
    }
    return line;
}
