#include "platform/audiodevices.h"

#include <cstdio>
#include <fstream>
#include <sstream>

std::vector<AudioDevice> ParseAlsaPcmList(const std::string& text) {
    // Lines read "CC-DD: id : name : playback 1 : capture 1".
    std::vector<AudioDevice> devices;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("playback") == std::string::npos)
            continue;
        int card = -1;
        int device = -1;
        if (std::sscanf(line.c_str(), "%d-%d:", &card, &device) != 2 || card < 0 || device < 0)
            continue;
        std::string name;
        size_t first = line.find(" : ");
        if (first != std::string::npos) {
            size_t second = line.find(" : ", first + 3);
            name = line.substr(first + 3, second == std::string::npos ? std::string::npos
                                                                      : second - first - 3);
        }
        if (name.empty())
            name = "ALSA card " + std::to_string(card) + " device " + std::to_string(device);
        devices.push_back(
            {name, "alsa:device=hw=" + std::to_string(card) + "." + std::to_string(device)});
    }
    return devices;
}

std::vector<AudioDevice> LocalAudioOutputDevices() {
    std::vector<AudioDevice> devices{{"Primary Sound Driver", ""}};
    std::ifstream in("/proc/asound/pcm");
    if (in) {
        std::stringstream text;
        text << in.rdbuf();
        for (auto& d : ParseAlsaPcmList(text.str()))
            devices.push_back(d);
    }
    return devices;
}
