#include "player/settings.h"

#include "persist/i18l.h"
#include "persist/optins.h"
#include "persist/thumbsettings.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"

#include <algorithm>
#include <sstream>
#include <utility>
#include <vector>

class_dialog_thumb DialogThumb;
int PreviewWidth = 160;
int PreviewWidthWhenOn = 160;

int ClampPreviewWidth(int width) {
    return width <= 0 ? 0 : std::clamp(width, 32, 640);
}

namespace {

int ReadInt(const std::string& file, const char* key, int defaultValue) {
    return GetPrivateProfileIntA(kSettingsSection, key, defaultValue, file.c_str());
}

std::string ReadText(const std::string& file, const char* key, const char* defaultValue) {
    return GetProfileString(kSettingsSection, key, defaultValue, file, kSettingsTextLimit);
}

} // namespace

void ReadSettings(const std::string& file) {
    std::string localeFile = ReadText(file, "localefile", "lang_en_US.ini");
    I18l.SetFile(std::string(KatalogExe()) + "locale/" + localeFile);
    fontsize = static_cast<float>(ReadInt(file, "fontsize", 160));
    Mp1.voiceOverMode = ReadInt(file, "VoiceOver", 0);
    Optins1.login = ReadText(file, "Login", "");
    Optins1.password = ReadText(file, "Pass", "");
    Mp1.soundDriverNum = ReadInt(file, "SoundDriverNum", 0);
    Mp1.fontNum = ReadInt(file, "FontNum", 0);
    Mp1.overwriteChannels = ReadInt(file, "OverwriteChanels", 0);
    Mp1.userFilterNum = ReadInt(file, "UserFiltres", 0);
    Mp1.pseudoSlider = ReadInt(file, "PseudoSlider", 0);
    Mp1.alternativeXvidCodec = ReadInt(file, "AlternativeXvidCodec", 1);
    Mp1.scaleTempoAudio = ReadInt(file, "ScaleTempoAudio", 0);
    Optins1.uploadAuto = ReadInt(file, "OSUploadAuto", 1) != 0;
    Optins1.uploadAutoloaded = ReadInt(file, "OSUploadAutoAutoloaded", 1) != 0;
    Optins1.rememberPositions = ReadInt(file, "RememberMoviesPosytion", 1) != 0;
    Mp1.safeTimer = ReadInt(file, "Safe_get_timer_anticrash_gui", 1);
    Mp1.volume = ReadInt(file, "volume", 100);
    DialogThumb.sendToWeb = ReadInt(file, "Send_Image2NET", 0);
    DialogThumb.down = ReadInt(file, "ThumbColumns", 7);
    DialogThumb.across = ReadInt(file, "ThumbRows", 7);
    DialogThumb.width = ReadInt(file, "ThumbImageWidth", 800);
    Mp1.osdLevel = ReadInt(file, "osd", 1);
    PreviewWidth = ClampPreviewWidth(ReadInt(file, "PreviewWidth", 160));
    PreviewWidthWhenOn = PreviewWidth > 0 ? PreviewWidth : 160;
}

bool WriteSettingsOnExit(const std::string& file) {
    const std::vector<std::pair<const char*, std::string>> values = {
        {"Safe_get_timer_anticrash_gui", FlagText(Mp1.safeTimer)},
        {"PseudoSlider", FlagText(Mp1.pseudoSlider)},
        {"AlternativeXvidCodec", FlagText(Mp1.alternativeXvidCodec)},
        {"ScaleTempoAudio", FlagText(Mp1.scaleTempoAudio)},
        {"OSUploadAuto", FlagText(Optins1.uploadAuto)},
        {"OSUploadAutoAutoloaded", FlagText(Optins1.uploadAutoloaded)},
        {"RememberMoviesPosytion", FlagText(Optins1.rememberPositions)},
        {"Login", Optins1.login},
        {"Pass", Optins1.password},
        {"Send_Image2NET", FlagText(DialogThumb.sendToWeb)},
        {"VoiceOver", std::to_string(Mp1.voiceOverMode.load())},
        {"SoundDriverNum", std::to_string(Mp1.soundDriverNum)},
        {"volume", std::to_string(Mp1.volume)},
        {"FontNum", std::to_string(Mp1.fontNum)},
        {"OverwriteChanels", std::to_string(Mp1.overwriteChannels)},
        {"UserFiltres", std::to_string(Mp1.userFilterNum)},
        {"osd", std::to_string(Mp1.osdLevel)},
        {"ThumbColumns", std::to_string(DialogThumb.down)},
        {"ThumbRows", std::to_string(DialogThumb.across)},
        {"ThumbImageWidth", std::to_string(DialogThumb.width)},
        {"PreviewWidth", std::to_string(PreviewWidth)},
    };
    // All keys go into one replacement of the file, so an exit that is cut short leaves
    // the previous settings whole instead of a mixture.
    std::optional<std::string> content = ReadProfileForUpdate(file);
    if (!content)
        return false;
    const std::string section = kSettingsSection;
    for (const auto& [key, value] : values) {
        std::string name = key;
        *content = ProfileStore(*content, section, &name, &value);
    }
    return WriteFileAtomically(file, *content);
}

bool WriteFontSize(const std::string& file) {
    std::ostringstream text;
    text << fontsize;
    return WritePrivateProfileStringA(kSettingsSection, "fontsize", text.str().c_str(),
                                      file.c_str()) == 1;
}
