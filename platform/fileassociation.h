#pragma once
// File associations the desktop way (XDG), for the current user: the movie extensions open in
// the program and ".nfo" files in binary/NFO2TXT. What the registration writes:
//   $XDG_DATA_HOME/applications/quorvan-player.desktop and quorvan-nfo.desktop (the programs
//     of the program folder, with "%f" for the opened file),
//   $XDG_DATA_HOME/mime/packages/quorvan-player.xml (the extensions no shared type knows),
//   $XDG_CONFIG_HOME/mimeapps.list [Default Applications] (every other entry kept),
// then asks update-mime-database and update-desktop-database to refresh their caches.
// Every file is written whole and atomically with the same contents on every run.
#include <string>
#include <vector>

// One extension of the registration and the MIME type it is known by.
struct AssociatedExtension {
    const char* extension; // as registered, with its case (".RMVB")
    const char* mimeType;
    bool ownType; // a type of our MIME package (no shared type has the extension)
};

// The fifteen movie extensions, in their order of registration.
const std::vector<AssociatedExtension>& MovieExtensions();

// The folders the registration writes to, from the environment ($XDG_DATA_HOME,
// $XDG_CONFIG_HOME, $HOME); relative XDG values are ignored, as the XDG rules say.
std::string XdgDataHome();
std::string XdgConfigHome();

// --- The files' contents (pure) ---

// An Exec line's program argument, quoted and escaped for a desktop entry.
std::string DesktopExecArgument(const std::string& program);
// The whole Exec value (before the string escapes) that starts `program` on the opened file.
std::string DesktopExecLine(const std::string& program);
// The desktop entry of the player (all movie types) or of the .nfo viewer.
std::string PlayerDesktopEntry(const std::string& programFolder, const std::string& icon);
std::string NfoDesktopEntry(const std::string& programFolder, const std::string& icon);
// The shared-mime-info package with our own type.
std::string MimePackage();

// --- The registration ---

// Registers one movie extension; a file that cannot be written shows "niemoge otworzyc " and
// stops this extension's registration. Returns 1 when registered, 0 when not.
int FileAssociation(const char* extension);
// Registers ".nfo" for binary/NFO2TXT, in the same way.
int FileAssociationNFO();
// ".nfo", then the fifteen movie extensions, then the desktop's caches are refreshed.
void FileAssociation();
// Runs update-mime-database and update-desktop-database on the user's folders when they are
// installed (each with a time limit).
void RefreshDesktopDatabases();
