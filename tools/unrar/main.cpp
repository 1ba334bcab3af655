// binary/unrar: "unrar p -inul [-pPASSWORD] archive [files...]" prints the files of a RAR set
// to standard output, so that a player can read the movie from a pipe. A -p switch overrides a
// password handed over in the environment (passwordintake.h). Errors always go to
// standard error (-inul only keeps the tool from chatting) with a non-zero exit.
#include "platform/fdio.h"
#include "tools/unrar/extract.h"
#include "tools/unrar/passwordintake.h"
#include "tools/unrar/rarvolumes.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <langinfo.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

int Usage() {
    std::fprintf(stderr,
                 "Usage: unrar p [-inul] [-p<password>] <archive> [files...]\n"
                 "The password may also come in %s, or on the descriptor %s names.\n",
                 kPasswordVariable, kPasswordFdVariable);
    return kUnrarUsage;
}

} // namespace

int main(int argc, char** argv) {
    // Names inside archives are Unicode: libarchive converts them through the locale, and in
    // the C locale it gives up on any letter outside ASCII. The user's locale, or C.UTF-8.
    if (std::setlocale(LC_ALL, "") == nullptr || std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] != "p")
        return Usage();
    ExtractRequest request;
    std::string intakeError;
    if (!TakePasswordFromEnvironment(&request.password, &intakeError)) {
        std::fprintf(stderr, "%s\n", intakeError.c_str());
        return kUnrarUsage;
    }
    std::string archive;
    bool switches = true;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (switches && a == "--") {
            switches = false;
        } else if (switches && a.size() > 1 && a[0] == '-') {
            if (a == "-inul" || a == "-y" || a == "-p-" || a == "-idq")
                continue;
            if (a.rfind("-p", 0) == 0) {
                request.password = a.substr(2);
                continue;
            }
            std::fprintf(stderr, "Unknown switch %s\n", a.c_str());
            return Usage();
        } else if (archive.empty()) {
            archive = a;
        } else {
            request.masks.push_back(a);
        }
    }
    if (archive.empty())
        return Usage();

    // A FIFO, device, socket or folder is no archive; a FIFO without a writer would block.
    std::string kind = SpecialFileKind(archive);
    if (!kind.empty()) {
        std::fprintf(stderr, "Cannot open %s: it is %s, not an archive\n", archive.c_str(),
                     kind.c_str());
        return kUnrarOpen;
    }
    VolumeList volumes = ListVolumes(archive);
    for (const std::string& name : volumes.names) {
        kind = SpecialFileKind(name);
        if (!kind.empty()) {
            std::fprintf(stderr, "Cannot open %s: it is %s, not an archive volume\n", name.c_str(),
                         kind.c_str());
            return kUnrarOpen;
        }
    }
    if (volumes.names.empty()) {
        std::string missing = volumes.nextName.empty() ? archive : volumes.nextName;
        std::fprintf(stderr, "Cannot open %s: the file does not exist\n", missing.c_str());
        return kUnrarOpen;
    }
    request.volumes = volumes.names;
    request.nextVolume = volumes.nextName;
    std::string message;
    int rc = ExtractFiles(request, STDOUT_FILENO, &message);
    if (rc != kUnrarOk)
        std::fprintf(stderr, "%s\n", message.c_str());
    return rc;
}
