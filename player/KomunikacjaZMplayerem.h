#pragma once
// The player process and its pipes: starting it, writing slave commands, reading its output
// line by line on a reader thread that hands each line to the output interpreter.
#include <string>

// Starts the player (Launch2) and, unless a screenshot series runs, a reader thread for it.
// Returns what Launch2 returned.
bool Launch(const char* commandLine);
// Creates the pipes and the player process from the command line (split with the Windows
// rules). The previous player's pipes are closed; it is told to quit by its closed stdin and
// ended by force if it has not gone a few seconds later. True when the process was started.
bool Launch2(const char* commandLine);
class SlaveCommand;
// The working folder the current player was started in: where its screenshots go.
std::string RunningPlayerFolder();

// Echoes the command to the console transcript and writes it with "\n" to the player. False
// when no player runs or it has gone; never blocks for long. A line that is not one slave
// command (SlaveLineRefusal) is not sent: the transcript gets the reason and the user is told
// in a message box. Commands carrying texts are built with SlaveCommand.
bool SendCommand(const char* command);
bool SendCommand(const std::string& command);
bool SendCommand(const SlaveCommand& command);
// Shows `text` on the picture ("pausing osd_show_text" with the text quoted by SlaveCommand),
// so a file name or a translated message cannot become a command of its own.
bool SendOsdText(const std::string& text);
// Asks the player for its position ("pausing_keep get_time_pos") without echoing the command
// into the console transcript; the answer is kept out of the transcript too. The main window's
// timer polls with it several times a second.
bool SendPositionPoll();
// True (once) for an ANS_TIME_POSITION answer that a quiet poll asked for.
bool TakeQuietPositionAnswer();
// Reads one line (see the .cpp): the terminator stays as '\r'; false at the end of the pipe.
bool ReadLine(int fd, char* buffer, int size);
// Appends "\r\n> " and the command to the console transcript; returns 0.
int DodajSlaveComendtoOutput(const char* command);
// Starts another program and returns at once; false when it could not be started.
bool MySystem(const char* commandLine);
// Starts a program and waits until it ends; a failed start is reported with a message box.
bool runprocess(const char* commandLine);

// Quits the running player, closes its pipes and waits for every reader thread to end
// (program exit, and tests). The player is killed if it has not ended within `graceMs`; the
// default is longer than the wrapper waits for mplayer before it kills it, so the wrapper is
// never killed while its mplayer still runs.
void ClosePlayer(int graceMs = 3000);
// True while a player process started by Launch2 has not been seen to end.
bool PlayerRunning();
// Waits until every reader thread started so far has ended; false on time-out.
bool WaitForReaders(int timeoutMs);
// The output read end of the current player (for the screenshot series), or -1.
int PlayerOutputFd();
// Gives the current player's output back to a new reader thread after a screenshot series
// took it from the running reader. False when there is nothing to give back.
bool ResumeReading();

// The 2000-byte line buffer of the reader thread.
extern char bufnamplayera[2000];

// The command line of the last Launch2 call, as given.
std::string LastLaunchCommandLine();

// How many players have been started so far, counted when the process is made (so a launch is
// seen at once, before the player has said anything).
unsigned long long LaunchCount();

// The most reader threads ever seen reading at the same time (1 when the turns hold).
int MaxConcurrentReaders();
