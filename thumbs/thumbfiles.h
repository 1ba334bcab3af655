#pragma once
// The files of the thumbnail work: the sheet saved beside the working files, its BMP form for
// the thumbnail window, and the small shell scripts of a series.
#include <QImage>
#include <string>

// The player's folder (PlayerFolder): where the screenshots land and the sheet is saved,
// without a trailing separator.
std::string WorkingDirectory();
// "<working directory>/<movie file name>.s.jpg": the sheet SaveCliptoFile writes.
std::string SheetJpegPath(const std::string& movieFile);

// Puts the sheet on the clipboard (through the window port), saves it as the JPEG above
// (quality 90) and says "Saved <path>" ("thumb.s.jpg"). 1 when the file was written.
int SaveCliptoFile(const QImage& sheet, const std::string& movieFile);
// What the user is told of a sheet saved at `path`: "Saved" and the path, and, when that is
// not the movie's folder, that the sheet is elsewhere (and why, when the movie's folder
// cannot be written).
std::string SheetSavedText(const std::string& path, const std::string& movieFile);
// Converts one image file (JPEG, PNG, BMP) to a 24-bit BMP; false when it cannot.
bool Konvertuj2BMP(const std::string& source, const std::string& target);
// Finds or makes the BMP form of the loaded movie's sheet and stores its path in
// Mp1.thumbnailFile; with nothing found, says so and (unless `retried`) makes a sheet of
// 800 px with 6 x 6 frames and looks again. Returns 1 when thumbnailFile was set.
int PrzygotujPlikForThumbmenu(int retried);

// Runs a script with /bin/sh in the folder `workDir` and waits for it (bounded); false when
// it could not be started or did not end in time.
bool RunShellScript(const std::string& script, int limitMs, const std::string& workDir);

// Writes `text` as the script `name` into a fresh private folder, runs it in `workDir` and
// removes the folder again: no script of a fixed name lies where another user could plant
// a link for it to be written through.
bool RunPrivateScript(const std::string& name, const std::string& text, int limitMs,
                      const std::string& workDir);
