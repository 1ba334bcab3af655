#include "tools/wrapper/rarbridge.h"

#include "platform/fdio.h"
#include "platform/paths.h"
#include "tools/wrapper/wrapperoptions.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <sys/random.h>

std::string UrlPathEncode(const std::string& name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string RandomSecret() {
    unsigned char bytes[16] = {};
    size_t got = 0;
    while (got < sizeof bytes) {
        ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n > 0)
            got += size_t(n);
        else if (errno != EINTR)
            return ""; // no secret, no bridge
    }
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

RarBridge::~RarBridge() {
    Stop();
}

void RarBridge::Stop() {
    server_.Stop();
}

std::string RarBridge::Serve(const std::string& volumeName) {
    std::string first = volumeName;
    ZrobPierwszyPart(first);
    {
        auto lock = set_.Lock();
        if (!set_.isRarFileName(first.c_str()))
            return "";
        if (!set_.raropen() || !set_.stored || set_.volumeDataSize <= 0)
            return ""; // the reader has told what is wrong; mplayer gets the volume as it is
    }
    std::string secret = RandomSecret();
    if (secret.empty())
        return "";
    const std::string path = "/" + secret + "/" + UrlPathEncode(FileNameFromPath(first));
    RangeServer::Content content;
    // Looked at for every request: a download still running grows, a deleted volume ends the
    // movie where it was.
    content.size = [this] { return set_.ContiguousExtent().bytes; };
    content.read = [this](char* buffer, uint64_t pos, size_t length) {
        return size_t(set_.ReadUpToGap(buffer, int64_t(pos), int64_t(length)));
    };
    if (!server_.Start(path, std::move(content)))
        return "";
    // Through libavformat's own http reader mplayer seeks with byte ranges (its built-in one
    // cannot read an AVI index over http).
    return "ffmpeg://http://127.0.0.1:" + std::to_string(server_.port()) + path;
}

void RarBridgePlugin::Prepare(std::vector<std::string>& args) {
    for (size_t index : FindMovieArguments(args)) {
        std::string address = bridge_.Serve(args[index]);
        if (address.empty())
            continue;
        std::string list = playlist_.Write(address);
        if (list.empty()) {
            bridge_.Stop(); // never the address itself in mplayer's command line
            return;
        }
        // In the movie's place: options after it still apply to it.
        args[index] = "-playlist";
        args.insert(args.begin() + static_cast<long>(index) + 1, list);
        serving_ = true;
        return; // one set per player
    }
}

bool RarBridgePlugin::OnOutput(const std::string& piece, PlayerIo&) {
    // mplayer has read the list long before it names the movie it plays.
    if (piece.rfind("Playing ", 0) == 0)
        playlist_.Remove();
    return true;
}

std::string RefusedMovieArgument(const std::vector<std::string>& args) {
    for (size_t index : FindMovieArguments(args)) {
        if (args[index] == "-")
            continue;
        std::string kind = SpecialFileKind(args[index]);
        if (!kind.empty())
            return args[index] + " is " + kind + ", not a movie file";
    }
    return "";
}
