#include "online/napiprojekttoken.h"

#include "platform/textutil.h"

namespace {
// Value of the hex digit at `pos`; 0 outside the text or for a non-hex character, so a
// malformed fingerprint gives some token instead of a read outside the text.
int DigitAt(const std::string& text, int pos) {
    if (pos < 0 || size_t(pos) >= text.size())
        return 0;
    char c = text[size_t(pos)];
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}
} // namespace

int getpseudohash_prv(const std::string& md5, int p, int addend, int multiplier) {
    int t = DigitAt(md5, p - 1) + addend;
    int v = DigitAt(md5, t - 1);
    if (size_t(t) < md5.size())
        v = v * 16 + DigitAt(md5, t);
    return (v * multiplier) % 16;
}

std::string GeneratePseudoHashNapiprojekt(const std::string& md5) {
    return Format("%x%x%x%x%x", getpseudohash_prv(md5, 15, 1, 2), getpseudohash_prv(md5, 4, 14, 2),
                  getpseudohash_prv(md5, 7, 17, 5), getpseudohash_prv(md5, 9, 12, 4),
                  getpseudohash_prv(md5, 3, 6, 3));
}
