#include "subtitles/subtitleretime.h"

#include "subtitles/encoding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The decimal number at `i`, moving past it; false when there is none.
bool Number(const std::string& s, size_t& i, int64_t& value, size_t* digits = nullptr) {
    size_t from = i;
    value = 0;
    while (i < s.size() && IsDigit(s[i])) {
        if (i - from < 12)
            value = value * 10 + (s[i] - '0');
        ++i;
    }
    if (digits != nullptr)
        *digits = i - from;
    return i > from;
}

void SkipBlanks(const std::string& s, size_t& i) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
}

// A clock "H:MM:SS" with an optional fraction after one of `separators`, as found at `i`.
struct Clock {
    size_t from = 0, to = 0; // the bytes it covers
    int64_t ms = 0;
    size_t hourDigits = 2;
    size_t fractionDigits = 0; // 0: none
    char separator = ',';
};

bool ReadClock(const std::string& s, size_t i, const char* separators, Clock& c) {
    c.from = i;
    int64_t h = 0, m = 0, sec = 0;
    if (!Number(s, i, h, &c.hourDigits) || i >= s.size() || s[i++] != ':' || !Number(s, i, m) ||
        i >= s.size() || s[i++] != ':' || !Number(s, i, sec))
        return false;
    int64_t fraction = 0;
    c.fractionDigits = 0;
    if (i + 1 < s.size() && std::string(separators).find(s[i]) != std::string::npos &&
        IsDigit(s[i + 1])) {
        c.separator = s[i++];
        Number(s, i, fraction, &c.fractionDigits);
    }
    double f = 0;
    if (c.fractionDigits > 0)
        f = static_cast<double>(fraction) / std::pow(10.0, static_cast<double>(c.fractionDigits)) *
            1000;
    c.ms = ((h * 60 + m) * 60 + sec) * 1000 + static_cast<int64_t>(std::llround(f));
    c.to = i;
    return true;
}

std::string FormatClock(double ms, const Clock& like) {
    int64_t units = 1000;
    size_t digits = std::min<size_t>(like.fractionDigits, 3);
    int64_t scale = 1;
    for (size_t k = digits; k < 3; ++k)
        scale *= 10; // ms per unit of the fraction
    int64_t total =
        std::max<int64_t>(0, std::llround(std::max(0.0, ms) / static_cast<double>(scale)));
    int64_t perSecond = units / scale;
    int64_t fraction = total % perSecond;
    int64_t seconds = total / perSecond;
    char text[64];
    int hourWidth = static_cast<int>(std::min<size_t>(std::max<size_t>(like.hourDigits, 1), 2));
    std::snprintf(text, sizeof text, "%0*lld:%02lld:%02lld", hourWidth,
                  static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60));
    std::string out = text;
    if (digits > 0) {
        std::snprintf(text, sizeof text, "%c%0*lld", like.separator, static_cast<int>(digits),
                      static_cast<long long>(fraction));
        out += text;
    }
    return out;
}

// Replaces the byte ranges of `clocks` (in order) in `line` by their new texts.
std::string Splice(const std::string& line,
                   const std::vector<std::pair<Clock, std::string>>& parts) {
    std::string out;
    size_t at = 0;
    for (const auto& [clock, text] : parts) {
        out.append(line, at, clock.from - at);
        out += text;
        at = clock.to;
    }
    out.append(line, at, std::string::npos);
    return out;
}

bool SubRipLine(std::string& line, const RetimeMap& map) {
    size_t i = 0;
    SkipBlanks(line, i);
    Clock a, b;
    if (!ReadClock(line, i, ",.", a))
        return false;
    i = a.to;
    SkipBlanks(line, i);
    if (line.compare(i, 3, "-->") != 0)
        return false;
    i += 3;
    SkipBlanks(line, i);
    if (!ReadClock(line, i, ",.", b))
        return false;
    double start = static_cast<double>(a.ms);
    line = Splice(line, {{a, FormatClock(map(start, start), a)},
                         {b, FormatClock(map(start, static_cast<double>(b.ms)), b)}});
    return true;
}

// "{10}{20}" frames or "[10][20]" tenths of a second; `unitMs` is the length of one unit.
bool BracketLine(std::string& line, char open, char close, double unitMs, bool rateLine,
                 const RetimeMap& map) {
    size_t i = 0;
    SkipBlanks(line, i);
    const size_t from = i;
    int64_t start = 0, end = -1;
    if (i >= line.size() || line[i++] != open || !Number(line, i, start) || i >= line.size() ||
        line[i++] != close || i >= line.size() || line[i++] != open)
        return false;
    bool hasEnd = Number(line, i, end);
    if (i >= line.size() || line[i++] != close)
        return false;
    if (rateLine && start <= 1 && end <= 1) {
        char* stop = nullptr;
        double fps = std::strtod(line.c_str() + i, &stop);
        if (stop != line.c_str() + i && fps > 1 && fps < 1000)
            return false; // "{1}{1}23.976" names the rate; it stays
    }
    const double startMs = static_cast<double>(start) * unitMs;
    auto units = [&](double ms) {
        return std::to_string(std::max<int64_t>(0, std::llround(ms / unitMs)));
    };
    std::string out = line.substr(0, from);
    out += open + units(map(startMs, startMs)) + close + open;
    if (hasEnd)
        out += units(map(startMs, static_cast<double>(end) * unitMs));
    out += close;
    out += line.substr(i);
    line = out;
    return true;
}

// "0:00:02:text" or "00:00:02=text": whole seconds, no end.
bool TmPlayerLine(std::string& line, const RetimeMap& map) {
    Clock c;
    if (!ReadClock(line, 0, "", c) || c.hourDigits > 2 || c.to >= line.size() ||
        (line[c.to] != ':' && line[c.to] != '='))
        return false;
    double start = static_cast<double>(c.ms);
    line = Splice(line, {{c, FormatClock(map(start, start), c)}});
    return true;
}

// "00:00:02.00,00:00:03.00"
bool SubViewerLine(std::string& line, const RetimeMap& map) {
    Clock a, b;
    if (!ReadClock(line, 0, ".", a) || a.to >= line.size() || line[a.to] != ',' ||
        !ReadClock(line, a.to + 1, ".", b))
        return false;
    size_t rest = b.to;
    SkipBlanks(line, rest);
    if (rest != line.size() && !(rest + 1 == line.size() && line[rest] == '\r'))
        return false;
    double start = static_cast<double>(a.ms);
    line = Splice(line, {{a, FormatClock(map(start, start), a)},
                         {b, FormatClock(map(start, static_cast<double>(b.ms)), b)}});
    return true;
}

// "Dialogue: 0,0:00:02.00,0:00:03.00,...": the second and third fields.
bool AssLine(std::string& line, const RetimeMap& map) {
    if (line.compare(0, 9, "Dialogue:") != 0)
        return false;
    size_t first = line.find(',', 9);
    if (first == std::string::npos)
        return false;
    size_t i = first + 1;
    SkipBlanks(line, i);
    Clock a, b;
    if (!ReadClock(line, i, ".", a) || a.to >= line.size() || line[a.to] != ',')
        return false;
    i = a.to + 1;
    SkipBlanks(line, i);
    if (!ReadClock(line, i, ".", b))
        return false;
    double start = static_cast<double>(a.ms);
    line = Splice(line, {{a, FormatClock(map(start, start), a)},
                         {b, FormatClock(map(start, static_cast<double>(b.ms)), b)}});
    return true;
}

std::string RetimeText(const std::string& text, SubFormat format, const RetimeMap& map, double fps,
                       int& count) {
    std::string out;
    out.reserve(text.size() + text.size() / 20);
    size_t at = 0;
    bool firstBracket = true;
    while (at < text.size()) {
        size_t nl = text.find('\n', at);
        size_t end = nl == std::string::npos ? text.size() : nl + 1;
        std::string line = text.substr(at, end - at);
        std::string eol;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            eol.insert(eol.begin(), line.back());
            line.pop_back();
        }
        bool changed = false;
        switch (format) {
        case SubFormat::SubRip:
            changed = SubRipLine(line, map);
            break;
        case SubFormat::MicroDvd:
            changed = BracketLine(line, '{', '}', 1000.0 / fps, firstBracket, map);
            if (line.find('{') != std::string::npos)
                firstBracket = false;
            break;
        case SubFormat::Mpl2:
            changed = BracketLine(line, '[', ']', 100.0, false, map);
            break;
        case SubFormat::TmPlayer:
            changed = TmPlayerLine(line, map);
            break;
        case SubFormat::SubViewer2:
            changed = SubViewerLine(line, map);
            break;
        case SubFormat::Ass:
            changed = AssLine(line, map);
            break;
        case SubFormat::None:
            break;
        }
        if (changed)
            ++count;
        out += line + eol;
        at = end;
    }
    return out;
}

} // namespace

RetimedFile RetimeSubtitleFile(const std::string& bytes, const RetimeMap& map, double fps) {
    RetimedFile result;
    ParsedSubtitles parsed = ParseSubtitleFile(bytes);
    if (!parsed.error.empty()) {
        result.error = parsed.error;
        return result;
    }
    result.format = parsed.format;
    if (parsed.inFrames)
        fps = parsed.fileFps > 0 ? parsed.fileFps : fps > 0 ? fps : 25;
    DetectedEncoding encoding = DetectSubtitleEncoding(bytes);
    if (encoding.kind == SubEncoding::Utf16Le || encoding.kind == SubEncoding::Utf16Be) {
        // Time stamps are ASCII only in 8-bit encodings: UTF-16 goes through UTF-8 and back.
        std::string text =
            RetimeText(SubtitleTextToUtf8(bytes, encoding), parsed.format, map, fps, result.lines);
        std::string bom = encoding.kind == SubEncoding::Utf16Le ? std::string("\xFF\xFE", 2)
                                                                : std::string("\xFE\xFF", 2);
        bool hadBom = bytes.compare(0, 2, bom) == 0;
        result.bytes = (hadBom ? bom : "") + Utf8ToEncoding(text, encoding.name);
    } else {
        // UTF-8 and the 8-bit code pages keep ASCII as it is: the bytes are edited in place.
        result.bytes = RetimeText(bytes, parsed.format, map, fps, result.lines);
    }
    if (result.lines == 0)
        result.error = "no time stamps found to change";
    return result;
}

std::string SyncedSubtitleName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot == (slash == std::string::npos ? 0 : slash + 1))
        return path + ".synced";
    return path.substr(0, dot) + ".synced" + path.substr(dot);
}
