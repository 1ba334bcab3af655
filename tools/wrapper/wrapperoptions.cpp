#include "tools/wrapper/wrapperoptions.h"

#include "tools/wrapper/playeroptiontable.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {
bool IsOption(const std::string& word) {
    return word.size() > 1 && word[0] == '-';
}

std::string Upper(std::string text) {
    for (auto& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string FileNameOf(const std::string& path) {
    size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string VideoOutput(const std::vector<std::string>& args) {
    std::string vo;
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "-vo")
            vo = args[i + 1];
    return vo;
}
} // namespace

std::string FontPatternForWindowsFile(const std::string& fileName) {
    std::string stem = Upper(FileNameOf(fileName));
    size_t dot = stem.rfind('.');
    if (dot != std::string::npos)
        stem = stem.substr(0, dot);
    static const std::pair<const char*, const char*> table[] = {
        {"ARIAL", "Liberation Sans"},
        {"ARIALBD", "Liberation Sans:bold"},
        {"ARIALI", "Liberation Sans:italic"},
        {"ARIALBI", "Liberation Sans:bold:italic"},
        {"COUR", "Liberation Mono"},
        {"COURBD", "Liberation Mono:bold"},
        {"COURI", "Liberation Mono:italic"},
        {"COURBI", "Liberation Mono:bold:italic"},
        {"TIMES", "Liberation Serif"},
        {"TIMESBD", "Liberation Serif:bold"},
        {"TIMESI", "Liberation Serif:italic"},
        {"TIMESBI", "Liberation Serif:bold:italic"},
        {"L_10646", "DejaVu Sans"},
    };
    for (const auto& [windows, pattern] : table)
        if (stem == windows)
            return pattern;
    return stem.empty() ? "sans-serif" : FileNameOf(fileName).substr(0, dot);
}

std::string OpticalDeviceForLetter(char letter) {
    int index = std::tolower(static_cast<unsigned char>(letter)) - 'd';
    if (index < 0)
        index = 0;
    return "/dev/sr" + std::to_string(index);
}

std::vector<size_t> FindMovieArguments(const std::vector<std::string>& args) {
    std::vector<size_t> movies;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "-") {
            movies.push_back(i);
        } else if (IsOption(word)) {
            if (CurrentPlayerOptionTable().TakesValue(word))
                ++i; // its value
        } else {
            movies.push_back(i);
        }
    }
    return movies;
}

std::vector<std::string> TranslatePlayerOptions(const std::vector<std::string>& args,
                                                const WrapperEnvironment& env) {
    std::vector<std::string> out;
    const std::string vo = VideoOutput(args);
    const bool colorKeyUsable = vo.empty() || vo.rfind("xv", 0) == 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        const bool hasValue = i + 1 < args.size();
        if (word == "-ao" && hasValue) {
            const std::string& value = args[++i];
            if (value.rfind("win32", 0) == 0)
                continue; // the player's default output
            if (value.rfind("dsound", 0) == 0) {
                size_t eq = value.find("device=");
                int n = eq == std::string::npos ? 0 : std::atoi(value.c_str() + eq + 7);
                std::string device = n > 0 && env.audioDevice ? env.audioDevice(n) : "";
                if (!device.empty()) {
                    out.push_back("-ao");
                    out.push_back(device);
                }
                continue;
            }
            out.push_back(word);
            out.push_back(value);
            continue;
        }
        if (word == "-colorkey" && hasValue) {
            ++i;
            if (colorKeyUsable) {
                out.push_back(word);
                out.push_back(args[i]);
            }
            continue;
        }
        if (word == "-font" && hasValue) {
            const std::string& file = args[++i];
            std::string font = file;
            if (!env.fileExists || !env.fileExists(file))
                font = env.matchFont ? env.matchFont(FontPatternForWindowsFile(file)) : "";
            if (!font.empty()) {
                out.push_back(word);
                out.push_back(font);
            }
            continue;
        }
        if (word == "-vc" && hasValue) {
            // Debian's xvid decoder gives black pictures for MPEG-4 that current encoders
            // make; the preference for it is dropped and libavcodec decodes instead.
            std::string kept;
            std::string list = args[++i];
            size_t start = 0;
            while (start <= list.size()) {
                size_t comma = list.find(',', start);
                std::string codec = list.substr(
                    start, comma == std::string::npos ? std::string::npos : comma - start);
                if (codec != "xvid")
                    kept += codec + ",";
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
            while (!kept.empty() && kept.back() == ',')
                kept.pop_back();
            if (!kept.empty()) {
                out.push_back(word);
                out.push_back(kept + (list.back() == ',' ? "," : ""));
            }
            continue;
        }
        if (word == "-dvd-device" && hasValue) {
            const std::string& drive = args[++i];
            out.push_back(word);
            if (drive.size() >= 2 && drive[1] == ':' &&
                std::isalpha(static_cast<unsigned char>(drive[0])))
                out.push_back(OpticalDeviceForLetter(drive[0]));
            else
                out.push_back(drive);
            continue;
        }
        out.push_back(word);
        if (IsOption(word) && CurrentPlayerOptionTable().TakesValue(word) && hasValue)
            out.push_back(args[++i]);
    }
    return out;
}

void AddSilentAudioFallback(std::vector<std::string>& args) {
    // The null output as the last resort keeps the audio clock on a machine without sound.
    bool hasAudioChoice = false;
    for (const auto& word : args)
        hasAudioChoice = hasAudioChoice || word == "-ao" || word == "-nosound";
    if (!hasAudioChoice) {
        std::vector<size_t> movies = FindMovieArguments(args);
        size_t at = movies.empty() ? args.size() : movies.front();
        args.insert(args.begin() + static_cast<long>(at), {"-ao", "pulse,alsa,null"});
    }
}

void AddWindowScaling(std::vector<std::string>& args) {
    bool embedded = false;
    for (const auto& word : args) {
        if (word == "-zoom" || word == "-nozoom")
            return;
        embedded = embedded || word == "-wid";
    }
    if (embedded)
        args.insert(args.begin(), "-zoom");
}
