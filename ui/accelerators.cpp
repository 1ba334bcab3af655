#include "ui/accelerators.h"

namespace {
constexpr AcceleratorRow Vk(int key, int command) {
    return {KeyMatch::VirtualKey, key, false, 0, command};
}
constexpr AcceleratorRow ShiftVk(int key, int command) {
    return {KeyMatch::VirtualKey, key, true, 0, command};
}
constexpr AcceleratorRow Pad(int key, int command) {
    return {KeyMatch::Keypad, key, false, 0, command};
}
constexpr AcceleratorRow Ch(char character, int command) {
    return {KeyMatch::Character, 0, false, character, command};
}
} // namespace

const AcceleratorRow MyAccelerators[] = {
    Vk(Qt::Key_Space, 2018),
    Vk(Qt::Key_F, 115),
    Vk(Qt::Key_Return, 115),
    Pad(Qt::Key_Enter, 115),
    Vk(Qt::Key_Right, 1030),
    Vk(Qt::Key_Left, 1031),
    Vk(Qt::Key_Up, 1032),
    Vk(Qt::Key_Down, 1033),
    Vk(Qt::Key_PageUp, 1034),
    Vk(Qt::Key_PageDown, 1035),
    Ch('0', 1060),
    Ch('1', 1061),
    Ch('2', 1062),
    Ch('3', 1063),
    Ch('4', 1064),
    Ch('5', 1065),
    Ch('6', 1066),
    Ch('7', 1067),
    Ch('8', 1068),
    Vk(Qt::Key_M, 1011),
    Vk(Qt::Key_D, 1009),
    Vk(Qt::Key_Backspace, 1012),
    Ch(']', 1013),
    Ch('[', 1014),
    Ch('\\', 1015),
    ShiftVk(Qt::Key_T, 116),
    Vk(Qt::Key_E, 2471),
    Vk(Qt::Key_W, 2472),
    Vk(Qt::Key_O, 1052),
    Vk(Qt::Key_S, 112),
    Pad(Qt::Key_Asterisk, 1025),
    Pad(Qt::Key_Slash, 1026),
    Ch('+', 1037),
    Ch('=', 1037),
    Ch('-', 1036),
    Vk(Qt::Key_B, 1027),
    Vk(Qt::Key_A, 1070),
    Vk(Qt::Key_X, 1016),
    Vk(Qt::Key_Z, 1017),
    Vk(Qt::Key_C, 1018),
    Vk(Qt::Key_V, 1019),
    ShiftVk(Qt::Key_X, 1020),
    ShiftVk(Qt::Key_Z, 1021),
    ShiftVk(Qt::Key_C, 1022),
    ShiftVk(Qt::Key_V, 1023),
    Vk(Qt::Key_R, 1028),
    Vk(Qt::Key_T, 1029),
    Vk(Qt::Key_N, 1010),
    Vk(Qt::Key_F1, 111),
    {KeyMatch::MouseOnly, 0, false, 0, 1052},
};

const int kAcceleratorCount = sizeof(MyAccelerators) / sizeof(MyAccelerators[0]);

int AcceleratorCommand(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    const Qt::KeyboardModifiers held =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    for (int i = 0; i < kAcceleratorCount; ++i) {
        const AcceleratorRow& row = MyAccelerators[i];
        switch (row.match) {
        case KeyMatch::VirtualKey:
            if (row.key == key && held == (row.shift ? Qt::ShiftModifier : Qt::NoModifier))
                return row.command;
            break;
        case KeyMatch::Keypad:
            if (keypad && row.key == key)
                return row.command;
            break;
        case KeyMatch::Character:
            // Ctrl and Alt combinations are not typed characters.
            if (text.size() == 1 && text[0] == QChar(row.character) &&
                !(held & (Qt::ControlModifier | Qt::AltModifier)))
                return row.command;
            break;
        case KeyMatch::MouseOnly:
            break;
        }
    }
    return 0;
}

QKeySequence AcceleratorKeyOf(int command) {
    for (int i = 0; i < kAcceleratorCount; ++i) {
        const AcceleratorRow& row = MyAccelerators[i];
        if (row.command != command)
            continue;
        switch (row.match) {
        case KeyMatch::VirtualKey:
            return QKeySequence(row.shift ? QKeyCombination(Qt::ShiftModifier, Qt::Key(row.key))
                                          : QKeyCombination(Qt::Key(row.key)));
        case KeyMatch::Keypad:
            return QKeySequence(QKeyCombination(Qt::KeypadModifier, Qt::Key(row.key)));
        case KeyMatch::Character:
            return QKeySequence(QString(QChar(row.character)));
        case KeyMatch::MouseOnly:
            break;
        }
    }
    return QKeySequence();
}
