#include "tools/wrapper/streamtiming.h"

#include "platform/textutil.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {
bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// A decimal number at `text` with nothing but blanks after it (strtod's own rules).
bool WholeNumber(const std::string& text, double* value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(begin, &end);
    if (end == begin || errno == ERANGE || !std::isfinite(v))
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0')
        return false;
    *value = v;
    return true;
}

// Movie time of one of mplayer's clock readings.
double MovieTime(double playerSeconds, const StreamTiming& timing) {
    return std::max(0.0, playerSeconds - timing.start);
}

// Replaces the number after the tag at `at` (blanks, then digits) by its movie time, keeping
// the field's width so the status line keeps its look.
void ShiftNumberAfter(std::string& body, size_t at, size_t tagLength, const StreamTiming& timing) {
    size_t field = at + tagLength;
    const char* begin = body.c_str() + field;
    char* end = nullptr;
    double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value))
        return;
    size_t width = static_cast<size_t>(end - begin);
    std::string shifted = Format("%*.1f", static_cast<int>(width), MovieTime(value, timing));
    body.replace(field, width, shifted);
}
} // namespace

std::string RetellPiece(const std::string& piece, const StreamTiming& timing) {
    size_t bodyEnd = piece.find_last_not_of("\r\n");
    if (bodyEnd == std::string::npos)
        return piece;
    std::string body = piece.substr(0, bodyEnd + 1);
    const std::string lineEnd = piece.substr(bodyEnd + 1);
    if (StartsWith(body, "ID_LENGTH=") || StartsWith(body, "ANS_LENGTH=") ||
        StartsWith(body, "ANS_length=")) {
        if (timing.length <= 0)
            return piece;
        return body.substr(0, body.find('=') + 1) + Format("%.2f", timing.length) + lineEnd;
    }
    if (StartsWith(body, "ANS_TIME_POSITION=")) {
        double value = 0;
        if (!WholeNumber(body.substr(18), &value))
            return piece;
        return "ANS_TIME_POSITION=" + Format("%.1f", MovieTime(value, timing)) + lineEnd;
    }
    if (StartsWith(body, "A:")) {
        // Both values of the line, the video one first so the audio one's place stays put.
        size_t video = body.find(" V:");
        if (video != std::string::npos)
            ShiftNumberAfter(body, video, 3, timing);
        ShiftNumberAfter(body, 0, 2, timing);
        return body + lineEnd;
    }
    if (StartsWith(body, "V:")) {
        ShiftNumberAfter(body, 0, 2, timing);
        return body + lineEnd;
    }
    return piece;
}

bool PositionInPiece(const std::string& piece, double* seconds) {
    const char* text = piece.c_str();
    size_t skip = 0;
    if (StartsWith(piece, "ANS_TIME_POSITION="))
        skip = 18;
    else if (StartsWith(piece, "A:") || StartsWith(piece, "V:"))
        skip = 2;
    else
        return false;
    char* end = nullptr;
    double value = std::strtod(text + skip, &end);
    if (end == text + skip || !std::isfinite(value))
        return false;
    *seconds = value;
    return true;
}

bool ParseSeekCommand(const std::string& command, SeekCommand* seek) {
    std::string rest = command;
    std::string prefix;
    for (const char* p : {"pausing_keep_force ", "pausing_keep ", "pausing_toggle ", "pausing "}) {
        if (StartsWith(rest, p)) {
            prefix = p;
            rest.erase(0, std::strlen(p));
            break;
        }
    }
    rest.erase(0, rest.find_first_not_of(' '));
    if (!StartsWith(rest, "seek ") && !StartsWith(rest, "seek\t"))
        return false;
    rest.erase(0, 5);
    rest.erase(0, rest.find_first_not_of(" \t"));
    const char* begin = rest.c_str();
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(begin, &end);
    if (end == begin || errno == ERANGE || !std::isfinite(value) || (*end != '\0' && *end != ' '))
        return false;
    std::string after = end;
    after.erase(0, after.find_first_not_of(" \t"));
    int type = 0;
    if (!after.empty()) {
        double t = 0;
        if (!WholeNumber(after, &t) || t != std::floor(t) || t < 0 || t > 2)
            return false;
        type = static_cast<int>(t);
    }
    seek->prefix = prefix;
    seek->value = value;
    seek->type = type;
    return true;
}

std::string ByteSeekCommand(const std::string& prefix, uint64_t offset, uint64_t size) {
    if (size == 0)
        return prefix + "seek 0 1";
    // A float's 24 bits of a percent: about 6e-8 of the size off either way.
    const uint64_t margin = std::max<uint64_t>(4096, size / 5000000);
    const uint64_t at = std::min(offset > margin ? offset - margin : 0, size);
    const double percent = 100.0 * static_cast<double>(at) / static_cast<double>(size);
    return prefix + Format("seek %.6f 1", percent);
}

bool ParseStartPosition(const std::string& text, double* seconds) {
    double total = 0;
    size_t start = 0;
    int parts = 0;
    while (true) {
        size_t colon = text.find(':', start);
        std::string part = text.substr(start, colon == std::string::npos ? colon : colon - start);
        double value = 0;
        if (part.empty() || part[0] == '-' || part[0] == '+' || !WholeNumber(part, &value))
            return false;
        total = total * 60 + value;
        if (++parts > 3)
            return false;
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    *seconds = total;
    return true;
}
