// Subtitle files as users have them: the formats, the encodings Polish files come in, and
// files that are no subtitles at all.
#include "subtitles/encoding.h"
#include "subtitles/subtitleparse.h"

#include <gtest/gtest.h>

namespace {
struct FormatCase {
    const char* name;
    std::string file;
    SubFormat format;
    int64_t start, end; // of the first cue, in ms (frames for MicroDVD)
    std::string text;
    size_t cues;
};
} // namespace

TEST(SubtitleFormats, EachFormatGivesItsTimesAndCleanText) {
    const FormatCase cases[] = {
        {"SubRip with tags and a missing blank line",
         "\xEF\xBB\xBF"
         "1\r\n00:00:02,000 --> 00:00:03,500\r\n<i>Ala</i> <font color=\"red\">ma</font>\r\n"
         "kota\r\n2\r\n00:01:00.5 --> 00:01:01,000\r\nDwa\r\n",
         SubFormat::SubRip, 2000, 3500, "Ala ma\nkota", 2},
        {"MicroDVD with bars and style codes", "{50}{75}{y:i}Raz|/dwa\n{100}{}Trzy\n",
         SubFormat::MicroDvd, 50, 75, "Raz\ndwa", 2},
        {"MPL2 in tenths of a second", "[20][35]/Raz|Dwa\n[40][50]Trzy\n", SubFormat::Mpl2, 2000,
         3500, "Raz\nDwa", 2},
        {"TMPlayer ends at the next line", "0:00:02:Raz|Dwa\n00:00:04=Trzy\n", SubFormat::TmPlayer,
         2000, 4000, "Raz\nDwa", 2},
        {"SubViewer 2 with its header",
         "[INFORMATION]\n[TITLE]x\n[END INFORMATION]\n\n00:00:02.00,00:00:03.50\nRaz[br]Dwa\n\n"
         "00:00:04.00,00:00:05.00\nTrzy\n",
         SubFormat::SubViewer2, 2000, 3500, "Raz\nDwa", 2},
        {"ASS dialogue with overrides and a comma in the text",
         "[Script Info]\n\n[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, "
         "MarginV, Effect, Text\nDialogue: 0,0:00:02.00,0:00:03.50,Default,,0,0,0,,"
         "{\\i1}Raz,{\\i0} raz\\NDwa\n",
         SubFormat::Ass, 2000, 3500, "Raz, raz\nDwa", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ParsedSubtitles parsed = ParseSubtitleFile(c.file);
        ASSERT_EQ(parsed.error, "");
        EXPECT_EQ(parsed.format, c.format);
        ASSERT_EQ(parsed.cues.size(), c.cues);
        EXPECT_EQ(parsed.cues[0].start, c.start);
        EXPECT_EQ(parsed.cues[0].end, c.end);
        EXPECT_EQ(parsed.cues[0].text, c.text);
    }
}

TEST(SubtitleFormats, MicroDvdFramesBecomeTimesAtTheRightRate) {
    ParsedSubtitles own = ParseSubtitleFile("{1}{1}23.976\n{240}{264}Raz\n");
    ASSERT_EQ(own.cues.size(), 1u) << "the frame-rate line is no subtitle";
    EXPECT_DOUBLE_EQ(own.fileFps, 23.976);
    EXPECT_EQ(CuesInMilliseconds(own, 25)[0].start, 10010);    // the file's own rate wins
    EXPECT_EQ(CuesInMilliseconds(own, 25, 30)[0].start, 8000); // -subfps wins over both

    ParsedSubtitles plain = ParseSubtitleFile("{240}{264}Raz\n");
    EXPECT_EQ(CuesInMilliseconds(plain, 25)[0].start, 9600);
    EXPECT_EQ(CuesInMilliseconds(plain, 0)[0].start, 9600) << "unknown rate: mplayer's 25";
}

TEST(SubtitleFormats, WhatIsNoSubtitleIsRefusedWithAReason) {
    EXPECT_NE(ParseSubtitleFile("").error, "");
    EXPECT_NE(ParseSubtitleFile(std::string("\x7f"
                                            "ELF\x02\x01\x01\0\0\0",
                                            10))
                  .error,
              "");
    EXPECT_NE(ParseSubtitleFile("Just a letter to a friend.\nNothing timed here.\n").error, "");
    EXPECT_NE(ParseSubtitleFile("1\n00:00:01,000 --> 00:00:02,000\n\n").error, "")
        << "timing without any text";
    EXPECT_NE(ParseSubtitleFile(std::string(kMaxSubtitleFile + 1, 'a')).error, "");
    // An end before its start, then a line out of order: no cue ends before it starts.
    for (const auto& cue : ParseSubtitleFile("{120}{20}a|06\n{10}{20}a|b\n").cues)
        EXPECT_GE(cue.end, cue.start);
    // Numbers far too long are cut, never overflowed.
    ParsedSubtitles huge = ParseSubtitleFile("{99999999999999999999}{1}x\n");
    ASSERT_EQ(huge.cues.size(), 1u);
    EXPECT_GE(huge.cues[0].end, huge.cues[0].start);
}

TEST(SubtitleEncodings, PolishFilesAreRecognisedInEveryEncodingTheyComeIn) {
    const std::string utf8 = "Zażółć gęślą jaźń ĄĘŚŹŻŁÓŃĆ";
    const std::string cp1250 = Utf8ToEncoding(utf8, "CP1250");
    const std::string iso = Utf8ToEncoding(utf8, "ISO-8859-2");
    const std::string utf16le = std::string("\xFF\xFEZ\0a\0\x7c\x01", 8); // "Zaż"

    struct Case {
        const char* name;
        std::string bytes;
        SubEncoding kind;
        std::string text;
    } cases[] = {
        {"UTF-8", utf8, SubEncoding::Utf8, utf8},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + utf8, SubEncoding::Utf8Bom, utf8},
        {"Windows-1250", cp1250, SubEncoding::Cp1250, utf8},
        {"ISO-8859-2", iso, SubEncoding::Iso88592, utf8},
        {"UTF-16LE", utf16le, SubEncoding::Utf16Le, "Zaż"},
        {"UTF-16BE", std::string("\xFE\xFF\0Z\0a\x01\x7c", 8), SubEncoding::Utf16Be, "Zaż"},
        {"plain ASCII", "Ala ma kota", SubEncoding::Ascii, "Ala ma kota"},
        // Only the letters both pages share: Windows-1250 is the first choice.
        {"shared letters only", Utf8ToEncoding("łódź? nie: łoże", "CP1250"), SubEncoding::Cp1250,
         "łódź? nie: łoże"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DetectedEncoding e = DetectSubtitleEncoding(c.bytes);
        EXPECT_EQ(e.kind, c.kind);
        EXPECT_EQ(SubtitleTextToUtf8(c.bytes, e), c.text);
    }
}

TEST(SubtitleEncodings, BrokenBytesDecodeToReplacementsNotToACrash) {
    DetectedEncoding utf16{SubEncoding::Utf16Le, "UTF-16LE"};
    std::string odd = SubtitleTextToUtf8(std::string("\xFF\xFE"
                                                     "A\0\x01\xD8",
                                                     6),
                                         utf16);
    EXPECT_EQ(odd.substr(0, 4), "A\xEF\xBF\xBD") << "half a character at the end";
    DetectedEncoding bom{SubEncoding::Utf8Bom, "UTF-8"};
    EXPECT_EQ(SubtitleTextToUtf8("\xEF\xBB\xBF"
                                 "a\xC3",
                                 bom),
              "a\xEF\xBF\xBD");
}
