#pragma once
// Hands a subtitle line the player shows to the voice-over chosen by `mode`.
// `text` is the line after "XX :" and may be modified in place.
void VoiceOverDispatch(int mode, char* text);
