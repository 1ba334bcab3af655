#pragma once
// Preparing a subtitle line for a speech synthesiser. The destination may be the source
// itself: both work in place.

// Copies `src` to `dst` byte for byte, the same length, with each of the characters
// > - < / \ : ' " [ ] | CR LF turned into a blank (synthesisers read them out or stumble on
// them); terminates `dst`.
void cleanToSpeech(const char* src, char* dst);

// Converts the 18 Polish letters from UTF-8 to their Windows-1250 bytes and copies every other
// byte unchanged (other letters, three- and four-byte sequences pass through); terminates
// `dst`. `dst` never grows past `src`.
void utf8towinpl(const char* src, char* dst);

// True for the characters '0' to '9' only.
bool isDig(char c);
