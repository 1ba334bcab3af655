#include "tests/support/speechmovie.h"

#include "tests/support/testenv.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 22050; // espeak-ng's own
constexpr int kPoolSize = 60;

const char* const kWords[] = {
    "the",      "house",     "river",    "window",  "quickly", "never",   "yellow",  "morning",
    "station",  "letter",    "remember", "garden",  "tonight", "money",   "doctor",  "answer",
    "silver",   "winter",    "open",     "close",   "listen",  "follow",  "brother", "city",
    "train",    "coffee",    "paper",    "always",  "maybe",   "police",  "seven",   "hundred",
    "people",   "under",     "across",   "table",   "forget",  "problem", "careful", "little",
    "mountain", "yesterday", "promise",  "captain", "window",  "darling", "nothing", "really"};

std::string Sentence(std::mt19937& rng) {
    std::uniform_int_distribution<int> count(3, 9);
    std::uniform_int_distribution<size_t> word(0, std::size(kWords) - 1);
    std::string s;
    for (int n = count(rng), i = 0; i < n; ++i)
        s += (s.empty() ? "" : " ") + std::string(kWords[word(rng)]);
    return s;
}

// The samples of a 16-bit mono WAV file espeak-ng wrote.
std::vector<int16_t> ReadWav(const std::string& path) {
    std::string bytes = ReadFile(path);
    std::vector<int16_t> samples;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        uint32_t size = 0;
        std::memcpy(&size, bytes.data() + at + 4, 4);
        if (bytes.compare(at, 4, "data") == 0) {
            size = static_cast<uint32_t>(std::min<size_t>(size, bytes.size() - at - 8));
            samples.resize(size / 2);
            std::memcpy(samples.data(), bytes.data() + at + 8, samples.size() * 2);
            break;
        }
        at += 8 + size + (size & 1);
    }
    return samples;
}

void WriteWav(const std::string& path, const std::vector<int16_t>& samples) {
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    uint32_t data = static_cast<uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    u32(36 + data);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(kRate);
    u32(kRate * 2);
    u16(2);
    u16(16);
    out.write("data", 4);
    u32(data);
    out.write(reinterpret_cast<const char*>(samples.data()), data);
}

std::string Key(const SpeechMovieSpec& s) {
    char text[200];
    std::snprintf(text, sizeof text, "speech%ds_seed%u_fps%.3f_noise%.0f%s_ch%d%s", s.seconds,
                  s.seed, s.fps, s.noiseDb, s.music ? "_music" : "", s.channels,
                  s.video ? "" : "_novideo");
    return text;
}

std::vector<SpokenLine> ReadSpokenLines(const std::string& path) {
    std::vector<SpokenLine> lines;
    std::ifstream in(path);
    std::string row;
    while (std::getline(in, row)) {
        std::istringstream fields(row);
        SpokenLine l;
        fields >> l.startMs >> l.endMs;
        std::getline(fields >> std::ws, l.text);
        lines.push_back(l);
    }
    return lines;
}

} // namespace

SpeechMovie MakeSpeechMovie(const SpeechMovieSpec& spec) {
    SpeechMovie movie;
    std::string dir = spec.folder.empty() ? TestBinDir() + "/movies" : spec.folder;
    fs::create_directories(dir);
    std::string base = dir + "/" + Key(spec);
    const std::string extension = spec.video ? ".mkv" : ".mka";
    std::string path = base + extension, linesPath = base + ".lines";
    if (fs::exists(path) && fs::exists(linesPath)) {
        movie.path = path;
        movie.lines = ReadSpokenLines(linesPath);
        return movie;
    }

    // A pool of spoken sentences, reused through the movie: timing is what the sync sees.
    TempDir work;
    std::mt19937 rng(spec.seed);
    std::vector<std::string> texts;
    std::vector<std::vector<int16_t>> speech;
    for (int k = 0; k < kPoolSize; ++k) {
        texts.push_back(Sentence(rng));
        std::string wav = work.file("line" + std::to_string(k) + ".wav");
        std::string out;
        if (RunCommand({"espeak-ng", "-s", "170", "-w", wav, texts.back()}, &out) != 0) {
            movie.error = "espeak-ng failed: " + out;
            return movie;
        }
        std::vector<int16_t> s = ReadWav(wav);
        // espeak-ng's own silence before and after a sentence is cut: the line starts when
        // the voice does.
        auto loud = [](int16_t v) { return std::abs(static_cast<int>(v)) > 300; };
        auto first = std::find_if(s.begin(), s.end(), loud);
        auto last = std::find_if(s.rbegin(), s.rend(), loud).base();
        speech.emplace_back(first, first < last ? last : first);
    }

    const size_t total = static_cast<size_t>(spec.seconds) * kRate;
    std::vector<float> mix(total, 0);
    std::uniform_int_distribution<int> pick(0, kPoolSize - 1);
    std::uniform_real_distribution<double> gap(0.4, 3.0), pause(8, 25), chance(0, 1);
    double t = 1.5 + gap(rng);
    double energy = 0;
    size_t voiced = 0;
    while (true) {
        int k = pick(rng);
        const auto& s = speech[static_cast<size_t>(k)];
        size_t at = static_cast<size_t>(t * kRate);
        if (at + s.size() + kRate >= total)
            break;
        for (size_t i = 0; i < s.size(); ++i) {
            mix[at + i] += static_cast<float>(s[i]) / 32768.0f;
            energy += static_cast<double>(s[i]) * s[i] / (32768.0 * 32768.0);
        }
        voiced += s.size();
        double length = static_cast<double>(s.size()) / kRate;
        SpokenLine line;
        line.startMs = std::llround(t * 1000);
        line.endMs = std::llround((t + length + 0.3) * 1000);
        line.text = texts[static_cast<size_t>(k)];
        movie.lines.push_back(line);
        t += length + 0.3 + (chance(rng) < 0.05 ? pause(rng) : gap(rng));
    }
    // Noise (and the tune) 10 dB under the speech's own level.
    double speechRms = std::sqrt(energy / static_cast<double>(std::max<size_t>(1, voiced)));
    double level = speechRms * std::pow(10.0, spec.noiseDb / 20);
    std::normal_distribution<double> noise(0, spec.music ? level / std::sqrt(2.0) : level);
    double lowpass = 0;
    for (size_t i = 0; i < total; ++i) {
        // Somewhat darker than white, as room noise is.
        lowpass = 0.6 * lowpass + 0.4 * noise(rng);
        mix[i] += static_cast<float>(lowpass * 1.6);
    }
    if (spec.music) {
        const double notes[] = {220, 247, 262, 294, 330, 349, 392, 440};
        double amplitude = level / std::sqrt(2.0) * std::sqrt(2.0);
        for (size_t i = 0; i < total; ++i) {
            size_t bar = i / (kRate / 2);
            double f = notes[(bar * 5 + bar / 7) % std::size(notes)];
            double x = static_cast<double>(i) / kRate;
            mix[i] += static_cast<float>(
                amplitude * (std::sin(2 * M_PI * f * x) + 0.5 * std::sin(2 * M_PI * 1.5 * f * x)) /
                1.5);
        }
    }
    std::vector<int16_t> pcm(total);
    for (size_t i = 0; i < total; ++i)
        pcm[i] = static_cast<int16_t>(std::clamp(mix[i] * 0.7f, -1.0f, 1.0f) * 32767);
    mix.clear();
    mix.shrink_to_fit();
    std::string wav = work.file("mix.wav");
    WriteWav(wav, pcm);

    char rate[40];
    std::snprintf(rate, sizeof rate, "%.0f/1001", spec.fps * 1001);
    if (std::fabs(spec.fps - std::round(spec.fps)) < 1e-6)
        std::snprintf(rate, sizeof rate, "%.0f", spec.fps);
    std::string tmp = base + "." + std::to_string(getpid()) + extension;
    std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-y"};
    if (spec.video)
        argv.insert(argv.end(),
                    {"-f", "lavfi", "-i", std::string("color=c=gray:size=160x120:rate=") + rate});
    argv.insert(argv.end(), {"-i", wav});
    if (spec.video)
        argv.insert(argv.end(), {"-map", "0:v", "-map", "1:a", "-c:v", "mpeg4", "-q:v", "20"});
    argv.insert(argv.end(), {"-c:a", "ac3", "-b:a", spec.channels > 2 ? "384k" : "96k", "-ar",
                             "48000", "-ac", std::to_string(spec.channels), "-shortest", tmp});
    std::string out;
    int rc = RunCommand(argv, &out);
    if (rc != 0) {
        movie.error = "ffmpeg failed: " + out;
        return movie;
    }
    std::ofstream lines(linesPath + ".tmp");
    for (const auto& l : movie.lines)
        lines << l.startMs << ' ' << l.endMs << ' ' << l.text << '\n';
    lines.close();
    fs::rename(linesPath + ".tmp", linesPath);
    fs::rename(tmp, path);
    movie.path = path;
    return movie;
}

std::string SubRipOf(const std::vector<SpokenLine>& lines, double scale, double offsetMs,
                     int64_t splitAfterMs, double offsetAfterMs) {
    std::string out;
    auto clock = [](double ms) {
        long long v = std::max(0LL, std::llround(ms));
        char text[40];
        std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld,%03lld", v / 3600000, v / 60000 % 60,
                      v / 1000 % 60, v % 1000);
        return std::string(text);
    };
    int n = 0;
    for (const auto& l : lines) {
        double b = splitAfterMs >= 0 && l.startMs >= splitAfterMs ? offsetAfterMs : offsetMs;
        if (static_cast<double>(l.startMs) * scale + b < 0)
            continue; // before the movie's start: no such line in a real subtitle
        out += std::to_string(++n) + "\n" + clock(static_cast<double>(l.startMs) * scale + b) +
               " --> " + clock(static_cast<double>(l.endMs) * scale + b) + "\n" + l.text + "\n\n";
    }
    return out;
}
