#pragma once
// Turning the front end's player options, written for the Windows player build, into options
// the stock mplayer of this system understands.
#include <functional>
#include <string>
#include <vector>

struct WrapperEnvironment {
    // -ao value for the N-th local audio device (N >= 1); "" when there is no such device.
    std::function<std::string(int)> audioDevice;
    // Font file for a face pattern ("Liberation Sans:bold"); "" when none is found.
    std::function<std::string(const std::string&)> matchFont;
    std::function<bool(const std::string&)> fileExists;
};

// The translated argument list (without the program name).
std::vector<std::string> TranslatePlayerOptions(const std::vector<std::string>& args,
                                                const WrapperEnvironment& env);

// Without a sound device mplayer plays silently and its status lines lose the audio clock
// ("V:" instead of "A:"), so the window would never learn the position. Unless the options
// choose an audio output (or none), the usual outputs are tried with the null one last.
void AddSilentAudioFallback(std::vector<std::string>& args);

// Indexes in `args` of the movie arguments: words that are neither options nor option values
// ("-" alone, standing for standard input, is a movie).
std::vector<size_t> FindMovieArguments(const std::vector<std::string>& args);

// The fontconfig pattern that stands in for a Windows font file name (ARIAL.TTF ->
// "Liberation Sans", COURBD.TTF -> "Liberation Mono:bold", ...).
std::string FontPatternForWindowsFile(const std::string& fileName);

// The optical drive offered under a drive letter (d -> /dev/sr0, e -> /dev/sr1, ...).
std::string OpticalDeviceForLetter(char letter);

// A picture drawn into a window the front end gave (-wid) is scaled to that window's size:
// mplayer's x11 output would otherwise show it at its own size, cropped or in a corner, when
// the window is full screen, floating or small. Adds -zoom unless zooming was chosen.
void AddWindowScaling(std::vector<std::string>& args);
