#include "subtitles/voiceover.h"

// The speech back-ends come with the voice-over work; until then lines are not spoken.
void VoiceOverDispatch(int, char*) {}
