#include "platform/statefolder.h"

#include "platform/paths.h"
#include "platform/privatefiles.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

// Whether files can really be created in `folder`. access() is not enough: it says yes to
// root on a read-only mount's neighbours and ignores some network file systems' rules.
bool CanCreateFilesIn(const std::string& folder) {
    std::string probe = folder + ".quorvan-write-test-" + std::to_string(getpid());
    return TestCreationFile(probe.c_str()) == 1;
}

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

std::string ChooseStateFolder(const std::string& programFolder, bool programFolderWritable,
                              const std::string& xdgConfigHome, const std::string& home) {
    // Files below /usr belong to the package system: even root, who may write there, keeps its
    // settings in its own configuration folder, never among the installed files.
    bool packaged = programFolder.rfind("/usr/", 0) == 0;
    if (programFolderWritable && !packaged)
        return WithSlash(programFolder);
    // The XDG rules ignore a relative XDG_CONFIG_HOME.
    if (!xdgConfigHome.empty() && xdgConfigHome[0] == '/')
        return WithSlash(xdgConfigHome) + "quorvan/";
    if (!home.empty())
        return WithSlash(home) + ".config/quorvan/";
    return WithSlash(programFolder);
}

std::string StateFolder() {
    std::string program = KatalogExe();
    bool writable = CanCreateFilesIn(program);
    std::string folder =
        ChooseStateFolder(program, writable, EnvOrEmpty("XDG_CONFIG_HOME"), EnvOrEmpty("HOME"));
    if (folder != program)
        MakePrivateFolders(folder);
    return folder;
}

std::string StateFile(const std::string& name) {
    return StateFolder() + name;
}

std::string SettingsFilePath() {
    return StateFile("QuorvanPlayer.ini");
}
