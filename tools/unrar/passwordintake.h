#pragma once
// Where binary/unrar takes the RAR password from. Every local user can read a process's command
// line, so "-p<password>" is kept only for users' own scripts; the program's own streaming
// script hands the password over in the environment, which only this user can read.
#include <string>

// The password itself.
inline constexpr char kPasswordVariable[] = "QUORVAN_RAR_PASSWORD";
// The number of an inherited descriptor to read the password from, to its end (one line end at
// the very end is not part of it).
inline constexpr char kPasswordFdVariable[] = "QUORVAN_RAR_PASSWORD_FD";

// The password handed over outside the command line ("" when none), the descriptor before the
// variable. Both variables are removed from the environment, so nothing started later inherits
// them. False, with `error` saying why, when the descriptor named cannot be read within 10 s,
// is no number, or brings more than 4096 bytes.
bool TakePasswordFromEnvironment(std::string* password, std::string* error);
