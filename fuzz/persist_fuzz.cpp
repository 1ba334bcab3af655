// libFuzzer target: the settings/language-file reader and writer, the position-history reader
// and the playlist reader over arbitrary bytes. Besides not crashing, a stored value must read
// back as stored and a written history must parse back to the same entries.
#include "persist/history.h"
#include "persist/playlist.h"
#include "platform/profile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string content(reinterpret_cast<const char*>(data), size);

    std::string section = size > 0 ? std::string(1, static_cast<char>('a' + data[0] % 4)) : "a";
    std::string key = size > 1 ? std::string(1, static_cast<char>('k' + data[1] % 4)) : "k";
    std::string value = "v" + std::to_string(size);
    (void)ProfileLookup(content, section, key);
    (void)ProfileParseInt(content);
    std::string stored = ProfileStore(content, section, &key, &value);
    if (ProfileLookup(stored, section, key) != value)
        std::abort();
    std::string removed = ProfileStore(stored, section, &key, nullptr);
    (void)ProfileStore(removed, section, nullptr, nullptr);

    std::vector<hist_posytion> entries = ParseHistory(content);
    std::vector<hist_posytion> rememberable;
    for (const hist_posytion& entry : entries)
        if (IsRememberablePath(entry.path))
            rememberable.push_back(entry);
    std::vector<hist_posytion> again = ParseHistory(FormatHistory(rememberable));
    if (again.size() != rememberable.size())
        std::abort();
    for (size_t i = 0; i < again.size(); ++i)
        if (again[i].path != rememberable[i].path || again[i].position != rememberable[i].position)
            std::abort();

    // Every playlist entry read is one absolute line of more than 6 characters.
    for (const std::string& path : ParsePlaylistText(content))
        if (path.size() <= 6 || path[0] != '/' || path.find('\n') != std::string::npos)
            std::abort();
    return 0;
}
