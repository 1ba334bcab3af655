#pragma once
// The voice-over: each subtitle line the player shows is read aloud by the speech server the
// mode names, or put on the clipboard for a reader of the user's own.
//
// Modes (menu commands 2460 + mode): 0 none, 1 IVO UniSpiker, 2 SynTalk, 3 clipboard text,
// 4 Expressivo, 5 WP speech system, 6 WP2, 7 clipboard Unicode, 8 Expressivo system code page.

// Shown when a clipboard mode is chosen.
extern const char* const VoiceOverUsingClip;

// Hands a subtitle line the player shows to the voice-over chosen by `mode`. `text` is the
// line after "XX :" (UTF-8) and may be modified in place. Runs on the player-output reader
// thread and never waits for a synthesiser.
void VoiceOverDispatch(int mode, char* text);

// Makes the voice-over a listener of the subtitle lines the player shows (playerevents.h):
// each line goes to VoiceOverDispatch with the mode chosen at the time. Called at start-up;
// once is enough.
void ListenForVoiceOver();

// The clipboard writers; both always return 0. `CopyToClip` takes the bytes of `text` as
// Windows-1250 text when `flag` is 0, as UTF-16 little-endian units otherwise.
int CopyToClip(const char* text, int flag);
int CopyToClipFromUTF8(const char* utf8);

// What choosing voice-over mode `mode` does besides storing it and moving the check mark:
// the WP server is prepared for modes 5 and 6, the clipboard modes 3 and 7 tell the user how
// they work, and the speech modes make sure a speech server runs.
void VoiceOverModeChosen(int mode);
// The same at start-up, for the mode read from the settings.
void VoiceOverStartup(int mode);
