#pragma once
// "The front end's current folder" of the player: the folder the player is started in, where
// it writes its screenshots (shot0001.png, ...) and finds a downloaded "subtitle.txt". The
// program never changes its own working folder (other threads and every relative name would
// follow); the player gets this folder as its working folder between fork and exec instead.
#include <string>

// The folder (without a trailing slash): the program's own working folder until
// SetPlayerFolder names another ("" goes back to that).
std::string PlayerFolder();
void SetPlayerFolder(const std::string& folder);

// Makes sure the player's folder can be written to: when it cannot, the player's folder
// becomes a private folder of this process under the temporary directory (made once, kept
// to the end: the thumbnail sheets saved there are the user's). False when none is writable.
bool UseWritablePlayerFolder();
