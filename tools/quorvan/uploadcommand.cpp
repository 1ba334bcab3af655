#include "tools/quorvan/uploadcommand.h"

#include "online/onlinefiles.h"
#include "online/osupload.h"
#include "platform/profile.h"
#include "platform/statefolder.h"
#include "platform/textutil.h"
#include "platform/rarnames.h"

namespace {
constexpr int kExitNotUploaded = 1;
constexpr int kExitBadInput = 2;

} // namespace

int RunUpload(const UploadOptions& options, FILE* out) {
    for (const std::string* path : {&options.subtitle, &options.movie})
        if (!IsMovieFile(*path)) {
            std::fprintf(stderr, "quorvan: %s is no readable file\n", path->c_str());
            return kExitBadInput;
        }
    UploadRequest request;
    request.who = UploadWho::User;
    request.subtitle = options.subtitle;
    request.movie = options.movie;
    ZrobPierwszyPart(request.movie); // any volume names its set, as when the player opens it
    std::string settings = SettingsFilePath();
    request.login = GetProfileString("quorvan", "Login", "", settings, 1000);
    request.pass = GetProfileString("quorvan", "Pass", "", settings, 1000);

    OShelpFunctions os;
    UploadResult r = UploadFirstPart(os, request);
    if (r.needImdb) {
        os.idmovieimdb = !options.imdb.empty() ? options.imdb
                         : !os.imdbIds.empty() ? os.imdbIds.front()
                                               : "";
        if (os.idmovieimdb.empty()) {
            std::fprintf(out, "%s: not uploaded (No upload! IMDB number need to upload!)\n",
                         options.subtitle.c_str());
            return kExitNotUploaded;
        }
        UploadSecondPart(os, UploadWho::User, r);
    }
    if (r.uploaded) {
        std::fprintf(out, "%s: %s\n", options.subtitle.c_str(), r.link.c_str());
        return std::fflush(out) == 0 ? 0 : kExitNotUploaded;
    }
    std::string reason = !r.reason.empty() ? r.reason : r.cancelled ? "cancelled" : "no answer";
    std::fprintf(out, "%s: not uploaded (%s)\n", options.subtitle.c_str(), OneLine(reason).c_str());
    return kExitNotUploaded;
}
