#pragma once
// Automatic subtitle upload: the player's start banner restarts its timer.
class SubAutoUploadOS {
  public:
    void ResetTimerAutoLoad(int value);
};

extern SubAutoUploadOS SubAutoUploadOS1;
