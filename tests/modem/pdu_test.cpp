// SMS-SUBMIT encoding and SMS-DELIVER decoding, field by field. Some PDUs
// here were written by Gammu (an independent implementation): they are marked.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "modem/deliver_pdu.h"
#include "modem/submit_pdu.h"

namespace kelvora {
namespace {

SmsRecord SubmitRecord(const char* serviceCentre, const char* peer, const std::string& text) {
    SmsRecord record;
    std::memset(&record, 0, sizeof record);
    std::strncpy(record.serviceCentre, serviceCentre, sizeof record.serviceCentre - 1);
    std::strncpy(record.peerNumber, peer, sizeof record.peerNumber - 1);
    std::strncpy(record.text, text.c_str(), sizeof record.text - 1);
    record.codingScheme = 8;
    return record;
}

std::string Encode(const SmsRecord& record) {
    char out[kSubmitPduCapacity];
    const int n = EncodeSubmitPdu(record, out);
    EXPECT_EQ(static_cast<size_t>(n), std::strlen(out));
    return out;
}

SmsRecord Decode(const std::string& hex) {
    SmsRecord record;
    std::memset(&record, 0x55, sizeof record);  // every field must be written
    record.index = 42;
    DecodeDeliverPdu(hex.c_str(), record);
    return record;
}

TEST(SubmitPdu, EncodesTheSendSmsExample) {
    const SmsRecord record = SubmitRecord("8610000000000", "8610000000001", "abc");
    EXPECT_EQ("0891680100000000F011000D91680100000000F100080006006100620063", Encode(record));
}

TEST(SubmitPdu, FillsOddNumbersAndLeavesEvenOnes) {
    const std::string even = Encode(SubmitRecord("861380010050", "8613900000001", "a"));
    EXPECT_EQ("0791683108100005", even.substr(0, 16));
    const std::string odd = Encode(SubmitRecord("8613800100500", "86139000000012", "a"));
    EXPECT_EQ("0891683108100005F0", odd.substr(0, 18));
    EXPECT_EQ("0E9168310900000021", odd.substr(22, 18));  // TP-DA length counts digits
}

TEST(SubmitPdu, MatchesGammuForChineseText) {
    // Gammu 1.42: EncodePDU of a Submit to +8613900000001 via +8613800100500, 你好世界 in UCS2.
    const SmsRecord record = SubmitRecord("8613800100500", "8613900000001", "\xC4\xE3\xBA\xC3\xCA\xC0\xBD\xE7");
    EXPECT_EQ("0891683108100005F011000D91683109000000F1000800084F60597D4E16754C", Encode(record));
}

TEST(SubmitPdu, SixtyNineChineseCharactersFitAndSeventyOneDoNot) {
    std::string text;
    for (int i = 0; i < 69; ++i) text += "\xB2\xE2";  // 测
    SmsRecord record = SubmitRecord("8613800100500", "8613900000001", text);
    const std::string pdu = Encode(record);
    EXPECT_EQ("8A", pdu.substr(pdu.size() - 2 * 138 - 2, 2));

    const std::string tooLong(71, 'x');
    record = SubmitRecord("8613800100500", "8613900000001", tooLong);
    char out[kSubmitPduCapacity];
    EXPECT_EQ(0, EncodeSubmitPdu(record, out));
    EXPECT_STREQ("", out);
}

TEST(SubmitPdu, ATextThatDoesNotConvertIsNotEncodedAsAnEmptyMessage) {
    char out[kSubmitPduCapacity];
    // 129 to 160 characters need more code units than the conversion takes.
    for (size_t length : {129u, 140u, 160u}) {
        const SmsRecord record = SubmitRecord("8613800100500", "8613900000001", std::string(length, 'x'));
        EXPECT_EQ(0, EncodeSubmitPdu(record, out)) << length;
        EXPECT_STREQ("", out) << length;
    }
    const SmsRecord broken = SubmitRecord("8613800100500", "8613900000001", "ab\x81");  // half a GBK character
    EXPECT_EQ(0, EncodeSubmitPdu(broken, out));
    EXPECT_STREQ("", out);
    // An empty text is still an (empty) message.
    const SmsRecord empty = SubmitRecord("8613800100500", "8613900000001", "");
    EXPECT_EQ("0891683108100005F011000D91683109000000F100080000", Encode(empty));
}

TEST(SubmitPdu, RefusesRecordsItCannotWriteFaithfully) {
    char out[kSubmitPduCapacity];
    // Semi-octets carry the characters as they stand: no hexadecimal text, or another number.
    for (const char* number : {"+8613900000001", "86 139 0000 001", "8613900A00001", "861390000000F"}) {
        EXPECT_EQ(0, EncodeSubmitPdu(SubmitRecord("8613800100500", number, "abc"), out)) << number;
        EXPECT_EQ(0, EncodeSubmitPdu(SubmitRecord(number, "8613900000001", "abc"), out)) << number;
    }
    // The user data is UCS2 or 7-bit: a coding scheme that names 8-bit data, or 7-bit data
    // with a message class or compression, would have it misread.
    SmsRecord record = SubmitRecord("8613800100500", "8613900000001", "abc");
    for (uint8_t scheme : {0x04, 0x28, 0xF0, 0xF4}) {
        record.codingScheme = scheme;
        EXPECT_EQ(0, EncodeSubmitPdu(record, out)) << int{scheme};
    }
    for (uint8_t scheme : {0x08, 0x19, 0x48, 0xE0}) {
        record.codingScheme = scheme;
        EXPECT_EQ(60, EncodeSubmitPdu(record, out)) << int{scheme};
    }
}

TEST(SubmitPdu, WritesSevenBitUserDataForTheCharactersTheAlphabetSharesWithAscii) {
    char out[kSubmitPduCapacity];
    SmsRecord record = SubmitRecord("8613800100500", "8613900000001", "hello");
    record.codingScheme = 0x00;
    // TP-DCS 00, TP-UDL 5 septets in 5 octets (the user data of the deliver PDU below).
    EXPECT_EQ(2 * 29, EncodeSubmitPdu(record, out));
    EXPECT_STREQ("0891683108100005F011000D91683109000000F1000000" "05E8329BFD06", out);
    for (const char* text : {"a@b", "a$b", "a_b", "[x]"}) {  // other septets than in ASCII
        std::strcpy(record.text, text);
        EXPECT_EQ(0, EncodeSubmitPdu(record, out)) << text;
    }
    std::memset(record.text, 'A', 160);  // 160 septets fill the 140 octets
    EXPECT_EQ(2 * (24 + 140), EncodeSubmitPdu(record, out));
}

TEST(DeliverPdu, DecodesSevenBitWithServiceCentreSenderAndTimeStamp) {
    const SmsRecord r = Decode("0891683110000000F0040D91683110000001F100003211602143052305E8329BFD06");
    EXPECT_STREQ("8613010000000", r.serviceCentre);
    EXPECT_STREQ("8613010000101", r.peerNumber);
    EXPECT_EQ(0x91, r.peerTypeOfAddress);
    EXPECT_EQ(0, r.protocolId);
    EXPECT_EQ(0, r.codingScheme);
    EXPECT_STREQ("23110612345032", r.timestamp);
    EXPECT_STREQ("hello", r.text);
    EXPECT_EQ(42, r.index);  // the decoder leaves the index to the listing
}

TEST(DeliverPdu, SevenBitSeptetCounts) {
    const std::string head = "0891683110000000F0040D91683110000001F1000032116021430523";
    EXPECT_STREQ("abcdefgh", Decode(head + "08" + "61F1985C369FD1").text);
    EXPECT_STREQ("abcdefg", Decode(head + "07" + "61F1985C369F01").text);
    // Filler bits that are not zero still make no eighth character.
    EXPECT_STREQ("abcdefg", Decode(head + "07" + "61F1985C369FFF").text);
}

TEST(DeliverPdu, UserDataByCodingScheme) {
    const std::string head = "0891683110000000F0040D91683110000001F100";
    EXPECT_STREQ("abc", Decode(head + "08" + "32116021430523" + "06006100620063").text);
    const SmsRecord eight = Decode(head + "04" + "32116021430523" + "03414243");
    EXPECT_EQ(0x04, eight.codingScheme);
    EXPECT_STREQ("ABC", eight.text);
    EXPECT_STREQ("ABC", Decode(head + "F0" + "32116021430523" + "03414243").text);
    // A user-data header is not interpreted: it is decoded as text like the rest.
    const SmsRecord udh = Decode("0891683110000000F0440D91683110000001F1000432116021430523080500030102014142");
    EXPECT_EQ(0, std::memcmp(udh.text, "\x05\x00", 2));
    EXPECT_EQ(0, udh.text[1]);
}

TEST(DeliverPdu, DecodesGammuPdus) {
    // Written by Gammu 1.42 (lower-case hexadecimal, as it writes them).
    const SmsRecord ucs2 = Decode("0891683108100005f0000d91683109000000f1000832116021430500084f60597d4e16754c");
    EXPECT_STREQ("8613800100500", ucs2.serviceCentre);
    EXPECT_STREQ("8613900000001", ucs2.peerNumber);
    EXPECT_STREQ("23110612345000", ucs2.timestamp);
    EXPECT_STREQ("\xC4\xE3\xBA\xC3\xCA\xC0\xBD\xE7", ucs2.text);
    const SmsRecord octets = Decode("0891683108100005f0000d91683109000000f1000432116021430500050102616263");
    EXPECT_STREQ("\x01\x02" "abc", octets.text);
    const SmsRecord gsm = Decode("0891683108100005f0000d91683109000000f10000321160214305000fc8329bfd06dddf7236191493cd00");
    EXPECT_STREQ("Hello world 123", gsm.text);
}

TEST(DeliverPdu, ServiceCentreLengthZeroOrOne) {
    const SmsRecord none = Decode("00040D91683110000001F100003211602143052302E834");
    EXPECT_STREQ("", none.serviceCentre);
    EXPECT_STREQ("8613010000101", none.peerNumber);
    EXPECT_STREQ("hi", none.text);
    const SmsRecord typeOnly = Decode("0191040D91683110000001F100003211602143052302E834");
    EXPECT_STREQ("", typeOnly.serviceCentre);
    EXPECT_STREQ("8613010000101", typeOnly.peerNumber);
    EXPECT_STREQ("hi", typeOnly.text);
}

TEST(DeliverPdu, KeepsTheTypeOfAnAlphanumericSender) {
    const SmsRecord r = Decode("0891683110000000F0040DD0CB32DBFE96870100003211602143052307CB32DBFE968701");
    EXPECT_EQ(0xD0, r.peerTypeOfAddress);
    EXPECT_EQ(kTypeOfNumberAlphanumeric, r.PeerTypeOfNumber());
    EXPECT_STREQ("BC23BDEF697810", r.peerNumber);  // the packed name, as semi-octets
    EXPECT_STREQ("Kelvora", r.text);
}

TEST(DeliverPdu, CutsLongFieldsToTheRecord) {
    // A 20-digit sender and 7-bit UDL 200 (175 octets of 'A').
    std::string ud;
    for (int i = 0; i < 25; ++i) ud += "C16030180C0683";
    const SmsRecord r = Decode("00" "04" "1491" "21436587092143658709" "0000" "32116021430523" "C8" + ud);
    EXPECT_STREQ("123456789012345", r.peerNumber);
    EXPECT_EQ(160u, std::strlen(r.text));
    // 8-bit UDL 200 with all 200 octets there.
    const SmsRecord e = Decode("00040D91683110000001F10004" "32116021430523" "C8" + std::string(400, '4'));
    EXPECT_EQ(160u, std::strlen(e.text));
}

TEST(DeliverPdu, ReadsOnlyWhatThePduCarries) {
    // 8-bit UDL 10 with only 3 octets before the line end.
    const SmsRecord short8 = Decode("00040D91683110000001F10004" "32116021430523" "0A" "414243\r\nOK\r\n");
    EXPECT_STREQ("ABC", short8.text);
    // Cut inside the time stamp: what is there, and nothing after it.
    const SmsRecord cut = Decode("00040D91683110000001F1000032116021");
    EXPECT_STREQ("8613010000101", cut.peerNumber);
    EXPECT_STREQ("23110612", cut.timestamp);
    EXPECT_STREQ("", cut.text);
    // Cut inside the sender.
    const SmsRecord sender = Decode("0891683110000000F0040D916831");
    EXPECT_STREQ("8613", sender.peerNumber);
    EXPECT_STREQ("", sender.timestamp);
    // The length bound holds even without a terminator.
    SmsRecord bounded;
    DecodeDeliverPdu("00040D91683110000001F100003211602143052302E834", 30, bounded);
    EXPECT_STREQ("8613010000101", bounded.peerNumber);
    EXPECT_STREQ("", bounded.text);
    // Nothing at all.
    const SmsRecord empty = Decode("");
    EXPECT_STREQ("", empty.serviceCentre);
    EXPECT_STREQ("", empty.text);
}

}  // namespace
}  // namespace kelvora
