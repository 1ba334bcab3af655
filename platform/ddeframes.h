#pragma once
// The local stand-in for DDE conversations with speech synthesisers, shared by the client in
// the front end and by binary/quorvan-speaker. A small library of its own (quorvan_dde).
//
// Each service listens on a stream socket named after it in a private folder:
//   $XDG_RUNTIME_DIR/quorvan-dde/<service>, or /tmp/quorvan-dde-<uid>/<service> when the
//   variable is unset; the folder is mode 0700 and owned by the user.
//
// A conversation is one connection. Everything on it travels in frames:
//   u32 body length (little endian, at most kMaxFrameBody), then the body:
//   'C' u16 len, service, u16 len, topic          client: connect to service and topic
//   'A'                                            server: the conversation is accepted
//   'R'                                            server: refused (unknown service or topic)
//   'P' u16 len, item, u16 format, data...         client: poke data (CF_TEXT = 1) to an item
//   'E' data...                                    client: execute a command
// (u16 are little endian.) The client sends 'C' and waits for 'A' before anything else; pokes
// and executes are not answered (the transactions are asynchronous), the client closes the
// connection when it has written them.
#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kMaxFrameBody = 65536;
constexpr uint16_t kFormatText = 1; // CF_TEXT

struct DdeFrame {
    char type = 0;       // 'C', 'A', 'R', 'P' or 'E'
    std::string service; // 'C'
    std::string topic;   // 'C'
    std::string item;    // 'P'
    uint16_t format = 0; // 'P'
    std::string data;    // 'P', 'E'
};

// The bytes of one frame, length prefix included.
std::string EncodeDdeFrame(const DdeFrame& frame);

enum class FrameParse { Complete, NeedMore, Bad };
// Takes one frame from the front of `buffer` (bytes read so far from a connection). On
// Complete the frame is stored and its bytes are removed from `buffer`; Bad means the peer
// does not speak this protocol (the connection should be dropped).
FrameParse TakeDdeFrame(std::string& buffer, DdeFrame* frame);

// The folder of the service sockets (without a trailing slash).
std::string DdeSocketFolder();
// The socket of `service`, or "" when the name cannot be a file name in that folder or the
// path would not fit a socket address.
std::string DdeSocketPath(const std::string& service);
// Creates the folder when missing (mode 0700) and checks it is ours and private. False with a
// reason in `error` otherwise.
bool PrepareDdeSocketFolder(std::string* error);
// True when the folder exists, is a real directory owned by this user and closed to others
// (so no other user can stand in for a synthesiser).
bool DdeSocketFolderIsPrivate();
