// Naming of RAR volume sets: the first-volume rewrite, the five endings and volume names.
#include "rar/rarreader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {
struct Rewrite {
    const char* given;
    const char* first;
};

TEST(RarNames, ZrobPierwszyPartRewritesAnyVolumeToTheFirst) {
    const Rewrite cases[] = {
        {"movie.r07", "movie.rar"},
        {"movie.r00", "movie.rar"},
        {"movie.r07.!ut", "movie.rar"},
        {"movie.r07.bc!", "movie.rar"},
        {"movie.rar.bc!", "movie.rar"},
        {"movie.rar.!ut", "movie.rar"},
        {"movie.part05.rar", "movie.part01.rar"},
        {"movie.part05.rar.!ut", "movie.part01.rar"},
        {"movie.part05.rar.bc!", "movie.part01.rar"},
        {"movie.part3.rar", "movie.part1.rar"},
        {"movie.part3.rar.bc!", "movie.part1.rar"},
        // Step 4 (two digits) comes before step 5, so a one-digit set's tenth part is misread.
        {"movie.part10.rar", "movie.part01.rar"},
        {"movie.part01.rar", "movie.part01.rar"},
        {"movie.part1.rar", "movie.part1.rar"},
        {".r42", ".rar"},
        // Capitals as Windows left them: matched, and kept in the name written back.
        {"FILM.R07", "FILM.RAR"},
        {"Film.R00", "Film.RAR"},
        {"film.r07.BC!", "film.rar"},
        {"FILM.RAR.!UT", "FILM.RAR"},
        {"film.PART3.RAR", "film.PART1.RAR"},
        {"Film.Part05.Rar", "Film.Part01.Rar"},
        // Left alone: three-digit parts, .NNN, other endings, non-digits.
        {"movie.part005.rar", "movie.part005.rar"},
        {"movie.005", "movie.005"},
        {"movie.rar", "movie.rar"},
        {"movie.avi", "movie.avi"},
        {"movie.rx7", "movie.rx7"},
        {"movie.r7", "movie.r7"},
        {"r07", "r07"},
        {"movie.partab.rar", "movie.partab.rar"},
        {"movie.part5.rar.part", "movie.part5.rar.part"},
        {"", ""},
    };
    for (const Rewrite& c : cases) {
        std::string name = c.given;
        ZrobPierwszyPart(name);
        EXPECT_EQ(name, c.first) << "given " << c.given;
    }
}

TEST(RarNames, CzyToRarLooksAtTheLastFourCharactersIgnoringCase) {
    const std::pair<const char*, bool> cases[] = {
        {"movie.rar", true}, {"MOVIE.RAR", true},  {"a.Rar", true},       {".rar", false},
        {"rar", false},      {"movie.r00", false}, {"movie.rarx", false}, {"", false},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(CzyToRar(name), expected) << name;
}

struct FirstVolumeCase {
    const char* name;
    const char* pattern;
    int scheme;
    // Names of volumes 0, 1, and the k-th given below.
    const char* volume0;
    const char* volume1;
    int64_t k;
    const char* volumeK;
};

TEST(RarNames, IsRarFileNameFillsTheNamesAndSchemeForTheFiveEndings) {
    const FirstVolumeCase cases[] = {
        {"/m/movie.part01.rar", "/m/movie.part%.2d.rar", 2, "/m/movie.part01.rar",
         "/m/movie.part02.rar", 99, "/m/movie.part100.rar"},
        {"movie.part001.rar", "movie.part%.3d.rar", 2, "movie.part001.rar", "movie.part002.rar",
         1000, "movie.part1001.rar"},
        {"movie.part1.rar", "movie.part%.1d.rar", 2, "movie.part1.rar", "movie.part2.rar", 9,
         "movie.part10.rar"},
        {"movie.rar", "movie.r%.2d", 1, "movie.rar", "movie.r00", 101, "movie.r100"},
        {"movie.001", "movie.%.3d", 2, "movie.001", "movie.002", 999, "movie.1000"},
        // Given directly, a later part is read as an old-scheme first volume.
        {"movie.part02.rar", "movie.part02.r%.2d", 1, "movie.part02.rar", "movie.part02.r00", 2,
         "movie.part02.r01"},
        // Four-digit parts are not a first-volume ending of their own.
        {"x.part0001.rar", "x.part0001.r%.2d", 1, "x.part0001.rar", "x.part0001.r00", 3,
         "x.part0001.r02"},
        // Endings in capitals are recognised; the volume names keep their letters' case.
        {"FILM.RAR", "FILM.R%.2d", 1, "FILM.RAR", "FILM.R00", 3, "FILM.R02"},
        {"film.PART1.RAR", "film.PART%.1d.RAR", 2, "film.PART1.RAR", "film.PART2.RAR", 9,
         "film.PART10.RAR"},
        {"x.Part01.Rar", "x.Part%.2d.Rar", 2, "x.Part01.Rar", "x.Part02.Rar", 2, "x.Part03.Rar"},
        // A '%' in the name is doubled: the pattern keeps exactly one conversion.
        {"100%s.rar", "100%%s.r%.2d", 1, "100%s.rar", "100%s.r00", 5, "100%s.r04"},
    };
    for (const FirstVolumeCase& c : cases) {
        RarVolumeSet set;
        ASSERT_TRUE(set.isRarFileName(c.name)) << c.name;
        EXPECT_STREQ(set.rarfilename, c.name);
        EXPECT_STREQ(set.rarfilenamewzorzec, c.pattern);
        EXPECT_EQ(set.namingScheme, c.scheme) << c.name;
        EXPECT_EQ(set.VolumeName(0), c.volume0);
        EXPECT_EQ(set.VolumeName(1), c.volume1);
        EXPECT_EQ(set.VolumeName(c.k), c.volumeK);
        // The pattern printed with the volume's number names the same file.
        for (int64_t k : {int64_t(1), int64_t(7), c.k}) {
            char printed[kRarNameBuffer + 16];
            int number = int(c.scheme == 1 ? k - 1 : k + 1);
            std::snprintf(printed, sizeof printed, set.rarfilenamewzorzec, number);
            EXPECT_EQ(set.VolumeName(k), printed) << c.name << " volume " << k;
        }
    }
}

TEST(RarNames, IsRarFileNameRefusesOtherNamesAndKeepsTheBuffers) {
    RarVolumeSet set;
    ASSERT_TRUE(set.isRarFileName("keep.rar"));
    const char* refused[] = {"movie.avi", "movie.r00", "movie.002", "movie.rar.!ut", "", "rar"};
    for (const char* name : refused) {
        EXPECT_FALSE(set.isRarFileName(name)) << name;
        EXPECT_STREQ(set.rarfilename, "keep.rar");
        EXPECT_STREQ(set.rarfilenamewzorzec, "keep.r%.2d");
        EXPECT_EQ(set.openVolumeIndex, -1);
    }
    EXPECT_FALSE(set.isRarFileName(nullptr));
}

TEST(RarNames, NamesTooLongForTheBuffersAreNotCut) {
    RarVolumeSet set;
    std::string fits(kRarNameBuffer - 20, 'a');
    EXPECT_TRUE(set.isRarFileName((fits + ".rar").c_str()));
    std::string tooLong(kRarNameBuffer, 'b');
    EXPECT_FALSE(set.isRarFileName((tooLong + ".rar").c_str()));
    EXPECT_EQ(std::string(set.rarfilename), fits + ".rar");
    // Every '%' doubles in the pattern: a name that fits may still not fit as a pattern.
    std::string percents(kRarNameBuffer / 2, '%');
    EXPECT_FALSE(set.isRarFileName((percents + ".rar").c_str()));
}

TEST(RarNames, GlobalFunctionsWorkOnTheSharedReader) {
    ASSERT_TRUE(isRarFileName("/tmp/global.part1.rar"));
    EXPECT_STREQ(rarfilename, "/tmp/global.part1.rar");
    EXPECT_STREQ(rarfilenamewzorzec, "/tmp/global.part%.1d.rar");
    EXPECT_EQ(s.namingScheme, 2);
    EXPECT_EQ(s.rarfilename, rarfilename);
}
} // namespace
