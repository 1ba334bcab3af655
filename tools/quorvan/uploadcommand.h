#pragma once
// `quorvan upload`: the user's subtitle upload without a window. The IMDB number comes from
// --imdb, else from the first proposal of the search; the link or the reason is printed.
#include <cstdio>
#include <string>

struct UploadOptions {
    std::string subtitle;
    std::string movie;
    std::string imdb;
};

// 0 when the subtitle was uploaded, 1 when it was not (the reason printed), 2 for a
// subtitle or movie that is no readable file.
int RunUpload(const UploadOptions& options, FILE* out);
