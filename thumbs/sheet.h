#pragma once
// The contact sheet: a white header with the movie's name, video line, length, size, the logo
// and a slogan, two layout marks in its top rows, then the frames of a series in a grid, each
// labelled with its time.
#include "thumbs/thumbitem.h"

#include <QImage>
#include <string>
#include <vector>

struct SheetInput {
    std::string workDir;       // holds shot0NNN.bmp
    int width = 800;           // W
    int across = 7;            // A
    int down = 7;              // D
    std::string viewName;      // GetViewNameFile of the movie
    std::string videoInfoLine; // as the player printed it, with its line end
    float movieLength = 0;
    long long fileSize = 0;
    std::string logoPath; // <program folder>logo.bmp
    int milliseconds = 0; // of the local time; picks the slogan
};

// The slogan for the milliseconds m: m mod 13 in 0..6, 7..9, 10..12.
const char* SloganFor(int milliseconds);

// The display name of a movie: for a path holding "XviD" and not "DivX", the part after the
// last separator behind which the rest still holds "XviD" or "DivX" (the release folder and the
// file); otherwise the file name.
std::string GetViewNameFile(const std::string& path);

// The size the header tells: the file's, or for a RAR set the stored movie's (not its first
// volume's). 0 when it cannot be read.
long long SheetMovieSize(const std::string& movie);

// Converts every shot0???.png of `workDir` to shot0???.bmp `frameWidth` pixels wide (aspect
// kept); the player's screenshot may be larger than asked. Returns the number converted.
int ConvertPNG(const std::string& workDir, int frameWidth);

// Draws the sheet from the frames of `input.workDir`; fills x, y, cx, cy of the `items` that
// have a frame. Reports a missing logo ("Cannot load logo"), a missing first frame ("Cannot
// load DIB file": a null image is returned) and a missing later frame ("XXX") by message box.
QImage ComposeSheet(const SheetInput& input, std::vector<thumbitem>& items);

// Writes the sheet as JPEG of quality 90; false when it cannot be written. `path` is bytes,
// used as it is (a name that is not UTF-8 keeps them).
bool SaveSheetJpeg(const QImage& sheet, const std::string& path);
// Reads an image file (JPEG, PNG, BMP) named by the bytes of `path`; a null image when it
// cannot.
QImage LoadImageFile(const std::string& path);
