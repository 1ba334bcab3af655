// Writes the desktop entries and the MIME package of the Debian package into a folder: the
// same files the program's own registration (2403, 2404) writes for one user, made for the
// installed program folder.
#include "platform/fileassociation.h"

#include <cstdio>
#include <string>

namespace {
bool Write(const std::string& path, const std::string& data) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), file) == data.size();
    return std::fclose(file) == 0 && ok;
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PROGRAM-FOLDER/ OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    std::string out = std::string(argv[2]) + "/";
    // The installed icon is found by name in the icon theme.
    bool ok = Write(out + "quorvan-player.desktop", PlayerDesktopEntry(folder, "quorvan-player")) &&
              Write(out + "quorvan-nfo.desktop", NfoDesktopEntry(folder, "quorvan-player")) &&
              Write(out + "quorvan-player.xml", MimePackage());
    if (!ok) {
        std::fprintf(stderr, "%s: cannot write into %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
