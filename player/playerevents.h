#pragma once
// What the output interpreter has seen, told to whoever listens: the engine publishes, the
// features above it (voice-over, the next movie, the automatic upload, the window) subscribe,
// so the engine needs none of them. Listeners are registered at start-up, before any player
// runs, and are called on the player-output reader thread, in the order they were registered.
#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

// A subtitle line the player shows ("XX : text"); not the wrapper's movie-information line.
struct SubtitleLineShown {
    char* text;         // the line after "XX :", as read; a listener may change it in place
    bool taken = false; // set by a listener that consumed the line: nothing else reads it
};

// Why a movie stopped playing by itself.
enum class MovieEndReason {
    EndOfFile,   // it played to its end
    NeverPlayed, // the player reached the end before playback started: a broken file
    FatalError,  // the player gave up ("Exiting... (Fatal error)")
};

// A movie stopped by itself. Its position is already stored as 0.
struct MovieEnded {
    std::string movie;
    MovieEndReason reason;
};

// A subtitle file the user chose was handed to the running player (sub_load).
struct SubtitleFileLoaded {
    std::string file;
};

// A new player announced itself (the wrapper's first line): what belonged to the player
// before it is gone.
struct PlayerAnnounced {};

// The listeners of one kind of event. Registering the same listener again does nothing; a
// listener that sets the event's `taken` (where the event has one) ends the round.
template <typename Event> class PlayerEventListeners {
  public:
    using Listener = void (*)(Event& event);

    void Add(Listener listener) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (listener != nullptr &&
            std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
            listeners_.push_back(listener);
    }
    void Publish(Event& event) {
        // Written at start-up and read by the reader thread: the lock keeps a late
        // registration (a test's) from racing a line being read.
        std::lock_guard<std::mutex> lock(mutex_);
        for (Listener listener : listeners_) {
            listener(event);
            if constexpr (requires { event.taken; })
                if (event.taken)
                    return;
        }
    }

  private:
    std::mutex mutex_;
    std::vector<Listener> listeners_;
};

// The one list of each kind of event.
template <typename Event> PlayerEventListeners<Event>& PlayerEvents() {
    static PlayerEventListeners<Event> listeners;
    return listeners;
}

// Shorthands of the kinds the features listen to.
inline void ListenToSubtitleLines(void (*listener)(SubtitleLineShown&)) {
    PlayerEvents<SubtitleLineShown>().Add(listener);
}
inline void ListenToMovieEnds(void (*listener)(MovieEnded&)) {
    PlayerEvents<MovieEnded>().Add(listener);
}
inline void ListenToPlayerAnnouncements(void (*listener)(PlayerAnnounced&)) {
    PlayerEvents<PlayerAnnounced>().Add(listener);
}
inline void ListenToSubtitleFileLoads(void (*listener)(SubtitleFileLoaded&)) {
    PlayerEvents<SubtitleFileLoaded>().Add(listener);
}
