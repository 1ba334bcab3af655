#pragma once
// The 7z answer of Napiprojekt turned into the subtitle's bytes without letting it touch the
// disk beyond its own copy: the archive goes into a private folder made for this one answer
// (mkdtemp) and is listed first; only the member named after the fingerprint is unpacked, to
// memory, and only when it is a plain file within the subtitle limit; an archive holding
// links is refused. The folder and the archive are gone again in every outcome.
#include <string>
#include <vector>

enum class NapiUnpack {
    Done,
    Refused,     // links, an oversized or doubled member: not a subtitle archive
    Failed,      // no password opened it, it is damaged, or it lacks the member
    Missing,     // no 7zz to run
    Interrupted, // cancelled or over the time limit
};

struct NapiUnpackResult {
    NapiUnpack outcome = NapiUnpack::Failed;
    std::string text; // the member's bytes when Done
    std::string why;  // for the command-line tool
};

// `passwords` are tried in turn; `limit` caps the member's size, listed and actually unpacked.
NapiUnpackResult UnpackNapiprojektArchive(const std::string& archive, const std::string& md5,
                                          const std::vector<std::string>& passwords, size_t limit);
