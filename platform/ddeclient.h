#pragma once
// The DDE client conversations with speech synthesisers, carried by the local sockets of
// ddeframes.h. Each call is a complete exchange of its own: it connects, sends, and closes.
// Every call returns 1 when the transaction was issued and 0 when no server accepted the
// conversation. A missing server, a refused connection or a server that does not accept
// within kDdeAnswerLimitMs makes the call return 0 at once; the transactions themselves are
// not waited for (the synthesiser does not acknowledge speaking).

#include <string>

constexpr int kDdeAnswerLimitMs = 50;
// Payloads are built in a 4096-byte buffer: at most 4095 bytes go out (and the zero byte).
constexpr int kDdePayloadBuffer = 4096;
// The system-code-page variant converts into 4000 bytes.
constexpr int kDdeCodepageBuffer = 4000;

// One poke of `text` (CF_TEXT, the zero byte included) to `item` on `service` and `topic`.
int DDEPokeData(const char* service, const char* topic, const char* item, const char* text);
// The system-code-page variant: always service "Expressivo", topic "synteza", item
// "do_serwera" (the name arguments are not used); the UTF-8 `text` is converted to the
// system code page, which on Linux is UTF-8, so it goes as it is, cut at a character boundary
// to fit 4000 bytes, invalid bytes replaced by '?'.
int DDEPokeDataUTF8(const char* service, const char* topic, const char* item, const char* text);
// One execute of `command` on `service` and `topic`.
int DDEExecute(const char* service, const char* topic, const char* command);
// A poke of `text` to `item` on `service` and `topic`, then a second conversation with the
// service on `topic2`, where `command` is executed; the first stays open until the second is
// done. 1 only when both conversations were made.
int DDEPokeExecute(const char* service, const char* topic, const char* item, const char* text,
                   const char* topic2, const char* command);

// The text the system-code-page variant sends for `utf8` (exposed for tests).
std::string ToSystemCodepage(const char* utf8);

// 1 when a server accepts a conversation with `service` on `topic` (nothing is sent).
int DDEProbe(const char* service, const char* topic);
