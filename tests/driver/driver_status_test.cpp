// DriverStatus: the GBK texts byte for byte, the refused codes, and the
// reset that reports a text once.
#include "driver/driver_status.h"

#include <gtest/gtest.h>

#include <string>

namespace kelvora {
namespace {

struct CodeText {
    uint32_t code;
    const char* text;  // GBK bytes
};

const CodeText kTexts[] = {
    {0, "OK"},
    {1, "\xb3\xf5\xca\xbc\xbb\xaf\xc9\xe8\xb1\xb8\xb4\xed\xce\xf3!"},
    {2, "\xb4\xed\xce\xf3\xb5\xc4\xc9\xe8\xb1\xb8\xb5\xd8\xd6\xb7!"},
    {3, "\xb2\xbb\xd6\xa7\xb3\xd6\xb8\xc3\xbc\xc4\xb4\xe6\xc6\xf7!"},
    {4, "\xb4\xed\xce\xf3\xb5\xc4\xca\xfd\xbe\xdd\xc0\xe0\xd0\xcd!"},
    {5, "\xb6\xc1\xc9\xe8\xb1\xb8\xb4\xed\xce\xf3!"},
    {6, "\xd0\xb4\xc9\xe8\xb1\xb8\xb4\xed\xce\xf3!"},
    {7, "\xc9\xe8\xb1\xb8\xb3\xac\xca\xb1\xb2\xbb\xcf\xec\xd3\xa6!"},
    {8, "\xce\xb4\xd6\xaa\xb4\xed\xce\xf3!"},
};

TEST(DriverStatusTest, EachCodeHasItsGbkText) {
    for (const CodeText& entry : kTexts) {
        DriverStatus status;
        ASSERT_EQ(1, status.SetCode(entry.code)) << entry.code;
        EXPECT_EQ(std::string(entry.text), std::string(status.Text(false))) << "code " << entry.code;
        EXPECT_EQ(entry.code, status.Code());
    }
}

TEST(DriverStatusTest, TextsAreExactByteCounts) {
    // Two bytes per GBK character plus the ASCII "!": an escape that swallowed
    // a neighbour would change the length.
    DriverStatus status;
    const size_t lengths[] = {2, 15, 15, 15, 15, 11, 11, 15, 9};
    for (uint32_t code = 0; code < 9; ++code) {
        status.SetCode(code);
        EXPECT_EQ(lengths[code], std::string(status.Text(false)).size()) << "code " << code;
    }
}

TEST(DriverStatusTest, NewStatusIsOk) {
    DriverStatus status;
    EXPECT_EQ(kStatusOk, status.Code());
    EXPECT_STREQ("OK", status.Text(false));
}

TEST(DriverStatusTest, RefusesTheCustomCodeAndAnythingAbove) {
    for (uint32_t refused : {9u, 10u, 255u, 0xFFFFFFFFu}) {
        DriverStatus status;
        status.SetCode(kStatusWriteError);
        EXPECT_EQ(0, status.SetCode(refused)) << refused;
        EXPECT_EQ(kStatusWriteError, status.Code()) << refused;
        EXPECT_STREQ(kTexts[6].text, status.Text(false));
    }
}

TEST(DriverStatusTest, ResetReportsTheTextOnce) {
    DriverStatus status;
    status.SetCode(kStatusBadRegister);
    EXPECT_STREQ(kTexts[3].text, status.Text(true));
    EXPECT_EQ(kStatusOk, status.Code());
    EXPECT_STREQ("OK", status.Text(true));
}

TEST(DriverStatusTest, TextWithoutResetKeepsTheCode) {
    DriverStatus status;
    status.SetCode(kStatusReadError);
    status.Text(false);
    EXPECT_EQ(kStatusReadError, status.Code());
}

TEST(DriverStatusTest, TextPointerOutlivesTheReset) {
    DriverStatus status;
    status.SetCode(kStatusBadDeviceAddress);
    const char* text = status.Text(true);
    status.SetCode(kStatusInitFailed);
    EXPECT_STREQ(kTexts[2].text, text);
}

}  // namespace
}  // namespace kelvora
