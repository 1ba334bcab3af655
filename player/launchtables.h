#pragma once
// The fixed tables of option fragments the player command line is built from. Each entry is
// appended unchanged, blanks included.
#include <cstddef>

constexpr int kSoundDeviceCount = 12;
constexpr int kFontCount = 13;
constexpr int kChannelModeCount = 8;

// Sound output (menu command 2037 + index).
extern const char* const sound_devices[kSoundDeviceCount];
extern const char* const sound_device_labels[kSoundDeviceCount]; // "" = no menu entry
// Subtitle font files (menu command 2050 + index) and their menu labels.
extern const char* const fonts_tt[kFontCount];
extern const char* const font_labels[kFontCount];
// Channel modes (menu command 2070 + index).
extern const char* const overwritechannelsT[kChannelModeCount];
extern const char* const channel_labels[kChannelModeCount];

// Entry `index` of a table, or entry 0 when the index (read from a settings file) lies outside.
const char* TableEntry(const char* const* table, int size, int index);

// Subtitle font size in tenths of a point (settings "fontsize").
extern float fontsize;

extern const char* const ProgramTitle;
