#include "thumbs/capturerules.h"

#include "platform/textutil.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

std::string ThumbExtraOptions(int width, int across) {
    return Format(" -xy %d -nosound ", ThumbFrameWidth(width, across));
}

int ThumbFrameWidth(int width, int across) {
    if (across <= 0)
        return width > 0 ? width : 1;
    int w = width / across;
    return w > 0 ? w : 1;
}

std::vector<int> SeriesPositions(float movieLength, int count) {
    std::vector<int> positions;
    if (count <= 0)
        return positions;
    double step = (static_cast<double>(movieLength) - 60.0) / count;
    positions.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        double position = std::trunc(i * step + 10.0);
        // A length no player reports; keeps the cast defined.
        if (!(position > -1e9 && position < 1e9))
            position = 10;
        positions.push_back(static_cast<int>(position));
    }
    return positions;
}

std::vector<int> PercentPositions() {
    std::vector<int> positions;
    for (int p = 1; p <= 99; p += 2)
        positions.push_back(p);
    return positions;
}

namespace {
// Whole seconds of a decimal number at `text` (blanks first skipped); false when none.
bool WholeSeconds(const char* text, int* seconds) {
    while (*text == ' ' || *text == '\t')
        ++text;
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text)
        return false;
    if (value > 1000000000L)
        value = 1000000000L;
    if (value < -1000000000L)
        value = -1000000000L;
    *seconds = static_cast<int>(value);
    return true;
}
} // namespace

bool ParseVideoTime(const char* line, int* seconds) {
    if (line == nullptr || std::strncmp(line, "V:", 2) != 0)
        return false;
    return WholeSeconds(line + 2, seconds);
}

bool ParseTimePositionAnswer(const char* line, int* seconds) {
    static const char kPrefix[] = "ANS_TIME_POSITION=";
    if (line == nullptr || std::strncmp(line, kPrefix, sizeof(kPrefix) - 1) != 0)
        return false;
    return WholeSeconds(line + sizeof(kPrefix) - 1, seconds);
}

bool ParseLengthAnswer(const char* line, float* seconds) {
    static const char kPrefix[] = "ANS_LENGTH=";
    if (line == nullptr || std::strncmp(line, kPrefix, sizeof(kPrefix) - 1) != 0)
        return false;
    char* end = nullptr;
    float value = std::strtof(line + sizeof(kPrefix) - 1, &end);
    if (end == line + sizeof(kPrefix) - 1 || !std::isfinite(value))
        return false;
    *seconds = value;
    return true;
}

bool IsStartingPlayback(const char* line) {
    return line != nullptr && StartsWithNoCase(line, "Starting playb");
}

bool IsScreenshotLine(const char* line) {
    return line != nullptr && StartsWithNoCase(line, "*** screensho");
}

bool IsExitingLine(const char* line) {
    return line != nullptr && StartsWithNoCase(line, "Exitin");
}
