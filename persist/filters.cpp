#include "persist/filters.h"

// Constant-initialised (empty) before any dynamic initialiser runs, so the player
// configuration built while the program starts sees an empty list.
std::vector<filtr_item> user_filtrs;
std::vector<filtr_item> user_filtrs2;
