#pragma once
// Small text helpers used across the system.
#include <string>

// Digit-wildcard comparison: for every position of `text`, '?' in `pattern` matches a digit and
// any other character matches itself. Only the text's length is walked. 1 on a match, else 0.
int cmpznak(const char* text, const char* pattern);

// Replaces every occurrence of `from` in `text` by `to`, searching again from the start after
// each replacement (a `to` that contains `from` gets one forward pass instead of looping).
void repleaceall(std::string& text, const std::string& from, const std::string& to);

// A 16-byte digest as 32 lowercase hex digits and a terminating zero; `out` holds 33 bytes.
void tohexdigs(const unsigned char* digest, char* out);

// Case-insensitive "starts with" over exactly the prefix's length.
bool StartsWithNoCase(const char* line, const char* prefix);

// printf-style formatting into a std::string (no fixed buffers).
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// A text as one output line: line breaks and every other control character (C0, DEL, and the
// C1 controls of UTF-8) become blanks, so the text can neither end the line early nor pass for
// a line of its own (a cue's text among the player's lines, a server's reason on a console).
std::string OneLine(const std::string& text);
