#include "persist/translationtable.h"

#include <set>

namespace {

using S = TranslationStep;

// Item shorthands: an item with a command, one that opens a submenu, a skipped position.
TranslationItem C(const char* key, int command) {
    return {key, command, nullptr};
}
TranslationItem Sub(const char* key, const char* submenu) {
    return {key, 0, submenu};
}
TranslationItem Skip() {
    return {nullptr, 0, nullptr};
}

std::vector<TranslationGroup> BuildTable() {
    return {
        {S::Menu,
         "LANG",
         "MenuBar",
         {Sub("Menu.File", "File"), Sub("Menu.Movie", "Movie"), Sub("Menu.Audio", "Audio"),
          Sub("Menu.Subtitle", "Subtitle"), Sub("Menu.Debug", "Debug"),
          Sub("Menu.Filtres", "Filtres"), Sub("Menu.User_Filtres", "UserFiltres"),
          Sub("Menu.Help", "Help")}},
        {S::Menu,
         "LANG",
         "File",
         {C("Menu.File.Open", 107), Sub("Menu.File.Play_DVD", "File.PlayDVD"),
          C("Menu.File.Open_RAR_(rewind)", 107), C("Menu.File.Streaming_unrar", 1002),
          C("Menu.File.Open_URL...", 1005), C("Menu.File.Generate_Thumb...", 2306),
          Sub("Menu.File.Reopen", "File.Reopen"), C("Menu.File.Exit", 2)}},
        {S::ByCommand, "LANG", "", {C("Menu.File.Reopen.Clear", 2036)}},
        {S::Menu,
         "Menu.Movie",
         "Movie",
         {C("Fullscreen", 115), C("On Top", 116), C("Compact", 1053),
          Sub("Framedrop", "Movie.Framedrop"), Sub("Speed", "Movie.Speed"),
          Sub("Rewind", "Movie.Rewind"), Sub("PanScreen", "Movie.PanScreen"),
          Sub("Aspect", "Movie.Aspect"), Sub("OSD", "Movie.OSD"), C("Screenshot", 112),
          C("Info", 113), C("Video EQ", 114)}},
        {S::Menu,
         "Menu.Movie.Framedrop",
         "Movie.Framedrop",
         {C("Framedrop off", 1006), C("Framedrop on", 1007), C("Framedrop hard", 1008),
          C("Framedrop switch", 1009)}},
        {S::Menu,
         "Menu.Movie.Speed",
         "Movie.Speed",
         {C("Normal", 1012), C("Faster", 1013), C("Slower", 1014), C("Fast Rewind", 1015)}},
        {S::Menu,
         "Menu.Movie.Revind",
         "Movie.Rewind",
         {C("+10s", 1030), C("-10s", 1031), C("+1min", 1032), C("-1min", 1033), C("+10min", 1034),
          C("-10min", 1035)}},
        {S::Menu,
         "Menu.Movie.RevindPanScreen",
         "Movie.PanScreen",
         {C("100% (OpenGl) w e", 2012), Skip(), C("100% (DirectX)", 1038), C("80%", 1041),
          C("50%", 1040), C("20%", 1042), C("0% sub on black bands", 1039)}},
        {S::Menu,
         "Menu.Movie.Aspect",
         "Movie.Aspect",
         {C("4:3", 1043), C("16:9", 1044), C("2.35", 1045), C("defult", 1046)}},
        {S::Menu,
         "Menu.Movie.OSD",
         "Movie.OSD",
         {C("OSD disabled", 1048), C("OSD enebled", 1049), C("OSD time", 1050),
          C("OSD time/end", 1051), Skip(), C("OSD swich", 1052)}},
        {S::Menu,
         "Menu.Audio",
         "Audio",
         {C("Mute on of", 1011), C("Delay+0.1s", 1025), C("Delay-0.1s", 1026), C("Volume up", 1037),
          C("Volume down", 1036), C("Swich (mpg and mkv)", 1024), C("Extern audio file", 1055),
          Sub("Sound output device", "Audio.SoundOutputDevice"),
          Sub("Overwrite channels", "Audio.OverwriteChannels")}},
        {S::Menu,
         "Menu.Audio.SoundOutputDevice",
         "Audio.SoundOutputDevice",
         {C("Refresh DirectSound List", 2303), Skip(), C("Defult", 2037), C("None", 2038),
          C("waveOut", 2039), C("DSD", 2040), C("DS1", 2041), C("DS2", 2042), C("DS3", 2043),
          C("DS4", 2044), C("DS5", 2045), C("DS6", 2046), C("DS7", 2047)}},
        {S::Menu,
         "Menu.Audio.OverwriteChannels",
         "Audio.OverwriteChannels",
         {C("No Overwrite", 2070), C("Mono", 2071), C("Stereo", 2072), C("5.1 to headphones", 2073),
          C("5.1 speakers", 2074), C("4 speakers", 2075), C("Generate subwoofer channel", 2076),
          C("Generate surround from stereo", 2077)}},
        {S::Menu,
         "Menu.Subtitle",
         "Subtitle",
         {C("Force Open", 109), C("Open", 2480), C("Si&ze", 1004), C("Next", 1027),
          Sub("Delay", "Subtitle.Delay"), Sub("Font", "Subtitle.Font"),
          Sub("Position", "Subtitle.Position"), Sub("VoiceOver", "Subtitle.VoiceOver"),
          C("Off/On", 1010), Sub("Downolad from OpenSubtitles", "Subtitle.OpenSubtitles"),
          C(kLabelNapisyInfoPage, 2476), C(kLabelNapiprojektPl, 2002), C(kLabelNapiprojektEn, 2477),
          Skip(), C(kLabelOpenSubtitlesLang1, 2478), C(kLabelOpenSubtitlesLang2, 2479), Skip(),
          C("Synchronise to speech", 2640)}},
        {S::Menu,
         "Menu.Subtitles.Delay",
         "Subtitle.Delay",
         {C("None", 1070), C("- 0.1s", 1016), C("+ 0.1s", 1017), C("Next line in subtitles", 1018),
          C("Previous line in subtitles", 1019), C("- 0.1s(no pause)", 1020),
          C("+ 0.1s(no pause)", 1021), C("Next line (no pause)", 1022),
          C("Previous line (no pause)", 1023)}},
        {S::Menu,
         "Menu.Subtitles.Position",
         "Subtitle.Position",
         {C("Up", 1028), C("Down", 1029), Skip(), C("Sub on black bands", 1039)}},
        {S::Menu,
         "Menu.Subtitles.VoiceOver",
         "Subtitle.VoiceOver",
         {C("None", 2460), C("IVO UniSpiker (c) external", 2461), C("SynTalk (c) external", 2462),
          C("Use Clipboard best (Expressivo)", 2463), C("Expressivo (c) external", 2464),
          C("System Syntezy Mowy WP", 2465), C("System Syntezy Mowy WP2", 2466),
          C("Use Clipboard unicode", 2467), C("Expressivo System Codepage", 2468)}},
        {S::Menu,
         "Menu.Subtitles.OpenSubtitles",
         "Subtitle.OpenSubtitles",
         {C("Web all lang", 2405), C("Upload", 2407)}},
        {S::Menu,
         "Menu.Debug",
         "Debug",
         {Sub("Language", "Debug.Language"),
          C("Thumb Menu window", 2305),
          C("No child window", 1047),
          C("Safe metod", 2017),
          C("Pseudo Slider", 2027),
          C("Use faster xvid_divx", 2473),
          C("Movie acceleration without pitch", 2474),
          C("Kill GUI", 2013),
          C("Console", 1054),
          C("Playlist", 2028),
          C("Run in Windows Media Player(c)", 2014),
          C("Run in Windows Media Player New(c)", 2015),
          C("Run in Default Application", 2016),
          Sub("SaveMultiScreens", "Debug.SaveMultiScreens"),
          C("Sub on black bands (OpenGL)", 2001),
          C("Sub on black bands (OpenGL) Compatibly", 2010),
          C("PanScreen 100% (OpenGl)", 2012),
          C(kLabelNapiprojektDescription, 2004),
          C(kLabelImdbDescription, 2005),
          Sub("Test", "Debug.Test"),
          C("Split file for RapidShare", 2402),
          C("File Association", 2403),
          C("File AssociationNFO", 2404)}},
        {S::Menu,
         "Menu.Help",
         "Help",
         {C("About", 110), C("FAQ...", 111), C("FAQ_EN", 2475), C("Forum PL", 120),
          C("News PL", 122), C("Forum EN", 121), C("WWW EN", 124), C("E-mail to author", 123)}},
        {S::Popup,
         "Menu.PopupMenu1",
         "Popup1",
         {C("On Top", 116), C("Fullscreen", 115), C("Compact", 1053),
          Sub("Aspect", "Popup1.Aspect")}},
        {S::Popup,
         "Menu.PopupMenu1",
         "Popup1.Aspect",
         {C("Aspect.4:3", 1043), C("Aspect.16:9", 1044), C("Aspect.2.35", 1045),
          C("Aspect.defult", 1046), C("Aspect.none", 2011)}},
        {S::Buttons,
         "Butions",
         "",
         {C("Play", 2018), C("Open", 107), C("Sub", 108), C("Eq", 114), C("Playlist", 2028)}},
        {S::Equalizer,
         "Butions.Exalizer",
         "",
         {C("XSharpen Now", 103), C("Xbrightness", 2408), C("Xcontrast", 500),
          C("Xsaturation", 501), C("Xhue", 509), C("Xgamma", 104), C("xsub pos", 2409),
          C("xaspect", 2410), C("xvolume", 2411)}},
        {S::Values,
         "Strings",
         "",
         {C("MessageNoMoveOpen", 0), C("Pl.DragAndDrop", 0), C("Reopen.None", 0),
          C("Manual Edit", 0), C("Subtitles downloaded", 0), C("Eror unpacking subtitles", 0),
          C("I can not download subtitles. Connection error.", 0), C("No sub opensubtitles", 0),
          C(kStringNapiprojektNoSubtitles, 0), C("Sync.Wait", 0), C("Sync.Failed", 0)}},
        {S::Values,
         "DEFAULT3LETTERS",
         "",
         {C("default_3letters_lang1", 0), C("default_3letters_lang2", 0)}},
        {S::Values,
         "File",
         "",
         {C("opensubtitles.lang", 0), C("userfiltres", 0), C("filtresfile", 0)}},
    };
}

} // namespace

const std::vector<TranslationGroup>& TranslationTable() {
    static const std::vector<TranslationGroup> table = BuildTable();
    return table;
}

std::vector<std::pair<std::string, std::string>> TranslationKeys() {
    std::vector<std::pair<std::string, std::string>> keys;
    std::set<std::pair<std::string, std::string>> seen;
    for (const TranslationGroup& group : TranslationTable())
        for (const TranslationItem& item : group.items) {
            if (item.key == nullptr)
                continue;
            std::pair<std::string, std::string> entry{group.section, item.key};
            if (seen.insert(entry).second)
                keys.push_back(entry);
        }
    return keys;
}
