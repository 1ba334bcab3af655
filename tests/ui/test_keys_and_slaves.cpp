// Every key of the key table and every slave-table menu item, checked by the exact line that
// reaches the player's stdin.
#include "uifixture.h"

#include "player/mplayerinfo.h"
#include "ui/accelerators.h"
#include "ui/mainwindow.h"
#include "ui/slavetable.h"

#include <QTest>

namespace {

struct KeyCase {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
    char character; // typed character, or 0 for a key
    std::vector<std::string> lines;
};

const std::vector<KeyCase>& KeyCases() {
    static const std::vector<KeyCase> cases = {
        {"F", Qt::Key_F, Qt::NoModifier, 0, {"pausing_keep vo_fullscreen"}},
        {"Return", Qt::Key_Return, Qt::NoModifier, 0, {"pausing_keep vo_fullscreen"}},
        {"Enter", Qt::Key_Enter, Qt::KeypadModifier, 0, {"pausing_keep vo_fullscreen"}},
        {"Right", Qt::Key_Right, Qt::NoModifier, 0, {"seek +10"}},
        {"Left", Qt::Key_Left, Qt::NoModifier, 0, {"seek -10"}},
        {"Up", Qt::Key_Up, Qt::NoModifier, 0, {"seek +60"}},
        {"Down", Qt::Key_Down, Qt::NoModifier, 0, {"seek -60"}},
        {"PageUp", Qt::Key_PageUp, Qt::NoModifier, 0, {"seek +600"}},
        {"PageDown", Qt::Key_PageDown, Qt::NoModifier, 0, {"seek -600"}},
        {"0", 0, Qt::NoModifier, '0', {"volume +1", "pausing_keep_force get_property volume"}},
        {"1", 0, Qt::NoModifier, '1', {"contrast -1"}},
        {"2", 0, Qt::NoModifier, '2', {"contrast +1"}},
        {"3", 0, Qt::NoModifier, '3', {"brightness -1"}},
        {"4", 0, Qt::NoModifier, '4', {"brightness +1"}},
        {"5", 0, Qt::NoModifier, '5', {"hue -1"}},
        {"6", 0, Qt::NoModifier, '6', {"hue +1"}},
        {"7", 0, Qt::NoModifier, '7', {"saturation -1"}},
        {"8", 0, Qt::NoModifier, '8', {"saturation +1"}},
        {"M", Qt::Key_M, Qt::NoModifier, 0, {"mute"}},
        {"D", Qt::Key_D, Qt::NoModifier, 0, {"frame_drop"}},
        {"Backspace", Qt::Key_Backspace, Qt::NoModifier, 0, {"speed_set 1"}},
        {"]", 0, Qt::NoModifier, ']', {"speed_incr 0.2"}},
        {"[", 0, Qt::NoModifier, '[', {"speed_incr -0.2"}},
        {"\\", 0, Qt::NoModifier, '\\', {"speed_set 5"}},
        {"Shift+T", Qt::Key_T, Qt::ShiftModifier, 0, {"vo_ontop"}},
        {"E", Qt::Key_E, Qt::NoModifier, 0, {"pausing_keep panscan +0.1"}},
        {"W", Qt::Key_W, Qt::NoModifier, 0, {"pausing_keep panscan -0.1"}},
        {"O", Qt::Key_O, Qt::NoModifier, 0, {"osd 2"}},
        {"S", Qt::Key_S, Qt::NoModifier, 0, {"screenshot", "screenshot"}},
        {"Pad*", Qt::Key_Asterisk, Qt::KeypadModifier, 0, {"audio_delay +0.100"}},
        {"Pad/", Qt::Key_Slash, Qt::KeypadModifier, 0, {"audio_delay -0.100"}},
        {"+", 0, Qt::ShiftModifier, '+', {"volume 5", "pausing_keep_force get_property volume"}},
        {"=", 0, Qt::NoModifier, '=', {"volume 5", "pausing_keep_force get_property volume"}},
        {"-", 0, Qt::NoModifier, '-', {"volume -5", "pausing_keep_force get_property volume"}},
        {"B", Qt::Key_B, Qt::NoModifier, 0, {"sub_select"}},
        {"A", Qt::Key_A, Qt::NoModifier, 0, {"sub_delay 0 1"}},
        {"X", Qt::Key_X, Qt::NoModifier, 0, {"pausing sub_delay -0.1"}},
        {"Z", Qt::Key_Z, Qt::NoModifier, 0, {"pausing sub_delay +0.1"}},
        {"C", Qt::Key_C, Qt::NoModifier, 0, {"pausing sub_step +1"}},
        {"V", Qt::Key_V, Qt::NoModifier, 0, {"pausing sub_step -1"}},
        {"Shift+X", Qt::Key_X, Qt::ShiftModifier, 0, {"sub_delay -0.1"}},
        {"Shift+Z", Qt::Key_Z, Qt::ShiftModifier, 0, {"sub_delay +0.1"}},
        {"Shift+C", Qt::Key_C, Qt::ShiftModifier, 0, {"sub_step +1"}},
        {"Shift+V", Qt::Key_V, Qt::ShiftModifier, 0, {"sub_step -1"}},
        {"R", Qt::Key_R, Qt::NoModifier, 0, {"sub_pos -5"}},
        {"T", Qt::Key_T, Qt::NoModifier, 0, {"sub_pos +5"}},
        {"N", Qt::Key_N, Qt::NoModifier, 0, {"sub_visibility"}},
        {"Space",
         Qt::Key_Space,
         Qt::NoModifier,
         0,
         {"mute 1", "osd_show_text PseudoPause", "pausing pause"}},
    };
    return cases;
}

class KeyRows : public UiTest {};

TEST_F(KeyRows, EveryKeyOfTheTableSendsItsLineWhicheverWidgetHasTheFocus) {
    Start();
    PlayMovie();
    QWidget* targets[] = {W().VolumeSlider(), W().TimeSlider(), W().Control(107), W().Video()};
    int turn = 0;
    for (const KeyCase& c : KeyCases()) {
        SCOPED_TRACE(c.name);
        Mp1.osdLevel = 1;
        QWidget* target = targets[turn++ % 4];
        if (c.character != 0)
            QTest::keyClick(target, c.character, c.modifiers);
        else
            QTest::keyClick(target, static_cast<Qt::Key>(c.key), c.modifiers);
        EXPECT_EQ(WaitLines(c.lines.size()), c.lines);
    }
}

TEST_F(KeyRows, F1OpensTheFaqBesideTheProgram) {
    Start();
    QTest::keyClick(W().TimeSlider(), Qt::Key_F1);
    ASSERT_EQ(documents_.size(), 1u);
    EXPECT_NE(documents_[0].find("QuorvanPlayer-obsluga .txt"), std::string::npos);
}

TEST(KeyTable, HasFiftyRowsAllCheckedAbove) {
    EXPECT_EQ(kAcceleratorCount, 50);
    // Every keyboard row but F1 (checked on its own) has a case above; the last row is the
    // right mouse button's.
    EXPECT_EQ(KeyCases().size(), static_cast<size_t>(kAcceleratorCount - 2));
}

TEST(KeyTable, ModifiersAndTypedCharactersDecideTheRow) {
    EXPECT_EQ(AcceleratorCommand(Qt::Key_X, Qt::NoModifier, "x"), 1016);
    EXPECT_EQ(AcceleratorCommand(Qt::Key_X, Qt::ShiftModifier, "X"), 1020);
    EXPECT_EQ(AcceleratorCommand(Qt::Key_X, Qt::ControlModifier, "\x18"), 0);
    EXPECT_EQ(AcceleratorCommand(Qt::Key_F, Qt::ShiftModifier, "F"), 0);
    EXPECT_EQ(AcceleratorCommand(Qt::Key_Asterisk, Qt::ShiftModifier, "*"), 0);
    EXPECT_EQ(AcceleratorCommand(Qt::Key_6, Qt::KeypadModifier, "6"), 1066);
}

class SlaveItems : public UiTest {};

TEST_F(SlaveItems, EveryMenuItemOfTheSlaveTableSendsItsLine) {
    Start();
    PlayMovie();
    int checked = 0;
    for (const SlaveRow* row = slave; row->id != -1; ++row) {
        SCOPED_TRACE(row->id);
        std::vector<QAction*> actions = W().Menus().Actions(row->id);
        if (actions.empty())
            continue; // keys only (volume, picture), or a button (103 of the equaliser)
        ++checked;
        actions.front()->trigger();
        std::vector<std::string> expected = {row->command};
        if (row->id == 112)
            expected.push_back("screenshot");
        EXPECT_EQ(WaitLines(expected.size()), expected);
    }
    EXPECT_EQ(checked, 31);
}

TEST_F(SlaveItems, TheIdWithoutMenuOrKeySendsVolumeDown) {
    Start();
    PlayMovie();
    EXPECT_TRUE(W().Command(1069));
    // The player is asked for its volume afterwards, so the volume slider can follow it.
    EXPECT_EQ(WaitLines(2),
              (std::vector<std::string>{"volume -1", "pausing_keep_force get_property volume"}));
}

} // namespace
