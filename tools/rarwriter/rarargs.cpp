#include "tools/rarwriter/rarargs.h"

#include <cctype>
#include <strings.h>

namespace rarwriter {

bool ParseVolumeSize(const std::string& text, uint64_t* bytes) {
    size_t digits = 0;
    uint64_t number = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) {
        if (number > (~0ull - 9) / 10)
            return false;
        number = number * 10 + static_cast<uint64_t>(text[digits] - '0');
        ++digits;
    }
    if (digits == 0 || number == 0 || text.size() > digits + 1)
        return false;
    uint64_t unit = 1000;
    if (digits < text.size()) {
        switch (text[digits]) {
        case 'b':
            unit = 1;
            break;
        case 'k':
            unit = 1024;
            break;
        case 'K':
            unit = 1000;
            break;
        case 'm':
            unit = 1024ull * 1024;
            break;
        case 'M':
            unit = 1000ull * 1000;
            break;
        case 'g':
            unit = 1024ull * 1024 * 1024;
            break;
        case 'G':
            unit = 1000ull * 1000 * 1000;
            break;
        default:
            return false;
        }
    }
    if (number > ~0ull / unit)
        return false;
    *bytes = number * unit;
    return true;
}

bool ParseRarCommand(const std::vector<std::string>& args, RarCommand* command,
                     std::string* error) {
    *command = RarCommand{};
    if (args.empty() || args[0] != "a") {
        *error =
            "Usage: rar a [-ep] [-m0] [-o+] [-ma4|-ma5] [-v<size>[k|M]] [-vn] <archive> <files...>";
        return false;
    }
    bool switches = true;
    std::vector<std::string> names;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (switches && a == "--") {
            switches = false;
        } else if (switches && a.size() > 1 && a[0] == '-') {
            if (a == "-ep")
                command->stripPaths = true;
            else if (a == "-m0")
                ; // stored is all this writer does
            else if (a == "-o+")
                command->overwrite = true;
            else if (a == "-ma5")
                command->rar5 = true;
            else if (a == "-ma4")
                command->rar5 = false;
            else if (a == "-vn")
                command->oldNaming = true;
            else if (a == "-y" || a == "-inul")
                ; // nothing is asked; nothing is chatty
            else if (a.rfind("-v", 0) == 0 && ParseVolumeSize(a.substr(2), &command->volumeSize))
                ;
            else if (a.rfind("-m", 0) == 0) {
                *error = "Only stored archives (-m0) can be written";
                return false;
            } else {
                *error = "Unknown switch " + a;
                return false;
            }
        } else if (!a.empty()) {
            names.push_back(a);
        }
    }
    if (names.size() < 2) {
        *error = names.empty() ? "No archive name given" : "No files to add";
        return false;
    }
    command->firstVolume = names[0];
    std::string leaf = StoredName(names[0], true);
    if (leaf.size() < 4 || strcasecmp(leaf.c_str() + leaf.size() - 4, ".rar") != 0)
        command->firstVolume += ".rar";
    command->files.assign(names.begin() + 1, names.end());
    return true;
}

std::string StoredName(const std::string& path, bool stripPaths) {
    if (stripPaths) {
        size_t slash = path.rfind('/');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }
    size_t start = 0;
    while (start < path.size()) {
        if (path[start] == '/')
            ++start;
        else if (path.compare(start, 2, "./") == 0)
            start += 2;
        else
            break;
    }
    return path.substr(start);
}

} // namespace rarwriter
