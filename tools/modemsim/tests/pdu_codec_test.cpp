// PDU reading and writing, text codings and number forms of the simulator.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "modemsim/modemsim.h"
#include "pdu_codec.h"
#include "text_coding.h"

using namespace modemsim;

TEST(PduCodec, ReadsTheSubmitPduOfTheDriver) {
    const DecodedPdu d = DecodePdu("0891680100000000F011000D91680100000000F100080006006100620063");
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_TRUE(d.isSubmit);
    EXPECT_EQ(d.serviceCentre, "8610000000000");
    EXPECT_EQ(d.serviceCentreType, 0x91);
    EXPECT_EQ(d.address, "8610000000001");
    EXPECT_EQ(d.addressType, 0x91);
    EXPECT_EQ(d.dataCoding, 0x08);
    EXPECT_EQ(d.alphabet, Coding::Ucs2);
    EXPECT_EQ(d.validityPeriodFormat, 2);
    ASSERT_EQ(d.validityPeriod.size(), 1u);
    EXPECT_EQ(d.userDataLength, 6);
    EXPECT_EQ(d.text, "abc");
    EXPECT_EQ(TpduLength("0891680100000000F011000D91680100000000F100080006006100620063"), 21);
}

TEST(PduCodec, RefusesPdusThatDoNotAddUp) {
    const std::string good = "0011000D91680100000000F100080006006100620063";
    ASSERT_TRUE(DecodePdu(good).ok);
    EXPECT_FALSE(DecodePdu(good.substr(0, good.size() - 2)).ok);  // user data short of its length
    EXPECT_FALSE(DecodePdu(good + "00").ok);                       // octets after the user data
    EXPECT_FALSE(DecodePdu(good.substr(0, 10)).ok);               // cut in the address
    EXPECT_FALSE(DecodePdu("0G11").ok);                           // not hexadecimal
    EXPECT_FALSE(DecodePdu("001").ok);                            // odd length
    EXPECT_FALSE(DecodePdu("0013000D91680100000000F100080006006100620063").ok);  // TP-MTI 11
    // Absolute validity period (TP-VPF 11): seven octets, read and skipped.
    const DecodedPdu abs = DecodePdu("0019000D91680100000000F10008" "32116021430523" "06006100620063");
    ASSERT_TRUE(abs.ok) << abs.error;
    EXPECT_EQ(abs.validityPeriod.size(), 7u);
    EXPECT_EQ(abs.text, "abc");
}

TEST(PduCodec, WritesDeliverPdusInEveryCodingAndReadsThemBack) {
    setenv("TZ", "UTC", 1);
    tzset();
    DeliverMessage message;
    message.sender = "+8613900000001";
    message.coding = Coding::Gsm7;
    message.text = "hello";
    std::tm tm{};
    tm.tm_year = 123;
    tm.tm_mon = 10;
    tm.tm_mday = 6;
    tm.tm_hour = 12;
    tm.tm_min = 34;
    tm.tm_sec = 50;
    message.time = std::chrono::system_clock::from_time_t(timegm(&tm));
    std::string hex, error;
    ASSERT_TRUE(EncodeDeliver(message, &hex, &error)) << error;
    // SC +8613800000000, DELIVER with TP-MMS, OA 13 digits international, 7-bit, hello packed.
    EXPECT_EQ(hex, "0891683108000000F0040D91683109000000F10000321160214305000" "5E8329BFD06");
    DecodedPdu d = DecodePdu(hex);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_FALSE(d.isSubmit);
    EXPECT_EQ(d.address, "8613900000001");
    EXPECT_EQ(d.timestamp, "23110612345000");
    EXPECT_EQ(d.text, "hello");

    message.text = "[x]~ \xE2\x82\xAC @";  // extension table and the commercial at (septet 0)
    ASSERT_TRUE(EncodeDeliver(message, &hex, &error)) << error;
    d = DecodePdu(hex);
    EXPECT_EQ(d.userDataLength, 12);
    EXPECT_EQ(d.text, message.text);

    message.coding = Coding::Ucs2;
    message.text = "\xE4\xBD\xA0\xE5\xA5\xBD \xF0\x9F\x98\x80";  // two Chinese characters, a space, an emoji
    ASSERT_TRUE(EncodeDeliver(message, &hex, &error)) << error;
    d = DecodePdu(hex);
    EXPECT_EQ(d.dataCoding, 0x08);
    EXPECT_EQ(d.userDataLength, 10);
    EXPECT_EQ(d.text, message.text);

    message.coding = Coding::EightBit;
    message.text = std::string("\x00\xFF\x41", 3);
    ASSERT_TRUE(EncodeDeliver(message, &hex, &error)) << error;
    d = DecodePdu(hex);
    EXPECT_EQ(d.dataCoding, 0x04);
    EXPECT_EQ(d.text, message.text);

    message.coding = Coding::Gsm7;
    message.text = "\xE4\xBD\xA0";  // no place in the 7-bit alphabet
    EXPECT_FALSE(EncodeDeliver(message, &hex, &error));
    message.text = std::string(161, 'a');
    EXPECT_FALSE(EncodeDeliver(message, &hex, &error));
    message.text = std::string(160, 'a');
    EXPECT_TRUE(EncodeDeliver(message, &hex, &error));
    message.coding = Coding::Ucs2;
    message.text = std::string(71, 'a');
    EXPECT_FALSE(EncodeDeliver(message, &hex, &error));
}

TEST(PduCodec, SkipsAUserDataHeaderAndItsFillBits) {
    // Concatenation header (6 octets = 7 septets with one fill bit), then "hi".
    std::vector<uint8_t> septets;
    ASSERT_TRUE(CodePointsToGsm7({'h', 'i'}, &septets));
    std::vector<uint8_t> ud = {0x05, 0x00, 0x03, 0x2A, 0x02, 0x01};
    const std::vector<uint8_t> text = PackSeptets(septets, 1);
    ud.insert(ud.end(), text.begin(), text.end());
    const std::string hex = "0051000D91680100000000F10000" "00" "09" + OctetsToHex(ud);
    const DecodedPdu d = DecodePdu(hex);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(OctetsToHex(d.userDataHeader), "00032A0201");
    EXPECT_EQ(d.text, "hi");
}

TEST(PduCodec, ReadsTheAlphabetOfEveryCodingGroup) {
    EXPECT_EQ(AlphabetOf(0x00), Coding::Gsm7);
    EXPECT_EQ(AlphabetOf(0x04), Coding::EightBit);
    EXPECT_EQ(AlphabetOf(0x08), Coding::Ucs2);
    EXPECT_EQ(AlphabetOf(0x10), Coding::Gsm7);
    EXPECT_EQ(AlphabetOf(0x18), Coding::Ucs2);
    EXPECT_EQ(AlphabetOf(0x24), Coding::EightBit);  // compressed
    EXPECT_EQ(AlphabetOf(0x48), Coding::Ucs2);      // automatic deletion group
    EXPECT_EQ(AlphabetOf(0xC0), Coding::Gsm7);
    EXPECT_EQ(AlphabetOf(0xE0), Coding::Ucs2);
    EXPECT_EQ(AlphabetOf(0xF0), Coding::Gsm7);
    EXPECT_EQ(AlphabetOf(0xF4), Coding::EightBit);
}

TEST(PduCodec, NormalisesEveryFormOfANumber) {
    for (const char* form : {"+8613900000002", "8613900000002", "13900000002", "013900000002", "008613900000002",
                             "+86 139 0000 0002"}) {
        EXPECT_EQ(NormaliseNumber(form, "86"), "8613900000002") << form;
    }
    EXPECT_EQ(NormaliseNumber("+4917012345678", "86"), "4917012345678");
    EXPECT_NE(NormaliseNumber("860086139000000", "86"), "8613900000002");
}
