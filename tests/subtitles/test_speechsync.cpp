// Subtitles synchronised to the speech of movies that speak them (espeak-ng under noise):
// shifted, stretched and cut subtitles come back to the speech through `quorvan sync`, from a
// loose movie, a stored RAR set and a pipe, in SubRip and MicroDVD; another movie's subtitle
// is refused.
#include "subtitles/subtitleparse.h"
#include "tests/rar/rarfixture.h"
#include "tests/support/speechmovie.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>

namespace {

struct ToolRun {
    int status = -1;
    std::string out, err;
};

ToolRun Quorvan(const std::vector<std::string>& args, const TempDir& dir) {
    std::vector<std::string> argv = {StageDir() + "/quorvan"};
    argv.insert(argv.end(), args.begin(), args.end());
    ToolRun run;
    run.status = RunCommandToFiles(argv, dir.file("stdout"), dir.file("stderr"));
    run.out = ReadFile(dir.file("stdout"));
    run.err = ReadFile(dir.file("stderr"));
    return run;
}

// The median distance between the synced starts and the true ones, in ms. The synced file
// holds the lines the test wrote, in order.
double MedianStartError(const std::string& synced, const std::vector<SpokenLine>& truth, double fps,
                        size_t* count) {
    ParsedSubtitles parsed = ParseSubtitleFile(ReadFile(synced));
    std::vector<SubtitleCue> cues = CuesInMilliseconds(parsed, fps);
    *count = cues.size();
    std::vector<double> errors;
    for (size_t i = 0; i < cues.size() && i < truth.size(); ++i)
        errors.push_back(std::fabs(static_cast<double>(cues[i].start - truth[i].startMs)));
    if (errors.empty())
        return 1e9;
    std::nth_element(errors.begin(), errors.begin() + static_cast<long>(errors.size() / 2),
                     errors.end());
    return errors[errors.size() / 2];
}

// The lines a shifted subtitle keeps (those that do not fall before the movie's start).
std::vector<SpokenLine> Kept(const std::vector<SpokenLine>& lines, double scale, double offset) {
    std::vector<SpokenLine> kept;
    for (const auto& l : lines)
        if (static_cast<double>(l.startMs) * scale + offset >= 0)
            kept.push_back(l);
    return kept;
}

class SpeechSync : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        SpeechMovieSpec spec;
        spec.seconds = 240;
        spec.seed = 27;
        movie_ = new SpeechMovie(MakeSpeechMovie(spec));
    }
    static void TearDownTestSuite() {
        delete movie_;
        movie_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(movie_->path, "") << movie_->error;
        ASSERT_GT(movie_->lines.size(), 25u);
    }
    static SpeechMovie* movie_;
    TempDir dir;
};
SpeechMovie* SpeechSync::movie_ = nullptr;

TEST_F(SpeechSync, ShiftedStretchedAndCutSubtitlesComeBackToTheSpeech) {
    const auto& lines = movie_->lines;
    const int64_t middle = lines[lines.size() / 2].startMs;
    struct Case {
        const char* name;
        double scale, offset;
        int64_t split;
        double after;
        double wantOffset; // what the sync must report, seconds
        const char* wantRate;
        bool wantSplit;
    };
    const Case cases[] = {
        {"3.2 s late", 1, 3200, -1, 0, -3.2, "1", false},
        {"47 s early", 1, -47000, -1, 0, 47, "1", false},
        {"6 minutes late", 1, 360000, -1, 0, -360, "1", false},
        {"timed for 23.976 played at 25", 25 / (24000.0 / 1001), 0, -1, 0, 0, "23.976->25", false},
        {"4 s later after the middle", 1, 0, middle, 4000, 0, "1", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string sub = dir.file("movie.srt");
        WriteFile(sub, SubRipOf(lines, c.scale, c.offset, c.split, c.after));
        std::filesystem::remove(dir.file("movie.synced.srt"));
        ToolRun run = Quorvan({"sync", movie_->path, sub, "--json"}, dir);
        ASSERT_EQ(run.status, 0) << run.err << run.out;
        nlohmann::json j = nlohmann::json::parse(run.out);
        EXPECT_EQ(j["synced"], true);
        EXPECT_EQ(j["out"], dir.file("movie.synced.srt"));
        EXPECT_EQ(j["rate_name"], c.wantRate) << run.out;
        ASSERT_EQ(!j["split"].is_null(), c.wantSplit) << run.out;
        if (c.scale == 1 && !c.wantSplit) {
            EXPECT_NEAR(j["offset"].get<double>(), c.wantOffset, 0.15) << run.out;
        }
        if (c.wantSplit) {
            EXPECT_NEAR(j["offset_after"].get<double>() - j["offset"].get<double>(), -4, 0.15)
                << run.out;
        }
        size_t count = 0;
        double error = MedianStartError(dir.file("movie.synced.srt"),
                                        Kept(lines, c.scale, c.offset), 25, &count);
        EXPECT_EQ(count, Kept(lines, c.scale, c.offset).size());
        EXPECT_LE(error, 100) << run.out;
    }
}

TEST_F(SpeechSync, MicroDvdFromAStoredSetAndMpl2FromAPipeAreWrittenInTheirOwnFormat) {
    const auto& lines = movie_->lines;
    const double fps = 24000.0 / 1001;
    // MicroDVD counted in the movie's frames, 3.2 s late, in a stored RAR set.
    std::string micro;
    for (const auto& l : lines)
        micro +=
            "{" +
            std::to_string(std::llround((static_cast<double>(l.startMs) + 3200) * fps / 1000)) +
            "}{" +
            std::to_string(std::llround((static_cast<double>(l.endMs) + 3200) * fps / 1000)) + "}" +
            l.text + "\r\n";
    WriteFile(dir.file("film.sub"), micro);
    std::string bytes = ReadFile(movie_->path);
    StoredSetOptions options;
    options.share = static_cast<int64_t>(bytes.size() / 3 + 1000);
    std::vector<std::string> names;
    for (int k = 1; k <= 3; ++k)
        names.push_back(dir.file("film.part" + std::to_string(k) + ".rar"));
    ASSERT_TRUE(WriteStoredSet(names, bytes.size(), {{0, bytes}}, options));
    ToolRun run = Quorvan({"sync", names[1], dir.file("film.sub"), "--json"}, dir);
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_NEAR(nlohmann::json::parse(run.out)["offset"].get<double>(), -3.2, 0.15) << run.out;
    std::string synced = ReadFile(dir.file("film.synced.sub"));
    EXPECT_EQ(ParseSubtitleFile(synced).format, SubFormat::MicroDvd);
    EXPECT_NE(synced.find("}" + lines[0].text + "\r\n"), std::string::npos);
    size_t count = 0;
    EXPECT_LE(MedianStartError(dir.file("film.synced.sub"), lines, fps, &count), 100);
    EXPECT_EQ(count, lines.size());

    // MPL2 (tenths of a second) 47 s early, the movie read from standard input.
    std::string mpl2;
    for (const auto& l : Kept(lines, 1, -47000))
        mpl2 += "[" + std::to_string((l.startMs - 47000) / 100) + "][" +
                std::to_string((l.endMs - 47000) / 100) + "]" + l.text + "\n";
    WriteFile(dir.file("film.txt"), mpl2);
    std::string out;
    int status = RunCommand({"sh", "-c", "exec \"$0\" sync - \"$1\" --out \"$2\" < \"$3\"",
                             StageDir() + "/quorvan", dir.file("film.txt"), dir.file("piped.txt"),
                             movie_->path},
                            &out);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(ParseSubtitleFile(ReadFile(dir.file("piped.txt"))).format, SubFormat::Mpl2);
    EXPECT_LE(MedianStartError(dir.file("piped.txt"), Kept(lines, 1, -47000), fps, &count), 100);
}

TEST_F(SpeechSync, TheSubtitleOfAnotherMovieIsRefused) {
    // Lines as dense as the movie's, at times of their own.
    for (uint32_t seed : {99u, 100u, 101u}) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> gap(400, 3000), length(1200, 3500);
        std::vector<SpokenLine> other;
        for (double t = 2000; t < 235000;) {
            double len = length(rng);
            other.push_back({std::llround(t), std::llround(t + len), "something else entirely"});
            t += len + gap(rng);
        }
        WriteFile(dir.file("other.srt"), SubRipOf(other, 1, 0));
        ToolRun run = Quorvan({"sync", movie_->path, dir.file("other.srt"), "--json"}, dir);
        EXPECT_EQ(run.status, 5) << run.out << run.err;
        EXPECT_NE(run.err.find("does not match the speech of this movie"), std::string::npos)
            << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("other.synced.srt")));
    }

    // Bad input: a missing movie, a file that is no subtitle.
    WriteFile(dir.file("notes.srt"), "no times here\n");
    ToolRun run = Quorvan({"sync", dir.file("missing.mkv"), dir.file("other.srt")}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot open"), std::string::npos) << run.err;
    run = Quorvan({"sync", movie_->path, dir.file("notes.srt")}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no subtitle format recognised"), std::string::npos) << run.err;
}

} // namespace
