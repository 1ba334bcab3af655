#include "ui/nfo2txt/cp437.h"

namespace {
// The upper half of the code page, 0x80 to 0xFF, sixteen characters a line.
const char16_t kUpperHalf[] = u"ÇüéâäàåçêëèïîìÄÅ"
                              u"ÉæÆôöòûùÿÖÜ¢£¥₧ƒ"
                              u"áíóúñÑªº¿⌐¬½¼¡«»"
                              u"░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
                              u"└┴┬├─┼╞╟╚╔╩╦╠═╬╧"
                              u"╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀"
                              u"αßΓπΣσµτΦΘΩδ∞φε∩"
                              u"≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0";
static_assert(sizeof(kUpperHalf) / sizeof(kUpperHalf[0]) == 129, "128 characters");
} // namespace

QString DecodeCp437(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        text += byte < 0x80 ? QChar(byte) : QChar(kUpperHalf[byte - 0x80]);
    }
    return text;
}
