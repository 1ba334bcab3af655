#pragma once
// Cleaning the text of one subtitle: formatting tags and override blocks go, the formats'
// own line-break marks become '\n', lines are trimmed and empty ones dropped.
#include <string>

enum class LineBreaks { None, Bar, Br, BackslashN };

std::string CleanSubtitleText(const std::string& text, LineBreaks breaks);
