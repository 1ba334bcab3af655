// Random bytes as player output must never crash the interpreter.
#include "player/interpreter.h"
#include "player/mplayerinfo.h"
#include "player/subtitletracks.h"
#include "tests/player/playerstate.h"
#include "tests/support/recorderport.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

TEST(InterpreterRobustness, RandomBytesAndMangledKnownLinesNeverCrash) {
    ResetPlayerState();
    RecorderPort port(true);
    ScopedPort scoped(&port);
    Mp1.videoWindow = 5;
    std::mt19937 rng(12345);
    const char* seeds[] = {"A:",
                           "VO: ",
                           "VIDEO: ",
                           "ID_SID_",
                           "ID_FILE_SUB_FILENAME=",
                           "ID_VOBSUB_ID=",
                           "ANS_LENGTH=",
                           "ANS_TIME_POSITION=",
                           "Exiting... (",
                           "VO_FULLSCREEN=",
                           "Quorvan",
                           "XX :",
                           "ID_SUBTITLE_ID="};
    char buffer[2000];
    for (int round = 0; round < 20000; ++round) {
        size_t length = rng() % 1990;
        size_t pos = 0;
        if (round % 2 == 0) {
            const char* seed = seeds[rng() % (sizeof(seeds) / sizeof(seeds[0]))];
            while (*seed != 0 && pos < length)
                buffer[pos++] = *seed++;
        }
        while (pos < length)
            buffer[pos++] = static_cast<char>(rng() % 256);
        buffer[length] = 0;
        if (round % 3 == 0)
            ClearSubtiteList();
        obsluzto_co_mplayer_podeslal(buffer);
    }
    // Whatever came before, a well-formed line is still read as it should be.
    std::strcpy(buffer, "ANS_LENGTH=4242.50\r");
    obsluzto_co_mplayer_podeslal(buffer);
    EXPECT_FLOAT_EQ(Mp1.movieLength.load(), 4242.5f);
}
