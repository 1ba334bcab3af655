// Player output lines of any bytes through the output interpreter.
#include "platform/headlessport.h"
#include "player/interpreter.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static HeadlessPort port;
    static bool once = [] {
        SetWindowPort(&port);
        Mp1.videoWindow = 1;
        ClearSubtiteList();
        return true;
    }();
    (void)once;
    // Lines reach the interpreter as the reader cuts them: at most 1988 bytes and a terminator.
    char line[2000];
    size_t n = size < 1988 ? size : 1988;
    std::memcpy(line, data, n);
    line[n] = '\r';
    line[n + 1] = 0;
    obsluzto_co_mplayer_podeslal(line);
    port.RunPending(0);
    return 0;
}
