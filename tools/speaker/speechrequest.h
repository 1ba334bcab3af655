#pragma once
// What the speech server makes of the frames of one conversation: pure functions, so the
// protocols of the four synthesisers it stands in for are tested without sockets.
#include "platform/ddeframes.h"

#include <map>
#include <optional>
#include <string>

// True when `service` with `topic` is one the server stands in for (names compared without
// regard to case, as DDE compares them).
bool IsServedConversation(const std::string& service, const std::string& topic);

// Speech text as UTF-8: bytes up to the first zero (CF_TEXT carries one), valid UTF-8 as it
// is, anything else read as Windows-1250; tabs and line breaks become blanks and the ends are
// trimmed.
std::string DecodeSpeechText(const std::string& bytes);

// The text inside the WP speech command `SEvalCommand|(tts_text "fst\\\\(chr\\0\\<text>\\)\\)"
// 'parsed)|3`, or nothing when the command is not of that shape.
std::optional<std::string> TextOfWPCommand(const std::string& command);

// Follows the conversations of all services: takes one poke or execute frame received on a
// conversation with `service` and returns the UTF-8 text to speak now, if any. SynTalk's poked
// text waits for its "[read]"; "SInit|3" and "gadacz" are accepted and change nothing.
class SpeechRequests {
  public:
    std::optional<std::string> Take(const std::string& service, const DdeFrame& frame);

  private:
    std::string synTalkText_;
};
