#include "persist/playlist.h"

// The playlist window and its file come later; an empty list has no next entry.
sterowanieplaylista sp1;

std::string sterowanieplaylista::getnextfilename() { return ""; }
