#pragma once
// Subtitles > "Synchronise to speech": a subtitle file is chosen, synchronised to the speech
// of the open movie on a worker (progress bar and Cancel), written as
// "<subtitle>.synced.<ext>" (in the state folder when its own folder is read-only), loaded
// into the running player, and the offset and rate found shown in the title.
constexpr int kCommandSynchroniseToSpeech = 2640;

void SynchroniseToSpeechCommand();
