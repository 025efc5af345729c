// The ANSI code page seam: GBK (code page 936) to and from UTF-16, as the
// modem layer uses it for message texts; and the tools' UTF-8 codec.
#include "platform/code_page.h"
#include "platform/utf8_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kelvora {
namespace {

TEST(CodePage, ChineseRoundTrip) {
    const char gbk[] = "\xC4\xE3\xBA\xC3 abc";  // 你好 abc
    uint16_t units[16];
    ASSERT_EQ(6, AnsiToUtf16(gbk, std::strlen(gbk), units, 16));
    EXPECT_EQ(0x4F60, units[0]);
    EXPECT_EQ(0x597D, units[1]);
    EXPECT_EQ(u' ', units[2]);
    char back[16];
    ASSERT_EQ(8, Utf16ToAnsi(units, 6, back, sizeof back));
    EXPECT_EQ(0, std::memcmp(gbk, back, 8));
}

TEST(CodePage, AnEmbeddedNulConverts) {
    uint16_t units[4] = {1, 1, 1, 1};
    EXPECT_EQ(2, AnsiToUtf16("a", 2, units, 4));
    EXPECT_EQ(0, units[1]);
}

TEST(CodePage, MissingCharactersBecomeTheDefaultCharacter) {
    const uint16_t thai[] = {0x0E01, u'a', 0xD83D, 0xDE00};  // ก, a, an emoji (a surrogate pair)
    char out[16];
    const int n = Utf16ToAnsi(thai, 4, out, sizeof out);
    ASSERT_GE(n, 3);
    EXPECT_EQ('?', out[0]);
    EXPECT_EQ('a', out[1]);
    EXPECT_EQ('?', out[2]);
}

TEST(CodePage, ABrokenSurrogateBecomesTheDefaultCharacterAndKeepsWhatFollows) {
    const uint16_t loneHigh[] = {0xD800, u'a', u'b'};
    char out[16];
    int n = Utf16ToAnsi(loneHigh, 3, out, sizeof out);
    ASSERT_EQ(3, n);
    EXPECT_EQ("?ab", std::string(out, 3));
    const uint16_t loneLow[] = {u'x', 0xDC00, u'a'};
    n = Utf16ToAnsi(loneLow, 3, out, sizeof out);
    ASSERT_EQ(3, n);
    EXPECT_EQ("x?a", std::string(out, 3));
}

TEST(CodePage, RefusesBrokenTextAndTooLittleRoom) {
    uint16_t units[8];
    EXPECT_EQ(-1, AnsiToUtf16("\x81", 1, units, 8));  // a lead byte alone
    EXPECT_EQ(-1, AnsiToUtf16("abcdef", 6, units, 3));
    const uint16_t wide[] = {0x4F60, 0x597D};
    char out[3];
    EXPECT_EQ(-1, Utf16ToAnsi(wide, 2, out, sizeof out));
    EXPECT_EQ(0, AnsiToUtf16("", 0, units, 8));
    EXPECT_EQ(0, Utf16ToAnsi(wide, 0, out, sizeof out));
}

TEST(Utf8Text, RoundTripsAndRefusesWhatIsNotUtf8) {
    const std::string text = "\xE4\xBD\xA0\xE5\xA5\xBD \xF0\x9F\x93\xA1";  // 你好, a satellite dish
    std::u16string units;
    ASSERT_TRUE(Utf8ToUtf16(text, &units));
    EXPECT_EQ((std::u16string{0x4F60, 0x597D, u' ', 0xD83D, 0xDCE1}), units);
    EXPECT_EQ(text, Utf16ToUtf8(units));
    for (const char* broken : {"\xC0\xAF", "\xED\xA0\x80", "\xE4\xBD", "\xF4\x90\x80\x80", "\xFF"}) {
        EXPECT_FALSE(Utf8ToUtf16(broken, &units)) << broken;
    }
    EXPECT_EQ("a\xEF\xBF\xBD" "b", Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b'}));
}

}  // namespace
}  // namespace kelvora
