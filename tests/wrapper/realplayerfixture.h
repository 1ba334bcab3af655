#pragma once
// Tests that drive the real mplayer through the staged binary/QUORVAN as the program does,
// without a window or a sound device.
#include "platform/paths.h"
#include "player/KomunikacjaZMplayerem.h"
#include "player/mplayerinfo.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

class RealPlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetProgramFolder(StageDir());
        SetWindowPort(&port_);
        Mp1.videoWindow = 0;
        Mp1.extraOptions = "-vo null -ao null";
        Mp1.init();
    }
    void TearDown() override {
        ClosePlayer(3000);
        SetWindowPort(nullptr);
        SetProgramFolder("");
        unsetenv("QUORVAN_MPLAYER");
    }
    // Seeks to `seconds` (absolute) and waits for the position the player answers: within a
    // second of it.
    void SeekAndExpectPosition(int seconds) {
        port_.Clear();
        SendCommand("seek " + std::to_string(seconds) + " 2");
        SendCommand("get_time_pos");
        ASSERT_FALSE(port_.WaitForPrefix("pos:106:", 20000).empty()) << Mp1.ConsoleTextSnapshot();
        EXPECT_GE(Mp1.timePosition, seconds - 1);
        EXPECT_LE(Mp1.timePosition, seconds + 1);
    }
    // The player's console so far holds no complaint about reading or seeking.
    void ExpectNoPlayerComplaints() {
        std::string console = Mp1.ConsoleTextSnapshot();
        for (const char* bad : {"rror", "Failed", "annot", "EOF code", "Seek failed"})
            EXPECT_EQ(console.find(bad), std::string::npos) << bad << "\n" << console;
    }
    RecorderPort port_;
};
