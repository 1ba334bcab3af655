#pragma once
// What the wrapper never passes on to mplayer, whoever sends it: a "run" command (mplayer hands
// its text to a shell; the front end never needs it) and a line holding a control character
// (mplayer ends a command at a carriage return or NUL and reads the rest as another one) or
// too long for mplayer's slave reader.
#include <string>

// The line the wrapper prints instead of passing `command` on, or "" when it may pass. The
// line never repeats the command's control characters.
std::string GuardedCommandRefusal(const std::string& command);
