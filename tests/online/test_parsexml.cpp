// The answer scanner and the language list: plain substring rules, including the ones that
// surprise (a missing member takes the next result's value), and hostile input.
#include "online/answerkind.h"
#include "online/opensubtitles.h"
#include "online/oshelpfunctions.h"
#include "online/parsexml.h"
#include "tests/online/fakeservices.h"

#include <gtest/gtest.h>

namespace {
std::string Member(const std::string& name, const std::string& value) {
    return "<member><name>" + name + "</name><value><string>" + value +
           "</string></value></member>";
}

TEST(ParseXml, ResultsStartAtEachHashAndTakeTheNextMembers) {
    std::string answer =
        "<struct>" + Member("MovieHash", "abc") + Member("ISO639", "pl") +
        Member("SubFileName", "one.srt") + Member("SubDownloadLink", "L1") + "</struct><struct>" +
        Member("MovieHash", "abc") + Member("ISO639", "en") + Member("SubDownloadLink", "L2") +
        "</struct><struct>" + Member("MovieHash", "abc") + Member("ISO639", "cs") +
        Member("SubFileName", "three.srt") + Member("SubDownloadLink", "L3") + "</struct>";
    parsexml p;
    p.parserun(answer, "abc");
    ASSERT_EQ(p.items.size(), 3u);
    EXPECT_EQ(p.items[0].getMenuName(), "[pl] one.srt");
    EXPECT_EQ(p.items[0].SubDownloadLink, "L1");
    // The second result has no file name: it takes the third's.
    EXPECT_EQ(p.items[1].getMenuName(), "[en] three.srt");
    EXPECT_EQ(p.items[2].SubDownloadLink, "L3");
    p.parserun("<nothing/>", "abc");
    EXPECT_TRUE(p.items.empty());
    p.parserun(answer, ""); // an empty key matches nowhere, instead of everywhere for ever
    EXPECT_TRUE(p.items.empty());
}

TEST(ParseXml, ValuesAreFoundByPlainSubstrings) {
    parsexml p;
    std::string answer =
        "<member><name>token</name><value><int>5</int></value></member>" + Member("later", "tok");
    // A value that is no string is skipped for the next string, wherever it stands.
    EXPECT_EQ(p.parse(answer, "token"), "tok");
    EXPECT_EQ(p.parseint(answer, "token"), "5");
    EXPECT_EQ(p.parse(answer, "missing"), "");
    EXPECT_EQ(p.parseint("<name>x</name><int>7", "x"), "");
    // A closing tag before the opening one gives nothing, not a reversed range.
    EXPECT_EQ(p.parse("<name>x</name></string><string>a", "x"), "");
    std::vector<std::string> ids;
    p.parsetolist(Member("id", "1") + Member("title", "A") + Member("id", "2"), "id", ids);
    EXPECT_EQ(ids, (std::vector<std::string>{"1", "2"}));
}

TEST(ParseXml, LoginRequestCarriesTheAccountAsXmlText) {
    OShelpFunctions os;
    os.login = "me";
    os.pass = "a<b&c$login$";
    EXPECT_EQ(os.getLogin(),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?><methodCall><methodName>LogIn"
              "</methodName><params><param><value><string>me</string></value></param><param>"
              "<value><string>a&lt;b&amp;c$login$</string></value></param><param><value><string>"
              "</string></value></param><param><value><string>DoVavuzivav_0.2</string></value>"
              "</param></params></methodCall>");
    std::string twice = "$token$ $token$";
    os.token = "T";
    EXPECT_EQ(os.fill(twice), "T $token$");
}

TEST(OpensubtitleLanguages, PairsOfLinesBecomeEntries) {
    auto list = ParseOpensubtitleList("pol\r\nPolish\neng\nEnglish\nxyz");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].code, "pol");
    EXPECT_EQ(list[0].label, "[pol] Polish");
    EXPECT_EQ(list[2].label, "[xyz] "); // an odd last line still counts
    std::string many;
    for (int i = 0; i < 200; ++i)
        many += "c" + std::to_string(i) + "\nName\n";
    EXPECT_EQ(ParseOpensubtitleList(many).size(), kMaxOpensubtitleLanguages);
}

TEST(AnswerKinds, FirstBytesDecide) {
    EXPECT_EQ(ClassifyAnswer(std::string("\x37\x7A\xBC\xAF\x27\x1C rest")), AnswerKind::SevenZip);
    EXPECT_EQ(ClassifyAnswer(std::string("\x1F\x8B\x08")), AnswerKind::Gzip);
    EXPECT_EQ(ClassifyAnswer("NPc0"), AnswerKind::NoSubtitles);
    EXPECT_EQ(ClassifyAnswer("<?xml version"), AnswerKind::Xml);
    EXPECT_EQ(ClassifyAnswer("\xEF\xBB\xBF{1}{2}"), AnswerKind::Utf8Bom);
    EXPECT_EQ(ClassifyAnswer(std::string("\xFF\xFE{\0", 4)), AnswerKind::Utf16Le);
    EXPECT_EQ(ClassifyAnswer(std::string("\xFE\xFF\0{", 4)), AnswerKind::Utf16Be);
    EXPECT_EQ(ClassifyAnswer("{1}{2}text"), AnswerKind::Text);
    EXPECT_EQ(ClassifyAnswer(""), AnswerKind::Empty);
    std::string out;
    EXPECT_TRUE(GunzipBytes(Gzip("abc") + Gzip("def"), &out, 100));
    EXPECT_EQ(out, "abcdef");
    EXPECT_FALSE(GunzipBytes(Gzip(std::string(5000, 'x')), &out, 1000)); // past the limit
    EXPECT_FALSE(GunzipBytes(Gzip("abcdef").substr(0, 12), &out, 100));  // cut short
}
} // namespace
