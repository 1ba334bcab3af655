#include "persist/history.h"
#include "persist/i18l.h"
#include "persist/reopen.h"
#include "platform/paths.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

namespace {

using Slots = std::vector<std::string>;

void SetSlots(const Slots& slots) {
    for (int i = 0; i < kReopenSlots; ++i)
        reopenpozycje[i] = slots[static_cast<size_t>(i)];
}

Slots GetSlots() {
    return Slots(reopenpozycje, reopenpozycje + kReopenSlots);
}

} // namespace

TEST(Reopen, PushToFrontPutsThePathFirstAndNeverTwice) {
    struct Case {
        Slots before;
        const char* path;
        Slots after;
    };
    const Case cases[] = {
        {{"A", "B", "C", "D", "E"}, "C", {"C", "A", "B", "D", "E"}},
        {{"A", "B", "C", "D", "E"}, "E", {"E", "A", "B", "C", "D"}},
        {{"A", "B", "C", "D", "E"}, "F", {"F", "A", "B", "C", "D"}},
        {{"A", "B", "C", "D", "E"}, "A", {"A", "B", "C", "D", "E"}},
        {{"", "", "", "", ""}, "A", {"A", "", "", "", ""}},
        // A hand-edited file listing a movie twice still ends with it once.
        {{"A", "C", "B", "C", "E"}, "C", {"C", "A", "B", "E", ""}},
    };
    for (const Case& c : cases) {
        SetSlots(c.before);
        reopen1.pushtofront(c.path);
        EXPECT_EQ(GetSlots(), c.after) << c.path;
    }
}

TEST(Reopen, AShortFileFillsTheFirstSlotsAndSaveWritesFiveLines) {
    TempDir dir;
    std::string file = dir.file("reopen.p4s");
    WriteFile(file, "/m/one.avi\r\n/m/two.avi\n/m/three.avi\n");
    SetSlots({"", "", "", "", ""});
    reopen1.load(file);
    EXPECT_EQ(GetSlots(), (Slots{"/m/one.avi", "/m/two.avi", "/m/three.avi", "", ""}));
    ASSERT_TRUE(reopen1.save(file));
    EXPECT_EQ(ReadFile(file), "/m/one.avi\n/m/two.avi\n/m/three.avi\n\n\n");

    SetSlots({"a", "b", "c", "d", "e"});
    reopen1.load(dir.file("missing.p4s"));
    EXPECT_EQ(GetSlots(), (Slots{"a", "b", "c", "d", "e"})) << "a missing file changes nothing";

    WriteFile(file, "x\ny");
    reopen1.load(file);
    EXPECT_EQ(GetSlots(), (Slots{"x", "y", "c", "d", "e"})) << "slots without a line keep theirs";
}

TEST(Reopen, ASlotIsAlwaysSavedAsOneLine) {
    TempDir dir;
    std::string file = dir.file("reopen.p4s");
    SetSlots({"/m/evil\nname.avi", "b", "", "", ""});
    ASSERT_TRUE(reopen1.save(file));
    SetSlots({"", "", "", "", ""});
    reopen1.load(file);
    EXPECT_EQ(GetSlots(), (Slots{"/m/evil", "b", "", "", ""}));
}

TEST(Reopen, ClearShowsTheLanguagesNoneTextAndForgetsPositions) {
    TempDir dir;
    std::string language = dir.file("lang.ini");
    WriteFile(language, "[Strings]\nReopen.None=(nothing yet)\n");
    I18l.SetFile(language);
    SetSlots({"/m/a.avi", "/m/b.avi", "", "", ""});
    history1.add("/m/a.avi", 600);

    // What the "Clear" command does: the history, then the slots, then the menu.
    RecorderPort port;
    ScopedPort scoped(&port);
    history1.clear();
    reopen1.clear();
    reopen1.refresh();
    EXPECT_EQ(GetSlots(), Slots(5, "(nothing yet)"));
    EXPECT_EQ(history1.get("/m/a.avi"), 0) << "the movie starts from the beginning";
    for (int command = 2031; command <= 2035; ++command)
        EXPECT_TRUE(port.Has("menu:" + std::to_string(command) + ":(nothing yet)")) << command;

    I18l.SetFile(dir.file("missing.ini"));
    reopen1.clear();
    EXPECT_EQ(reopenpozycje[0], "Reopen.None ?");
}

TEST(Reopen, TheDefaultFileIsInTheStateFolder) {
    TempDir dir;
    SetProgramFolder(dir.path());
    SetSlots({"/m/a.avi", "", "", "", ""});
    ASSERT_TRUE(reopen1.save());
    EXPECT_EQ(ReadFile(dir.file("reopen.p4s")), "/m/a.avi\n\n\n\n\n");
    SetSlots({"", "", "", "", ""});
    reopen1.load();
    EXPECT_EQ(reopenpozycje[0], "/m/a.avi");
    SetProgramFolder("");
}
