#pragma once
// Code page 437, the DOS code page .nfo files are drawn in.
#include <QString>
#include <string>

// The text of `bytes` read as code page 437. Bytes below 0x80 are ASCII (line breaks and tabs
// keep their meaning); the upper half maps to the box-drawing and accented characters.
QString DecodeCp437(const std::string& bytes);
