#pragma once
// The command dispatch of the main window: every menu item, button and key arrives here as
// its command id and is resolved in a fixed order (filter presets, the slave table, user
// filters, subtitle lists, single commands and radio groups, DVD drives, languages).
#include <string>

// Resolves one command. True when it was handled (the dialog procedure's TRUE).
bool InitProcCommand(int id);

// The single commands of the menus, buttons and keys: true when `id` has a row.
bool RunSingleCommand(int id);
// The radio groups: true when `id` belongs to one (`handled` is false for the voice-over
// group, whose command the dialog procedure reports as unhandled).
bool RunRadioGroup(int id, bool* handled);

// The window's slider notifications, by what the user did.
enum class ScrollCode { PageUp, PageDown, ThumbTrack, ThumbPosition, Other };
void VolumeSliderScroll(ScrollCode code, int position);
// `clickX` and `width` are the cursor's x in the slider and the slider's width.
void TimeSliderScroll(ScrollCode code, int position, int clickX, int width);
void WheelTurned(int delta);
// Shows `volume` (0 to 100) on the volume slider and the equaliser's volume control, and keeps
// it for the next launch. Nothing is sent to the player.
void ShowVolume(int volume);
// Asks the player for its volume after a relative change: its answer (ANS_volume=) moves the
// sliders, since the player's own step need not be the one asked for.
void AskPlayerVolume();

// The open commands and their helpers.
void ButionLoad();
void ButionLoadExternAudio();
void ButionPlayURL();
// "Streaming from unrar": the RAR file, then its password, then the stream.
void ButionUnRar();
void MessageNoMoveOpen();
// "Please wait" on the screen and in the title while subtitles are fetched.
void SubtitleWaitNotice();

class MenuSet;
// The first item of "User Filtres" is named by the language file's strings, so a change of
// language renames it too.
void TranslateManualEdit(MenuSet& menus);

// The exit command (2): positions, settings, playlist and recent files written, then the end.
void ExitSequence();
