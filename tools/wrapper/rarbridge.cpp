#include "tools/wrapper/rarbridge.h"

#include "platform/paths.h"
#include "tools/wrapper/wrapperoptions.h"

#include <algorithm>
#include <httplib.h>
#include <vector>

namespace {
constexpr size_t kChunk = 1 << 20;
} // namespace

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

RarBridge::RarBridge() = default;

RarBridge::~RarBridge() {
    Stop();
}

void RarBridge::Stop() {
    if (server_)
        server_->stop();
    if (thread_.joinable())
        thread_.join();
    server_.reset();
}

bool RarBridge::VolumeAvailable(int64_t volume) {
    // Looked at again for every chunk (one open per MiB): a volume deleted while playing must
    // end the stream rather than be read as zeros.
    FILE* f = OpenRarVolume(set_.VolumeName(volume));
    if (f == nullptr)
        return false;
    fclose(f);
    return true;
}

std::string RarBridge::Serve(const std::string& volumeName) {
    std::string first = volumeName;
    ZrobPierwszyPart(first);
    uint64_t size = 0;
    {
        auto lock = set_.Lock();
        if (!set_.isRarFileName(first.c_str()))
            return "";
        if (!set_.raropen() || !set_.stored || set_.volumeDataSize <= 0)
            return ""; // the reader has told what is wrong; mplayer gets the volume as it is
        size = set_.unpackedSize;
    }

    server_ = std::make_unique<httplib::Server>();
    server_->Get(R"(/.*)", [this, size](const httplib::Request&, httplib::Response& res) {
        // mplayer treats the stream as seekable only when every answer says so.
        res.set_header("Accept-Ranges", "bytes");
        res.set_content_provider(
            static_cast<size_t>(size), "application/octet-stream",
            [this, size](size_t offset, size_t length, httplib::DataSink& sink) {
                if (offset >= size)
                    return false;
                if (!VolumeAvailable(set_.numerpliku(static_cast<int64_t>(offset))))
                    return false; // the set has a gap here: end the stream
                size_t n =
                    std::min({length, kChunk, static_cast<size_t>(size - offset),
                              static_cast<size_t>(set_.pozostalo(static_cast<int64_t>(offset)))});
                if (n == 0)
                    n = std::min({length, kChunk, static_cast<size_t>(size - offset)});
                std::vector<char> buffer(n);
                if (!set_.rarread(buffer.data(), static_cast<int64_t>(offset), static_cast<int>(n)))
                    return false;
                return sink.write(buffer.data(), n);
            });
    });
    int port = server_->bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        server_.reset();
        return "";
    }
    // The socket already listens: mplayer may connect before the accept loop runs.
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // Through libavformat's own http reader mplayer seeks with byte ranges (its built-in one
    // cannot read an AVI index over http).
    return "ffmpeg://http://127.0.0.1:" + std::to_string(port) + "/" +
           UrlPathEncode(FileNameFromPath(first));
}

void RarBridgePlugin::Prepare(std::vector<std::string>& args) {
    for (size_t index : FindMovieArguments(args)) {
        std::string address = bridge_.Serve(args[index]);
        if (!address.empty()) {
            args[index] = address;
            return; // one set per player
        }
    }
}
