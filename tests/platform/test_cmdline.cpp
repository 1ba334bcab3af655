#include "platform/cmdline.h"

#include <gtest/gtest.h>

using Args = std::vector<std::string>;

TEST(WindowsCommandLine, QuotesGroupAndBlanksOrTabsSeparate) {
    EXPECT_EQ(SplitCommandLineWindows("\"/opt/q/binary/QUORVAN\" -slave  -identify\t-x"),
              (Args{"/opt/q/binary/QUORVAN", "-slave", "-identify", "-x"}));
    EXPECT_EQ(SplitCommandLineWindows("  "), Args{});
    EXPECT_EQ(SplitCommandLineWindows("a \"\" b"), (Args{"a", "", "b"}));
    EXPECT_EQ(SplitCommandLineWindows("\"my movie\".avi y"), (Args{"my movie.avi", "y"}));
    EXPECT_EQ(SplitCommandLineWindows("\"never closed rest"), (Args{"never closed rest"}));
}

TEST(WindowsCommandLine, BackslashRules) {
    EXPECT_EQ(SplitCommandLineWindows(R"(a\b c\\d)"), (Args{R"(a\b)", R"(c\\d)"}));
    EXPECT_EQ(SplitCommandLineWindows(R"("a\"b")"), (Args{"a\"b"}));
    EXPECT_EQ(SplitCommandLineWindows(R"("a\\" b)"), (Args{"a\\", "b"}));
    EXPECT_EQ(SplitCommandLineWindows(R"("a""b")"), (Args{"a\"b"}));
}

TEST(WindowsCommandLine, QuotedArgumentsSurviveTheSplit) {
    const std::vector<std::string> hard = {"plain.avi",  "with blank.avi", "quote\"inside.avi",
                                           "trailing\\", "back\\\"slash",  "zażółć gęślą.mkv",
                                           "tab\there",  "$(touch x);'`",  ""};
    for (const auto& text : hard) {
        std::string line = "prog " + QuoteCommandLineArg(text) + " next";
        EXPECT_EQ(SplitCommandLineWindows(line), (Args{"prog", text, "next"})) << text;
    }
    EXPECT_EQ(QuoteCommandLineArg("/home/u/my movie.avi"), "\"/home/u/my movie.avi\"");
}

TEST(ShellQuoting, SingleQuotesSurviveTheShell) {
    EXPECT_EQ(ShellQuote("a b"), "'a b'");
    EXPECT_EQ(ShellQuote("it's"), "'it'\\''s'");
}
