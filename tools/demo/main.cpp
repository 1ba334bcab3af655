// Plays one movie through the player engine without a window and prints what the output
// interpreter learns as it learns it: the length, the picture size, the position, the end.
#include "platform/headlessport.h"
#include "platform/paths.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/interpreter.h"
#include "player/mplayerinfo.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
// Prints the window effects the interpreter asks for.
class ConsolePort : public HeadlessPort {
  public:
    void SetTitle(const std::string& title) override {
        std::printf("title:    %s\n", title.c_str());
        std::fflush(stdout);
    }
    void SetSliderRange(int control, int, int maximum) override {
        if (control == IDC_TIME_SLIDER)
            std::printf("length:   %.2f s (slider 0..%d)\n", Mp1.movieLength.load(), maximum);
        std::fflush(stdout);
    }
    void ShowControl(int control, bool visible) override {
        if (control == IDC_ERROR_BUTTON && visible)
            std::printf("error:    the player reported an error (see the console transcript)\n");
    }
};
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s MOVIE\n", argv[0]);
        return 2;
    }
    SetProgramFolder(QUORVAN_STAGE_DIR);
    ConsolePort port;
    SetWindowPort(&port);

    const char* display = std::getenv("DISPLAY");
    Mp1.videoWindow = 0;
    if (display == nullptr || *display == 0)
        Mp1.extraOptions = "-vo null";
    Mp1.init();
    Mp1.movieFile = argv[1];
    std::printf("playing:  %s\n", argv[1]);
    Mp1.LanchMovie();

    int width = 0;
    int height = 0;
    int position = -1;
    auto last = std::chrono::steady_clock::now();
    while (PlayerRunning()) {
        port.RunPending(200);
        if (Mp1.videoWidth != width || Mp1.videoHeight != height) {
            width = Mp1.videoWidth;
            height = Mp1.videoHeight;
            std::printf("picture:  %dx%d\n", width, height);
        }
        if (Mp1.timePosition != position) {
            position = Mp1.timePosition;
            std::printf("position: %d s\n", position);
        }
        std::fflush(stdout);
        // With quiet player output the position is asked for, as the main window does.
        if (std::chrono::steady_clock::now() - last > std::chrono::milliseconds(500)) {
            SendCommand("pausing_keep get_time_pos");
            last = std::chrono::steady_clock::now();
        }
    }
    ClosePlayer();
    std::printf("ended:    the player has exited\n");
    return 0;
}
