// libFuzzer target: what the player wrapper reads from mplayer and the front end to correct an
// MPEG-TS recording (output pieces retold, seek commands, start positions, a file's first
// bytes).
#include "tools/wrapper/containerprobe.h"
#include "tools/wrapper/streamtiming.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    RetellPiece(text, StreamTiming{90.01, 601.4});
    RetellPiece(text, StreamTiming{0, 0});
    double seconds = 0;
    PositionInPiece(text, &seconds);
    SeekCommand seek;
    if (ParseSeekCommand(text, &seek) && seek.type == 1)
        ByteSeekCommand(seek.prefix, static_cast<uint64_t>(seek.value > 0 ? seek.value : 0),
                        1u << 30);
    ParseStartPosition(text, &seconds);
    LooksLikeTransportStream(text);
    return 0;
}
