#pragma once
// Video filter presets: named fragments of the player command line.
#include <string>
#include <vector>

struct filtr_item {
    std::string name;
    std::string options;
};

// Presets of the menu "User Filtres"; the chosen one is Mp1.userFilterNum.
extern std::vector<filtr_item> user_filtrs;
// Presets of the menu "&Filtres".
extern std::vector<filtr_item> user_filtrs2;
