#include "subtitles/voiceover.h"

#include "platform/codepage.h"
#include "platform/windowport.h"
#include "player/mplayerinfo.h"
#include "player/playerevents.h"
#include "subtitles/speakerlaunch.h"
#include "subtitles/speakers.h"
#include "subtitles/speechtext.h"

#include <cstring>
#include <string>

const char* const VoiceOverUsingClip =
    " This option clear clipboard. \n In Expressivo Tools->Clipboard monitor..->Read \n or use "
    "another applicatin that have this function.";

void VoiceOverDispatch(int mode, char* text) {
    if (mode == 8) {
        gadajExpressivoUTF8(text);
        return;
    }
    if (mode == 7) {
        CopyToClipFromUTF8(text);
        return;
    }
    if (mode == 0)
        return;
    utf8towinpl(text, text);
    cleanToSpeech(text, text);
    switch (mode) {
    case 1:
        gadajIVO(text);
        break;
    case 2:
        gadajSynTalk(text);
        break;
    case 3:
        CopyToClip(text, 0);
        break;
    case 4:
        gadajExpressivo(text);
        break;
    case 5:
        gadajWP(text);
        break;
    case 6:
        gadajWP2(text);
        break;
    default:
        break; // a mode from a hand-edited settings file speaks nothing
    }
}

int CopyToClip(const char* text, int flag) {
    std::string bytes(text != nullptr ? text : "");
    Port().CopyTextToClipboard(flag == 0 ? Cp1250ToUtf8(bytes) : Utf16LeToUtf8(bytes));
    return 0;
}

int CopyToClipFromUTF8(const char* utf8) {
    std::string text(utf8 != nullptr ? utf8 : "");
    // What a UTF-16 conversion would do with bytes that are not UTF-8: U+FFFD each.
    if (!IsValidUtf8(text)) {
        std::string fixed;
        const auto* s = reinterpret_cast<const unsigned char*>(text.data());
        size_t left = text.size();
        while (left > 0) {
            size_t len = Utf8SequenceLength(s, left);
            if (len == 0) {
                fixed += "\xEF\xBF\xBD";
                len = 1;
            } else {
                fixed.append(reinterpret_cast<const char*>(s), len);
            }
            s += len;
            left -= len;
        }
        text.swap(fixed);
    }
    Port().CopyTextToClipboard(text);
    return 0;
}

void VoiceOverModeChosen(int mode) {
    EnsureSpeakerServer(mode);
    if (mode == 5 || mode == 6)
        InicjalizujSerwerWP();
    if (mode == 3 || mode == 7)
        MessageBoxS(0, VoiceOverUsingClip, "Info", 0);
}

void VoiceOverStartup(int mode) {
    EnsureSpeakerServer(mode);
    if (mode == 5 || mode == 6)
        InicjalizujSerwerWP();
}

namespace {
void SpeakSubtitleLine(SubtitleLineShown& shown) {
    int mode = Mp1.voiceOverMode;
    if (mode == 0)
        return;
    VoiceOverDispatch(mode, shown.text);
    // Mode 8 hands the line over as it is and keeps it from the rest of the interpreter.
    if (mode == 8)
        shown.taken = true;
}
} // namespace

void ListenForVoiceOver() {
    ListenToSubtitleLines(SpeakSubtitleLine);
}
