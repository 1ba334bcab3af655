#include "online/napiarchive.h"

#include "online/onlinefiles.h"
#include "online/sevenzip.h"
#include "platform/paths.h"
#include "platform/privatefiles.h"

#include <cstdlib>
#include <filesystem>

namespace {
// A folder of this answer's own, removed with whatever is in it when the step ends.
class AnswerFolder {
  public:
    AnswerFolder() {
        std::string folder = MakePrivateFolder("quorvan-napiprojekt-");
        if (!folder.empty())
            path_ = folder + "/";
    }
    ~AnswerFolder() { RemovePrivateFolder(path_); }
    AnswerFolder(const AnswerFolder&) = delete;
    AnswerFolder& operator=(const AnswerFolder&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

NapiUnpackResult Outcome(NapiUnpack outcome, const std::string& why) {
    NapiUnpackResult r;
    r.outcome = outcome;
    r.why = why;
    return r;
}

// The run's outcome when it did not end well, as the step reports it.
NapiUnpackResult FromRun(SevenZipRun run, const std::string& failed) {
    switch (run) {
    case SevenZipRun::Missing:
        return Outcome(NapiUnpack::Missing, "7zz is not installed");
    case SevenZipRun::Interrupted:
        return Outcome(NapiUnpack::Interrupted, "cancelled");
    default:
        return Outcome(NapiUnpack::Failed, failed);
    }
}
} // namespace

NapiUnpackResult UnpackNapiprojektArchive(const std::string& bytes, const std::string& md5,
                                          const std::vector<std::string>& passwords, size_t limit) {
    AnswerFolder folder;
    if (folder.path().empty())
        return Outcome(NapiUnpack::Failed, "no temporary folder in " + GetTempDirectory());
    std::string archive = folder.path() + "napis.zip";
    if (!WriteNewFile(archive, bytes, 0600))
        return Outcome(NapiUnpack::Failed, "cannot write " + archive);

    std::string expected = md5 + ".txt";
    NapiUnpackResult last = Outcome(NapiUnpack::Failed, "the archive did not unpack");
    for (const std::string& password : passwords) {
        SevenZipListing listing;
        SevenZipRun run = ListSevenZip(archive, password, &listing);
        if (run == SevenZipRun::TooLarge)
            return Outcome(NapiUnpack::Refused, "the archive lists too many members");
        if (run != SevenZipRun::Done) {
            // Encrypted headers open with the right password only: the next one may.
            last = FromRun(run, "the archive cannot be listed");
            if (last.outcome != NapiUnpack::Failed)
                return last;
            continue;
        }
        if (listing.type != "7z")
            return Outcome(NapiUnpack::Refused, "the answer is a " + listing.type + " archive");
        const SevenZipEntry* member = nullptr;
        for (const SevenZipEntry& e : listing.entries) {
            if (e.link)
                return Outcome(NapiUnpack::Refused, "the archive holds a link: " + e.path);
            if (e.folder || BaseName(e.path) != expected)
                continue;
            if (member != nullptr)
                return Outcome(NapiUnpack::Refused, "the archive holds " + expected + " twice");
            member = &e;
        }
        if (member == nullptr)
            return Outcome(NapiUnpack::Failed, "the archive holds no " + expected);
        if (!member->sizeKnown || member->size > limit)
            return Outcome(NapiUnpack::Refused, expected + " would unpack to more than " +
                                                    std::to_string(limit) + " bytes");
        // The listed size is the sender's word: the unpacking itself stops at it.
        NapiUnpackResult r;
        run = ExtractSevenZipMember(archive, password, member->path, size_t(member->size), &r.text);
        if (run == SevenZipRun::TooLarge)
            return Outcome(NapiUnpack::Refused, expected + " unpacks to more than it lists");
        if (run == SevenZipRun::Done && !r.text.empty()) {
            r.outcome = NapiUnpack::Done;
            return r;
        }
        last = FromRun(run, "the archive did not unpack");
        if (last.outcome != NapiUnpack::Failed)
            return last;
    }
    return last;
}
