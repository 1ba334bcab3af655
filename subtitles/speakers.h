#pragma once
// The speech synthesisers the voice-over talks to, each by its own service, topic and item
// names. Each takes the prepared text and returns the result of its DDE call (1 sent, 0 no
// server); callers ignore the result.
#include <string>

int gadajIVO(const char* text);
int gadajExpressivo(const char* text);
// `text` in UTF-8, sent in the system code page.
int gadajExpressivoUTF8(const char* text);
int gadajSynTalk(const char* text);
// The WP speech system; gadajWP wakes its reader with "gadacz" before each line, gadajWP2 not.
int gadajWP(const char* text);
int gadajWP2(const char* text);
// Prepares the WP speech server (start-up and the choice of modes 5 and 6).
int InicjalizujSerwerWP();

// The command the WP speech system is given for `text` (its double quotes made blanks), cut
// to the 4096-byte buffer.
std::string WPSpeechCommand(const char* text);
