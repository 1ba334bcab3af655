#pragma once
// The socket side of the speech server: one listening socket per service in the private
// folder of ddeframes.h, conversations read with poll on one thread.
#include "tools/speaker/speech.h"

#include <string>

// Why Serve stopped.
enum class ServeEnd { Stopped, AlreadyRunning, Failed };

// Binds the four services and reports "ready" through `onReady`, then serves until a signal
// (SIGTERM, SIGINT) or, when `watchStdin`, the end of standard input. `error` explains Failed.
ServeEnd Serve(Speech& speech, bool watchStdin, void (*onReady)(), std::string* error);
