#pragma once
// Where the program keeps what it writes at run time (settings, position history, recent
// files, playlist). A portable install keeps them beside the program; when the program folder
// cannot be written or lies below /usr (a system-wide install), the same names live in the
// user's configuration folder, $XDG_CONFIG_HOME/quorvan/ (default ~/.config/quorvan/).
#include <string>

// The decision alone, for a program folder that is or is not writable. `xdgConfigHome` and
// `home` are the environment's values ("" when unset). Every answer ends with '/'.
std::string ChooseStateFolder(const std::string& programFolder, bool programFolderWritable,
                              const std::string& xdgConfigHome, const std::string& home);

// The state folder of this run (created when it is the configuration folder), ending with '/'.
std::string StateFolder();

// StateFolder() + name.
std::string StateFile(const std::string& name);

// The settings file, StateFile("QuorvanPlayer.ini").
std::string SettingsFilePath();
