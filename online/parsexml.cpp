#include "online/parsexml.h"

#include <cstdint>

parsexml parsexmlos;

namespace {
std::string Needle(const std::string& name) {
    return "<name>" + name + "</name>";
}

// The text between `open` and `close`, both searched from `from`, or "".
std::string Between(const std::string& text, size_t from, const char* open, const char* close,
                    size_t openLength) {
    size_t s = text.find(open, from);
    size_t e = text.find(close, from);
    if (s == std::string::npos || e == std::string::npos || e < s + openLength)
        return "";
    return text.substr(s + openLength, e - s - openLength);
}
} // namespace

std::string SubOSItem::getMenuName() const {
    return "[" + ISO639 + "] " + SubFileName;
}

std::string parsexml::parse(const std::string& text, const std::string& name) {
    xml = text;
    cursor = 0;
    return parsethis(name);
}

std::string parsexml::parsethis(const std::string& name) {
    size_t from = cursor < 0 ? 0 : size_t(cursor);
    size_t p = xml.find(Needle(name), from);
    if (p == std::string::npos)
        return "";
    // "</string>" is searched from the member, not from "<string>": a closing tag before the
    // opening one gives nothing rather than a reversed range.
    return Between(xml, p, "<string>", "</string>", 8);
}

std::string parsexml::parseint(const std::string& text, const std::string& name) {
    xml = text;
    cursor = 0;
    size_t p = xml.find(Needle(name));
    if (p == std::string::npos)
        return "";
    return Between(xml, p, "<int>", "</int>", 5);
}

void parsexml::parsetolist(const std::string& text, const std::string& name,
                           std::vector<std::string>& list) {
    list.clear();
    xml = text;
    std::string needle = Needle(name);
    size_t i = 0;
    for (;;) {
        size_t p = xml.find(needle, i);
        if (p == std::string::npos)
            break;
        i = p + 1;
        size_t s = xml.find("<string>", p + 1);
        size_t e = xml.find("</string>", p + 1);
        if (s != std::string::npos && e != std::string::npos && e >= s + 8)
            list.push_back(xml.substr(s + 8, e - s - 8));
    }
}

void parsexml::parserun(const std::string& text, const std::string& hash) {
    xml = text;
    key = hash;
    cursor = 0;
    items.clear();
    // An empty key would match everywhere, for ever.
    if (key.empty())
        return;
    for (;;) {
        size_t p = xml.find(key, size_t(cursor));
        if (p == std::string::npos || p + 1 > size_t(INT32_MAX))
            break;
        cursor = int(p + 1);
        SubOSItem item;
        item.ISO639 = parsethis("ISO639");
        item.SubDownloadLink = parsethis("SubDownloadLink");
        item.SubFileName = parsethis("SubFileName");
        items.push_back(item);
    }
}
