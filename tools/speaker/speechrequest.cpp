#include "tools/speaker/speechrequest.h"

#include "platform/codepage.h"

#include <strings.h>

namespace {

bool Same(const std::string& a, const char* b) {
    return strcasecmp(a.c_str(), b) == 0;
}

std::string UpToZero(const std::string& bytes) {
    size_t zero = bytes.find('\0');
    return zero == std::string::npos ? bytes : bytes.substr(0, zero);
}

const char kWPBefore[] = "SEvalCommand|(tts_text \"fst\\\\\\\\(chr\\\\0\\\\";
const char kWPAfter[] = "\\\\)\\\\)\"'parsed)|3";

} // namespace

bool IsServedConversation(const std::string& service, const std::string& topic) {
    if (Same(service, "unispiker") || Same(service, "Expressivo") || Same(service, "rozmowy"))
        return Same(topic, "synteza");
    if (Same(service, "Syntalk"))
        return Same(topic, "System");
    return false;
}

std::string DecodeSpeechText(const std::string& bytes) {
    std::string raw = UpToZero(bytes);
    std::string text = IsValidUtf8(raw) ? raw : Cp1250ToUtf8(raw);
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return "";
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::optional<std::string> TextOfWPCommand(const std::string& command) {
    std::string text = UpToZero(command);
    const std::string before = kWPBefore;
    const std::string after = kWPAfter;
    if (text.size() < before.size() + after.size() || text.compare(0, before.size(), before) != 0 ||
        text.compare(text.size() - after.size(), after.size(), after) != 0)
        return std::nullopt;
    return text.substr(before.size(), text.size() - before.size() - after.size());
}

std::optional<std::string> SpeechRequests::Take(const std::string& service, const DdeFrame& frame) {
    std::string data = UpToZero(frame.data);
    if (Same(service, "unispiker") || Same(service, "Expressivo")) {
        if (frame.type == 'P' && Same(frame.item, "do_serwera") &&
            data.compare(0, 6, "SayIt|") == 0)
            return DecodeSpeechText(data.substr(6));
        return std::nullopt;
    }
    if (Same(service, "Syntalk")) {
        if (frame.type == 'P' && Same(frame.item, "text"))
            synTalkText_ = data;
        else if (frame.type == 'E' && data == "[read]")
            return DecodeSpeechText(synTalkText_);
        return std::nullopt;
    }
    if (Same(service, "rozmowy") && frame.type == 'P' && Same(frame.item, "gadaczIN")) {
        if (std::optional<std::string> text = TextOfWPCommand(data))
            return DecodeSpeechText(*text);
    }
    // "SInit|3", "gadacz" and anything else: nothing to say.
    return std::nullopt;
}
