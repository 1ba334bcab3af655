#pragma once
// Finding the next part of a multi-part movie (movie.cd1.avi -> movie.cd2.avi).
#include <string>

// The next part of `movieFile`, or "" when there is none.
std::string findnextmovie(const std::string& movieFile);
