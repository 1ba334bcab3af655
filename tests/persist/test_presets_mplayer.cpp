// Every shipped filter preset is given to the real player on a small generated movie; a preset
// the player rejects would break playback for whoever picks it.
#include "persist/filters.h"
#include "platform/cmdline.h"
#include "platform/profile.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

namespace {

// What mplayer prints when it drops or refuses an option but may still end with status 0.
const char* const kRejections[] = {"Couldn't open video filter",
                                   "errors in postprocess string",
                                   "Error parsing option",
                                   "Unknown option",
                                   "FATAL",
                                   "Cannot initialize",
                                   "Failed to open video filter"};

} // namespace

TEST(PresetsWithMplayer, EveryShippedPresetIsAcceptedByThePlayer) {
    std::string movie = GeneratedMovie(5);
    ASSERT_FALSE(movie.empty()) << "ffmpeg could not make the test movie";
    size_t tried = 0;
    for (const char* file : {"filtres.txt", "user_filtres.txt"}) {
        std::optional<std::string> content = ReadProfileFile(StageDir() + "/" + file);
        ASSERT_TRUE(content.has_value()) << file;
        for (const filtr_item& preset : ParsePresetFile(*content, kMaxUserFiltres)) {
            std::vector<std::string> argv = {"mplayer", "-nolirc", "-nocache", "-vo", "null",
                                             "-ao",     "null",    "-frames",  "5",   movie};
            // The player gets the options split as the program's command line splits them.
            for (const std::string& option : SplitCommandLineWindows(preset.options))
                argv.push_back(option);
            std::string output;
            int status = RunCommand(argv, &output);
            ++tried;
            EXPECT_EQ(status, 0) << file << " / " << preset.name << ":\n" << output;
            for (const char* rejection : kRejections)
                EXPECT_EQ(output.find(rejection), std::string::npos)
                    << file << " / " << preset.name << " (" << preset.options << "):\n"
                    << output;
        }
    }
    EXPECT_GT(tried, 20u);
}
