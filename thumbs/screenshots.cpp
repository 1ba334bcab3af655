#include "thumbs/screenshots.h"

#include "online/moviehash.h"
#include "persist/i18l.h"
#include "platform/cmdline.h"
#include "platform/paths.h"
#include "platform/textutil.h"
#include "platform/windowport.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "player/playerfolder.h"
#include "thumbs/capture.h"
#include "thumbs/capturerules.h"
#include "thumbs/sheet.h"
#include "thumbs/thumbfiles.h"

#include <chrono>
#include <cstdio>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

std::vector<thumbitem> graphicthumbmenu;

namespace {
constexpr int kReaderHandOverMs = 4000;

void SetExtraOptions(const std::string& options) {
    std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
    Mp1.extraOptions = options;
}

FdChannel PlayerChannel() {
    return FdChannel(PlayerOutputFd(),
                     [](const std::string& command) { return SendCommand(command); });
}

// Restarts the player for a series: own window, the frame width asked, no sound.
void LaunchForCapture(int width, int across) {
    // The reader of the running player finishes before the series takes the pipes over.
    SendCommand("quit");
    WaitForReaders(kReaderHandOverMs);
    Mp1.screenshotSeries = true;
    SetExtraOptions(ThumbExtraOptions(width, across));
    Mp1.videoWindow = 0;
    Mp1.init();
    Mp1.LanchMovie(Format(" -ss %d  ", Mp1.timePosition.load()) +
                   CaptureLaunchOptions(ThumbFrameWidth(width, across)));
    DeleteScreenShots(Mp1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

// Back to the embedded window and the options of normal playback.
void RestoreAfterCapture() {
    SetExtraOptions(" ");
    Mp1.videoWindow = Mp1.embeddedVideoWindow;
    Mp1.init();
    Mp1.screenshotSeries = false;
}

float LengthForSeries(CaptureChannel& channel, const PlaybackStart& start) {
    float length = Mp1.movieLength.load();
    if (length <= 0)
        length = start.length;
    if (length <= 0)
        length = AskMovieLength(channel);
    return length;
}

int LocalMilliseconds() {
    timeval now{};
    gettimeofday(&now, nullptr);
    return static_cast<int>(now.tv_usec / 1000);
}
} // namespace

std::string CaptureLaunchOptions(int frameWidth) {
    return Format(" -benchmark -vf-pre scale=%d:-3,format=bgr24 ", frameWidth);
}

int GenerateMultiScreenshots(int width, int across, int down) {
    LaunchForCapture(width, across);
    FdChannel channel = PlayerChannel();
    PlaybackStart start = WaitForPlaybackStart(channel);
    graphicthumbmenu.clear();
    if (start.started) {
        SeriesPlan plan = PlanSeries(LengthForSeries(channel, start), across * down, start);
        plan.pauseAfterSeek = Mp1.MovieFileSnapshot().find(".rmvb") != std::string::npos;
        graphicthumbmenu = TakeScreenshots(channel, plan).frames;
    } else {
        Port().MessageBox("exiting!! before end", "exiting!!", MB_OK_);
    }
    RestoreAfterCapture();
    return 1;
}

int multiscreenshots_nojava(int width, int across, int down) {
    std::string movie = Mp1.MovieFileSnapshot();
    if (movie.empty()) {
        Port().MessageBox(I18l.getString("MessageNoMoveOpen"), "Error", MB_OK_);
        return 0;
    }
    // The layout marks can tell at most 34 lines and 79 frames across.
    if (width < 16 || width > 16000 || across < 1 || across > 79 || down < 1 || down > 34) {
        Port().MessageBox("A thumbnail sheet needs a width of 16 to 16000 pixels, 1 to 79 "
                          "pictures in a row and 1 to 34 rows.",
                          "Thumbnails", MB_OK_);
        return 0;
    }
    SendCommand("quit");
    UseWritablePlayerFolder();
    GenerateMultiScreenshots(width, across, down);
    SendCommand("quit");

    std::string workDir = WorkingDirectory();
    ConvertPNG(workDir, ThumbFrameWidth(width, across));
    SheetInput input;
    input.workDir = workDir;
    input.width = width;
    input.across = across;
    input.down = down;
    input.viewName = GetViewNameFile(movie);
    {
        std::lock_guard<std::recursive_mutex> lock(Mp1.mutex);
        input.videoInfoLine = Mp1.videoInfoLine;
    }
    input.movieLength = Mp1.movieLength.load();
    input.fileSize = SheetMovieSize(movie);
    input.logoPath = std::string(KatalogExe()) + "logo.bmp";
    input.milliseconds = LocalMilliseconds();
    QImage sheet = ComposeSheet(input, graphicthumbmenu);
    if (sheet.isNull())
        return 0; // the player stays stopped until the user opens or restarts a movie
    SaveCliptoFile(sheet, movie);

    DeleteScreenShots(Mp1);
    Mp1.init();
    Mp1.LanchRefresh();
    return 1;
}

int JavaSeriesSmall() {
    LaunchForCapture(200, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    FdChannel channel = PlayerChannel();
    PlaybackStart start = WaitForPlaybackStart(channel, 3000);
    SeriesPlan plan = PlanSeries(LengthForSeries(channel, start), 52, start);
    plan.askTimePosition = false;
    plan.makeItems = false;
    TakeScreenshots(channel, plan);
    RunJava(Mp1);
    RestoreAfterCapture();
    Mp1.LanchRefresh();
    SendCommand("mute 0");
    return 1;
}

int JavaSeriesBig() {
    DeleteScreenShots(Mp1);
    SendCommand("mute 1");
    // The running reader hands the pipe over after the next line, which the question asks for.
    Mp1.screenshotSeries = true;
    SendCommand("pausing_keep_force get_time_pos");
    WaitForReaders(kReaderHandOverMs);
    FdChannel channel = PlayerChannel();
    SeriesPlan plan;
    plan.positions = PercentPositions();
    plan.seekMode = 1;
    plan.askTimePosition = false;
    plan.makeItems = false;
    plan.exitingText = "exitin!!!g";
    plan.exitingCaption = "IMDBNumber";
    TakeScreenshots(channel, plan);
    Mp1.screenshotSeries = false;
    ResumeReading();
    RunJava(Mp1);
    return 1;
}

int JavaFromFolder() {
    SendCommand("pausing pause");
    RunJava(Mp1);
    Mp1.init();
    Mp1.LanchRefresh();
    return 1;
}

int DeleteScreenShots(MplayerInfo&) {
    // Run in the player's folder, where the player wrote them.
    RunPrivateScript("DeleteScreenShoots.sh", "rm -f -- shot0???.png\nrm -f -- shot0???.bmp", 10000,
                     WorkingDirectory());
    return 1;
}

int RunJava(MplayerInfo& player) {
    // Asked each time: the program's folder is not fixed for the life of the process.
    std::string programDir = KatalogExe();
    if (programDir.size() > 1 && programDir.back() == '/')
        programDir.pop_back();
    std::string workDir = WorkingDirectory();
    std::string movie, video;
    {
        std::lock_guard<std::recursive_mutex> lock(player.mutex);
        movie = player.movieFile;
        video = player.videoInfoLine;
    }
    std::string text = "echo please instal JAVA from SUN\n";
    text += "java -cp " + ShellQuote(programDir) + " Main " +
            ShellQuote(programDir + "/quorvan.png") + " " + ShellQuote(workDir) + " " +
            ShellQuote(movie) + "   " + ShellQuote(video) + "   \n";
    // The console's "pause": nothing to keep open without a terminal.
    text += "true";
    RunPrivateScript("runjava.sh", text, 120000, workDir);
    return 1;
}
