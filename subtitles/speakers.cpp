#include "subtitles/speakers.h"

#include "platform/ddeclient.h"

#include <string>

namespace {

// The payload as it fits the 4096-byte buffer it is built in.
std::string InBuffer(std::string text) {
    if (text.size() > kDdePayloadBuffer - 1)
        text.resize(kDdePayloadBuffer - 1);
    return text;
}

int SayIt(const char* service, const char* text) {
    return DDEPokeData(service, "synteza", "do_serwera",
                       InBuffer(std::string("SayIt|") + text).c_str());
}

int SpeakWP(const char* text, bool wakeReader) {
    if (DDEExecute("rozmowy", "synteza", "SInit|3") == 0)
        return 0;
    std::string command = WPSpeechCommand(text);
    if (wakeReader && DDEExecute("rozmowy", "synteza", "gadacz") == 0)
        return 0;
    return DDEPokeData("rozmowy", "synteza", "gadaczIN", command.c_str());
}

} // namespace

int gadajIVO(const char* text) {
    return SayIt("unispiker", text);
}

int gadajExpressivo(const char* text) {
    return SayIt("Expressivo", text);
}

int gadajExpressivoUTF8(const char* text) {
    return DDEPokeDataUTF8("Expressivo", "synteza", "do_serwera",
                           InBuffer(std::string("SayIt|") + text).c_str());
}

int gadajSynTalk(const char* text) {
    return DDEPokeExecute("Syntalk", "System", "text", InBuffer(text).c_str(), "System", "[read]");
}

int gadajWP(const char* text) {
    return SpeakWP(text, true);
}

int gadajWP2(const char* text) {
    return SpeakWP(text, false);
}

int InicjalizujSerwerWP() {
    return DDEExecute("rozmowy", "synteza", "gadacz");
}

std::string WPSpeechCommand(const char* text) {
    std::string copy = InBuffer(text);
    for (char& c : copy)
        if (c == '"')
            c = ' ';
    // The frame's literal backslashes: fst\\\\(chr\\0\\ before the text, \\)\\) after it.
    std::string command = "SEvalCommand|(tts_text \"fst\\\\\\\\(chr\\\\0\\\\";
    command += copy;
    command += "\\\\)\\\\)\"'parsed)|3";
    return InBuffer(command);
}
