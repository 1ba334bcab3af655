#pragma once
// Streaming a RAR set through the extractor into a separate player: works for any set the
// extractor can unpack (compressed, password-protected), without seeking.
#include <string>

// Text of the small one-field dialogs; the password dialog leaves the typed password here.
extern char buf6[1000];

// The shell script that runs the pipeline: the extractor's output piped into the player
// reading "-". Every path and the password are shell-quoted; the password reaches the extractor
// in its environment (QUORVAN_RAR_PASSWORD), never in a command line. `waitForKey` adds the pause
// that keeps a terminal window open after the player ends. A `startedMarker` file, when named, is
// created once the shell has read the whole script (and so the script may be wiped).
std::string StreamingScript(const std::string& binaryFolder, const std::string& rarFile,
                            const std::string& password, bool waitForKey,
                            const std::string& startedMarker = "");

// Overwrites the file seven times (pass i writes, for j = 0..3199, the decimal text of i times
// the low byte of j read as a signed byte) and deletes it. A symlink is never followed. False
// when it could not be opened.
bool WipeFile(const std::string& path);
// What pass `pass` writes.
std::string WipePattern(int pass);
// Where RunRar wrote its last script: run2.sh in a folder of its own that mkdtemp made in the
// temporary directory (only this user can enter it); "" before any.
std::string StreamingScriptPath();

// Runs the streaming script named by fileG in a terminal window when there is one, else
// without; returns when the script has ended.
void Thread1(void*);
extern std::string fileG;

class MplayerInfo;

// Streams a RAR set through the extractor into a separate player (no seeking); works for
// compressed and password-protected sets too. The password is taken from buf6. 1 when the
// stream started.
int RunRar(MplayerInfo& player, const std::string& file);

// The streaming command after its file dialog: `file` becomes the current movie and streams
// with the password in buf6. Returns false when the script could not be written.
bool ButionUnRarChosen(const std::string& file);

// The warning for a RAR-packed DVD image (a first volume of exactly 50000000 bytes); true when
// it was shown. Loading goes on either way.
bool WarnIfRarDvd(const std::string& file);
