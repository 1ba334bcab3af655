// The rules of series, sheets, the thumbnail window and the upload answers that need no player.
#include "thumbs/capturerules.h"
#include "thumbs/sheet.h"
#include "thumbs/thumbmenu.h"
#include "thumbs/upload.h"

#include <gtest/gtest.h>

TEST(ThumbSeries, FrameWidthAndCountFollowTheSheet) {
    EXPECT_EQ(ThumbExtraOptions(1600, 8), " -xy 200 -nosound ");
    EXPECT_EQ(SeriesPositions(5000, 8 * 8).size(), 64u);
    EXPECT_EQ(ThumbExtraOptions(800, 7), " -xy 114 -nosound ");
    EXPECT_EQ(SeriesPositions(5000, 7 * 7).size(), 49u);
    // Nonsense from the dialog never divides by zero.
    EXPECT_EQ(ThumbFrameWidth(800, 0), 800);
    EXPECT_TRUE(SeriesPositions(600, 0).empty());
}

TEST(ThumbSeries, PositionsAreEvenlySpacedFromTenSeconds) {
    std::vector<int> positions = SeriesPositions(660, 60);
    ASSERT_EQ(positions.size(), 60u);
    for (size_t i = 0; i < positions.size(); ++i)
        EXPECT_EQ(positions[i], 10 + 10 * static_cast<int>(i));
    // Truncated toward zero.
    EXPECT_EQ(SeriesPositions(180, 16)[1], 17); // 10 + 7.5
    EXPECT_EQ(SeriesPositions(90, 16).front(), 10);
    EXPECT_EQ(SeriesPositions(90, 16).back(), 38); // 10 + 15 * 30 / 16
    EXPECT_EQ(PercentPositions().size(), 50u);
    EXPECT_EQ(PercentPositions().back(), 99);
}

TEST(ThumbSeries, ShortMoviesSpreadOverTheirWholeLengthAndNoPositionLeavesTheMovie) {
    // The span from 10 s to 50 s before the end holds fewer seconds than tiles.
    std::vector<int> minute = SeriesPositions(60, 16);
    ASSERT_EQ(minute.size(), 16u);
    EXPECT_EQ(minute.front(), 1); // 0.5 * 60 / 16
    EXPECT_EQ(minute[1], 5);      // 1.5 * 60 / 16
    EXPECT_EQ(minute.back(), 58); // 15.5 * 60 / 16
    for (size_t i = 1; i < minute.size(); ++i)
        EXPECT_GT(minute[i], minute[i - 1]) << i;
    EXPECT_EQ(SeriesPositions(75, 16).front(), 2);  // 15 s of span for 16 tiles: spread
    EXPECT_EQ(SeriesPositions(76, 16).front(), 10); // 16 s: the described span
    // More tiles than seconds, a length of a second, an unknown or absurd one: never below 0
    // nor past the last second.
    for (float length : {0.0f, -5.0f, 0.4f, 1.0f, 3.0f, 59.0f, 1e12f, 1.0f / 0.0f})
        for (int p : SeriesPositions(length, 49)) {
            EXPECT_GE(p, 0) << length;
            EXPECT_LE(p, length > 1 && length < 1e9 ? static_cast<int>(length) : 0) << length;
        }
    std::vector<int> percents = SeriesPercentPositions(16);
    ASSERT_EQ(percents.size(), 16u);
    EXPECT_EQ(percents.front(), 3);
    EXPECT_EQ(percents.back(), 96);
    for (int p : SeriesPercentPositions(200))
        EXPECT_LE(p, 99);
    EXPECT_DOUBLE_EQ(FramesPerSecond("VIDEO:  [H264]  160x120  24bpp  25.000 fps    0.0 kbps"), 25);
    EXPECT_DOUBLE_EQ(FramesPerSecond("VIDEO:  [MPG2]  720x576  24bpp  23.976 fps"), 23.976);
    EXPECT_EQ(FramesPerSecond("VIDEO:  [H264]  160x120"), 0);
}

TEST(ThumbSeries, PlayerLinesAreReadAsTheSeriesNeedsThem) {
    int t = -1;
    EXPECT_TRUE(ParseVideoTime("V:   12.3 ", &t));
    EXPECT_EQ(t, 12);
    EXPECT_FALSE(ParseVideoTime("A:  1.0 V:  2.0", &t));
    EXPECT_FALSE(ParseVideoTime("V: none", &t));
    EXPECT_TRUE(ParseTimePositionAnswer("ANS_TIME_POSITION=47.9", &t));
    EXPECT_EQ(t, 47);
    float length = 0;
    EXPECT_TRUE(ParseLengthAnswer("ANS_LENGTH=180.00", &length));
    EXPECT_FLOAT_EQ(length, 180);
    EXPECT_FALSE(ParseLengthAnswer("ANS_LENGTH=nan", &length));
    EXPECT_TRUE(IsStartingPlayback("STARTING PLAYBACK..."));
    EXPECT_FALSE(IsStartingPlayback("Starting"));
    EXPECT_TRUE(IsScreenshotLine("*** SCREENSHOT 'shot0001.png' ***"));
    EXPECT_TRUE(IsExitingLine("exiting... (Quit)"));
    EXPECT_FALSE(IsExitingLine("Exit"));
}

TEST(ThumbSheet, SloganDisplayNameAndFileNames) {
    EXPECT_STREQ(SloganFor(6), "Play RAR movies without unpacking");
    EXPECT_STREQ(SloganFor(7), "Fastest movies thumbnails generator");
    EXPECT_STREQ(SloganFor(10), "Automatic download subtitles");
    EXPECT_STREQ(SloganFor(13 + 9), "Fastest movies thumbnails generator");

    EXPECT_EQ(GetViewNameFile("/mnt/Movies/Film.XviD-GRP/film.avi"), "Film.XviD-GRP/film.avi");
    EXPECT_EQ(GetViewNameFile("/mnt/XviD/Film.XviD-GRP/film.avi"), "Film.XviD-GRP/film.avi");
    EXPECT_EQ(GetViewNameFile("/mnt/Film.XviD.DivX/film.avi"), "film.avi");
    EXPECT_EQ(GetViewNameFile("film.XviD.avi"), "film.XviD.avi");
    EXPECT_EQ(GetViewNameFile("/mnt/Movies/Żółw.avi"), "Żółw.avi");
}

TEST(ThumbWindow, FramesOfAnEarlierSheetAreRebuiltFromItsMarks) {
    SheetMarks marks{6, 6};
    std::vector<thumbitem> frames = RebuildFrameList(672, 100 + 6 * 112, marks, 420);
    ASSERT_EQ(frames.size(), 36u);
    for (const thumbitem& f : frames) {
        EXPECT_EQ(f.cy, 112);
        EXPECT_EQ(f.cx, 112);
    }
    EXPECT_EQ(frames[7].x, 112);
    EXPECT_EQ(frames[7].y, 100 + 112);
    EXPECT_EQ(frames[7].seekPos, 10 + 7 * 10);
    // One mark missing: 8 x 8.
    EXPECT_EQ(RebuildFrameList(800, 900, SheetMarks{6, 0}, 420).size(), 64u);
}

TEST(ThumbWindow, OnlyAClickInsideAFrameHitsIt) {
    std::vector<thumbitem> frames(2);
    frames[0] = {0, 100, 200, 150, 10, 10};
    frames[1] = {200, 100, 200, 150, 20, 20};
    EXPECT_EQ(HitTest(frames, 100, 150), 0);
    EXPECT_EQ(HitTest(frames, 201, 101), 1);
    EXPECT_EQ(HitTest(frames, 200, 150), -1); // the shared border
    EXPECT_EQ(HitTest(frames, 100, 100), -1);
    EXPECT_EQ(HitTest(frames, 399, 249), 1);
    EXPECT_EQ(HitTest(frames, 400, 150), -1);
    EXPECT_EQ(ScrollOffset(1000, 400, 50), 300);
    EXPECT_EQ(ScrollOffset(300, 400, 50), 0);
    EXPECT_EQ(ThumbScrollPosition(98, ThumbScroll::PageDown, 0), 100);
    EXPECT_EQ(ThumbScrollPosition(3, ThumbScroll::PageUp, 0), 0);
    EXPECT_EQ(ThumbScrollPosition(3, ThumbScroll::LineDown, 0), 4);
}

TEST(ImageHost, TheLinkIsTheLastUrlCodeOrABareAddress) {
    EXPECT_EQ(findstoooragelink("[url=http://a.example/1][img]x[/img][/url] "
                                "[url=http://a.example/two][img]y[/img][/url]"),
              "http://a.example/two");
    EXPECT_EQ(findstoooragelink("<p>[url=http://a.example/no-end"), "");
    EXPECT_EQ(findstoooragelink("<p>nothing</p>"), "");
    EXPECT_EQ(AnswerLink("https://files.catbox.moe/abc123.jpg\n"),
              "https://files.catbox.moe/abc123.jpg");
    EXPECT_EQ(AnswerLink("<html>https://x.example/a.jpg</html>"), "");
    EXPECT_EQ(AnswerLink("https://x.example/a.jpg is your link"), "");
    EXPECT_EQ(AnswerLink(""), "");
}

TEST(ImageHost, ProfilesNameTheAddressTheFileFieldAndExtraFields) {
    ImageHostProfile p = ParseImageHostProfile(
        "[imagehost]\nURL=https://catbox.moe/user/api.php\nFileField=fileToUpload\n"
        "Fields=reqtype=fileupload&userhash=\n");
    EXPECT_EQ(p.url, "https://catbox.moe/user/api.php");
    EXPECT_EQ(p.fileField, "fileToUpload");
    ASSERT_EQ(p.fields.size(), 2u);
    EXPECT_EQ(p.fields[0], (std::pair<std::string, std::string>("reqtype", "fileupload")));
    EXPECT_EQ(p.fields[1].second, "");
    EXPECT_EQ(ParseImageHostProfile("[imagehost]\nURL=http://h/\n").fileField, "img");
}
