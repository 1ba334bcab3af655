#pragma once
// The command line of binary/rar: a [-ep] [-m0] [-o+] [-ma4|-ma5] [-v<size>[unit]] [-vn] archive
// files...
#include <cstdint>
#include <string>
#include <vector>

namespace rarwriter {

struct RarCommand {
    std::string firstVolume; // the archive name, ".rar" added when missing
    uint64_t volumeSize = 0; // 0: no volumes
    bool stripPaths = false; // -ep: store names without their folders
    bool overwrite = false;  // -o+
    bool rar5 = false;       // -ma5: RAR5 volumes (RAR 2.9 ones are the default, -ma4)
    bool oldNaming = false;  // -vn: .rar .r00 .r01 ... (RAR 2.9 volumes always have it)
    std::vector<std::string> files;
};

// Volume size: a number, optionally followed by b (bytes), k (1024), K (1000), m (1024^2),
// M (1000^2), g (1024^3) or G (1000^3); a bare number counts thousands of bytes.
bool ParseVolumeSize(const std::string& text, uint64_t* bytes);

// Parses the arguments after the program name. False with a message for anything this
// writer does not do (other commands, compression, unknown switches).
bool ParseRarCommand(const std::vector<std::string>& args, RarCommand* command, std::string* error);

// The name a file gets inside the archive.
std::string StoredName(const std::string& path, bool stripPaths);

} // namespace rarwriter
