// The voice-over as the interpreter drives it: which lines are spoken, how the text is prepared
// for each mode, the exact strings each synthesiser gets over the local DDE sockets, and what
// happens without a synthesiser.
#include "platform/codepage.h"
#include "platform/ddeclient.h"
#include "platform/ddeframes.h"
#include "player/interpreter.h"
#include "player/mplayerinfo.h"
#include "subtitles/speakers.h"
#include "subtitles/speechtext.h"
#include "subtitles/voiceover.h"
#include "tests/player/playerstate.h"
#include "tests/subtitles/ddetestserver.h"
#include "tests/support/recorderport.h"
#include "tests/support/testenv.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <iconv.h>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> kAllServices = {"unispiker", "Expressivo", "Syntalk", "rozmowy"};

class VoiceOver : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetPlayerState();
        ListenForVoiceOver(); // as the program does at start-up
        SetWindowPort(&port_);
    }
    void TearDown() override {
        Mp1.voiceOverMode = 0;
        SetWindowPort(nullptr);
    }
    std::vector<std::string> ClipboardEvents() {
        std::vector<std::string> out;
        for (const std::string& e : port_.Events())
            if (e.rfind("clipboard-text:", 0) == 0)
                out.push_back(e);
        return out;
    }
    TempDir runtime_;
    ScopedRuntimeDir scoped_{runtime_.path()};
    RecorderPort port_;
};

std::string Prepared(const std::string& utf8) {
    std::vector<char> buffer(utf8.begin(), utf8.end());
    buffer.push_back('\0');
    utf8towinpl(buffer.data(), buffer.data());
    cleanToSpeech(buffer.data(), buffer.data());
    return buffer.data();
}

} // namespace

TEST(SpeechText, PolishLettersBecomeTheirCodePageBytesAndOthersPassThrough) {
    // The six-letter word "zażółć" and every capital and small letter of the table.
    EXPECT_EQ(Prepared("za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"), "za\xBF\xF3\xB3\xE6");
    EXPECT_EQ(Prepared("ąęćłóśżźĄĘĆŁÓŚŻŹńŃ"),
              "\xB9\xEA\xE6\xB3\xF3\x9C\xBF\x9F\xA5\xCA\xC6\xA3\xD3\x8C\xAF\x8F\xF1\xD1");
    // é is not a Polish letter; a three-byte sequence and a lone lead byte at the end pass too.
    EXPECT_EQ(Prepared("caf\xC3\xA9 \xE2\x82\xAC \xC4"), "caf\xC3\xA9 \xE2\x82\xAC \xC4");
}

TEST(SpeechText, CleanUpBlanksTheThirteenCharactersAndKeepsTheLength) {
    std::string line = " a - b<i>c</i> \\x:'\"[y]|\r\n";
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    cleanToSpeech(buffer.data(), buffer.data());
    EXPECT_EQ(std::string(buffer.data()), " a   b i c  i   x    y    ");
    EXPECT_EQ(std::string(buffer.data()).size(), line.size());
    EXPECT_TRUE(isDig('0') && isDig('9'));
    EXPECT_FALSE(isDig('a') || isDig('/') || isDig(':') || isDig('\xB9'));
}

TEST(SpeechText, Cp1250DecodingAgreesWithIconvForEveryByte) {
    iconv_t cd = iconv_open("UTF-8", "WINDOWS-1250");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    for (int b = 0x80; b <= 0xFF; ++b) {
        char in[1] = {static_cast<char>(b)};
        char out[8] = {};
        char* ip = in;
        char* op = out;
        size_t il = 1, ol = sizeof(out);
        bool defined = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1);
        std::string expected = defined ? std::string(out, op) : "?";
        EXPECT_EQ(Cp1250ToUtf8(std::string(1, static_cast<char>(b))), expected) << b;
    }
    iconv_close(cd);
}

TEST_F(VoiceOver, OnlySubtitleLinesAreSpokenNeverTheMovieInformation) {
    DdeTestServer server(runtime_.path(), kAllServices);
    Mp1.voiceOverMode = 1;
    FeedPlayerLine("XX :  movie info: film.avi 0:10 160x120\r");
    FeedPlayerLine("ANS_LENGTH=10.00\r");
    FeedPlayerLine("xx : ma\xC5\x82y - kot\r");
    FeedPlayerLine("XX : \"Dobrze\" [szept]\r");
    std::vector<std::string> frames = server.WaitFrames(2, 3000);
    EXPECT_EQ(frames, (std::vector<std::string>{
                          "unispiker|synteza|P|do_serwera|SayIt| ma\xB3y   kot ",
                          "unispiker|synteza|P|do_serwera|SayIt|  Dobrze   szept  ",
                      }));
    // The length line still reached the rest of the interpreter.
    EXPECT_EQ(Mp1.movieLength, 10);
    Mp1.voiceOverMode = 0;
    FeedPlayerLine("XX : cisza\r");
    server.WaitFrames(3, 200);
    EXPECT_EQ(server.Frames().size(), 2u);
}

TEST_F(VoiceOver, EachSynthesiserGetsItsOwnNamesAndPayload) {
    DdeTestServer server(runtime_.path(), kAllServices);
    const std::string line = "XX : \xC5\xBC\xC3\xB3\xC5\x82w - \"tak\"\r";
    const std::string prepared = " \xBF\xF3\xB3w    tak  ";
    Mp1.voiceOverMode = 4;
    FeedPlayerLine(line);
    Mp1.voiceOverMode = 2;
    FeedPlayerLine(line);
    Mp1.voiceOverMode = 8; // as received: no Polish conversion, no clean-up
    FeedPlayerLine(line);
    std::vector<std::string> frames = server.WaitFrames(4, 3000);
    EXPECT_EQ(frames, (std::vector<std::string>{
                          "Expressivo|synteza|P|do_serwera|SayIt|" + prepared,
                          "Syntalk|System|P|text|" + prepared,
                          "Syntalk|System|E|[read]",
                          "Expressivo|synteza|P|do_serwera|SayIt| \xC5\xBC\xC3\xB3\xC5\x82w - "
                          "\"tak\"\r",
                      }));
    // SynTalk reads on a second conversation; the others make one each.
    EXPECT_EQ(server.Conversations(), 4u);
}

TEST_F(VoiceOver, WPGetsItsInitialisationAndTheSpeechCommandByteForByte) {
    DdeTestServer server(runtime_.path(), kAllServices);
    const std::string command =
        "SEvalCommand|(tts_text \"fst\\\\\\\\(chr\\\\0\\\\ Id\xEA  do  domu \\\\)\\\\)\"'parsed)|3";
    Mp1.voiceOverMode = 5;
    FeedPlayerLine("XX : Idę \"do\" domu\r");
    std::vector<std::string> frames = server.WaitFrames(3, 3000);
    EXPECT_EQ(frames, (std::vector<std::string>{
                          "rozmowy|synteza|E|SInit|3",
                          "rozmowy|synteza|E|gadacz",
                          "rozmowy|synteza|P|gadaczIN|" + command,
                      }));
    // The only double quotes of the command are its own two.
    EXPECT_EQ(std::count(command.begin(), command.end(), '"'), 2);
    Mp1.voiceOverMode = 6; // WP2 does not wake the reader with "gadacz"
    FeedPlayerLine("XX : Idę \"do\" domu\r");
    frames = server.WaitFrames(5, 3000);
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[3], "rozmowy|synteza|E|SInit|3");
    EXPECT_EQ(frames[4], "rozmowy|synteza|P|gadaczIN|" + command);
    // Choosing mode 5 or 6 prepares the server at once.
    VoiceOverModeChosen(6);
    frames = server.WaitFrames(6, 3000);
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ(frames[5], "rozmowy|synteza|E|gadacz");
}

TEST_F(VoiceOver, ClipboardModesPutTheLineOnTheClipboardAsText) {
    Mp1.voiceOverMode = 3; // prepared: Polish letters in the code page, then shown as text
    FeedPlayerLine("XX : ma\xC5\x82y - kot\r");
    Mp1.voiceOverMode = 7; // as received
    FeedPlayerLine("XX : ma\xC5\x82y - \"kot\"\r");
    EXPECT_EQ(ClipboardEvents(), (std::vector<std::string>{
                                     "clipboard-text: ma\xC5\x82y   kot ",
                                     "clipboard-text: ma\xC5\x82y - \"kot\"\r",
                                 }));
    // The Unicode flag takes the bytes as UTF-16 units: 41 01 is U+0141.
    EXPECT_EQ(CopyToClip("\x41\x01", 1), 0);
    EXPECT_EQ(ClipboardEvents().back(), "clipboard-text:\xC5\x81");
    VoiceOverModeChosen(3);
    EXPECT_TRUE(port_.Has(std::string("message:Info:") + VoiceOverUsingClip));
}

TEST_F(VoiceOver, LongLinesAreCutToTheBuffers) {
    DdeTestServer server(runtime_.path(), kAllServices);
    std::string text(5000, 'a');
    EXPECT_EQ(gadajIVO(text.c_str()), 1);
    EXPECT_EQ(gadajWP2(text.c_str()), 1);
    // A Polish letter must not be cut in half by the 4000-byte system code page buffer.
    std::string utf8 = std::string(3997, 'b') + "\xC5\x82\xC5\x82";
    EXPECT_EQ(ToSystemCodepage(utf8.c_str()).size(), 3999u);
    EXPECT_EQ(ToSystemCodepage("x\xFFy"), "x?y");
    std::vector<std::string> frames = server.WaitFrames(3, 3000);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].size(), std::string("unispiker|synteza|P|do_serwera|").size() + 4095);
    EXPECT_EQ(frames[2].size(), std::string("rozmowy|synteza|P|gadaczIN|").size() + 4095);
}

TEST_F(VoiceOver, WithoutASynthesiserEveryLineReturnsZeroAtOnce) {
    // Nobody serves; then a hung one that never takes the conversation. Medians judge the
    // waits, the worst cases only a generous bound: the machine may be loaded.
    struct Times {
        double median, worst;
    };
    auto measure = [](const std::function<void()>& work) {
        std::vector<double> ms;
        for (int i = 0; i < 5; ++i) {
            auto start = std::chrono::steady_clock::now();
            work();
            ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
        }
        std::sort(ms.begin(), ms.end());
        return Times{ms[2], ms[4]};
    };
    for (int mode : {1, 2, 4, 5, 6, 8}) {
        Mp1.voiceOverMode = mode;
        Times t = measure([] { FeedPlayerLine("XX : nikt nie slucha\r"); });
        EXPECT_LT(t.median, 25.0) << mode;
        EXPECT_LT(t.worst, kDdeAnswerLimitMs + 150) << mode;
    }
    EXPECT_EQ(gadajIVO("a"), 0);
    EXPECT_EQ(gadajSynTalk("a"), 0);
    EXPECT_EQ(gadajWP("a"), 0);
    EXPECT_EQ(gadajExpressivoUTF8("a"), 0);
    EXPECT_EQ(InicjalizujSerwerWP(), 0);
    // Nothing else happened: no message, no clipboard, nothing on the window.
    EXPECT_TRUE(port_.Events().empty());

    DdeTestServer hung(runtime_.path(), kAllServices, true);
    for (int mode : {1, 2, 5, 8}) {
        Mp1.voiceOverMode = mode;
        Times t = measure([] { FeedPlayerLine("XX : nikt nie odpowiada\r"); });
        EXPECT_GE(t.median, kDdeAnswerLimitMs - 5) << mode;  // it did wait for the answer...
        EXPECT_LT(t.median, kDdeAnswerLimitMs + 50) << mode; // ...and not much longer
        EXPECT_LT(t.worst, kDdeAnswerLimitMs + 250) << mode;
    }
    EXPECT_EQ(DDEExecute("rozmowy", "synteza", "gadacz"), 0);
    EXPECT_TRUE(port_.Events().empty());
}

TEST(DdeFrames, BrokenOrForeignStreamsAreRecognised) {
    DdeFrame poke{'P', "", "", "do_serwera", kFormatText, std::string("SayIt|x\0", 8)};
    std::string bytes = EncodeDdeFrame(poke) + EncodeDdeFrame(DdeFrame{'E', "", "", "", 0, "go"});
    std::string partial = bytes.substr(0, 9);
    DdeFrame frame;
    EXPECT_EQ(TakeDdeFrame(partial, &frame), FrameParse::NeedMore);
    EXPECT_EQ(TakeDdeFrame(bytes, &frame), FrameParse::Complete);
    EXPECT_EQ(frame.item, "do_serwera");
    EXPECT_EQ(frame.data, std::string("SayIt|x\0", 8));
    EXPECT_EQ(TakeDdeFrame(bytes, &frame), FrameParse::Complete);
    EXPECT_EQ(frame.data, "go");
    EXPECT_TRUE(bytes.empty());
    for (std::string bad : {std::string("GET / HTTP/1.0\r\n"), std::string("\0\0\0\0", 4),
                            std::string("\x03\0\0\0C\x09\0", 7), std::string("\x01\0\0\0Z", 5)})
        EXPECT_EQ(TakeDdeFrame(bad, &frame), FrameParse::Bad);
    // Names that cannot be socket files are never connected to.
    EXPECT_EQ(DdeSocketPath("../x"), "");
    EXPECT_EQ(DdeSocketPath(""), "");
    EXPECT_EQ(DDEPokeData("a/b", "t", "i", "x"), 0);
}
