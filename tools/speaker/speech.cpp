#include "tools/speaker/speech.h"

#include "platform/fdio.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <espeak-ng/speak_lib.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

Speech* g_speech = nullptr; // the one instance the synthesis callback fills

void PutLe(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string WavFile(const std::vector<int16_t>& samples, int rate) {
    uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::string out = "RIFF";
    PutLe(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    PutLe(out, 16, 4);
    PutLe(out, 1, 2); // PCM
    PutLe(out, 1, 2); // mono
    PutLe(out, static_cast<uint32_t>(rate), 4);
    PutLe(out, static_cast<uint32_t>(rate) * 2, 4);
    PutLe(out, 2, 2);
    PutLe(out, 16, 2);
    out += "data";
    PutLe(out, dataBytes, 4);
    for (int16_t s : samples)
        PutLe(out, static_cast<uint16_t>(s), 2);
    return out;
}

bool AppendLine(const std::string& path, const std::string& line) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = WriteAllBlocking(fd, line);
    close(fd);
    return ok;
}

// Written under a temporary name and renamed, so a reader never sees half a file.
bool WriteWhole(const std::string& path, const std::string& bytes) {
    std::string temporary = path + ".part";
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = WriteAllBlocking(fd, bytes);
    close(fd);
    return ok && rename(temporary.c_str(), path.c_str()) == 0;
}

int OnSamples(short* wav, int count, espeak_EVENT*) {
    return g_speech->TakeSamples(wav, count);
}

} // namespace

int64_t SteadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool Speech::Start(const SpeechOptions& options, std::string* error) {
    options_ = options;
    wav_ = !options.wavDir.empty();
    // Short buffers: the first samples of a line come out a few milliseconds after it arrives.
    int rate =
        espeak_Initialize(wav_ ? AUDIO_OUTPUT_SYNCHRONOUS : AUDIO_OUTPUT_PLAYBACK, 20, nullptr, 0);
    if (rate <= 0) {
        *error = wav_ ? "espeak-ng cannot start (are its data files installed? package "
                        "espeak-ng-data)"
                      : "espeak-ng cannot start or finds no audio output";
        return false;
    }
    sampleRate_ = rate;
    if (espeak_SetVoiceByName(options.voice.c_str()) != EE_OK) {
        *error =
            "espeak-ng has no voice \"" + options.voice + "\" (install the package espeak-ng-data)";
        return false;
    }
    espeak_SetParameter(espeakRATE, options.rate, 0);
    espeak_SetParameter(espeakVOLUME, options.volume, 0);
    if (wav_) {
        g_speech = this;
        espeak_SetSynthCallback(&OnSamples);
        worker_ = std::thread(&Speech::WavLoop, this);
    }
    return true;
}

void Speech::Say(const std::string& service, const std::string& text) {
    Request request{service, text, SteadyNowNs()};
    if (!wav_) {
        // espeak-ng plays on its own thread; cancelling cuts the line still spoken.
        espeak_Cancel();
        espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                     nullptr);
        int number;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            number = ++counter_;
        }
        if (!options_.timesFile.empty()) {
            char line[96];
            std::snprintf(line, sizeof(line), "%04d\t%lld\t-\n", number,
                          static_cast<long long>(request.receivedNs));
            AppendLine(options_.timesFile, line);
        }
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_ = std::move(request);
        hasPending_ = true;
    }
    cv_.notify_all();
}

void Speech::Stop() {
    if (!wav_) {
        espeak_Cancel();
        espeak_Terminate();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    cv_.notify_all();
    if (worker_.joinable())
        worker_.join();
    espeak_Terminate();
}

int Speech::TakeSamples(const short* wav, int count) {
    if (wav != nullptr && count > 0) {
        if (samples_.empty())
            firstSampleNs_ = SteadyNowNs();
        samples_.insert(samples_.end(), wav, wav + count);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return (hasPending_ || stopping_) ? 1 : 0;
}

void Speech::WavLoop() {
    for (;;) {
        Request request;
        int number;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            cv_.wait(lock, [&] { return hasPending_ || stopping_; });
            if (!hasPending_)
                return;
            request = std::move(pending_);
            hasPending_ = false;
            number = ++counter_;
        }
        samples_.clear();
        firstSampleNs_ = 0;
        espeak_Synth(request.text.c_str(), request.text.size() + 1, 0, POS_CHARACTER, 0,
                     espeakCHARS_UTF8, nullptr, nullptr);
        espeak_Synchronize();
        if (samples_.empty()) {
            Write(number, request, samples_, 0);
            continue;
        }
        // The utterance is "heard" from its first sample for its own length, unless the next
        // line (or the end) comes first and cuts it there.
        auto length = std::chrono::nanoseconds(static_cast<int64_t>(samples_.size()) *
                                               1000000000LL / sampleRate_);
        auto end = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(firstSampleNs_)) +
                   length;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            cv_.wait_until(lock, end, [&] { return hasPending_ || stopping_; });
        }
        int64_t heardNs = SteadyNowNs() - firstSampleNs_;
        size_t heard = static_cast<size_t>(heardNs * sampleRate_ / 1000000000LL);
        if (heard < samples_.size())
            samples_.resize(heard);
        Write(number, request, samples_, firstSampleNs_);
    }
}

void Speech::Write(int number, const Request& request, const std::vector<int16_t>& samples,
                   int64_t firstSampleNs) {
    char name[16];
    std::snprintf(name, sizeof(name), "%04d", number);
    if (!WriteWhole(options_.wavDir + "/" + name + ".wav", WavFile(samples, sampleRate_)))
        std::fprintf(stderr, "quorvan-speaker: cannot write %s/%s.wav: %s\n",
                     options_.wavDir.c_str(), name, std::strerror(errno));
    if (!options_.timesFile.empty()) {
        char line[96];
        std::snprintf(line, sizeof(line), "%s\t%lld\t%lld\n", name,
                      static_cast<long long>(request.receivedNs),
                      static_cast<long long>(firstSampleNs));
        AppendLine(options_.timesFile, line);
    }
    AppendLine(options_.wavDir + "/index.txt",
               std::string(name) + "\t" + request.service + "\t" + request.text + "\n");
}
