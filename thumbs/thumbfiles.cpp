#include "thumbs/thumbfiles.h"

#include "persist/i18l.h"
#include "platform/paths.h"
#include "platform/privatefiles.h"
#include "platform/process.h"
#include "platform/textutil.h"
#include "platform/windowport.h"
#include "player/mplayerinfo.h"
#include "player/playerfolder.h"
#include "thumbs/dibfile.h"
#include "thumbs/screenshots.h"
#include "thumbs/sheet.h"

#include <cstdio>
#include <unistd.h>

std::string WorkingDirectory() {
    return PlayerFolder();
}

std::string SheetJpegPath(const std::string& movieFile) {
    return WorkingDirectory() + "/" + FileNameFromPath(movieFile) + ".s.jpg";
}

int SaveCliptoFile(const QImage& sheet, const std::string& movieFile) {
    Port().CopyImageToClipboard(sheet);
    std::string path = SheetJpegPath(movieFile);
    if (!SaveSheetJpeg(sheet, path)) {
        Port().MessageBox("Cannot save " + path, "Error", MB_ICONERROR_);
        return 0;
    }
    Port().MessageBox(SheetSavedText(path, movieFile), "thumb.s.jpg", MB_OK_);
    return 1;
}

std::string SheetSavedText(const std::string& path, const std::string& movieFile) {
    std::string text = I18l.text("Messages", "Saved") + " " + path;
    // Only a movie on a local disk has a folder the sheet could have gone to.
    if (movieFile.empty() || movieFile.front() != '/')
        return text;
    const std::string movieFolder = GetDirectoryFromPath(movieFile);
    if (GetDirectoryFromPath(path) == movieFolder)
        return text;
    // The probe the thumbnail window uses too: what counts is whether a file can be made.
    const bool writable = TestCreationFile((movieFile + ".TEST").c_str()) == 1;
    text += "\n";
    text += I18l.text("Messages", writable ? "The sheet is not beside the movie, but in:"
                                           : "The movie's folder cannot be written, so the "
                                             "sheet is not beside the movie, but in:");
    text += " " + GetDirectoryFromPath(path);
    return text;
}

bool Konvertuj2BMP(const std::string& source, const std::string& target) {
    QImage picture = LoadImageFile(source);
    auto dib = DibFromQImage(picture);
    return dib && DibSaveImage(target.c_str(), dib.get()) == 1;
}

int PrzygotujPlikForThumbmenu(int retried) {
    UseWritablePlayerFolder();
    std::string movie = Mp1.MovieFileSnapshot();
    std::string name = FileNameFromPath(movie);
    auto take = [](const std::string& path) {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        Mp1.thumbnailFile = path;
        return 1;
    };
    if (IsFileExist((movie + ".s.bmp").c_str()))
        return take(movie + ".s.bmp");
    if (IsFileExist((movie + ".s.jpg").c_str())) {
        std::string target = TestCreationFile((movie + ".TEST").c_str())
                                 ? movie + ".s.bmp"
                                 : GetTempDirectory() + name + ".s.bmp";
        Konvertuj2BMP(movie + ".s.jpg", target);
        return take(target);
    }
    std::string saved = SheetJpegPath(movie);
    if (IsFileExist(saved.c_str())) {
        std::string target = GetTempDirectory() + name + ".s.bmp";
        Konvertuj2BMP(saved, target);
        return take(target);
    }
    Port().MessageBox("First you must generate some files!", "Error", MB_OK_);
    if (retried != 1) {
        multiscreenshots_nojava(800, 6, 6);
        return PrzygotujPlikForThumbmenu(1);
    }
    return 0;
}

bool RunShellScript(const std::string& script, int limitMs, const std::string& workDir) {
    SpawnOptions options;
    options.argv = {"/bin/sh", script};
    options.nullStdio = true;
    options.workingDirectory = workDir;
    SpawnResult started = SpawnProcess(options);
    if (!started.ok())
        return false;
    if (WaitProcess(started.pid, limitMs, nullptr))
        return true;
    KillProcess(started.pid, 500);
    return false;
}

bool RunPrivateScript(const std::string& name, const std::string& text, int limitMs,
                      const std::string& workDir) {
    std::string folder = MakePrivateFolder("quorvan-script-");
    if (folder.empty())
        return false;
    std::string script = folder + "/" + name;
    bool ran = WriteNewPrivateFile(script, text) && RunShellScript(script, limitMs, workDir);
    RemovePrivateFolder(folder);
    return ran;
}
