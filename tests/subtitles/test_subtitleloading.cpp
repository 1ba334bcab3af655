// Which names count as subtitle files, and the frame rate a first line names.
#include "subtitles/subtitleloading.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(SubtitleLoading, FrameRateIsTheDigitsAndDotsRightBeforeFps) {
    const std::pair<const char*, const char*> cases[] = {
        {"{1}{1}25fps ", "25"},    {"Movie 23.976fps and more", "23.976"},
        {"23.976 fps ", ""},       // the character before "fps " is a blank
        {"23,976fps ", "976"},     // a comma is no part of a rate
        {"{1}{1}25fps", ""},       // no blank after "fps"
        {"fps at the start ", ""}, // nothing before it
        {"{1}{1}23.976", ""},      {"", ""},
    };
    for (const auto& [line, rate] : cases)
        EXPECT_EQ(GetFpsFromLine(line), rate) << line;
}

TEST(SubtitleLoading, SubtitleFileNamesByTheirLastFourCharacters) {
    for (const char* yes : {"film.srt", "FILM.SRT", "a.txt", "a.Ssa", "x.sub", "x.smi", "x.idx"})
        EXPECT_TRUE(CzyToNapis(yes)) << yes;
    for (const char* no : {".srt", "srt", "film.ass", "film.srt.avi", "", "film.srtx"})
        EXPECT_FALSE(CzyToNapis(no)) << no;
    EXPECT_FALSE(CzyToNapis(nullptr));
}

TEST(SubtitleLoading, ForcedOptionsQuoteTheNameAndReadOnlyTheFirstLine) {
    TempDir dir;
    std::string file = dir.file("Film \"PL\".sub");
    WriteFile(file, "{1}{1}29.97fps \n{1}{2}second line 25fps \n");
    EXPECT_EQ(ReadFirstLine(file), "{1}{1}29.97fps ");
    std::string options = ForcedSubtitleOptions(file, ReadFirstLine(file));
    EXPECT_EQ(options.rfind(" -subfps 29.97 -sub \"", 0), 0u) << options;
    EXPECT_NE(options.find("\\\"PL\\\""), std::string::npos) << "quotes in the name survive";
    EXPECT_EQ(ForcedSubtitleOptions("/a/b.srt", ""), " -sub \"/a/b.srt\" ");

    // A FIFO, a folder or a missing file read as an empty line, at once.
    std::string fifo = dir.file("fifo.sub");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadFirstLine(fifo), "");
    EXPECT_EQ(ReadFirstLine(dir.path()), "");
    EXPECT_EQ(ReadFirstLine(dir.file("missing.sub")), "");
}
