#include "online/answerkind.h"

#include <cstring>
#include <zlib.h>

namespace {
bool StartsWith(const char* data, size_t size, const char* magic, size_t length) {
    return size >= length && std::memcmp(data, magic, length) == 0;
}
} // namespace

AnswerKind ClassifyAnswer(const char* data, size_t size) {
    if (size == 0)
        return AnswerKind::Empty;
    if (StartsWith(data, size, "\x37\x7A\xBC\xAF\x27\x1C", 6))
        return AnswerKind::SevenZip;
    if (StartsWith(data, size, "\x1F\x8B", 2))
        return AnswerKind::Gzip;
    if (StartsWith(data, size, "NPc", 3))
        return AnswerKind::NoSubtitles;
    if (StartsWith(data, size, "<?xml", 5))
        return AnswerKind::Xml;
    if (StartsWith(data, size, "\xEF\xBB\xBF", 3))
        return AnswerKind::Utf8Bom;
    if (StartsWith(data, size, "\xFF\xFE", 2))
        return AnswerKind::Utf16Le;
    if (StartsWith(data, size, "\xFE\xFF", 2))
        return AnswerKind::Utf16Be;
    return AnswerKind::Text;
}

bool GunzipBytes(const std::string& in, std::string* out, size_t limit) {
    out->clear();
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK)
        return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = uInt(in.size());
    char chunk[16384];
    bool ok = false;
    for (;;) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        int rc = inflate(&z, Z_NO_FLUSH);
        out->append(chunk, sizeof chunk - z.avail_out);
        if (out->size() > limit)
            break;
        if (rc == Z_STREAM_END) {
            // Concatenated members are one file to gzip; anything else after the end is junk
            // gzip itself ignores with a warning.
            if (z.avail_in >= 2 && z.next_in[0] == 0x1F && z.next_in[1] == 0x8B) {
                inflateReset(&z);
                continue;
            }
            ok = true;
            break;
        }
        if (rc != Z_OK)
            break;
        if (z.avail_in == 0 && z.avail_out != 0)
            break; // truncated
    }
    inflateEnd(&z);
    if (!ok)
        out->clear();
    return ok;
}
