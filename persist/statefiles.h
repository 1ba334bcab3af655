#pragma once
// Looking after the files the program writes in its state folder as a whole: each write
// replaces its file through a temporary NAME.XXXXXX beside it, and the exit writes are reported
// together when any of them fails.
#include "platform/profile.h"

#include <string>

// Removes the temporaries that interrupted writes (a kill, a crash, a power cut) left beside
// the state files in `folder` (ending with '/'). Returns how many went.
int RemoveInterruptedWrites(const std::string& folder);

// One message box naming every file of `log` and the system's reason; nothing when the log is
// empty. The files themselves kept what they held before.
void ReportSaveFailures(const WriteFailureLog& log);
