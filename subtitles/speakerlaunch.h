#pragma once
// Starting binary/quorvan-speaker, the speech server that stands in for the synthesisers.

// True for the modes whose lines go to a speech server (1, 2, 4, 5, 6, 8).
bool IsSpeechMode(int mode);

// For a speech mode: when no server answers the mode's service, starts the program folder's
// binary/quorvan-speaker in the background, once per run. The speaker ends when this process
// ends (it watches a pipe whose other end only we hold). If it cannot start (no espeak-ng
// voice, no binary) the user is told once in a message box. Returns at once.
void EnsureSpeakerServer(int mode);

// Ends a speaker this process started and waits (briefly) for it; a no-op otherwise.
void StopSpeakerServer();
