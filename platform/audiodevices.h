#pragma once
// The local audio output devices, in the order the sound-output menu numbers them: the first
// entry is the system's default output, then every playback device the sound system knows.
#include <string>
#include <vector>

struct AudioDevice {
    std::string description;  // shown in the sound-output menu
    std::string playerOption; // the player's -ao value for it ("" = the player's default)
};

std::vector<AudioDevice> LocalAudioOutputDevices();

// Parses the text of /proc/asound/pcm into playback devices (pure; used by the above).
std::vector<AudioDevice> ParseAlsaPcmList(const std::string& text);
