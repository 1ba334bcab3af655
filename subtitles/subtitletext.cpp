#include "subtitles/subtitletext.h"

#include <cctype>

namespace {
bool IsAlpha(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

// "<i>", "</font>", "<font color=...>": a tag starts with a letter or '/' and a letter.
size_t TagEnd(const std::string& s, size_t open) {
    size_t i = open + 1;
    if (i < s.size() && s[i] == '/')
        ++i;
    if (i >= s.size() || !IsAlpha(s[i]))
        return std::string::npos;
    size_t close = s.find('>', i);
    return close != std::string::npos && close - open < 200 ? close : std::string::npos;
}

// "{\i1}" overrides of ASS and "{y:i}", "{c:$0000ff}" codes of MicroDVD.
size_t BraceEnd(const std::string& s, size_t open) {
    bool override = open + 1 < s.size() && s[open + 1] == '\\';
    bool microDvd = open + 2 < s.size() && IsAlpha(s[open + 1]) && s[open + 2] == ':';
    if (!override && !microDvd)
        return std::string::npos;
    size_t close = s.find('}', open);
    return close != std::string::npos && close - open < 500 ? close : std::string::npos;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}
} // namespace

std::string CleanSubtitleText(const std::string& text, LineBreaks breaks) {
    std::string plain;
    plain.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '<') {
            size_t end = TagEnd(text, i);
            if (end != std::string::npos) {
                i = end;
                continue;
            }
        } else if (c == '{') {
            size_t end = BraceEnd(text, i);
            if (end != std::string::npos) {
                i = end;
                continue;
            }
        } else if (c == '|' && breaks == LineBreaks::Bar) {
            plain += '\n';
            continue;
        } else if (c == '\\' && breaks == LineBreaks::BackslashN && i + 1 < text.size()) {
            char n = text[i + 1];
            if (n == 'N' || n == 'n' || n == 'h') {
                plain += n == 'h' ? ' ' : '\n';
                ++i;
                continue;
            }
        } else if (c == '[' && breaks == LineBreaks::Br && text.compare(i, 4, "[br]") == 0) {
            plain += '\n';
            i += 3;
            continue;
        }
        plain += c;
    }

    std::string out;
    size_t start = 0;
    while (start <= plain.size()) {
        size_t nl = plain.find('\n', start);
        std::string line =
            Trim(plain.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
        // MPL2 and MicroDVD mark an italic line with a leading '/'.
        if (breaks == LineBreaks::Bar && !line.empty() && line[0] == '/')
            line = Trim(line.substr(1));
        if (!line.empty()) {
            if (!out.empty())
                out += '\n';
            out += line;
        }
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
    return out;
}
