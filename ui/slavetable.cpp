#include "ui/slavetable.h"

const SlaveRow slave[] = {
    {115, "pausing_keep vo_fullscreen"},
    {1006, "frame_drop 0"},
    {1007, "frame_drop 1"},
    {1008, "frame_drop 2"},
    {1009, "frame_drop"},
    {1012, "speed_set 1"},
    {1013, "speed_incr 0.2"},
    {1014, "speed_incr -0.2"},
    {1015, "speed_set 5"},
    {1016, "pausing sub_delay -0.1"},
    {1017, "pausing sub_delay +0.1"},
    {1018, "pausing sub_step +1"},
    {1019, "pausing sub_step -1"},
    {1020, "sub_delay -0.1"},
    {1021, "sub_delay +0.1"},
    {1022, "sub_step +1"},
    {1023, "sub_step -1"},
    {1025, "audio_delay +0.100"},
    {1026, "audio_delay -0.100"},
    {1029, "sub_pos +5"},
    {1028, "sub_pos -5"},
    {1030, "seek +10"},
    {1031, "seek -10"},
    {1032, "seek +60"},
    {1033, "seek -60"},
    {1034, "seek +600"},
    {1035, "seek -600"},
    {103, "pause"},
    {112, "screenshot"},
    {1060, "volume +1"},
    {1069, "volume -1"},
    {1061, "contrast -1"},
    {1062, "contrast +1"},
    {1063, "brightness -1"},
    {1064, "brightness +1"},
    {1065, "hue -1"},
    {1066, "hue +1"},
    {1067, "saturation -1"},
    {1068, "saturation +1"},
    {1070, "sub_delay 0 1"},
    {1024, "switch_audio"},
    {1027, "sub_select"},
    {-1, nullptr},
};

const char* FindSlaveCommand(int id) {
    for (const SlaveRow* row = slave; row->id != -1; ++row)
        if (row->id == id)
            return row->command;
    return nullptr;
}
