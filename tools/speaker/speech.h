#pragma once
// Speaking with the espeak-ng library. One utterance at a time: a new one interrupts the one
// still spoken, so speech never falls behind the picture.
//
// With a WAV folder, nothing is played: each utterance becomes NNNN.wav there (as much of it
// as was "heard" before the next line interrupted it, the utterance taking its own length in
// real time from its first sample) and a line "NNNN<TAB>service<TAB>text" in index.txt. With
// a times file, a line "NNNN<TAB>received<TAB>first sample" (steady-clock nanoseconds) per
// utterance records the latency.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SpeechOptions {
    std::string voice = "pl";
    int rate = 175;   // words per minute (espeak-ng: 80 to 450)
    int volume = 100; // 0 to 200
    std::string wavDir;
    std::string timesFile;
};

class Speech {
  public:
    // Initialises espeak-ng with the voice. False with a reason in `error`.
    bool Start(const SpeechOptions& options, std::string* error);
    // Speaks `text` (UTF-8), interrupting what is spoken. Never waits for speech.
    void Say(const std::string& service, const std::string& text);
    // Ends speech; a WAV being "heard" is written up to now.
    void Stop();
    // The synthesis callback's work (on the worker thread): keeps the samples; non-zero asks
    // espeak-ng to stop synthesising because a newer line is waiting.
    int TakeSamples(const short* wav, int count);

  private:
    struct Request {
        std::string service;
        std::string text;
        int64_t receivedNs = 0;
    };
    void WavLoop();
    void Write(int number, const Request& request, const std::vector<int16_t>& samples,
               int64_t firstSampleNs);

    SpeechOptions options_;
    int sampleRate_ = 22050;
    bool wav_ = false;
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool stopping_ = false;
    bool hasPending_ = false;
    Request pending_;
    int counter_ = 0;
    // Filled by the synthesis callback on the worker thread.
    std::vector<int16_t> samples_;
    int64_t firstSampleNs_ = 0;
};

int64_t SteadyNowNs();
