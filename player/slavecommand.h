#pragma once
// Slave commands for mplayer, one line each. Every command the program sends passes through
// here: text arguments are quoted the way mplayer's slave reader takes them apart, and a line
// that mplayer would read as more than one command (or cut, or drop) is refused, so no name,
// subtitle text or server answer can add a command of its own ("run" starts a shell).
#include <string>
#include <string_view>

// The longest line mplayer's slave reader takes: its buffer holds 4096 bytes with the line
// feed and a terminator; a longer line is dropped with whatever follows it in the buffer.
constexpr size_t kSlaveLineMax = 4094;

// Why `line` cannot be one slave command, as one line of text, or "" when it can. Refused: a
// carriage return, line feed or NUL (mplayer ends the command there and reads the rest as the
// next one), any other control character but the tab, and a line longer than kSlaveLineMax.
std::string SlaveLineRefusal(std::string_view line);

// One text argument as mplayer reads it back: in double quotes, with '\' before every '"' and
// every '\' (mplayer's reader takes the character after a backslash as it stands). A text
// ending in a backslash cannot be quoted (mplayer would not see the closing quote); Text()
// below sends it unquoted instead.
std::string QuoteSlaveText(std::string_view text);

// mplayer's reading of one string argument at the start of `rest` (blanks before it skipped):
// quoted with '"' or '\'' up to the same quote, else up to a blank; a backslash takes the next
// character as it is. `used` gets the number of bytes read (through the closing quote). An
// argument whose quote is never closed gives false, as mplayer refuses the command.
bool ReadSlaveText(std::string_view rest, std::string* text, size_t* used = nullptr);

// Builds one command: the command's own words first (fixed by the program, e.g.
// "pausing osd_show_text"), then its arguments. A text that cannot travel in one line makes
// the whole command refused; refusal() then says why in one line and line() is empty.
class SlaveCommand {
  public:
    explicit SlaveCommand(std::string_view words);
    SlaveCommand& Text(std::string_view text);
    SlaveCommand& Int(long long value);
    // "%f", as the seek commands have always been sent.
    SlaveCommand& Real(double value);

    bool ok() const { return refusal_.empty(); }
    // The finished line (without its line feed), or "" when refused.
    const std::string& line() const { return line_; }
    const std::string& refusal() const { return refusal_; }

  private:
    void Append(std::string_view piece);
    std::string name_; // the command's name, for the refusal text
    std::string line_;
    std::string refusal_;
    bool lastOnly_ = false; // a text ending in a backslash went last and unquoted
};
