#pragma once
// Command lines as single strings, the way the player and the tools are started: the string is
// split into argv with the Windows rules, and arguments are quoted so that they survive it.
#include <string>
#include <vector>

// The one command-line splitter: for the program's own command line (described as `podziel`),
// the player's launch line and the programs it starts; its inverse is JoinCommandLine and
// QuoteCommandLineArg. Splits with the Windows C runtime rules: blanks and tabs separate;
// double quotes group; 2n backslashes before a quote give n backslashes, 2n+1 give n and a
// literal quote; other backslashes are literal; "" inside a quoted argument is a literal
// quote. A quote never closed runs to the end of the text.
std::vector<std::string> SplitCommandLineWindows(const std::string& commandLine);

// Quotes one argument for SplitCommandLineWindows. A text without quotes and without a trailing
// backslash comes back as '"' + text + '"', byte for byte.
std::string QuoteCommandLineArg(const std::string& argument);

// Every backslash outside a quoted argument becomes a slash (the options of Windows-minded
// presets). Quoted arguments, made by QuoteCommandLineArg, keep their bytes, and so do
// backslashes that escape a quote, so SplitCommandLineWindows reads the same values after it.
void SlashesOutsideQuotes(std::string& commandLine);

// A whole argv as one command line: every argument quoted with QuoteCommandLineArg.
// SplitCommandLineWindows gives the same argv back.
std::string JoinCommandLine(const std::vector<std::string>& argv);

// Quotes one argument for /bin/sh (single quotes; embedded single quotes closed and escaped).
std::string ShellQuote(const std::string& argument);
