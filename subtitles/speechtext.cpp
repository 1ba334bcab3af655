#include "subtitles/speechtext.h"

#include <cstring>

namespace {

struct PolishLetter {
    unsigned char utf8[2];
    unsigned char cp1250;
};

// Searched in this order; the first match wins.
constexpr PolishLetter kPolishLetters[18] = {
    {{0xC4, 0x85}, 0xB9}, // ą
    {{0xC4, 0x99}, 0xEA}, // ę
    {{0xC4, 0x87}, 0xE6}, // ć
    {{0xC5, 0x82}, 0xB3}, // ł
    {{0xC3, 0xB3}, 0xF3}, // ó
    {{0xC5, 0x9B}, 0x9C}, // ś
    {{0xC5, 0xBC}, 0xBF}, // ż
    {{0xC5, 0xBA}, 0x9F}, // ź
    {{0xC4, 0x84}, 0xA5}, // Ą
    {{0xC4, 0x98}, 0xCA}, // Ę
    {{0xC4, 0x86}, 0xC6}, // Ć
    {{0xC5, 0x81}, 0xA3}, // Ł
    {{0xC3, 0x93}, 0xD3}, // Ó
    {{0xC5, 0x9A}, 0x8C}, // Ś
    {{0xC5, 0xBB}, 0xAF}, // Ż
    {{0xC5, 0xB9}, 0x8F}, // Ź
    {{0xC5, 0x84}, 0xF1}, // ń
    {{0xC5, 0x83}, 0xD1}, // Ń
};

} // namespace

void cleanToSpeech(const char* src, char* dst) {
    size_t i = 0;
    for (; src[i] != '\0'; ++i) {
        char c = src[i];
        dst[i] = std::strchr("><-/\\:'\"[]|\r\n", c) != nullptr ? ' ' : c;
    }
    dst[i] = '\0';
}

void utf8towinpl(const char* src, char* dst) {
    const auto* s = reinterpret_cast<const unsigned char*>(src);
    size_t i = 0;
    size_t j = 0;
    while (s[i] != 0) {
        unsigned char out = s[i];
        // s[i + 1] is at worst the terminating zero, which matches no entry.
        for (const PolishLetter& letter : kPolishLetters) {
            if (s[i] == letter.utf8[0] && s[i + 1] == letter.utf8[1]) {
                out = letter.cp1250;
                ++i;
                break;
            }
        }
        dst[j] = static_cast<char>(out);
        ++i;
        ++j;
    }
    dst[j] = '\0';
}

bool isDig(char c) {
    return c >= '0' && c <= '9';
}
