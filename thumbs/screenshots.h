#pragma once
// The screenshot series of the program's player (Mp1): the one that makes a thumbnail sheet
// ("no java") and the two that leave the frames to an external composer ("java").
//
// The player's output is handed over to the capture code for the series' duration
// (Mp1.screenshotSeries): a series that restarts the player reads the new player's pipe alone;
// the big series takes the pipe from the running reader and gives it back at the end.

#include <string>

// Takes across x down frames for a sheet `width` wide; fills graphicthumbmenu.
int GenerateMultiScreenshots(int width, int across, int down);
// Capture, sheet, clipboard and JPEG, then the movie plays on where it was.
int multiscreenshots_nojava(int width, int across, int down);
// The small series (52 frames of 200 px, player restarted for it and after it) and the big one
// (50 frames at 1, 3, ..., 99 percent from the running player), each followed by RunJava.
int JavaSeriesSmall();
int JavaSeriesBig();
class MplayerInfo;

// The screenshot files of the player's working directory (shot0???.png and .bmp) go, through
// the script DeleteScreenShoots.sh written there. Returns 1.
int DeleteScreenShots(MplayerInfo& player);
// Writes runjava.sh in the player's working directory, which starts the external sheet
// composer on the screenshots there with the player's movie, and runs it. Returns 1.
int RunJava(MplayerInfo& player);

// Command 2019: the composer on the frames already in the working directory.
int JavaFromFolder();

// The filter chain the capture launch adds: frames scaled to `frameWidth` before the
// screenshot filter, in a pixel format it saves correctly, and no waiting for the clock.
std::string CaptureLaunchOptions(int frameWidth);
