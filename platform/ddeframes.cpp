#include "platform/ddeframes.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

void PutU16(std::string& out, size_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

uint32_t GetU32(const std::string& in, size_t at) {
    auto b = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(in[at + i]));
    };
    return b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24);
}

// Reads a u16-prefixed string at `*at` of `body`; false when it runs past the end.
bool GetString(const std::string& body, size_t* at, std::string* out) {
    if (*at + 2 > body.size())
        return false;
    size_t len = static_cast<unsigned char>(body[*at]) |
                 (static_cast<size_t>(static_cast<unsigned char>(body[*at + 1])) << 8);
    *at += 2;
    if (*at + len > body.size())
        return false;
    out->assign(body, *at, len);
    *at += len;
    return true;
}

void PutString(std::string& out, const std::string& text) {
    size_t len = text.size() > 0xFFFF ? 0xFFFF : text.size();
    PutU16(out, len);
    out.append(text, 0, len);
}

} // namespace

std::string EncodeDdeFrame(const DdeFrame& frame) {
    std::string body(1, frame.type);
    switch (frame.type) {
    case 'C':
        PutString(body, frame.service);
        PutString(body, frame.topic);
        break;
    case 'P':
        PutString(body, frame.item);
        PutU16(body, frame.format);
        body += frame.data;
        break;
    case 'E':
        body += frame.data;
        break;
    default:
        break;
    }
    if (body.size() > kMaxFrameBody)
        body.resize(kMaxFrameBody);
    std::string out;
    uint32_t len = static_cast<uint32_t>(body.size());
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((len >> (8 * i)) & 0xFF));
    return out + body;
}

FrameParse TakeDdeFrame(std::string& buffer, DdeFrame* frame) {
    if (buffer.size() < 4)
        return FrameParse::NeedMore;
    uint32_t len = GetU32(buffer, 0);
    if (len == 0 || len > kMaxFrameBody)
        return FrameParse::Bad;
    if (buffer.size() < 4 + static_cast<size_t>(len))
        return FrameParse::NeedMore;
    std::string body = buffer.substr(4, len);
    DdeFrame parsed;
    parsed.type = body[0];
    size_t at = 1;
    switch (parsed.type) {
    case 'C':
        if (!GetString(body, &at, &parsed.service) || !GetString(body, &at, &parsed.topic) ||
            at != body.size())
            return FrameParse::Bad;
        break;
    case 'P':
        if (!GetString(body, &at, &parsed.item) || at + 2 > body.size())
            return FrameParse::Bad;
        parsed.format = static_cast<uint16_t>(static_cast<unsigned char>(body[at]) |
                                              (static_cast<unsigned char>(body[at + 1]) << 8));
        parsed.data = body.substr(at + 2);
        break;
    case 'E':
        parsed.data = body.substr(1);
        break;
    case 'A':
    case 'R':
        if (body.size() != 1)
            return FrameParse::Bad;
        break;
    default:
        return FrameParse::Bad;
    }
    buffer.erase(0, 4 + static_cast<size_t>(len));
    *frame = std::move(parsed);
    return FrameParse::Complete;
}

std::string DdeSocketFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/')
        return std::string(runtime) + "/quorvan-dde";
    return "/tmp/quorvan-dde-" + std::to_string(getuid());
}

std::string DdeSocketPath(const std::string& service) {
    if (service.empty() || service == "." || service == "..")
        return "";
    for (char c : service) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '_' || c == '-' || c == '.';
        if (!ok)
            return "";
    }
    std::string path = DdeSocketFolder() + "/" + service;
    if (path.size() >= sizeof(sockaddr_un::sun_path))
        return "";
    return path;
}

bool DdeSocketFolderIsPrivate() {
    struct stat st {};
    if (lstat(DdeSocketFolder().c_str(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

bool PrepareDdeSocketFolder(std::string* error) {
    std::string folder = DdeSocketFolder();
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        *error = "cannot create " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (!DdeSocketFolderIsPrivate()) {
        *error = folder + " is not a private folder of this user (it must be a directory with "
                          "mode 0700)";
        return false;
    }
    return true;
}
