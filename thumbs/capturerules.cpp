#include "thumbs/capturerules.h"

#include "platform/textutil.h"

#include <algorithm>
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
    // A length no player reports counts as unknown; keeps the casts defined.
    const double length =
        std::isfinite(movieLength) && movieLength > 0 && movieLength < 1e9 ? movieLength : 0;
    const double last = std::max(0.0, std::ceil(length) - 1);
    const double span = length - 60.0;
    positions.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        double position = span >= count ? i * (span / count) + 10.0 : (i + 0.5) * length / count;
        positions.push_back(static_cast<int>(std::clamp(std::trunc(position), 0.0, last)));
    }
    return positions;
}

std::vector<int> SeriesPercentPositions(int count) {
    std::vector<int> positions;
    for (int i = 0; i < count; ++i)
        positions.push_back(std::min(99, static_cast<int>((i + 0.5) * 100.0 / count)));
    return positions;
}

double FramesPerSecond(const std::string& videoLine) {
    size_t fps = videoLine.find(" fps");
    if (fps == std::string::npos)
        return 0;
    size_t begin = videoLine.find_last_of(' ', fps - 1);
    if (begin == std::string::npos)
        return 0;
    double value = std::strtod(videoLine.c_str() + begin + 1, nullptr);
    return std::isfinite(value) && value > 0 && value < 1000 ? value : 0;
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

bool ParseTimePositionSeconds(const char* line, double* seconds) {
    static const char kPrefix[] = "ANS_TIME_POSITION=";
    if (line == nullptr || std::strncmp(line, kPrefix, sizeof(kPrefix) - 1) != 0)
        return false;
    char* end = nullptr;
    double value = std::strtod(line + sizeof(kPrefix) - 1, &end);
    if (end == line + sizeof(kPrefix) - 1 || !std::isfinite(value))
        return false;
    *seconds = value;
    return true;
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
