// The subtitle menu against the fake player: "&Open..." and "&Force Open...", the "Sub"
// button's pop-up and the track commands 2481 + i.
#include "uifixture.h"

#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QMenu>
#include <memory>

namespace {
class SubtitleMenu : public UiTest {
  protected:
    // Text of each pop-up item ("-" for a separator) and the checked one's index.
    std::vector<std::string> Popup(int* checked) {
        std::unique_ptr<QMenu> menu(W().BuildSubtitlePopup());
        std::vector<std::string> items;
        *checked = -1;
        for (QAction* a : menu->actions()) {
            if (a->isChecked())
                *checked = static_cast<int>(items.size());
            items.push_back(a->isSeparator() ? "-" : a->text().toStdString());
        }
        return items;
    }
    void Announce(const std::vector<std::string>& lines) {
        for (std::string line : lines) {
            line += "\r";
            obsluz_subtitles(line.data());
        }
    }
};
} // namespace

TEST_F(SubtitleMenu, OpenLoadsTheChosenFileIntoTheRunningPlayerAndCancelDoesNothing) {
    Start();
    PlayMovie();
    openFileAnswer_.clear();
    W().Command(2480);
    openFileAnswer_ = dir_.file("napisy \"polskie\" \\ 1.SRT");
    W().Command(2480);
    EXPECT_EQ(
        WaitLines(3),
        (std::vector<std::string>{
            "sub_remove -1", "sub_load \"" + dir_.file("napisy \\\"polskie\\\" \\\\ 1.SRT") + "\"",
            "sub_select 0"}));
    std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
    ASSERT_EQ(SubtitleList.size(), 1u) << "the list waits for the player's answers";
    EXPECT_EQ(SubtitleList[0].menuLabel, "None");
}

TEST_F(SubtitleMenu, ForceOpenRelaunchesWithTheFileAndTheFrameRateOfItsFirstLine) {
    Start();
    PlayMovie();
    auto relaunch = [&](int command) {
        int before = Launches();
        W().Command(command);
        EXPECT_TRUE(WaitUntil([&] { return Launches() == before + 1; }, 5000));
        return LastLaunchCommandLine();
    };
    auto endsWith = [](const std::string& text, const std::string& tail) {
        return text.size() >= tail.size() &&
               text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    };
    std::string rated = dir_.file("rated.sub");
    WriteFile(rated, "{1}{1}25fps \n{10}{20}x\n");
    openFileAnswer_ = rated;
    Mp1.timePosition = 42;
    std::string line = relaunch(109);
    EXPECT_NE(line.find(" -ss 42 "), std::string::npos) << line;
    EXPECT_TRUE(endsWith(line, " -subfps 25 -sub \"" + rated + "\" ")) << line;

    // "23.976 fps ": a blank before "fps " names no rate; the file is passed all the same.
    std::string unrated = dir_.file("unrated.sub");
    WriteFile(unrated, "{1}{1}23.976 fps \n");
    openFileAnswer_ = unrated;
    line = relaunch(109);
    EXPECT_TRUE(endsWith(line, "  -sub \"" + unrated + "\" ")) << line;
    EXPECT_EQ(line.find("-subfps"), std::string::npos) << line;

    // A relaunch for another reason keeps the forced subtitle; cancel changes nothing.
    line = relaunch(1043); // aspect 4:3
    EXPECT_NE(line.find("-aspect 4:3"), std::string::npos) << line;
    EXPECT_TRUE(endsWith(line, " -sub \"" + unrated + "\" ")) << line;
    openFileAnswer_.clear();
    int before = Launches();
    W().Command(109);
    ProcessEvents();
    EXPECT_EQ(Launches(), before);
}

TEST_F(SubtitleMenu, ThePopUpListsTheTracksChecksTheChosenOneAndSendsItsCommand) {
    Start();
    PlayMovie();
    int checked = 0;
    Announce({"Quorvan player wrapper"});
    std::vector<std::string> fixed = Popup(&checked);
    ASSERT_EQ(fixed.size(), 6u) << "None, a separator and the four services";
    EXPECT_EQ(fixed[0], "None");
    EXPECT_EQ(fixed[1], "-");
    EXPECT_EQ(checked, 0);

    Announce({"ID_SUBTITLE_ID=3", "ID_SID_3_NAME=Full", "ID_SID_3_LANG=pol", "ID_FILE_SUB_ID=0",
              "ID_FILE_SUB_FILENAME=/films/Film.srt", "ID_VOBSUB_ID=1"});
    std::vector<std::string> items = Popup(&checked);
    ASSERT_EQ(items.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(items.begin(), items.begin() + 5),
              (std::vector<std::string>{"None", "<pol> Full", "Film.srt", "VOBSUB1\r", "-"}))
        << "the VOBSUB label keeps the line's end, as the track line gave it";
    EXPECT_EQ(checked, 2) << "the file with id 0 is the selected one";
    EXPECT_EQ(std::vector<std::string>(items.begin() + 5, items.end()),
              std::vector<std::string>(fixed.begin() + 2, fixed.end()));

    NewLines();
    for (int id : {2482, 2484, 2483, 2481, 2500})
        W().Command(id);
    EXPECT_EQ(WaitLines(4), (std::vector<std::string>{"sub_demux 3 ", "sub_vob 1 ", "sub_file 0 ",
                                                      "sub_select -1 "}));
    Popup(&checked);
    EXPECT_EQ(checked, 0) << "None is checked next time; 2500 was beyond the list";
}

// What the user chose outlives the player it was told to: every relaunch of the movie (here an
// aspect change and a subtitle font change) passes the file loaded by hand and the chosen track
// again, and the next movie starts without them.
TEST_F(SubtitleMenu, ASubtitleLoadedByHandAndTheChosenTrackSurviveRelaunches) {
    Start();
    PlayMovie();
    auto relaunch = [&](int command) {
        int before = Launches();
        W().Command(command);
        EXPECT_TRUE(WaitUntil([&] { return Launches() == before + 1; }, 5000));
        return LastLaunchCommandLine();
    };
    openFileAnswer_ = dir_.file("by hand.srt");
    WriteFile(openFileAnswer_, "1\n00:00:01,000 --> 00:00:02,000\nline\n");
    W().Command(2480);
    WaitLines(3);
    std::string line = relaunch(1044); // aspect 16:9
    EXPECT_NE(line.find(" -sub \"" + openFileAnswer_ + "\" "), std::string::npos) << line;
    WaitLines(4); // "quit" and the launch commands

    Announce({"Quorvan", "ID_SUBTITLE_ID=0", "ID_FILE_SUB_ID=0",
              "ID_FILE_SUB_FILENAME=" + openFileAnswer_});
    W().Command(2481 + 1); // the movie's own track
    EXPECT_EQ(WaitLines(1), std::vector<std::string>{"sub_demux 0 "});
    line = relaunch(1045); // aspect 2.35
    EXPECT_NE(line.find(" -sub \"" + openFileAnswer_ + "\" "), std::string::npos) << line;
    std::vector<std::string> sent = WaitLines(5);
    EXPECT_EQ(sent.back(), "sub_demux 0 ") << "the chosen track again, after the launch commands";

    W().DroppedFile(dir_.file("next.avi"));
    ASSERT_TRUE(WaitLaunchWith("next.avi"));
    EXPECT_EQ(LastLaunchCommandLine().find("by hand.srt"), std::string::npos);
    line = relaunch(1044);
    EXPECT_EQ(line.find("by hand.srt"), std::string::npos) << line;
}
