// binary/quorvan-speaker: the speech server of the voice-over. It answers the conversations
// the front end opens with the synthesisers "unispiker", "Expressivo", "Syntalk" and
// "rozmowy" and reads each line aloud with espeak-ng in Polish.
#include "tools/speaker/server.h"
#include "tools/speaker/speech.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kUsage[] =
    "usage: quorvan-speaker [--voice NAME] [--rate WPM] [--volume N]\n"
    "  Serves the voice-over of Quorvan Rar Player and speaks with espeak-ng.\n"
    "  --voice NAME  espeak-ng voice (default $QUORVAN_SPEAKER_VOICE, else pl)\n"
    "  --rate WPM    words per minute, 80 to 450 (default 175)\n"
    "  --volume N    0 to 200 (default 100)\n"
    "  With QUORVAN_SPEAKER_WAV_DIR set, each utterance is written to that folder as NNNN.wav\n"
    "  (and listed in index.txt there) instead of being played.\n";

bool ParseInt(const char* text, int low, int high, int* value) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < low || v > high)
        return false;
    *value = static_cast<int>(v);
    return true;
}

int Usage(const std::string& problem) {
    std::fprintf(stderr, "quorvan-speaker: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

std::string g_readyLine;

void SayReady() {
    std::fputs(g_readyLine.c_str(), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    SpeechOptions options;
    if (const char* voice = std::getenv("QUORVAN_SPEAKER_VOICE"); voice != nullptr && voice[0])
        options.voice = voice;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg != "--voice" && arg != "--rate" && arg != "--volume")
            return Usage("unknown option " + arg);
        if (i + 1 >= argc)
            return Usage(arg + " needs a value");
        const char* value = argv[++i];
        if (arg == "--voice") {
            options.voice = value;
            if (options.voice.empty())
                return Usage("--voice needs a name");
        } else if (arg == "--rate" && !ParseInt(value, 80, 450, &options.rate)) {
            return Usage("--rate takes words per minute from 80 to 450, not " + std::string(value));
        } else if (arg == "--volume" && !ParseInt(value, 0, 200, &options.volume)) {
            return Usage("--volume takes 0 to 200, not " + std::string(value));
        }
    }
    if (const char* dir = std::getenv("QUORVAN_SPEAKER_WAV_DIR"); dir != nullptr && dir[0]) {
        struct stat st {};
        if (stat(dir, &st) != 0 || !S_ISDIR(st.st_mode) || access(dir, W_OK) != 0) {
            std::fprintf(stderr,
                         "quorvan-speaker: QUORVAN_SPEAKER_WAV_DIR %s is not a writable "
                         "folder\n",
                         dir);
            return 1;
        }
        options.wavDir = dir;
    }
    if (const char* times = std::getenv("QUORVAN_SPEAKER_TIMES"); times != nullptr)
        options.timesFile = times;

    Speech speech;
    std::string error;
    if (!speech.Start(options, &error)) {
        std::fprintf(stderr, "quorvan-speaker: %s\n", error.c_str());
        return 3;
    }
    g_readyLine = "quorvan-speaker: ready, voice " + options.voice + ", " +
                  (options.wavDir.empty() ? std::string("default audio output")
                                          : "WAV files in " + options.wavDir) +
                  "\n";
    // Started by the front end, standard input is a pipe it holds: its end is ours too.
    struct stat in {};
    bool watchStdin = fstat(0, &in) == 0 && S_ISFIFO(in.st_mode);
    ServeEnd end = Serve(speech, watchStdin, SayReady, &error);
    speech.Stop();
    if (end == ServeEnd::AlreadyRunning) {
        std::fputs("quorvan-speaker: already running (another speaker serves)\n", stdout);
        return 0;
    }
    if (end == ServeEnd::Failed) {
        std::fprintf(stderr, "quorvan-speaker: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
