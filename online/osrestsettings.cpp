#include "online/osrestsettings.h"

#include "online/servers.h"
#include "platform/profile.h"
#include "platform/statefolder.h"

#include <cctype>
#include <cstdlib>

#ifndef QUORVAN_VERSION
#define QUORVAN_VERSION "0"
#endif

namespace {
constexpr size_t kValueLimit = 1000;

std::string Read(const std::string& file, const char* key) {
    return GetProfileString(kOSRestSection, key, "", file, kValueLimit);
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}
} // namespace

OSRestSettings ReadOSRestSettings(const std::string& file) {
    OSRestSettings s;
    s.engine = Lower(Read(file, "Engine")) == "rest" ? "rest" : "xmlrpc";
    s.apiKey = Read(file, "ApiKey");
    s.apiUrl = Read(file, "ApiUrl");
    s.userAgent = Read(file, "UserAgent");
    return s;
}

bool WriteOSRestSettings(const std::string& file, const OSRestSettings& settings) {
    std::optional<std::string> content = ReadProfileForUpdate(file);
    if (!content)
        return false;
    const std::string section = kOSRestSection;
    const std::pair<const char*, const std::string*> values[] = {
        {"Engine", &settings.engine},
        {"ApiKey", &settings.apiKey},
        {"ApiUrl", &settings.apiUrl},
        {"UserAgent", &settings.userAgent},
    };
    for (const auto& [key, value] : values) {
        std::string name = key;
        *content = ProfileStore(*content, section, &name, value);
    }
    return WriteFileAtomically(file, *content);
}

OSRestSettings CurrentOSRestSettings() {
    return ReadOSRestSettings(SettingsFilePath());
}

std::string DefaultOSRestUserAgent() {
    return std::string("QuorvanRarPlayer v") + QUORVAN_VERSION;
}

std::string EffectiveOSRestUrl(const OSRestSettings& settings) {
    const char* env = std::getenv("QUORVAN_OPENSUBTITLES_REST_URL");
    return ChooseServiceUrl(env != nullptr ? env : "", settings.apiUrl, kOSRestPublicUrl);
}

std::string EffectiveOSRestUserAgent(const OSRestSettings& settings) {
    return settings.userAgent.empty() ? DefaultOSRestUserAgent() : settings.userAgent;
}

std::string OSRestNoKeyMessage() {
    return std::string("OpenSubtitles.com needs an API key for this program.\n"
                       "Register one (free) on the API consumers page:\n") +
           kOSRestConsumersPage +
           "\nand enter it under Options > OpenSubtitles.com (ApiKey), or choose the "
           "xmlrpc engine there.";
}
