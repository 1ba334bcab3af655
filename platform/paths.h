#pragma once
// Path and file helpers shared by every subsystem. Paths use the native separator '/'.
#include <functional>
#include <string>
#include <vector>

// Folder of the running executable, ending with '/'. Returns a pointer to a buffer of the
// calling thread that its next call overwrites (callers copy what they keep); safe to call
// from any thread.
char* KatalogExe();
// Makes KatalogExe() answer `folder` instead (the tests stage a program folder of their own).
// An empty string restores the executable's folder.
void SetProgramFolder(const std::string& folder);

// Text after the last separator, or the whole path when it has none.
std::string FileNameFromPath(const std::string& path);
// Text before the last separator (without it), or the whole path when it has none.
std::string GetDirectoryFromPath(const std::string& path);
// Like FileNameFromPath, returning a pointer into `path`. A path whose only separator is its
// first character is returned whole; a path ending in a separator yields an empty name.
char* findostatnie(char* path);

// 1 when the file can be opened for reading, else 0.
int IsFileExist(const char* path);
// 1 when a file can be created at `path`, else 0: creates it, closes and deletes it. A file
// or symlink of that name is left alone (a fresh name beside it is tried instead).
int TestCreationFile(const char* path);
// TestCreationFile of "<working directory>/test.test".
int TestWriteCurrentDirectory();
// The user's temporary folder ($TMPDIR or /tmp), always ending with '/', at most 1595 chars.
std::string GetTempDirectory();

// The first executable `name` in a folder of $PATH, or "" (also for a name with a '/').
std::string FindProgramOnPath(const std::string& name);

// Folder where the system keeps its fonts; the player wrapper resolves missing font files.
std::string SystemFontsFolder();
// The system's program folder (stands in for "Program Files").
std::string ProgramFilesFolder();

// Names of the regular files (also through links) directly in `folder` that `accept` takes, in
// byte order of their names; none when the folder cannot be read.
std::vector<std::string> RegularFileNamesIn(const std::string& folder,
                                            const std::function<bool(const std::string&)>& accept);
