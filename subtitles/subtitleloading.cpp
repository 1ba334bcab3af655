#include "subtitles/subtitleloading.h"

#include "platform/cmdline.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "player/playerevents.h"
#include "player/slavecommand.h"
#include "player/subtitletracks.h"

#include <cctype>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool CzyToNapis(const char* name) {
    size_t n = name == nullptr ? 0 : std::strlen(name);
    if (n <= 4)
        return false;
    char tail[5] = {};
    for (size_t i = 0; i < 4; ++i)
        tail[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[n - 4 + i])));
    for (const char* known : {".txt", ".srt", ".ssa", ".sub", ".smi", ".idx"})
        if (std::strcmp(tail, known) == 0)
            return true;
    return false;
}

bool isDigOrComma(char c) {
    return (c >= '0' && c <= '9') || c == '.';
}

std::string GetFpsFromLine(std::string line) {
    size_t p = line.find("fps ");
    if (p == std::string::npos)
        return "";
    size_t first = p;
    while (first > 0 && isDigOrComma(line[first - 1]))
        --first;
    return line.substr(first, p - first);
}

std::string ReadFirstLine(const std::string& path, size_t limit) {
    // A FIFO or a folder in place of the file gives an empty line, not a wait.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return "";
    struct stat st {};
    std::string line;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        char buf[4096];
        while (line.size() < limit) {
            ssize_t n = read(fd, buf, sizeof(buf));
            if (n <= 0)
                break;
            line.append(buf, static_cast<size_t>(n));
            if (line.find('\n') != std::string::npos)
                break;
        }
    }
    close(fd);
    size_t nl = line.find('\n');
    if (nl != std::string::npos)
        line.resize(nl);
    if (line.size() > limit)
        line.resize(limit);
    return line;
}

std::string ForcedSubtitleOptions(const std::string& file, const std::string& firstLine) {
    std::string options;
    std::string fps = GetFpsFromLine(firstLine);
    if (!fps.empty())
        options += " -subfps " + fps;
    // Linux names keep their backslashes; a name with quotes is quoted so it survives the
    // player's command-line split.
    options += " -sub " + QuoteCommandLineArg(file) + " ";
    return options;
}

int LoadSUB(MplayerInfo& player, const std::string& file) {
    // A name that cannot travel as one command leaves the loaded subtitles as they are.
    SlaveCommand load("sub_load");
    load.Text(file);
    if (!load.ok()) {
        SendCommand(load); // tells the user why
        return 0;
    }
    SubtitleFileLoaded loaded{file};
    PlayerEvents<SubtitleFileLoaded>().Publish(loaded);
    {
        std::lock_guard<std::recursive_mutex> lock(player.mutex);
        player.loadedSubtitleFile = file;
        player.chosenTrackCommand.clear(); // the loaded file is the track shown
    }
    ClearSubtiteList();
    SendCommand("sub_remove -1");
    SendCommand(load);
    SendCommand("sub_select 0");
    return 1;
}
