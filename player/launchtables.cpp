#include "player/launchtables.h"

const char* const sound_devices[kSoundDeviceCount] = {
    " ",
    " -nosound ",
    " -ao win32  ",
    " -ao dsound:device=0 ",
    "  -ao dsound:device=1 ",
    " -ao dsound:device=2 ",
    " -ao dsound:device=3 ",
    " -ao dsound:device=4 ",
    " -ao dsound:device=5 ",
    " -ao dsound:device=6 ",
    " -ao dsound:device=7 ",
    " -ao dsound:device=8 ",
};

const char* const sound_device_labels[kSoundDeviceCount] = {
    "Defult",
    "None",
    "waveOut (slown)",
    "Direct Sound Defult(fast)",
    "Direct Sound device 1",
    "Direct Sound device 2",
    "Direct Sound device 3",
    "Direct Sound device 4",
    "Direct Sound device 5",
    "Direct Sound device 6",
    "Direct Sound device 7",
    "",
};

const char* const fonts_tt[kFontCount] = {
    "ARIAL.TTF",  "ARIALBD.TTF", "ARIALBI.TTF", "ARIALBI.TTF", "COUR.TTF",
    "COURBD.TTF", "COURI.TTF",   "COURBI.TTF",  "TIMES.TTF",   "TIMESBI.TTF",
    "TIMESI.TTF", "TIMESBD.TTF", "L_10646.TTF",
};

const char* const font_labels[kFontCount] = {
    "Arial",
    "Arial Bold",
    "Arial Italic",
    "Arial Bold Italic",
    "Courier New",
    "Courier New Bold",
    "Courier New Italic",
    "Courier New Bold Italic ",
    "Times New Roman",
    "Times New Roman Bold",
    "Times New Roman Italic",
    "Times New Roman Bold Italic",
    "Lucida Sans Unicode",
};

const char* const overwritechannelsT[kChannelModeCount] = {
    "",          " -channels 1 ",  " -channels 2 ", " -af hrtf ", " -channels 6 ", "-channels 4",
    " -af sub ", " -af surround ",
};

const char* const channel_labels[kChannelModeCount] = {
    "No Overwrite",
    "Mono",
    "Stereo",
    "5.1 to headphones",
    "5.1 speakers",
    "4 speakers",
    "Generate subwoofer channel",
    "Generate surround from stereo",
};

const char* TableEntry(const char* const* table, int size, int index) {
    if (index < 0 || index >= size)
        index = 0;
    return table[index];
}

float fontsize = 160;

const char* const ProgramTitle = "Quorvan Rar Player 0.009.52*Experimental*";
