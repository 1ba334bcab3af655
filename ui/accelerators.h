#pragma once
// The key table of the main window. Keys are matched before any widget sees them, whichever
// control has the focus, so a key always arrives as the command of its row.
#include <QKeySequence>
#include <QString>
#include <Qt>

enum class KeyMatch {
    VirtualKey, // the key itself, with exactly the modifiers of the row (Shift or none)
    Keypad,     // a key of the numeric keypad
    Character,  // a typed character, whatever produced it
    MouseOnly,  // the right mouse button's row: never arrives as a keystroke
};

struct AcceleratorRow {
    KeyMatch match;
    int key;        // Qt::Key for VirtualKey and Keypad rows
    bool shift;     // VirtualKey rows: Shift must be held
    char character; // Character rows
    int command;
};

// The 50 rows.
extern const AcceleratorRow MyAccelerators[];
extern const int kAcceleratorCount;

// The command of the row a key press matches, or 0.
int AcceleratorCommand(int key, Qt::KeyboardModifiers modifiers, const QString& text);

// The key of the first row bound to `command`, as a menu shows it (empty when none): menus
// show their keys, while the keys themselves stay matched by the table above.
QKeySequence AcceleratorKeyOf(int command);
