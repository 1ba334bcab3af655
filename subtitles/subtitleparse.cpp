#include "subtitles/subtitleparse.h"

#include "subtitles/encoding.h"
#include "subtitles/subtitletext.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {
// Times and frame numbers beyond this are nonsense; they are cut, never overflowed.
constexpr int64_t kMaxNumber = 999999999;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads the decimal number at `i` (at most 9 digits count); false when there is none.
bool Number(const std::string& s, size_t& i, int64_t& value, size_t* digits = nullptr) {
    size_t start = i;
    value = 0;
    while (i < s.size() && IsDigit(s[i])) {
        if (i - start < 9)
            value = value * 10 + (s[i] - '0');
        ++i;
    }
    if (digits != nullptr)
        *digits = i - start;
    return i > start;
}

void SkipBlanks(const std::string& s, size_t& i) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
}

bool Expect(const std::string& s, size_t& i, char c) {
    if (i < s.size() && s[i] == c) {
        ++i;
        return true;
    }
    return false;
}

// "H:MM:SS" followed by a fraction after one of `separators` ("," "." ":"); milliseconds.
bool Clock(const std::string& s, size_t& i, const char* separators, int64_t& ms) {
    int64_t h = 0, m = 0, sec = 0;
    if (!Number(s, i, h) || !Expect(s, i, ':') || !Number(s, i, m) || !Expect(s, i, ':') ||
        !Number(s, i, sec))
        return false;
    int64_t fraction = 0;
    size_t digits = 0;
    if (i < s.size() && std::string(separators).find(s[i]) != std::string::npos &&
        i + 1 < s.size() && IsDigit(s[i + 1])) {
        ++i;
        Number(s, i, fraction, &digits);
        digits = std::min<size_t>(digits, 9);
        while (digits > 3) {
            fraction /= 10;
            --digits;
        }
        while (digits < 3) {
            fraction *= 10;
            ++digits;
        }
    }
    ms = std::min(kMaxNumber,
                  ((std::min(h, kMaxNumber / 3600000) * 60 + m) * 60 + sec) * 1000 + fraction);
    return true;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        size_t end = nl == std::string::npos ? text.size() : nl;
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

bool IsBlank(const std::string& line) {
    return line.find_first_not_of(" \t\r") == std::string::npos;
}

void AddCue(ParsedSubtitles& out, int64_t start, int64_t end, const std::string& raw,
            LineBreaks breaks) {
    std::string text = CleanSubtitleText(raw, breaks);
    if (text.empty())
        return;
    out.cues.push_back({start, std::max(start, end), text});
}

// "00:00:02,000 --> 00:00:03,000"
bool SrtTiming(const std::string& line, int64_t& start, int64_t& end) {
    size_t i = 0;
    SkipBlanks(line, i);
    if (!Clock(line, i, ",.", start))
        return false;
    SkipBlanks(line, i);
    if (line.compare(i, 3, "-->") != 0)
        return false;
    i += 3;
    SkipBlanks(line, i);
    return Clock(line, i, ",.", end);
}

bool AllDigits(const std::string& line) {
    size_t b = line.find_first_not_of(" \t");
    return b != std::string::npos &&
           std::all_of(line.begin() + static_cast<long>(b), line.end(),
                       [](char c) { return IsDigit(c) || c == ' ' || c == '\t'; });
}

void ParseSubRip(const std::vector<std::string>& lines, ParsedSubtitles& out) {
    bool inCue = false;
    int64_t start = 0, end = 0;
    std::vector<std::string> text;
    auto flush = [&] {
        // A cue number left over before the next timing line (no blank line between cues).
        if (!text.empty() && AllDigits(text.back()))
            text.pop_back();
        std::string joined;
        for (auto& t : text)
            joined += (joined.empty() ? "" : "\n") + t;
        if (inCue)
            AddCue(out, start, end, joined, LineBreaks::None);
        text.clear();
    };
    for (const auto& line : lines) {
        int64_t s = 0, e = 0;
        if (SrtTiming(line, s, e)) {
            flush();
            inCue = true;
            start = s;
            end = e;
        } else if (IsBlank(line)) {
            if (inCue && !text.empty()) {
                flush();
                inCue = false;
            }
        } else if (inCue) {
            text.push_back(line);
        }
    }
    flush();
}

// "{start}{end}text" (MicroDVD, frames) or "[start][end]text" (MPL2, tenths of a second).
bool BracketTiming(const std::string& line, char open, char close, int64_t& start, int64_t& end,
                   size_t& textAt) {
    size_t i = 0;
    SkipBlanks(line, i);
    if (!Expect(line, i, open) || !Number(line, i, start) || !Expect(line, i, close) ||
        !Expect(line, i, open))
        return false;
    if (!Number(line, i, end))
        end = -1; // "{100}{}text": shown until the next one
    if (!Expect(line, i, close))
        return false;
    textAt = i;
    return true;
}

void ParseBrackets(const std::vector<std::string>& lines, ParsedSubtitles& out, bool microDvd) {
    const char open = microDvd ? '{' : '[';
    const char close = microDvd ? '}' : ']';
    bool first = true;
    for (const auto& line : lines) {
        int64_t start = 0, end = 0;
        size_t at = 0;
        if (!BracketTiming(line, open, close, start, end, at))
            continue;
        std::string text = line.substr(at);
        if (microDvd && first && start <= 1 && end <= 1) {
            // "{1}{1}23.976": the frame rate the file was timed for.
            char* stop = nullptr;
            double fps = std::strtod(text.c_str(), &stop);
            if (stop != text.c_str() && fps > 1 && fps < 1000) {
                out.fileFps = fps;
                first = false;
                continue;
            }
        }
        first = false;
        if (!microDvd) {
            start = start * 100;
            end = end < 0 ? -1 : end * 100;
        }
        AddCue(out, start, end, text, LineBreaks::Bar);
    }
    // Open ends last until the next cue starts (a file out of order gets a short line).
    const int64_t shortLine = microDvd ? 75 : 3000;
    for (size_t k = 0; k < out.cues.size(); ++k) {
        SubtitleCue& cue = out.cues[k];
        if (cue.end > cue.start)
            continue;
        int64_t next = k + 1 < out.cues.size() ? out.cues[k + 1].start : -1;
        cue.end = next > cue.start ? next : std::min(kMaxNumber, cue.start + shortLine);
    }
}

// "0:00:02:text", "00:00:02=text"
bool TmpTiming(const std::string& line, int64_t& start, size_t& textAt) {
    size_t i = 0;
    int64_t h = 0, m = 0, s = 0;
    size_t digits = 0;
    if (!Number(line, i, h, &digits) || digits > 2 || !Expect(line, i, ':') ||
        !Number(line, i, m, &digits) || digits != 2 || !Expect(line, i, ':') ||
        !Number(line, i, s, &digits) || digits != 2)
        return false;
    if (!Expect(line, i, ':') && !Expect(line, i, '='))
        return false;
    start = ((h * 60 + m) * 60 + s) * 1000;
    textAt = i;
    return true;
}

void ParseTmPlayer(const std::vector<std::string>& lines, ParsedSubtitles& out) {
    for (const auto& line : lines) {
        int64_t start = 0;
        size_t at = 0;
        if (TmpTiming(line, start, at))
            AddCue(out, start, start, line.substr(at), LineBreaks::Bar);
    }
    // The format has no end times: a line stays until the next, at most five seconds.
    for (size_t k = 0; k < out.cues.size(); ++k) {
        int64_t limit = out.cues[k].start + 5000;
        int64_t next = k + 1 < out.cues.size() ? out.cues[k + 1].start : limit;
        out.cues[k].end = std::max(out.cues[k].start, std::min(next, limit));
    }
}

// "00:00:02.00,00:00:03.00"
bool SubViewerTiming(const std::string& line, int64_t& start, int64_t& end) {
    size_t i = 0;
    if (!Clock(line, i, ".", start) || !Expect(line, i, ',') || !Clock(line, i, ".", end))
        return false;
    SkipBlanks(line, i);
    return i == line.size();
}

void ParseSubViewer2(const std::vector<std::string>& lines, ParsedSubtitles& out) {
    for (size_t k = 0; k < lines.size(); ++k) {
        int64_t start = 0, end = 0;
        if (!SubViewerTiming(lines[k], start, end))
            continue;
        std::string text;
        int64_t a = 0, b = 0;
        while (k + 1 < lines.size() && !IsBlank(lines[k + 1]) &&
               !SubViewerTiming(lines[k + 1], a, b))
            text += (text.empty() ? "" : "\n") + lines[++k];
        AddCue(out, start, end, text, LineBreaks::Br);
    }
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
    size_t i = 0;
    for (; prefix[i] != '\0'; ++i)
        if (i >= s.size() ||
            std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(prefix[i]))
            return false;
    return true;
}

void ParseAss(const std::vector<std::string>& lines, ParsedSubtitles& out) {
    // Field positions from the [Events] "Format:" line; both SSA and ASS put them here.
    size_t startField = 1, endField = 2, textField = 9;
    for (const auto& line : lines) {
        if (StartsWithNoCase(line, "Format:")) {
            size_t field = 0;
            size_t pos = 7;
            bool sawText = false;
            while (pos <= line.size()) {
                size_t comma = line.find(',', pos);
                std::string name =
                    line.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
                name.erase(0, name.find_first_not_of(" \t"));
                while (!name.empty() && (name.back() == ' ' || name.back() == '\r'))
                    name.pop_back();
                if (StartsWithNoCase(name, "Start") && name.size() == 5)
                    startField = field;
                else if (StartsWithNoCase(name, "End") && name.size() == 3)
                    endField = field;
                else if (StartsWithNoCase(name, "Text") && name.size() == 4) {
                    textField = field;
                    sawText = true;
                }
                if (comma == std::string::npos)
                    break;
                pos = comma + 1;
                ++field;
            }
            if (!sawText)
                textField = 9;
            continue;
        }
        if (!StartsWithNoCase(line, "Dialogue:"))
            continue;
        std::vector<size_t> commas; // the text is everything after its field's comma
        for (size_t i = 9; i < line.size() && commas.size() < textField; ++i)
            if (line[i] == ',')
                commas.push_back(i);
        if (commas.size() < textField || startField >= textField || endField >= textField)
            continue;
        auto fieldAt = [&](size_t f) {
            size_t b = f == 0 ? 9 : commas[f - 1] + 1;
            while (b < line.size() && line[b] == ' ')
                ++b;
            return b;
        };
        int64_t start = 0, end = 0;
        size_t i = fieldAt(startField);
        if (!Clock(line, i, ".", start))
            continue;
        i = fieldAt(endField);
        if (!Clock(line, i, ".", end))
            continue;
        AddCue(out, start, end, line.substr(commas[textField - 1] + 1), LineBreaks::BackslashN);
    }
}

SubFormat DetectFormat(const std::vector<std::string>& lines) {
    size_t looked = 0;
    for (const auto& line : lines) {
        if (IsBlank(line))
            continue;
        if (++looked > 200)
            break;
        int64_t a = 0, b = 0;
        size_t at = 0;
        if (StartsWithNoCase(line, "[Script Info]") || StartsWithNoCase(line, "Dialogue:"))
            return SubFormat::Ass;
        if (SrtTiming(line, a, b))
            return SubFormat::SubRip;
        if (SubViewerTiming(line, a, b))
            return SubFormat::SubViewer2;
        if (BracketTiming(line, '{', '}', a, b, at))
            return SubFormat::MicroDvd;
        if (BracketTiming(line, '[', ']', a, b, at))
            return SubFormat::Mpl2;
        if (TmpTiming(line, a, at))
            return SubFormat::TmPlayer;
    }
    return SubFormat::None;
}
} // namespace

const char* SubFormatName(SubFormat format) {
    switch (format) {
    case SubFormat::SubRip:
        return "SubRip";
    case SubFormat::MicroDvd:
        return "MicroDVD";
    case SubFormat::Mpl2:
        return "MPL2";
    case SubFormat::TmPlayer:
        return "TMPlayer";
    case SubFormat::SubViewer2:
        return "SubViewer 2";
    case SubFormat::Ass:
        return "ASS/SSA";
    case SubFormat::None:
        break;
    }
    return "none";
}

ParsedSubtitles ParseSubtitleText(const std::string& utf8) {
    ParsedSubtitles out;
    out.encoding = "UTF-8";
    if (utf8.find('\0') != std::string::npos) {
        out.error = "binary data, not a subtitle file";
        return out;
    }
    std::vector<std::string> lines = Lines(utf8);
    out.format = DetectFormat(lines);
    switch (out.format) {
    case SubFormat::SubRip:
        ParseSubRip(lines, out);
        break;
    case SubFormat::MicroDvd:
        out.inFrames = true;
        ParseBrackets(lines, out, true);
        break;
    case SubFormat::Mpl2:
        ParseBrackets(lines, out, false);
        break;
    case SubFormat::TmPlayer:
        ParseTmPlayer(lines, out);
        break;
    case SubFormat::SubViewer2:
        ParseSubViewer2(lines, out);
        break;
    case SubFormat::Ass:
        ParseAss(lines, out);
        break;
    case SubFormat::None:
        break;
    }
    if (out.cues.empty())
        out.error = out.format == SubFormat::None ? "no subtitle format recognised"
                                                  : "no subtitle lines in it";
    std::stable_sort(out.cues.begin(), out.cues.end(),
                     [](const SubtitleCue& a, const SubtitleCue& b) { return a.start < b.start; });
    return out;
}

ParsedSubtitles ParseSubtitleFile(const std::string& bytes) {
    ParsedSubtitles out;
    if (bytes.empty()) {
        out.error = "the file is empty";
        return out;
    }
    if (bytes.size() > kMaxSubtitleFile) {
        out.error = "the file is over 50 MB, not a subtitle file";
        return out;
    }
    DetectedEncoding encoding = DetectSubtitleEncoding(bytes);
    out = ParseSubtitleText(SubtitleTextToUtf8(bytes, encoding));
    out.encoding = encoding.name;
    return out;
}

std::vector<SubtitleCue> CuesInMilliseconds(const ParsedSubtitles& parsed, double movieFps,
                                            double forcedFps) {
    if (!parsed.inFrames)
        return parsed.cues;
    double fps = forcedFps > 0 ? forcedFps : parsed.fileFps > 0 ? parsed.fileFps : movieFps;
    if (!(fps > 0))
        fps = 25; // the player's own guess when nothing names one
    std::vector<SubtitleCue> cues = parsed.cues;
    for (auto& cue : cues) {
        cue.start = static_cast<int64_t>(static_cast<double>(cue.start) * 1000.0 / fps + 0.5);
        cue.end = static_cast<int64_t>(static_cast<double>(cue.end) * 1000.0 / fps + 0.5);
    }
    return cues;
}
