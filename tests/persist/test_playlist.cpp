// The playlist's list, cursor and files, without a window.
#include "persist/playlist.h"
#include "platform/paths.h"
#include "tests/persist/playliststate.h"
#include "tests/support/testenv.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace {

using Paths = std::vector<std::string>;

class Playlist : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetPlaylistState();
        SetProgramFolder(dir_.path() + "/");
    }
    void TearDown() override {
        playlista.clear();
        SetProgramFolder("");
    }
    void Fill(const Paths& paths) {
        for (const std::string& path : paths)
            sp1.add(path);
    }
    TempDir dir_;
};

} // namespace

TEST_F(Playlist, AnM3uGivesOnlyItsAbsolutePathsAndFileUrls) {
    std::string file = dir_.file("list.m3u");
    WriteFile(file, "#EXTM3U\r\n"
                    "#EXTINF:123,Some movie\r\n"
                    "# a comment\r\n"
                    "relative/movie.avi\r\n"
                    "/home/ala/Filmy/pierwszy.avi\r\n"
                    "http://example.org/stream.avi\r\n"
                    "C:\\movies\\windows.avi\r\n"
                    "/home/ala/Filmy/drugi żółw.mkv\n"
                    "file:///home/ala/Filmy/trzeci%20%C5%BC.avi\n"
                    "file://otherhost/share/film.avi\n");
    LoadPlaylistfile(file);
    EXPECT_EQ(PlaylistPaths(),
              (Paths{"/home/ala/Filmy/pierwszy.avi", "/home/ala/Filmy/drugi żółw.mkv",
                     "/home/ala/Filmy/trzeci ż.avi"}));
    EXPECT_EQ(playlista[1].name, "drugi żółw.mkv");
    EXPECT_EQ(playlista[1].number, -1);
    EXPECT_EQ(sp1.modified, 0) << "loading is not an edit of the window";

    // Loading adds at the end, the list is not emptied first; missing files add nothing.
    WriteFile(file, "/ab/cd\n/ab/cde\n");
    LoadPlaylistfile(file);
    LoadPlaylistfile(dir_.file("missing.p4s"));
    EXPECT_EQ(PlaylistPaths().size(), 4u) << "6 characters are skipped, 7 accepted";
    EXPECT_EQ(PlaylistPaths().back(), "/ab/cde");
}

TEST_F(Playlist, AFifoOrAFolderInPlaceOfTheFileAddsNothingAndDoesNotBlock) {
    std::string fifo = dir_.file("list.p4s");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    LoadPlaylistfile(fifo);
    LoadPlaylistfile(dir_.path());
    EXPECT_EQ(sp1.getsize(), 0);
}

TEST_F(Playlist, SavedFilesReadBackAndTheDialogNameGetsP4sOnlyWithoutAnyDot) {
    Fill({"/m/Pierwszy film.avi", "/m/ąę/drugi.mkv", "/m/bad\nname.avi"});
    std::string file = dir_.file("saved.p4s");
    SavePlaylistfile(file);
    EXPECT_EQ(ReadFile(file), "/m/Pierwszy film.avi\n/m/ąę/drugi.mkv\n")
        << "a path with a line break cannot be one line";
    playlista.clear();
    LoadPlaylistfile(file);
    EXPECT_EQ(PlaylistPaths(), (Paths{"/m/Pierwszy film.avi", "/m/ąę/drugi.mkv"}));

    EXPECT_EQ(PlaylistSaveName("/home/ala/lista"), "/home/ala/lista.p4s");
    EXPECT_EQ(PlaylistSaveName("/home/ala/lista.m3u"), "/home/ala/lista.m3u");
    EXPECT_EQ(PlaylistSaveName("/home/ala.b/lista"), "/home/ala.b/lista");

    // An unwritable target is skipped without harm.
    SavePlaylistfile(dir_.file("no/such/folder/x.p4s"));
}

TEST_F(Playlist, DeleteKeepsTheCursorOnThePlayingEntry) {
    Fill({"/m/a.avi", "/m/b.avi", "/m/c.avi"});
    sp1.current = 2;
    sp1.remove(1);
    EXPECT_EQ(PlaylistPaths(), (Paths{"/m/a.avi", "/m/c.avi"}));
    EXPECT_EQ(sp1.current, 1) << "still the playing c.avi";
    EXPECT_EQ(sp1.modified, 1);

    playlista.clear();
    Fill({"/m/a.avi", "/m/b.avi", "/m/c.avi"});
    sp1.current = 1;
    sp1.remove(1);
    EXPECT_EQ(sp1.current, -1) << "the playing entry is gone";
    sp1.current = 0;
    sp1.remove(1);
    sp1.remove(7);
    sp1.remove(-1);
    EXPECT_EQ(sp1.current, 0) << "entries after the cursor and rows past the end leave it";
    EXPECT_EQ(PlaylistPaths(), (Paths{"/m/a.avi"}));
}

TEST_F(Playlist, TheEndOfAMovieWalksTheListThenFallsThroughOnceAndStartsAgain) {
    Fill({"/m/a.avi", "/m/b.avi"});
    EXPECT_EQ(sp1.getnextfilename(), "/m/b.avi") << "the run starts with the cursor at 0";
    EXPECT_EQ(sp1.getnextfilename(), "");
    EXPECT_EQ(sp1.current, -1);
    EXPECT_EQ(sp1.getnextfilename(), "/m/a.avi");
    EXPECT_EQ(sp1.current, 0);

    playlista.clear();
    sp1.current = 5;
    EXPECT_EQ(sp1.getnextfilename(), "") << "an emptied list has no next entry";
    EXPECT_EQ(sp1.current, -1);
}

TEST_F(Playlist, TheReaderThreadAsksWhileTheWindowEdits) {
    // Run under ThreadSanitizer this shows the list's lock doing its work.
    Fill({"/m/a.avi", "/m/b.avi", "/m/c.avi"});
    std::thread reader([] {
        for (int i = 0; i < 2000; ++i)
            (void)sp1.getnextfilename();
    });
    for (int i = 0; i < 2000; ++i) {
        sp1.add("/m/more.avi");
        sp1.exchange(0, 1);
        sp1.remove(2);
        int current = 0;
        (void)sp1.snapshot(&current);
    }
    reader.join();
    EXPECT_EQ(sp1.getsize(), 3);
}

TEST_F(Playlist, TheStandingListLoadsOnceAndIsWrittenOnlyWhenChanged) {
    std::string standing = StandingPlaylistPath();
    WriteFile(standing, "/m/kept.avi\n");
    // Cleared before it was ever read: the stored list is nobody's to empty.
    sp1.clear();
    EXPECT_FALSE(SaveStandingPlaylistIfModified());
    EXPECT_EQ(ReadFile(standing), "/m/kept.avi\n");
    ResetPlaylistState();

    LoadStandingPlaylistOnce();
    LoadStandingPlaylistOnce();
    EXPECT_EQ(PlaylistPaths(), (Paths{"/m/kept.avi"}));

    sp1.add("/m/new.avi");
    EXPECT_FALSE(SaveStandingPlaylistIfModified()) << "not changed in the window";
    sp1.add("/m/x.avi");
    sp1.add("/m/y.avi");
    sp1.exchange(2, 3);
    EXPECT_TRUE(SaveStandingPlaylistIfModified());
    EXPECT_EQ(ReadFile(standing), "/m/kept.avi\n/m/new.avi\n/m/y.avi\n/m/x.avi\n");

    // Cleared, the program left and started again: the list is empty.
    sp1.clear();
    EXPECT_TRUE(SaveStandingPlaylistIfModified());
    EXPECT_EQ(ReadFile(standing), "");
    ResetPlaylistState();
    LoadStandingPlaylistOnce();
    EXPECT_EQ(PlaylistPaths(), Paths{});
}

TEST_F(Playlist, AFolderGivesItsMovieFilesInNameOrderAndOnlyFirstRarVolumes) {
    std::filesystem::create_directories(dir_.file("films/sub.avi"));
    for (const char* name : {"b.MKV", "a.avi", "notes.txt", "set.rar", "set.r00", "c.part1.rar",
                             "c.part2.rar", "ćma.mp4"})
        WriteFile(dir_.file(std::string("films/") + name), "x");
    std::string films = dir_.file("films");
    EXPECT_EQ(MovieFilesOfFolder(films),
              (Paths{films + "/a.avi", films + "/b.MKV", films + "/c.part1.rar", films + "/set.rar",
                     films + "/ćma.mp4"}));
    EXPECT_TRUE(MovieFilesOfFolder(dir_.file("missing")).empty());
}
