#include "rar/split.h"

#include "platform/cmdline.h"
#include "platform/paths.h"
#include "platform/textutil.h"
#include "platform/windowport.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "rar/desktopfolder.h"

#include <cstdlib>
#include <unistd.h>

namespace {

const char kPageName[] = "How to play this movie without unpacking.html";

bool IsProgram(const std::string& path) {
    return access(path.c_str(), X_OK) == 0;
}

} // namespace

std::string GetRarEXE() {
    std::string own = std::string(KatalogExe()) + "binary/rar";
    if (IsProgram(own))
        return own;
    std::string onPath = FindProgramOnPath("rar");
    if (!onPath.empty())
        return onPath;
    MessageBoxS(0,
                ("Please install WinRAR first or copy Rar.exe to\n" + own + "\nor\n" +
                 ProgramFilesFolder() + "/rar")
                    .c_str(),
                "ERROR", 0);
    return "";
}

void SplitFile2RS() {
    std::string movie = Mp1.MovieFileSnapshot();
    if (movie.empty()) {
        MessageBoxS(0, "Please first open movie!", "Error", 0);
        return;
    }
    std::string desktop = DesktopFolder();
    std::string name = FileNameFromPath(movie);
    repleaceall(name, ".", "_");
    SendCommand(std::string("pausing osd_show_text ") + "\"Split file for RapidShare.\"");

    std::string rar = GetRarEXE();
    // Without a tool there is nothing to run; saying "saved" then would be untrue.
    if (rar.empty())
        return;
    std::string archive = desktop + "/" + name + "(KTZ)";
    std::string firstVolume = archive + ".rar";
    unlink(firstVolume.c_str());
    // Every path is quoted for the command-line splitter, so quotes and blanks in names
    // cannot change the arguments.
    std::string commandLine =
        QuoteCommandLineArg(rar) + " a  -ep -m0 -o+ -v99M -vn " + QuoteCommandLineArg(archive) +
        " " + QuoteCommandLineArg(movie) + " " +
        QuoteCommandLineArg(std::string(KatalogExe()) + "binary/" + kPageName);
    if (!runprocess(commandLine.c_str()))
        return; // runprocess has told the user
    // The tool's exit status does not reach us; the first volume it must write does.
    if (access(firstVolume.c_str(), F_OK) != 0) {
        MessageBoxS(0, ("Could not split the movie to " + firstVolume).c_str(), "Error", 0);
        return;
    }
    MessageBoxS(0, "File spited and save to desktop.", "OK", 0);
}
