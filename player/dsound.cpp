#include "platform/audiodevices.h"
#include "platform/windowport.h"
#include "player/mplayerinfo.h"

int device_index = 0;

bool DirectSoundEnum(void*, const char* description, const char*, void* context) {
    int* index = static_cast<int*>(context);
    // Seven menu items (2040..2046) name devices; later devices are counted only.
    if (*index <= 6)
        Port().SetMenuItemText(2040 + *index, description);
    ++*index;
    return true;
}

void dxsenumerate() {
    device_index = 0;
    for (const auto& device : LocalAudioOutputDevices())
        if (!DirectSoundEnum(nullptr, device.description.c_str(), "", &device_index))
            break;
}
