#pragma once
// A file dropped on the main window: a subtitle file goes into the running player, anything
// else is opened as the next movie.
#include <string>

void HandleDroppedFile(const std::string& path);
