#pragma once
// What the output interpreter has seen, told to whoever listens: the engine publishes, the
// features above it (voice-over, next part, history, thumbnails, the window) subscribe, so the
// engine needs none of them. Listeners are registered at start-up, before any player runs,
// and are called on the player-output reader thread, in the order they were registered.

// A subtitle line the player shows ("XX : text"); not the wrapper's movie-information line.
struct SubtitleLineShown {
    char* text;         // the line after "XX :", as read; a listener may change it in place
    bool taken = false; // set by a listener that consumed the line: nothing else reads it
};

using SubtitleLineListener = void (*)(SubtitleLineShown& event);

// Adds a listener (once: registering the same one again does nothing).
void ListenToSubtitleLines(SubtitleLineListener listener);
// Hands the event to every listener; the interpreter calls it.
void PublishSubtitleLine(SubtitleLineShown& event);
