// The slave-command builder: texts come back from mplayer's way of reading them as they went
// in, and nothing that would end a command early (or be dropped by mplayer) is ever built.
// The real mplayer reads the same texts in tests/wrapper/test_hostilenames.cpp.
#include "player/slavecommand.h"

#include <gtest/gtest.h>

namespace {
std::string Back(const std::string& line, const std::string& words) {
    std::string text;
    EXPECT_EQ(line.compare(0, words.size(), words), 0) << line;
    EXPECT_TRUE(ReadSlaveText(std::string_view(line).substr(words.size()), &text)) << line;
    return text;
}
} // namespace

TEST(SlaveCommand, TextsComeBackAsTheyWentIn) {
    const std::vector<std::string> texts = {"plain.srt",
                                            "/home/u/my movie.srt",
                                            "q\"uote",
                                            "back\\slash",
                                            "end\\\\\"",
                                            "trailing\\",
                                            "both\\\"\\",
                                            "'single'",
                                            "$(touch x)`y`;a&b|c>d",
                                            "#not a comment",
                                            " leading blank",
                                            "tab\there",
                                            "-dumpstream",
                                            "bad\xff\xfe name",
                                            "",
                                            std::string(3000, 'x') + "\\\""};
    for (const std::string& text : texts) {
        SlaveCommand command("sub_load");
        command.Text(text);
        ASSERT_TRUE(command.ok()) << text << ": " << command.refusal();
        EXPECT_EQ(Back(command.line(), "sub_load "), text);
    }
    // Numbers after a quoted text stay arguments of their own.
    SlaveCommand osd("pausing osd_show_text");
    osd.Text("say \"hi\"\\").Int(2000);
    EXPECT_FALSE(osd.ok()) << "a text ending in a backslash can only go last";
    SlaveCommand shown("pausing osd_show_text");
    shown.Text("say \"hi\"").Int(2000).Int(1);
    ASSERT_TRUE(shown.ok());
    EXPECT_EQ(shown.line(), "pausing osd_show_text \"say \\\"hi\\\"\" 2000 1");
    EXPECT_EQ(SlaveCommand("seek").Real(12.5).Int(1).line(), "seek 12.500000 1");
}

TEST(SlaveCommand, LineBreaksNulAndControlsAreRefusedAndNothingIsBuilt) {
    for (const std::string& text :
         {std::string("a\nrun \"touch X\"\n.srt"), std::string("a\rrun \"touch X\""),
          std::string("a\0run", 5), std::string("esc\x1b[2J"), std::string("del\x7f")}) {
        SlaveCommand command("sub_load");
        command.Text(text);
        EXPECT_FALSE(command.ok());
        EXPECT_EQ(command.line(), "");
        EXPECT_NE(command.refusal().find("sub_load"), std::string::npos) << command.refusal();
        EXPECT_EQ(command.refusal().find_first_of("\r\n"), std::string::npos) << "one line";
        EXPECT_FALSE(SlaveLineRefusal("sub_load \"" + text + "\"").empty());
    }
    // The refusal sticks: later arguments do not revive the command.
    SlaveCommand command("sub_load");
    command.Text("a\nb").Int(1);
    EXPECT_FALSE(command.ok());
    EXPECT_TRUE(SlaveLineRefusal("pausing osd_show_text \"tab\tok\"").empty());
}

TEST(SlaveCommand, LinesLongerThanMplayerReadsAreRefused) {
    // mplayer drops a line of 4095 bytes or more (with its line feed 4096), found by trying.
    SlaveCommand fits("sub_load");
    fits.Text(std::string(kSlaveLineMax - 11, 'a'));
    EXPECT_TRUE(fits.ok());
    EXPECT_EQ(fits.line().size(), kSlaveLineMax);
    SlaveCommand over("sub_load");
    over.Text(std::string(kSlaveLineMax - 10, 'a'));
    EXPECT_FALSE(over.ok());
    EXPECT_FALSE(SlaveLineRefusal(std::string(kSlaveLineMax + 1, 'a')).empty());
}

TEST(SlaveCommand, ReadingFollowsMplayer) {
    std::string text;
    size_t used = 0;
    // mplayer's own results, seen with "sub_load" and its "File not found: '...'" line.
    const std::vector<std::pair<std::string, std::string>> seen = {
        {"\"a\\\"b\"", "a\"b"}, {"\"c\\\\d\"", "c\\d"}, {"\"e\\\\\\\"f\"", "e\\\"f"},
        {"'g\\'h'", "g'h"},     {"\"i'j\"", "i'j"},     {"k\\ l", "k l"},
        {"\"m\\n\"", "mn"},     {"\"end\"x", "end"},    {"tail\\\\", "tail\\"}};
    for (const auto& [raw, read] : seen) {
        ASSERT_TRUE(ReadSlaveText(raw, &text)) << raw;
        EXPECT_EQ(text, read) << raw;
    }
    EXPECT_FALSE(ReadSlaveText("\"unterminated", &text));
    EXPECT_FALSE(ReadSlaveText("\"tail\\\\\"", &text)) << "mplayer: argument is unterminated";
    ASSERT_TRUE(ReadSlaveText("  \"x y\" 5", &text, &used));
    EXPECT_EQ(text, "x y");
    EXPECT_EQ(used, 7u);
}
