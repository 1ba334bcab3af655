// libFuzzer target: subtitle files over arbitrary bytes (encoding detection, decoding, every
// format's parser, frame conversion, writing them again with new times) and the frame-rate
// reading of a first line. Besides not
// crashing: cues are sorted with ends never before starts, and their text is clean of empty
// lines.
#include "subtitles/encoding.h"
#include "subtitles/subtitleloading.h"
#include "subtitles/subtitleparse.h"
#include "subtitles/subtitleretime.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    ParsedSubtitles parsed = ParseSubtitleFile(bytes);
    for (size_t i = 0; i < parsed.cues.size(); ++i) {
        const SubtitleCue& cue = parsed.cues[i];
        if (cue.end < cue.start || cue.text.empty() || cue.text.find("\n\n") != std::string::npos)
            std::abort();
        if (i > 0 && parsed.cues[i - 1].start > cue.start)
            std::abort();
    }
    for (const SubtitleCue& cue : CuesInMilliseconds(parsed, 23.976, size % 2 ? 29.97 : 0))
        if (cue.end < cue.start)
            std::abort();
    (void)Utf8ToEncoding(SubtitleTextToUtf8(bytes, DetectSubtitleEncoding(bytes)), "CP1250");
    (void)RetimeSubtitleFile(
        bytes, [](double start, double ms) { return 1.0427 * ms + (start > 60000 ? -4000 : 2500); },
        size % 3 ? 25 : 0);
    (void)GetFpsFromLine(bytes);
    (void)CzyToNapis(bytes.c_str());
    return 0;
}
