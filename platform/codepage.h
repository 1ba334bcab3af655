#pragma once
// Windows-1250 and UTF-8: the two encodings Polish subtitle text reaches the speech side in.
#include <cstddef>
#include <string>

// Length of the valid UTF-8 sequence starting at `s` (`left` bytes available), or 0 when the
// bytes there are not one (stray continuation, overlong form, surrogate, cut sequence).
size_t Utf8SequenceLength(const unsigned char* s, size_t left);
bool IsValidUtf8(const std::string& text);
// Windows-1250 bytes as UTF-8; the five bytes the code page leaves undefined become '?'.
std::string Cp1250ToUtf8(const std::string& text);
// UTF-16 little-endian code units (no terminator) as UTF-8; unpaired surrogates become '?'.
std::string Utf16LeToUtf8(const std::string& bytes);
