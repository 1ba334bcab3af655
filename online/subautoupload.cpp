#include "online/subautoupload.h"

// The upload itself comes with the OpenSubtitles work; the timer reset has nothing to reset yet.
SubAutoUploadOS SubAutoUploadOS1;

void SubAutoUploadOS::ResetTimerAutoLoad(int) {}
