// The sender check's number normalisation and matching.
#include "stations/sender_check.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kelvora::testing {
namespace {

SmsRecord From(const char* number, uint8_t typeOfAddress = 0x91) {
    SmsRecord record{};
    std::strncpy(record.peerNumber, number, sizeof record.peerNumber - 1);
    record.peerTypeOfAddress = typeOfAddress;
    return record;
}

TEST(NormaliseNumberTest, ReducesTheUsualWritingsOfOneNumberToTheSameDigits) {
    for (const char* n : {"+8613800138000", "8613800138000", "008613800138000", "13800138000", "013800138000",
                          "+86 138-0013-8000", "(0086) 138 0013 8000"}) {
        EXPECT_EQ("13800138000", ComparableNumber(n)) << n;
    }
    EXPECT_EQ("1012345678", ComparableNumber("01012345678"));
    EXPECT_EQ("861012345678", ComparableNumber("+861012345678"));  // only 10 digits would remain
    EXPECT_EQ("8612345", ComparableNumber("8612345"));
    EXPECT_EQ("", ComparableNumber("centre"));
    EXPECT_EQ("", ComparableNumber("0"));
}

TEST(SenderAcceptedTest, EmptyDetcAcceptsEverySender) {
    EXPECT_TRUE(SenderAccepted("", From("8613999999999")));
    EXPECT_TRUE(SenderAccepted("", From("", 0xD0)));
}

TEST(SenderAcceptedTest, OnlyTheConfiguredNumberMatches) {
    EXPECT_TRUE(SenderAccepted("+8613800138000", From("8613800138000")));
    EXPECT_TRUE(SenderAccepted("013800138000", From("8613800138000")));
    EXPECT_FALSE(SenderAccepted("+8613800138000", From("8613800138001")));
    EXPECT_FALSE(SenderAccepted("+8613800138000", From("")));
    EXPECT_FALSE(SenderAccepted("+8613800138000", From("38000")));
    // A site abroad, its number written with its country code as it is sent to.
    EXPECT_TRUE(SenderAccepted("+447700900123", From("447700900123")));
    EXPECT_TRUE(SenderAccepted("00447700900123", From("447700900123")));
    EXPECT_FALSE(SenderAccepted("+447700900123", From("8613800138000")));
}

TEST(SenderAcceptedTest, AlphanumericSendersAndDigitlessDetcNeverMatch) {
    // An alphanumeric sender whose decoded characters happen to be digits.
    EXPECT_FALSE(SenderAccepted("+8613800138000", From("8613800138000", 0xD0)));
    EXPECT_FALSE(SenderAccepted("central", From("8613800138000")));
    EXPECT_FALSE(SenderAccepted("00", From("00")));
    EXPECT_FALSE(SenderAccepted("+", From("")));
}

}  // namespace
}  // namespace kelvora::testing
