// The .nfo viewer's decoding: code page 437, whose upper half draws the boxes and logos of
// .nfo files.
#include "ui/nfo2txt/cp437.h"

#include <gtest/gtest.h>

TEST(Cp437, AsciiStaysAsItIs) {
    EXPECT_EQ(DecodeCp437("Group\tNFO\r\n~"), QString("Group\tNFO\r\n~"));
}

TEST(Cp437, TheUpperHalfGivesTheBoxAndAccentedCharacters) {
    // One byte of every line of sixteen, and both ends of the half.
    const struct {
        unsigned char byte;
        char16_t character;
    } cases[] = {
        {0x80, u'Ç'}, {0x82, u'é'}, {0x9F, u'ƒ'}, {0xA8, u'¿'},      {0xB0, u'░'},
        {0xBA, u'║'}, {0xC4, u'─'}, {0xC9, u'╔'}, {0xDB, u'█'},      {0xE1, u'ß'},
        {0xE6, u'µ'}, {0xFD, u'²'}, {0xFE, u'■'}, {0xFF, u'\u00A0'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.byte));
        QString text = DecodeCp437(std::string(1, static_cast<char>(c.byte)));
        ASSERT_EQ(text.size(), 1);
        EXPECT_EQ(text[0].unicode(), c.character);
    }
    EXPECT_EQ(DecodeCp437("\xC9\xCD\xBB"), QString::fromUtf8("╔═╗"));
}
