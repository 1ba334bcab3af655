#pragma once
// Acting as another local user: the tests run as root, and setpriv drops to nobody, so that a
// test can look at the program the way any other account on the machine can.
#include <string>
#include <vector>

// True when this process can run commands as another user (it is root and setpriv exists).
bool CanActAsAnotherUser();
// `argv` wrapped so that it runs as nobody:nogroup without supplementary groups.
std::vector<std::string> AsAnotherUser(const std::vector<std::string>& argv);

// A bash script that connects to the address "$1" port "$2", asks for the path "$3" with
// HTTP/1.0 and prints the whole answer (nothing when the server closes at once).
extern const char kFetchScript[];
// The argv that runs kFetchScript within 10 s.
std::vector<std::string> FetchCommand(const std::string& host, int port, const std::string& path);
