#pragma once
// The settings of the OpenSubtitles engines, section "opensubtitles" of the settings file:
//   Engine    "xmlrpc" (the default: the SearchSubtitles conversation) or "rest" (the
//             service's REST API, which still serves downloads to ordinary users)
//   ApiKey    the key the service's API-consumers page gives each application or user
//   ApiUrl    the REST base address (QUORVAN_OPENSUBTITLES_REST_URL overrides it)
//   UserAgent "<AppName> v<version>" as the REST API wants it
// They are read when a command needs them and written the moment the options dialog is
// left with OK, so a worker never reads what the window thread is changing.
#include <string>

constexpr const char* kOSRestSection = "opensubtitles";
constexpr const char* kOSRestPublicUrl = "https://api.opensubtitles.com/api/v1";
// Where a user registers the free API key.
constexpr const char* kOSRestConsumersPage = "https://www.opensubtitles.com/en/consumers";

struct OSRestSettings {
    std::string engine = "xmlrpc";
    std::string apiKey;
    std::string apiUrl;    // as stored ("" = the public address)
    std::string userAgent; // as stored ("" = DefaultOSRestUserAgent())

    bool Rest() const { return engine == "rest"; }
};

// The section as `file` holds it (defaults for missing keys; the engine lower-cased, anything
// but "rest" is "xmlrpc").
OSRestSettings ReadOSRestSettings(const std::string& file);
// Stores the four keys in one replacement of `file`. False when it could not be written.
bool WriteOSRestSettings(const std::string& file, const OSRestSettings& settings);
// The settings of this run (the settings file of the state folder).
OSRestSettings CurrentOSRestSettings();

// "QuorvanRarPlayer v<version>".
std::string DefaultOSRestUserAgent();
// The address requests go to: the environment's QUORVAN_OPENSUBTITLES_REST_URL, else the
// stored ApiUrl, else the public one; no trailing '/'.
std::string EffectiveOSRestUrl(const OSRestSettings& settings);
std::string EffectiveOSRestUserAgent(const OSRestSettings& settings);

// The message of a command run with Engine=rest and no key: how to get one.
std::string OSRestNoKeyMessage();
