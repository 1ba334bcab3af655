// The subtitle tracking of the wrapper against scripted mplayer output and our own clock: what
// it asks mplayer, what it keeps from the front end, and the copy it loads for a file in
// another encoding.
#include "player/slavecommand.h"
#include "subtitles/encoding.h"
#include "tests/support/testenv.h"
#include "tools/wrapper/subtitletracker.h"

#include <gtest/gtest.h>

namespace {
class RecordingIo : public PlayerIo {
  public:
    void SendToPlayer(const std::string& command) override { sent.push_back(command); }
    void Print(const std::string& text) override { printed += text; }
    std::vector<std::string> sent;
    std::string printed;
};

class Tracker : public ::testing::Test {
  protected:
    Tracker() : plugin_("/films/Film.avi", [this] { return now_; }) {}
    // mplayer's output as the proxy hands it over; true when it reaches the front end.
    bool Out(const std::string& line) { return plugin_.OnOutput(line + "\n", io_); }
    void Tick(long long ms) {
        for (long long t = 0; t < ms; t += 20) {
            now_ += 20;
            plugin_.OnTick(io_);
        }
    }
    // Answers every position question with the movie at `position`.
    void Answer(double position) {
        for (const auto& q : io_.sent) {
            std::string answer;
            if (q == "pausing_keep_force get_time_pos")
                answer = "ANS_TIME_POSITION=" + std::to_string(position).substr(0, 4);
            else if (q == "pausing_keep_force get_property pause")
                answer = std::string("ANS_pause=") + (paused_ ? "yes" : "no");
            else if (q == "pausing_keep_force get_property sub_file")
                answer = "ANS_sub_file=0";
            else if (q == "pausing_keep_force get_property sub_visibility")
                answer = "ANS_sub_visibility=yes";
            else if (q == "pausing_keep_force get_property sub_delay")
                answer = "ANS_sub_delay=0.000000";
            if (!answer.empty()) {
                EXPECT_FALSE(Out(answer)) << answer << " reached the front end";
            }
        }
        io_.sent.clear();
    }
    long long now_ = 1000;
    bool paused_ = false;
    SubtitleTrackerPlugin plugin_;
    RecordingIo io_;
    TempDir dir_;
};
} // namespace

TEST_F(Tracker, LinesFollowTheAnsweredClockAndStopWhilePaused) {
    std::string sub = dir_.file("Film.srt");
    WriteFile(sub, "1\n00:00:01,000 --> 00:00:02,000\nRaz\n\n2\n00:00:01,500 --> "
                   "00:00:03,000\nDwa\n");
    std::vector<std::string> args = {"-sub", sub, "/films/Film.avi"};
    plugin_.Prepare(args);
    EXPECT_EQ(args, (std::vector<std::string>{"-sub", sub, "-subcp", "UTF-8", "/films/Film.avi"}));

    EXPECT_TRUE(Out("ID_FILE_SUB_ID=0"));
    EXPECT_TRUE(Out("ID_FILE_SUB_FILENAME=" + sub));
    EXPECT_TRUE(Out("ID_LENGTH=125.00"));
    EXPECT_TRUE(Out("ID_VIDEO_WIDTH=640"));
    EXPECT_TRUE(Out("ID_VIDEO_HEIGHT=272"));
    EXPECT_TRUE(Out("Starting playback..."));
    Answer(0.0);
    Tick(20);
    EXPECT_EQ(io_.printed, "XX :  movie info: Film.avi, length 0:02:05, video 640x272\n");
    io_.printed.clear();

    // The movie plays in step with our clock; answers come every 100 ms.
    for (int k = 1; k <= 13; ++k) {
        Tick(100);
        Answer(k / 10.0);
    }
    EXPECT_EQ(io_.printed, "XX : Raz\n");
    Tick(100);
    Answer(1.4);
    Tick(100);
    EXPECT_EQ(io_.printed, "XX : Raz\nXX : Dwa\n") << "overlapping lines are each printed once";

    // A front end's own question is answered to it (after ours, asked before it).
    EXPECT_TRUE(plugin_.OnCommand("get_time_pos", io_));
    Answer(1.6);
    EXPECT_TRUE(Out("ANS_TIME_POSITION=1.6"));

    // Paused: the clock stands, nothing new appears however long we wait.
    EXPECT_FALSE(plugin_.OnCommand("pause", io_));
    paused_ = true;
    Answer(1.6);
    io_.printed.clear();
    for (int k = 0; k < 20; ++k) {
        Tick(100);
        Answer(1.6);
    }
    EXPECT_EQ(io_.printed, "");

    // A seek back into the first line shows it again at once.
    paused_ = false;
    EXPECT_FALSE(plugin_.OnCommand("pausing_keep seek 1.1 2", io_));
    EXPECT_EQ(io_.sent.front(), "pausing_keep seek 1.1 2");
    Answer(1.1);
    Tick(20);
    EXPECT_EQ(io_.printed, "XX : Raz\n");
}

TEST_F(Tracker, AFileInAnotherEncodingIsLoadedAsACopyTheFrontEndNeverSees) {
    std::vector<std::string> args = {"/films/Film.avi"};
    plugin_.Prepare(args);
    ASSERT_EQ(plugin_.Subcp(), "UTF-8");
    std::string sub = dir_.file("Napisy \"PL\".txt");
    WriteFile(sub, Utf8ToEncoding("{25}{50}Zażółć|gęślą\n", "CP1250"));

    EXPECT_FALSE(plugin_.OnCommand("sub_load " + QuoteSlaveText(sub), io_));
    ASSERT_EQ(io_.sent.size(), 1u);
    std::string command = io_.sent[0];
    ASSERT_EQ(command.rfind("sub_load ", 0), 0u);
    std::string copy;
    ASSERT_TRUE(ReadSlaveText(command.substr(9), &copy));
    EXPECT_NE(copy, sub);
    EXPECT_EQ(ReadFile(copy), "{25}{50}Zażółć|gęślą\n") << "a UTF-8 copy";
    EXPECT_EQ(copy.find('"'), std::string::npos);

    EXPECT_TRUE(Out("ID_FILE_SUB_ID=0"));
    EXPECT_FALSE(Out("ID_FILE_SUB_FILENAME=" + copy));
    EXPECT_EQ(io_.printed, "ID_FILE_SUB_FILENAME=" + sub + "\n");

    // Not subtitles at all: refused with a message, mplayer never asked.
    io_.sent.clear();
    io_.printed.clear();
    std::string binary = dir_.file("movie.sub");
    WriteFile(binary, std::string("\0\0\1\xba\0\0\0", 7));
    EXPECT_FALSE(plugin_.OnCommand("sub_load " + binary, io_));
    EXPECT_TRUE(io_.sent.empty());
    EXPECT_NE(io_.printed.find("refused"), std::string::npos) << io_.printed;
    EXPECT_FALSE(plugin_.OnCommand("sub_load \"" + dir_.path() + "\"", io_));
    EXPECT_TRUE(io_.sent.empty()) << "a folder is no subtitle file";
}

TEST_F(Tracker, FilesBesideTheMovieInTwoEncodingsAreGivenToMplayerReadableAlike) {
    TempDir films;
    std::string movie = films.file("Film.avi");
    WriteFile(movie, "not played here");
    WriteFile(films.file("Film.srt"),
              Utf8ToEncoding("1\n00:00:01,000 --> 00:00:02,000\nŻółw\n", "CP1250"));
    WriteFile(films.file("Film.en.srt"), "1\n00:00:01,000 --> 00:00:02,000\nTurtle ż\n");
    WriteFile(films.file("notes.txt"), "no subtitles in here");
    std::vector<std::string> args = {"-sub-fuzziness", "1", movie};
    plugin_.Prepare(args);
    EXPECT_EQ(plugin_.Subcp(), "cp1250") << "the file of the movie's own name comes first";
    ASSERT_EQ(args.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(args.begin() + 2, args.begin() + 5),
              (std::vector<std::string>{"-subcp", "cp1250", "-noautosub"}));
    EXPECT_EQ(args[5], "-sub");
    std::string list = args[6];
    ASSERT_EQ(list.rfind(films.file("Film.srt") + ",", 0), 0u) << list;
    std::string copy = list.substr(films.file("Film.srt").size() + 1);
    EXPECT_EQ(ReadFile(copy),
              Utf8ToEncoding("1\n00:00:01,000 --> 00:00:02,000\nTurtle ż\n", "CP1250"))
        << "the UTF-8 file in the first file's encoding";
    EXPECT_EQ(args[7], movie);

    // One encoding only: mplayer finds them itself.
    TempDir same;
    WriteFile(same.file("Film.avi"), "x");
    WriteFile(same.file("Film.srt"), "1\n00:00:01,000 --> 00:00:02,000\nż\n");
    WriteFile(same.file("Film.pl.srt"), "1\n00:00:01,000 --> 00:00:02,000\nź\n");
    SubtitleTrackerPlugin other(same.file("Film.avi"));
    std::vector<std::string> plain = {"-sub-fuzziness", "2", same.file("Film.avi")};
    other.Prepare(plain);
    EXPECT_EQ(plain, (std::vector<std::string>{"-sub-fuzziness", "2", "-subcp", "UTF-8",
                                               same.file("Film.avi")}));
}
