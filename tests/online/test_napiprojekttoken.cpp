// The Napiprojekt token, against tokens worked out by hand from the table of the five calls.
#include "online/napiprojekttoken.h"

#include <gtest/gtest.h>

namespace {
struct TokenCase {
    const char* md5;
    const char* token;
};

TEST(NapiprojektToken, FiveCallsOfTheTableGiveTheHandWorkedTokens) {
    const TokenCase cases[] = {
        // Positions hold their own index mod 16.
        //   1: digit[14]=e, t=15, "ef"=239*2 mod 16=14 -> e   2: digit[3]=3, t=17, "01"*2=2
        //   3: digit[6]=6, t=23, "67"=103*5 mod 16=3          4: digit[8]=8, t=20, "34"=52*4 -> 0
        //   5: digit[2]=2, t=8, "78"=120*3 mod 16=8
        {"0123456789abcdef0123456789abcdef", "e2308"},
        // MD5 of no bytes:
        //   1: digit[14]=0, t=1, "d4"=212*2 mod 16=8          2: digit[3]=d, t=27, "f8"*2 -> 0
        //   3: digit[6]=d, t=30, "27"=39*5 mod 16=3           4: digit[8]=8, t=20, "00" -> 0
        //   5: digit[2]=1, t=7, "d9"=217*3 mod 16=11 -> b
        {"d41d8cd98f00b204e9800998ecf8427e", "8030b"},
        // All f: call 3 reaches t=32, past the end, so only the last digit is read: 15*5=75 -> b.
        //   1: "ff"*2 -> e   2: "ff"*2 -> e   4: "ff"*4=1020 -> c   5: "ff"*3=765 -> d
        {"ffffffffffffffffffffffffffffffff", "eebcd"},
        {"00000000000000000000000000000000", "00000"},
    };
    for (const TokenCase& c : cases)
        EXPECT_EQ(GeneratePseudoHashNapiprojekt(c.md5), c.token) << c.md5;
}

TEST(NapiprojektToken, OneCallReadsASingleDigitPastTheEnd) {
    std::string md5(32, '0');
    md5[6] = 'f';  // call 3 reads digit 6: t = 15 + 17 = 32, past the end
    md5[31] = '7'; // so v is the last digit alone: 7 * 5 mod 16 = 3
    EXPECT_EQ(getpseudohash_prv(md5, 7, 17, 5), 3);
    md5[30] = '9'; // position 30 is not read
    EXPECT_EQ(getpseudohash_prv(md5, 7, 17, 5), 3);
}

TEST(NapiprojektToken, MalformedTextGivesATokenWithoutReadingOutside) {
    for (const char* md5 : {"", "f", "zz", "FFFFFFFFFFFFFFFF"}) {
        std::string token = GeneratePseudoHashNapiprojekt(md5);
        EXPECT_EQ(token.size(), 5u) << md5;
    }
    // Upper-case digits read as their lower-case values.
    EXPECT_EQ(GeneratePseudoHashNapiprojekt("D41D8CD98F00B204E9800998ECF8427E"), "8030b");
}
} // namespace
