#include "rar/nextpart.h"

// The search for sibling parts comes with the RAR playback work; until then no movie has a
// next part, so the end of a movie ends the chain.
std::string findnextmovie(const std::string&) { return ""; }
