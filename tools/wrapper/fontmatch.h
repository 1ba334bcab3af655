#pragma once
#include <string>

// The font file fontconfig chooses for a pattern, or "" (fc-match is run without a shell).
std::string MatchFontFile(const std::string& pattern);
