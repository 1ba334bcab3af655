#pragma once
// Who is at the other end of a loopback TCP connection. The kernel tells only through its socket
// tables, so the peer's own socket is looked up by its exact address pair: asked of the kernel's
// socket diagnostics (one socket, some microseconds), else found in /proc/net/tcp and
// /proc/net/tcp6, which list every socket with its owner (a walk of the whole table that takes
// milliseconds; each new connection, each seek of the player, would wait for it).

// The owner of the socket at the other end of the connected TCP socket `fd`, looked up one way:
// -1 when there is no such socket that a process still holds (a peer that closed its end has
// none; the kernel shows root as its owner), -2 when that way is not available here.
enum class PeerLookup { Kernel, Tables };
long long PeerOwner(int fd, PeerLookup way);

// True when the other end of the connected TCP socket `fd` is a socket owned by this process's
// effective user. A peer that cannot be found (not on this machine, already gone) counts as
// someone else's.
bool PeerIsThisUser(int fd);
