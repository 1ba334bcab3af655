#pragma once
// Which character encoding a subtitle file is written in, and turning it into UTF-8. Polish
// subtitles come in UTF-8, UTF-16 with a byte-order mark, Windows-1250 or ISO-8859-2; the
// player has to be told which one (its -subcp option) or the letters come out wrong.
#include <string>

enum class SubEncoding { Ascii, Utf8, Utf8Bom, Utf16Le, Utf16Be, Cp1250, Iso88592, Other };

struct DetectedEncoding {
    SubEncoding kind = SubEncoding::Ascii;
    // The iconv name of the encoding ("UTF-8", "CP1250", "ISO-8859-2", "UTF-16LE", or what
    // uchardet named for Other).
    std::string name = "UTF-8";
};

// Pure: looks at the bytes only. A byte-order mark decides; then valid UTF-8; then the Polish
// letters of the two 8-bit code pages (Windows-1250 unless only ISO-8859-2's letters fit);
// uchardet decides a text without Polish letters when it names an encoding.
DetectedEncoding DetectSubtitleEncoding(const std::string& bytes);

// The bytes as UTF-8 (the byte-order mark dropped). Bytes the encoding cannot decode become
// U+FFFD; never fails.
std::string SubtitleTextToUtf8(const std::string& bytes, const DetectedEncoding& encoding);

// UTF-8 text in the iconv encoding `name` (characters it lacks become '?'). "" for UTF-8 names
// returns the text unchanged.
std::string Utf8ToEncoding(const std::string& utf8, const std::string& name);
