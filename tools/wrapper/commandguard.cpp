#include "tools/wrapper/commandguard.h"

#include "player/slavecommand.h"

#include <cctype>
#include <string_view>

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The command's name: leading blanks and any "pausing..." prefixes skipped. mplayer matches
// names without regard to case; so does this, and it is more lenient with blanks than
// mplayer, so no spelling of "run" that mplayer accepts gets through.
std::string_view CommandName(std::string_view line) {
    while (true) {
        size_t b = 0;
        while (b < line.size() && IsBlank(line[b]))
            ++b;
        line.remove_prefix(b);
        size_t end = 0;
        while (end < line.size() && !IsBlank(line[end]) && line[end] != '"' && line[end] != '\'')
            ++end;
        std::string_view word = line.substr(0, end);
        if (word.size() >= 7 && EqualsNoCase(word.substr(0, 7), "pausing") && end < line.size()) {
            line.remove_prefix(end);
            continue;
        }
        return word;
    }
}
} // namespace

std::string GuardedCommandRefusal(const std::string& command) {
    if (!SlaveLineRefusal(command).empty())
        return "Quorvan: a slave command holding a control character or longer than " +
               std::to_string(kSlaveLineMax) + " bytes was not passed to mplayer.";
    if (EqualsNoCase(CommandName(command), "run"))
        return "Quorvan: the slave command \"run\" was not passed to mplayer (it would start a "
               "shell).";
    return "";
}
