#include "player/slavecommand.h"

#include <cstdio>

namespace {
// The tab is a blank to mplayer's reader and stays inside a quoted text; every other control
// character is refused: CR, LF and NUL end the command early, the rest have no business in a
// command and would reach the console and the terminal as they are.
bool IsRefusedControl(unsigned char c) {
    return (c < 0x20 && c != '\t') || c == 0x7f;
}

bool HasRefusedControl(std::string_view text) {
    for (char c : text)
        if (IsRefusedControl(static_cast<unsigned char>(c)))
            return true;
    return false;
}

// The command's name without the "pausing..." prefix, for the texts that name it.
std::string CommandName(std::string_view words) {
    size_t b = words.find_first_not_of(" \t");
    if (b == std::string_view::npos)
        return "";
    words.remove_prefix(b);
    if (words.substr(0, 7) == "pausing") {
        size_t blank = words.find_first_of(" \t");
        if (blank != std::string_view::npos) {
            words.remove_prefix(blank);
            b = words.find_first_not_of(" \t");
            words.remove_prefix(b == std::string_view::npos ? words.size() : b);
        }
    }
    return std::string(words.substr(0, words.find_first_of(" \t\"'")));
}
} // namespace

std::string SlaveLineRefusal(std::string_view line) {
    if (HasRefusedControl(line))
        return "The player was not sent \"" + CommandName(line) +
               "\": it would carry a line break or another control character.";
    if (line.size() > kSlaveLineMax)
        return "The player was not sent \"" + CommandName(line) + "\": the command is " +
               std::to_string(line.size()) + " bytes long, the player takes " +
               std::to_string(kSlaveLineMax) + ".";
    return "";
}

std::string QuoteSlaveText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

bool ReadSlaveText(std::string_view rest, std::string* text, size_t* used) {
    size_t i = 0;
    while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t'))
        ++i;
    char term = ' ';
    if (i < rest.size() && (rest[i] == '"' || rest[i] == '\'')) {
        term = rest[i];
        ++i;
    }
    // mplayer finds the end first: the terminator not right after a backslash (so a text
    // cannot end in a backslash inside quotes), then takes "\x" as "x".
    const size_t start = i;
    while (true) {
        if (i >= rest.size()) {
            if (term != ' ')
                return false; // "argument is unterminated": mplayer drops the command
            break;
        }
        if (rest[i] == term && (i == start || rest[i - 1] != '\\'))
            break;
        ++i;
    }
    std::string out;
    out.reserve(i - start);
    for (size_t k = start; k < i; ++k) {
        if (rest[k] == '\\' && k + 1 < i)
            ++k;
        out += rest[k];
    }
    if (term != ' ')
        ++i; // the closing quote
    if (text != nullptr)
        *text = std::move(out);
    if (used != nullptr)
        *used = i;
    return true;
}

SlaveCommand::SlaveCommand(std::string_view words) : name_(CommandName(words)) {
    Append(words);
}

void SlaveCommand::Append(std::string_view piece) {
    if (!refusal_.empty())
        return;
    if (lastOnly_) {
        refusal_ = "The player was not sent \"" + name_ +
                   "\": a text ending in a backslash can only be its last argument.";
        line_.clear();
        return;
    }
    if (!line_.empty() && line_.back() != ' ')
        line_ += ' ';
    line_ += piece;
    refusal_ = SlaveLineRefusal(line_);
    if (!refusal_.empty())
        line_.clear();
}

SlaveCommand& SlaveCommand::Text(std::string_view text) {
    if (refusal_.empty() && HasRefusedControl(text)) {
        refusal_ = "The player was not sent \"" + name_ +
                   "\": its text holds a line break or another control character.";
        line_.clear();
        return *this;
    }
    if (text.empty() || text.back() != '\\') {
        Append(QuoteSlaveText(text));
        return *this;
    }
    // Inside quotes mplayer takes a quote after a backslash as part of the text, so a text
    // ending in one goes unquoted, every blank, quote, '#' and backslash escaped; such a text
    // runs to the end of the line.
    std::string bare;
    bare.reserve(text.size() * 2);
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '"' || c == '\'' || c == '\\' || c == '#')
            bare += '\\';
        bare += c;
    }
    Append(bare);
    lastOnly_ = true;
    return *this;
}

SlaveCommand& SlaveCommand::Int(long long value) {
    Append(std::to_string(value));
    return *this;
}

SlaveCommand& SlaveCommand::Real(double value) {
    char buf[64];
    std::snprintf(buf, sizeof(buf), "%f", value);
    Append(buf);
    return *this;
}
