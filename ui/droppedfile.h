#pragma once
// A file dropped on the main window: a subtitle file goes into the running player, anything
// else is opened as the next movie.
#include <string>

void HandleDroppedFile(const std::string& path);

// Whether the name is a subtitle file by its ending (.txt .srt .ssa .sub .smi .idx, any case).
bool IsDroppedSubtitle(const std::string& name);
