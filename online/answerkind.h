#pragma once
// What a service's answer holds, told by its first bytes and never by its headers (the
// subtitle services label everything "text/html").
#include <cstddef>
#include <string>

enum class AnswerKind {
    Empty,
    SevenZip,    // 37 7A BC AF 27 1C
    Gzip,        // 1F 8B
    NoSubtitles, // "NPc" (Napiprojekt's "NPc0" and kin)
    Xml,         // "<?xml"
    Utf8Bom,     // EF BB BF
    Utf16Le,     // FF FE
    Utf16Be,     // FE FF
    Text,        // anything else
};

AnswerKind ClassifyAnswer(const char* data, size_t size);
inline AnswerKind ClassifyAnswer(const std::string& bytes) {
    return ClassifyAnswer(bytes.data(), bytes.size());
}

// Unpacks gzip (one or more members) into `out`. False on damaged data or when the result
// would pass `limit` bytes (a small answer must not fill the disk).
bool GunzipBytes(const std::string& in, std::string* out, size_t limit);
