#pragma once
// The playlist that the end of a movie asks for the next entry.
#include <string>

class sterowanieplaylista {
  public:
    // The next entry after the one playing, or "" at the end of the list.
    std::string getnextfilename();
};

extern sterowanieplaylista sp1;
