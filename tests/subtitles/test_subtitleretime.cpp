// Subtitle files written again with new times: each format keeps its own way of writing time,
// and everything but the time stamps is left byte for byte.
#include "subtitles/subtitleretime.h"

#include <gtest/gtest.h>

namespace {

struct RetimeCase {
    const char* name;
    std::string in;
    std::string out;
};

// +1.5 s, and +10 s more for lines that start at 60 s or later.
double Map(double lineStart, double ms) {
    return ms + 1500 + (lineStart >= 60000 ? 10000 : 0);
}

// ASCII text as UTF-16LE with its byte-order mark; '~' stands for "ż" (U+017C).
std::string Utf16(const std::string& ascii) {
    std::string out("\xFF\xFE", 2);
    for (char c : ascii) {
        out += c == '~' ? '\x7c' : c;
        out += c == '~' ? '\x01' : '\0';
    }
    return out;
}

} // namespace

TEST(SubtitleRetime, EachFormatGetsItsNewTimesAndKeepsTheRest) {
    const RetimeCase cases[] = {
        {"SubRip with a BOM, CRLF, tags and positions",
         "\xEF\xBB\xBF"
         "1\r\n00:00:02,000 --> 00:00:03,500 X1:10\r\n<i>Ala</i> ma\r\n\r\n"
         "2\r\n00:00:59,900 --> 00:01:00.250\r\nDwa\r\n",
         "\xEF\xBB\xBF"
         "1\r\n00:00:03,500 --> 00:00:05,000 X1:10\r\n<i>Ala</i> ma\r\n\r\n"
         "2\r\n00:01:01,400 --> 00:01:01.750\r\nDwa\r\n"},
        {"SubRip line starting after the split moves whole",
         "1\n00:01:00,000 --> 00:01:02,000\nRaz\n", "1\n00:01:11,500 --> 00:01:13,500\nRaz\n"},
        {"MicroDVD at the movie's 25 frames, an open end and style codes",
         "{50}{75}{y:i}Raz|dwa\n{1500}{}Trzy\n", "{88}{113}{y:i}Raz|dwa\n{1788}{}Trzy\n"},
        {"MicroDVD naming its own rate keeps that line and counts in it",
         "{1}{1}23.976\n{48}{96}Raz\n", "{1}{1}23.976\n{84}{132}Raz\n"},
        {"MPL2 in tenths", "[20][35]/Raz|Dwa\n[600][610]Trzy\n",
         "[35][50]/Raz|Dwa\n[715][725]Trzy\n"},
        {"TMPlayer with one-digit hours and both separators", "0:00:02:Raz|Dwa\n00:00:04=Trzy\n",
         "0:00:04:Raz|Dwa\n00:00:06=Trzy\n"},
        {"SubViewer 2 in hundredths", "[INFORMATION]\n\n00:00:02.00,00:00:03.50\nRaz[br]Dwa\n",
         "[INFORMATION]\n\n00:00:03.50,00:00:05.00\nRaz[br]Dwa\n"},
        {"ASS dialogue, the header untouched",
         "[Events]\nFormat: Layer, Start, End, Style, Text\n"
         "Dialogue: 0,0:00:02.00,0:00:03.50,Default,Raz, 0:00:09.00\n",
         "[Events]\nFormat: Layer, Start, End, Style, Text\n"
         "Dialogue: 0,0:00:03.50,0:00:05.00,Default,Raz, 0:00:09.00\n"},
        {"Windows-1250 letters stay the same bytes",
         "1\n00:00:02,000 --> 00:00:03,000\nZa\xbf\xf3\xb3\xe6 g\xea\x9cl\xb9 ja\x9f\xf1\n",
         "1\n00:00:03,500 --> 00:00:04,500\nZa\xbf\xf3\xb3\xe6 g\xea\x9cl\xb9 ja\x9f\xf1\n"},
        {"UTF-16 with its byte-order mark comes back as UTF-16",
         Utf16("1\n00:00:02,000 --> 00:00:03,000\n~\n"),
         Utf16("1\n00:00:03,500 --> 00:00:04,500\n~\n")},
    };
    for (const auto& c : cases) {
        RetimedFile r = RetimeSubtitleFile(c.in, Map, 25);
        EXPECT_EQ(r.error, "") << c.name;
        EXPECT_EQ(r.bytes, c.out) << c.name;
    }
}

TEST(SubtitleRetime, TimesBeforeTheStartBecomeZeroAndNonSubtitlesAreRefused) {
    RetimedFile early = RetimeSubtitleFile(
        "1\n00:00:01,000 --> 00:00:02,000\nRaz\n", [](double, double ms) { return ms - 1500; }, 25);
    EXPECT_EQ(early.bytes, "1\n00:00:00,000 --> 00:00:00,500\nRaz\n");
    EXPECT_NE(RetimeSubtitleFile("just some text\n", Map, 25).error, "");
    EXPECT_NE(RetimeSubtitleFile("", Map, 25).error, "");
}

TEST(SubtitleRetime, SyncedNameGoesBeforeTheExtension) {
    EXPECT_EQ(SyncedSubtitleName("/a/b/movie.srt"), "/a/b/movie.synced.srt");
    EXPECT_EQ(SyncedSubtitleName("/a/b.c/movie"), "/a/b.c/movie.synced");
    EXPECT_EQ(SyncedSubtitleName("/a/.hidden"), "/a/.hidden.synced");
    EXPECT_EQ(SyncedSubtitleName("x.pl.txt"), "x.pl.synced.txt");
}
