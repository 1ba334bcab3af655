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
    RecorderPort port_;
};
