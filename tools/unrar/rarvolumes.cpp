#include "tools/unrar/rarvolumes.h"

#include <cctype>
#include <strings.h>
#include <unistd.h>

namespace {

enum class Scheme { None, Parts, Old, Numbers };

struct Parsed {
    Scheme scheme = Scheme::None;
    std::string base;     // up to the part number or the extension
    std::string partWord; // "part" as written (case kept)
    std::string rarWord;  // "rar" as written
    size_t digits = 0;    // digits of the number in the given name
};

bool AllDigits(const std::string& s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

std::string Pad(size_t number, size_t width) {
    std::string text = std::to_string(number);
    if (text.size() < width)
        text.insert(0, width - text.size(), '0');
    return text;
}

std::string StripDownloadSuffix(const std::string& name) {
    for (const char* suffix : {".bc!", ".!ut"}) {
        size_t n = std::char_traits<char>::length(suffix);
        if (name.size() > n && name.compare(name.size() - n, n, suffix) == 0)
            return name.substr(0, name.size() - n);
    }
    return name;
}

Parsed Parse(const std::string& raw) {
    std::string name = StripDownloadSuffix(raw);
    Parsed p;
    size_t slash = name.rfind('/');
    size_t leafStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot < leafStart)
        return p;
    std::string ext = name.substr(dot + 1);
    std::string stem = name.substr(0, dot);
    if (strcasecmp(ext.c_str(), "rar") == 0) {
        // name.partN.rar?
        size_t dot2 = stem.rfind('.');
        if (dot2 != std::string::npos && dot2 >= leafStart) {
            std::string part = stem.substr(dot2 + 1);
            if (part.size() > 4 && strncasecmp(part.c_str(), "part", 4) == 0 &&
                AllDigits(part.substr(4))) {
                p.scheme = Scheme::Parts;
                p.base = stem.substr(0, dot2);
                p.partWord = part.substr(0, 4);
                p.rarWord = ext;
                p.digits = part.size() - 4;
                return p;
            }
        }
        p.scheme = Scheme::Old;
        p.base = stem;
        p.rarWord = ext;
        return p;
    }
    // name.r00, name.s01, ...: old scheme continuation volumes.
    if (ext.size() >= 3 && std::isalpha(static_cast<unsigned char>(ext[0])) &&
        AllDigits(ext.substr(1))) {
        p.scheme = Scheme::Old;
        p.base = stem;
        p.rarWord = std::isupper(static_cast<unsigned char>(ext[0])) ? "RAR" : "rar";
        return p;
    }
    if (ext.size() == 3 && AllDigits(ext)) {
        p.scheme = Scheme::Numbers;
        p.base = stem;
        return p;
    }
    return p;
}

bool Exists(const std::string& name) {
    return access(name.c_str(), R_OK) == 0;
}

// The name under which a volume is present: as named, or as an unfinished download.
std::string Present(const std::string& name) {
    for (const char* suffix : {"", ".bc!", ".!ut"})
        if (Exists(name + suffix))
            return name + suffix;
    return "";
}

std::string OldName(const Parsed& p, size_t index) {
    if (index == 0)
        return p.base + "." + p.rarWord;
    char letter = std::isupper(static_cast<unsigned char>(p.rarWord[0])) ? 'R' : 'r';
    return p.base + "." + letter + Pad(index - 1, 2);
}

std::string NameOf(const Parsed& p, size_t index, size_t width) {
    switch (p.scheme) {
    case Scheme::Parts:
        return p.base + "." + p.partWord + Pad(index + 1, width) + "." + p.rarWord;
    case Scheme::Old:
        return OldName(p, index);
    case Scheme::Numbers:
        return p.base + "." + Pad(index + 1, 3);
    case Scheme::None:
        break;
    }
    return "";
}

} // namespace

std::string VolumeName(const std::string& anyVolume, size_t index, size_t width) {
    return NameOf(Parse(anyVolume), index, width);
}

VolumeList ListVolumes(const std::string& anyVolume) {
    VolumeList list;
    Parsed p = Parse(anyVolume);
    if (p.scheme == Scheme::None) {
        if (Exists(anyVolume))
            list.names.push_back(anyVolume);
        return list;
    }
    size_t width = p.digits;
    if (p.scheme == Scheme::Parts && Present(NameOf(p, 0, width)).empty()) {
        // name.part10.rar of a set numbered name.part1.rar: find the width its first volume has.
        for (size_t w = 1; w <= 6; ++w)
            if (!Present(NameOf(p, 0, w)).empty()) {
                width = w;
                break;
            }
    }
    for (size_t index = 0;; ++index) {
        std::string name = NameOf(p, index, width);
        std::string found = Present(name);
        if (found.empty() && p.scheme == Scheme::Old && index > 100) {
            // Past .r99 some sets go on with .s00, .s01, ... instead of .r100.
            char letter = static_cast<char>(
                (std::isupper(static_cast<unsigned char>(p.rarWord[0])) ? 'R' : 'r') +
                (index - 1) / 100);
            std::string alternative = p.base + "." + letter + Pad((index - 1) % 100, 2);
            if (std::isalpha(static_cast<unsigned char>(letter)) && !Present(alternative).empty()) {
                name = alternative;
                found = Present(alternative);
            }
        }
        if (found.empty()) {
            list.nextName = name;
            break;
        }
        list.names.push_back(found);
    }
    return list;
}
