#pragma once
// The settings file: every key of section "quorvan" read at start-up into the objects that
// hold it during the run (Mp1, Optins1, fontsize, the language object, DialogThumb), and
// written back on exit. "fontsize" and "localefile" are written the moment they change.
#include <string>

constexpr const char* kSettingsSection = "quorvan";
// Longest text value ("localefile", "Login", "Pass") read from the settings.
constexpr size_t kSettingsTextLimit = 498;

// Reads every key in the order the program has always read them, each with its default when
// the file or key is missing. `file` is normally SettingsFilePath().
void ReadSettings(const std::string& file);

// The exit write: the keys the exit command stores, in their order and formats (flags "1" or
// "0", numbers "%d", texts as they are), replacing the file once. Returns false when the file
// could not be written (the values are then lost, as nothing can be done about it at exit).
bool WriteSettingsOnExit(const std::string& file);

// Stores "fontsize" at once, as a stream prints the number (160 as "160", 120.5 as "120.5").
bool WriteFontSize(const std::string& file);

// Width of the time slider's preview pictures ("PreviewWidth", 0 = no previews), kept between
// 32 and 640 pixels otherwise; and the width the Movie menu's check item turns them on with.
extern int PreviewWidth;
extern int PreviewWidthWhenOn;
int ClampPreviewWidth(int width);

// A flag as the settings file keeps it.
inline const char* FlagText(long value) {
    return value != 0 ? "1" : "0";
}
