// binary/rar: packs files into a stored RAR volume set (see rarwriter.h).
#include "tools/rarwriter/rar5writer.h"
#include "tools/rarwriter/rarargs.h"
#include "tools/rarwriter/rarwriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    rarwriter::RarCommand command;
    std::string error;
    if (!rarwriter::ParseRarCommand(args, &command, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 7;
    }
    std::vector<rarwriter::InputFile> files;
    for (const std::string& path : command.files) {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) {
            std::fprintf(stderr, "Cannot open %s: %s\n", path.c_str(), std::strerror(errno));
            return 6;
        }
        if (!S_ISREG(st.st_mode)) {
            std::fprintf(stderr, "%s is not a regular file\n", path.c_str());
            return 6;
        }
        files.push_back({path, rarwriter::StoredName(path, command.stripPaths),
                         static_cast<uint64_t>(st.st_size), static_cast<uint32_t>(st.st_mode),
                         st.st_mtime});
        if (files.back().storedName.empty() || files.back().storedName.size() > 0xFFFF - 40) {
            std::fprintf(stderr, "Cannot store the name of %s\n", path.c_str());
            return 7;
        }
    }
    rarwriter::WriteOptions options{command.firstVolume, command.volumeSize, command.overwrite};
    std::vector<std::string> written;
    bool ok = command.rar5 ? rarwriter::WriteRar5VolumeSet(files, options, command.oldNaming,
                                                           &written, &error)
                           : rarwriter::WriteVolumeSet(files, options, &written, &error);
    if (!ok) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    for (const std::string& name : written)
        std::printf("Created %s\n", name.c_str());
    return 0;
}
