// The radio groups of the menus: one choice of each group is checked and stored in Mp1.
#include "player/mplayerinfo.h"
#include "subtitles/voiceover.h"
#include "ui/dispatch.h"
#include "ui/mainwindow.h"

namespace {

enum class After {
    Relaunch,  // the player restarts at its position with the new choice
    Osd,       // the on-screen display changes in the running player
    VoiceOver, // the next subtitle line is read the new way
};

struct RadioGroup {
    int first;
    int last;
    void (*store)(int value);
    int (*current)();
    After after;
};

const RadioGroup kGroups[] = {
    {1048, 1051, [](int v) { Mp1.osdLevel = v; }, [] { return Mp1.osdLevel; }, After::Osd},
    {2037, 2047, [](int v) { Mp1.soundDriverNum = v; }, [] { return Mp1.soundDriverNum; },
     After::Relaunch},
    {2050, 2062, [](int v) { Mp1.fontNum = v; }, [] { return Mp1.fontNum; }, After::Relaunch},
    {2070, 2077, [](int v) { Mp1.overwriteChannels = v; }, [] { return Mp1.overwriteChannels; },
     After::Relaunch},
    {2460, 2468, [](int v) { Mp1.voiceOverMode = v; }, [] { return Mp1.voiceOverMode.load(); },
     After::VoiceOver},
};

} // namespace

bool RunRadioGroup(int id, bool* handled) {
    for (const RadioGroup& group : kGroups) {
        if (id < group.first || id > group.last)
            continue;
        MenuSet& menus = GlobalH->Menus();
        if (group.after == After::Osd) {
            menus.Check(group.first + group.current(), false);
        } else {
            for (int other = group.first; other <= group.last; ++other)
                menus.Check(other, false);
        }
        menus.Check(id, true);
        group.store(id - group.first);
        *handled = true;
        switch (group.after) {
        case After::Osd:
            Mp1.SetDefoultOsd();
            break;
        case After::Relaunch:
            Mp1.init();
            Mp1.LanchRefresh();
            break;
        case After::VoiceOver:
            VoiceOverModeChosen(id - group.first);
            *handled = false;
            break;
        }
        return true;
    }
    return false;
}
