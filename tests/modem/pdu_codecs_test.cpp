// The PDU codecs: hexadecimal text, semi-octet numbers, 7-bit unpacking, UCS2
// in the ANSI code page (GBK), 8-bit copies.
#include "modem/pdu_codecs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kelvora {
namespace {

std::vector<uint8_t> Bytes(const std::string& hex) {
    std::vector<uint8_t> out(hex.size() / 2);
    HexToBytes(hex.data(), static_cast<int>(hex.size()), out.data());
    return out;
}

TEST(PduCodecs, BytesToHexWritesCapitalsAndNul) {
    const uint8_t bytes[] = {0x00, 0x1A, 0xAB, 0xFF};
    char out[16];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(8, BytesToHex(bytes, 4, out));
    EXPECT_STREQ("001AABFF", out);
    EXPECT_EQ(0, BytesToHex(bytes, 0, out));
    EXPECT_STREQ("", out);
    EXPECT_EQ(0, BytesToHex(bytes, -3, out));
}

TEST(PduCodecs, HexToBytesReadsBothCasesAndIgnoresAnOddTail) {
    uint8_t out[8] = {};
    EXPECT_EQ(2, HexToBytes("0aFf7", 5, out));
    EXPECT_EQ(0x0A, out[0]);
    EXPECT_EQ(0xFF, out[1]);
    EXPECT_EQ(0x00, out[2]);  // the odd "7" is left alone
    EXPECT_EQ(2, HexToBytes("c4e3", 4, out));
    EXPECT_EQ(0xC4, out[0]);
    EXPECT_EQ(0xE3, out[1]);
    EXPECT_EQ(0, HexToBytes("12", 0, out));
    EXPECT_EQ(0, HexToBytes("12", -2, out));
}

TEST(PduCodecs, SemiOctetsBothWays) {
    char out[32];
    EXPECT_EQ(14, DigitsToSemiOctets("8610000000001", 13, out));
    EXPECT_STREQ("680100000000F1", out);
    EXPECT_EQ(4, DigitsToSemiOctets("1234", 4, out));
    EXPECT_STREQ("2143", out);
    EXPECT_EQ(0, DigitsToSemiOctets("", 0, out));
    EXPECT_STREQ("", out);

    EXPECT_EQ(13, SemiOctetsToDigits("680100000000F1", 14, out));
    EXPECT_STREQ("8610000000001", out);
    EXPECT_EQ(13, SemiOctetsToDigits("680100000000f1", 14, out));  // lower-case filler
    EXPECT_STREQ("8610000000001", out);
    EXPECT_EQ(4, SemiOctetsToDigits("2143", 4, out));
    EXPECT_STREQ("1234", out);
    EXPECT_EQ(14, SemiOctetsToDigits("32116021430523", 14, out));
    EXPECT_STREQ("23110612345032", out);
}

TEST(PduCodecs, Unpack7BitFollowsTheSeptetPacking) {
    char out[300];
    auto hello = Bytes("E8329BFD06");
    EXPECT_EQ(5, Unpack7Bit(hello.data(), 5, out));
    EXPECT_STREQ("hello", out);

    auto eight = Bytes("61F1985C369FD1");  // 8 septets in 7 octets
    EXPECT_EQ(8, Unpack7Bit(eight.data(), 7, out));
    EXPECT_STREQ("abcdefgh", out);

    auto seven = Bytes("61F1985C369F01");  // 7 septets and 7 filler bits
    EXPECT_EQ(8, Unpack7Bit(seven.data(), 7, out));
    EXPECT_STREQ("abcdefg", out);
    EXPECT_EQ('\0', out[7]);

    EXPECT_EQ(0, Unpack7Bit(hello.data(), 0, out));
    EXPECT_STREQ("", out);
}

TEST(PduCodecs, Ucs2ToTextConvertsToGbk) {
    char out[kMaxTextBytes + 1];
    auto abc = Bytes("006100620063");
    EXPECT_EQ(3, Ucs2ToText(abc.data(), 6, out));
    EXPECT_STREQ("abc", out);

    auto chinese = Bytes("4F60597D4E16754C");  // 你好世界
    EXPECT_EQ(8, Ucs2ToText(chinese.data(), 8, out));
    EXPECT_STREQ("\xC4\xE3\xBA\xC3\xCA\xC0\xBD\xE7", out);

    auto thai = Bytes("0E01");  // a character GBK lacks: the default character
    EXPECT_EQ(1, Ucs2ToText(thai.data(), 2, out));
    EXPECT_STREQ("?", out);

    // 81 Chinese characters need 162 bytes: more than the text holds.
    std::vector<uint8_t> many;
    for (int i = 0; i < 81; ++i) {
        many.push_back(0x4F);
        many.push_back(0x60);
    }
    EXPECT_EQ(0, Ucs2ToText(many.data(), static_cast<int>(many.size()), out));
    EXPECT_STREQ("", out);
    // 80 of them fit exactly.
    EXPECT_EQ(160, Ucs2ToText(many.data(), 160, out));
}

TEST(PduCodecs, TextToUcs2WritesHighByteFirst) {
    uint8_t out[2 * kMaxUcs2Units];
    EXPECT_EQ(6, TextToUcs2("abc", 3, out));
    EXPECT_EQ((std::vector<uint8_t>{0, 'a', 0, 'b', 0, 'c'}), std::vector<uint8_t>(out, out + 6));
    EXPECT_EQ(4, TextToUcs2("\xC4\xE3\xBA\xC3", 4, out));
    EXPECT_EQ((std::vector<uint8_t>{0x4F, 0x60, 0x59, 0x7D}), std::vector<uint8_t>(out, out + 4));
    EXPECT_EQ(0, TextToUcs2("", 0, out));
    const std::string tooLong(kMaxUcs2Units + 1, 'x');
    EXPECT_EQ(0, TextToUcs2(tooLong.data(), static_cast<int>(tooLong.size()), out));
    const std::string longest(kMaxUcs2Units, 'x');
    EXPECT_EQ(2 * kMaxUcs2Units, TextToUcs2(longest.data(), static_cast<int>(longest.size()), out));
}

TEST(PduCodecs, Copy8BitCopiesAndEnds) {
    const uint8_t octets[] = {'a', 0x01, 0xFE};
    char out[8];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(3, Copy8Bit(octets, 3, out));
    EXPECT_EQ(0, std::memcmp(out, "a\x01\xFE", 4));
    EXPECT_EQ(0, Copy8Bit(octets, 0, out));
    EXPECT_EQ('\0', out[0]);
}

}  // namespace
}  // namespace kelvora
