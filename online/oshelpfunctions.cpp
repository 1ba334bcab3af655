#include "online/oshelpfunctions.h"

#include "platform/codepage.h"

#include <algorithm>

OShelpFunctions OS;

const char* const _LogIn =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><methodCall><methodName>LogIn</methodName>"
    "<params><param><value><string>$login$</string></value></param>"
    "<param><value><string>$pass$</string></value></param>"
    "<param><value><string></string></value></param>"
    "<param><value><string>DoVavuzivav_0.2</string></value></param></params></methodCall>";

void OShelpFunctions::replaceone(std::string& text, const std::string& placeholder,
                                 const std::string& value) {
    size_t at = text.find(placeholder);
    if (at != std::string::npos)
        text.replace(at, placeholder.size(), value);
}

std::string XmlText(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    const auto* s = reinterpret_cast<const unsigned char*>(value.data());
    size_t left = value.size();
    while (left > 0) {
        unsigned char c = *s;
        size_t len = Utf8SequenceLength(s, left);
        // U+FFFE and U+FFFF are no XML characters either.
        bool noCharacter = len == 3 && c == 0xEF && s[1] == 0xBF && s[2] >= 0xBE;
        if (len == 0 || noCharacter) {
            out += "\xEF\xBF\xBD"; // a byte that is no UTF-8 (a file name of another encoding)
            len = len == 0 ? 1 : len;
        } else if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (c == '\'') {
            out += "&apos;";
        } else if (c == '\r') {
            out += "&#13;"; // a bare CR would reach the server as LF
        } else if (c < 0x20 && c != '\t' && c != '\n') {
            out += "\xEF\xBF\xBD"; // XML 1.0 has no way to carry these
        } else {
            out.append(reinterpret_cast<const char*>(s), len);
        }
        s += len;
        left -= len;
    }
    return out;
}

std::string OShelpFunctions::fill(std::string& t) {
    const std::pair<const char*, const std::string*> fields[] = {
        {"$pass$", &pass},
        {"$login$", &login},
        {"$token$", &token},
        {"$subcontent$", &subcontent},
        {"$subhash$", &subhash},
        {"$moviefilename$", &moviefilename},
        {"$moviefps$", &moviefps},
        {"$movieframes$", &movieframes},
        {"$idmovieimdb$", &idmovieimdb},
        {"$moviehash$", &moviehash},
        {"$sublanguageid$", &sublanguageid},
        {"$subauthorcomment$", &subauthorcomment},
        {"$movietimems$", &movietimems},
        {"$moviebytesize$", &moviebytesize},
        {"$subfilename$", &subfilename},
        {"$text$", &text},
    };
    // The places are found in the template itself, before anything goes in: a value that
    // holds "$token$" (a password may) is never taken for a placeholder.
    struct Slot {
        size_t at, length;
        const std::string* value;
    };
    std::vector<Slot> slots;
    for (const auto& [placeholder, value] : fields) {
        size_t length = std::char_traits<char>::length(placeholder);
        size_t at = t.find(placeholder);
        if (at == std::string::npos)
            continue;
        bool overlaps = false;
        for (const Slot& s : slots)
            overlaps = overlaps || (at < s.at + s.length && s.at < at + length);
        if (!overlaps)
            slots.push_back({at, length, value});
    }
    std::sort(slots.begin(), slots.end(), [](const Slot& a, const Slot& b) { return a.at < b.at; });
    std::string out;
    size_t done = 0;
    for (const Slot& s : slots) {
        out.append(t, done, s.at - done);
        out += XmlText(*s.value);
        done = s.at + s.length;
    }
    out.append(t, done, std::string::npos);
    t = std::move(out);
    return t;
}

std::string OShelpFunctions::getLogin() {
    std::string request = _LogIn;
    return fill(request);
}
