#include "subtitles/encoding.h"

#include <cerrno>
#include <iconv.h>
#include <uchardet.h>

namespace {
bool StartsWith(const std::string& bytes, const char* prefix, size_t n) {
    return bytes.size() >= n && bytes.compare(0, n, prefix, n) == 0;
}

// Length of the valid UTF-8 sequence at `i`, 0 when it is not one.
size_t Utf8SequenceAt(const std::string& s, size_t i) {
    auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size())
        return 0;
    for (size_t k = 1; k < len; ++k)
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
    if (len == 2 && c < 0xC2)
        return 0; // overlong
    if (len == 3 && c == 0xE0 && b(i + 1) < 0xA0)
        return 0;
    if (len == 4 && (c > 0xF4 || (c == 0xF0 && b(i + 1) < 0x90) || (c == 0xF4 && b(i + 1) > 0x8F)))
        return 0;
    return len;
}

// Bytes of the Polish letters that differ between the two code pages: ą Ą ś Ś ź Ź.
bool IsCp1250OnlyLetter(unsigned char c) {
    return c == 0xB9 || c == 0xA5 || c == 0x9C || c == 0x8C || c == 0x9F || c == 0x8F;
}
bool IsIsoOnlyLetter(unsigned char c) {
    return c == 0xB1 || c == 0xA1 || c == 0xB6 || c == 0xA6 || c == 0xBC || c == 0xAC;
}
// ę Ę ć Ć ł Ł ń Ń ó Ó ż Ż: the same byte in both.
bool IsSharedPolishLetter(unsigned char c) {
    return c == 0xEA || c == 0xCA || c == 0xE6 || c == 0xC6 || c == 0xB3 || c == 0xA3 ||
           c == 0xF1 || c == 0xD1 || c == 0xF3 || c == 0xD3 || c == 0xBF || c == 0xAF;
}

std::string Uchardet(const std::string& bytes) {
    uchardet_t detector = uchardet_new();
    if (detector == nullptr)
        return "";
    // A few hundred kilobytes say as much as the whole file.
    size_t n = bytes.size() < 512 * 1024 ? bytes.size() : 512 * 1024;
    std::string name;
    if (uchardet_handle_data(detector, bytes.data(), n) == 0) {
        uchardet_data_end(detector);
        const char* charset = uchardet_get_charset(detector);
        name = charset != nullptr ? charset : "";
    }
    uchardet_delete(detector);
    return name;
}

std::string Iconv(const std::string& in, const std::string& from, const std::string& to,
                  const char* replacement) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return in;
    std::string out;
    out.reserve(in.size() + in.size() / 2);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[4096];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof(buf);
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, sizeof(buf) - dstLeft);
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            // An undecodable or incomplete sequence: one replacement, then go on after it.
            out += replacement;
            ++src;
            --srcLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    char* dst = buf;
    size_t dstLeft = sizeof(buf);
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, sizeof(buf) - dstLeft);
    iconv_close(cd);
    return out;
}
} // namespace

DetectedEncoding DetectSubtitleEncoding(const std::string& bytes) {
    if (StartsWith(bytes, "\xEF\xBB\xBF", 3))
        return {SubEncoding::Utf8Bom, "UTF-8"};
    if (StartsWith(bytes, "\xFF\xFE", 2))
        return {SubEncoding::Utf16Le, "UTF-16LE"};
    if (StartsWith(bytes, "\xFE\xFF", 2))
        return {SubEncoding::Utf16Be, "UTF-16BE"};

    bool ascii = true;
    bool utf8 = true;
    for (size_t i = 0; i < bytes.size();) {
        size_t len = Utf8SequenceAt(bytes, i);
        if (len == 0) {
            utf8 = false;
            ascii = false;
            break;
        }
        ascii = ascii && len == 1;
        i += len;
    }
    if (ascii)
        return {SubEncoding::Ascii, "UTF-8"};
    if (utf8)
        return {SubEncoding::Utf8, "UTF-8"};

    size_t high = 0;
    size_t cpOnly = 0;
    size_t isoOnly = 0;
    size_t shared = 0;
    size_t c1Controls = 0; // 0x80..0x9F: letters in Windows-1250, controls in ISO-8859-2
    for (unsigned char c : bytes) {
        if (c < 0x80)
            continue;
        ++high;
        cpOnly += IsCp1250OnlyLetter(c);
        isoOnly += IsIsoOnlyLetter(c);
        shared += IsSharedPolishLetter(c);
        c1Controls += c < 0xA0;
    }
    const size_t cpScore = cpOnly + shared;
    const size_t isoScore = isoOnly + shared;
    const size_t best = cpScore > isoScore ? cpScore : isoScore;
    // Polish text: most of its high bytes are Polish letters in one of the pages.
    if (best * 2 >= high) {
        if (isoOnly > 0 && cpOnly == 0 && c1Controls == 0)
            return {SubEncoding::Iso88592, "ISO-8859-2"};
        return {SubEncoding::Cp1250, "CP1250"};
    }
    std::string named = Uchardet(bytes);
    if (named == "WINDOWS-1250")
        return {SubEncoding::Cp1250, "CP1250"};
    if (named == "ISO-8859-2")
        return {SubEncoding::Iso88592, "ISO-8859-2"};
    if (!named.empty() && named != "ASCII" && named != "UTF-8")
        return {SubEncoding::Other, named};
    return {SubEncoding::Cp1250, "CP1250"};
}

std::string SubtitleTextToUtf8(const std::string& bytes, const DetectedEncoding& encoding) {
    switch (encoding.kind) {
    case SubEncoding::Ascii:
        return bytes;
    case SubEncoding::Utf8Bom:
        return Iconv(bytes.substr(3), "UTF-8", "UTF-8", "\xEF\xBF\xBD");
    case SubEncoding::Utf16Le:
    case SubEncoding::Utf16Be:
        return Iconv(bytes.substr(2), encoding.name, "UTF-8", "\xEF\xBF\xBD");
    default:
        return Iconv(bytes, encoding.name, "UTF-8", "\xEF\xBF\xBD");
    }
}

std::string Utf8ToEncoding(const std::string& utf8, const std::string& name) {
    if (name.empty() || name == "UTF-8")
        return utf8;
    return Iconv(utf8, "UTF-8", name + "//TRANSLIT", "?");
}
