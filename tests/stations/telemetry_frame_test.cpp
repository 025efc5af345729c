// TelemetryFrame: the two frames as the peers write them, and reading them
// back with the field conversions the peers use; texts that are no frame of
// the kind are refused, and nothing is read past a text's end.
#include "stations/telemetry_frame.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <memory>
#include <string>

namespace kelvora {
namespace {

// ---- Writing ---------------------------------------------------------------

TEST(TelemetryFrameFormatTest, WriteCommandHasTheFixedLayout) {
    EXPECT_EQ("BEGINWM0502700001A2BEND", FormatWriteCommand(5, 27, 0x1A2B));
    EXPECT_EQ("BEGINWM3199900000000END", FormatWriteCommand(31, 999, 0));
    EXPECT_EQ("BEGINWM00000FFFFFFFFEND", FormatWriteCommand(0, 0, 0xFFFFFFFFu));
    EXPECT_EQ(kWriteCommandLength, FormatWriteCommand(7, 123, 42).size());
}

TEST(TelemetryFrameFormatTest, ReportHasTheFixedLayout) {
    const uint32_t values[kGroupSize] = {1, 2, 3, 4, 0xFFFFFFFFu};
    const std::string report = FormatReport(3, 10, values);
    EXPECT_EQ("BEGINRM0301000000001000000020000000300000004FFFFFFFFEND", report);
    EXPECT_EQ(kReportLength, report.size());
}

TEST(TelemetryFrameFormatTest, FourDigitAddressesGiveTextsTheReaderRefuses) {
    const std::string command = FormatWriteCommand(5, 1000, 1);
    EXPECT_EQ(24u, command.size());
    WriteCommand parsed{};
    EXPECT_FALSE(ParseWriteCommand(command.c_str(), &parsed));

    const uint32_t values[kGroupSize] = {};
    const std::string report = FormatReport(5, 1000, values);
    EXPECT_EQ(56u, report.size());
    Report parsedReport{};
    EXPECT_FALSE(ParseReport(report.c_str(), &parsedReport));
}

TEST(TelemetryFrameFormatTest, RoundTripsEveryGroupOfASite) {
    for (int32_t first = 0; first <= 995; first += kGroupSize) {
        const uint32_t values[kGroupSize] = {static_cast<uint32_t>(first), 0x80000000u, 0xDEADBEEFu, 7, 0};
        Report report{};
        ASSERT_TRUE(ParseReport(FormatReport(31, first, values).c_str(), &report)) << first;
        EXPECT_EQ(31, report.site);
        EXPECT_EQ(first, report.firstAddress);
        for (int i = 0; i < kGroupSize; ++i) EXPECT_EQ(values[i], report.values[i]);
    }
}

// ---- Reading ---------------------------------------------------------------

TEST(TelemetryFrameParseTest, ReadsAWriteCommand) {
    WriteCommand command{};
    ASSERT_TRUE(ParseWriteCommand("BEGINWM0502700001A2BEND", &command));
    EXPECT_EQ(5, command.site);
    EXPECT_EQ(27, command.address);
    EXPECT_EQ(0x1A2Bu, command.value);
}

TEST(TelemetryFrameParseTest, ReadsAReport) {
    Report report{};
    ASSERT_TRUE(ParseReport("BEGINRM0301000000001000000020000000300000004FFFFFFFFEND", &report));
    EXPECT_EQ(3, report.site);
    EXPECT_EQ(10, report.firstAddress);
    const uint32_t expected[kGroupSize] = {1, 2, 3, 4, 0xFFFFFFFFu};
    for (int i = 0; i < kGroupSize; ++i) EXPECT_EQ(expected[i], report.values[i]) << i;
}

struct RefusedText {
    const char* why;
    const char* text;
};

std::ostream& operator<<(std::ostream& out, const RefusedText& c) { return out << c.why; }

class RefusedWriteCommandTest : public ::testing::TestWithParam<RefusedText> {};

TEST_P(RefusedWriteCommandTest, IsNoFrame) {
    WriteCommand command{7, 7, 7};
    EXPECT_FALSE(ParseWriteCommand(GetParam().text, &command)) << GetParam().why;
    EXPECT_EQ(7, command.site);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RefusedWriteCommandTest,
    ::testing::Values(RefusedText{"small type code", "BEGINwm0502700001A2BEND"},
                      RefusedText{"report code", "BEGINRM0502700001A2BEND"},
                      RefusedText{"one short", "BEGINWM0502700001A2BEN"},
                      RefusedText{"one long", "BEGINWM0502700001A2BENDX"},
                      RefusedText{"no END", "BEGINWM0502700001A2BXYZ"},
                      RefusedText{"no BEGIN", "BEGIXWM0502700001A2BEND"},
                      RefusedText{"small begin", "beginWM0502700001A2BEND"},
                      RefusedText{"BEGIN not first", "XBEGINWM050270001A2BEND"},
                      RefusedText{"BEGIN at the end", "ENDXXXXXXXXXXXXXXXBEGIN"},
                      RefusedText{"empty", ""}, RefusedText{"plain SMS", "Hello, see you at 5"},
                      RefusedText{"missing", nullptr}));

TEST(TelemetryFrameParseTest, ReportOfAnotherLengthOrCodeIsRefused) {
    Report report{};
    const std::string good = "BEGINRM0301000000001000000020000000300000004FFFFFFFFEND";
    EXPECT_FALSE(ParseReport(good.substr(0, 54).c_str(), &report));
    EXPECT_FALSE(ParseReport((good + "0").c_str(), &report));
    std::string lower = good;
    lower[5] = 'r';
    EXPECT_FALSE(ParseReport(lower.c_str(), &report));
    EXPECT_FALSE(ParseReport("BEGINWM0502700001A2BEND", &report));
    EXPECT_FALSE(ParseWriteCommand(good.c_str(), nullptr));
    std::string shifted = "X" + good.substr(0, 54);
    EXPECT_FALSE(ParseReport(shifted.c_str(), &report));
}

TEST(TelemetryFrameParseTest, EndMayStandAnywhere) {
    // Only the presence of "END" counts; the frame's own last three
    // characters are not examined.
    WriteCommand command{};
    ASSERT_TRUE(ParseWriteCommand("BEGINWM05END0000001FXYZ", &command));
    EXPECT_EQ(5, command.site);
    EXPECT_EQ(0, command.address);  // "END" reads as no digits
    EXPECT_EQ(0x1Fu, command.value);
}

TEST(TelemetryFrameParseTest, ShiftedBeginIsNeverReadPastTheText) {
    // The frame's own length, but "BEGIN" later than offset 0: its fields
    // would lie past the end. Kept on the heap at the exact size so that an
    // over-read shows under AddressSanitizer.
    const std::string text = "ENDBEGINWM0502700001A2B";
    std::unique_ptr<char[]> exact(new char[text.size() + 1]);
    std::memcpy(exact.get(), text.c_str(), text.size() + 1);
    WriteCommand command{};
    EXPECT_FALSE(ParseWriteCommand(exact.get(), &command));
}

// Site and address read as atoi reads them.
struct DecimalCase {
    const char* site;
    const char* address;
    int32_t expectedSite;
    int32_t expectedAddress;
};

std::ostream& operator<<(std::ostream& out, const DecimalCase& c) {
    return out << '"' << c.site << "\" \"" << c.address << '"';
}

class DecimalFieldTest : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(DecimalFieldTest, ReadsLikeAtoi) {
    const DecimalCase& c = GetParam();
    const std::string text = std::string("BEGINWM") + c.site + c.address + "0000002AEND";
    ASSERT_EQ(kWriteCommandLength, text.size());
    WriteCommand command{};
    ASSERT_TRUE(ParseWriteCommand(text.c_str(), &command)) << text;
    EXPECT_EQ(c.expectedSite, command.site) << text;
    EXPECT_EQ(c.expectedAddress, command.address) << text;
    EXPECT_EQ(0x2Au, command.value);
}

INSTANTIATE_TEST_SUITE_P(Fields, DecimalFieldTest,
                         ::testing::Values(DecimalCase{"05", "027", 5, 27}, DecimalCase{"-1", "-12", -1, -12},
                                           DecimalCase{" 7", "  9", 7, 9}, DecimalCase{"+3", "+99", 3, 99},
                                           DecimalCase{"3A", "1B2", 3, 1}, DecimalCase{"XX", "ABC", 0, 0},
                                           DecimalCase{"32", "999", 32, 999}, DecimalCase{"--", "- 1", 0, 0}));

// Values read as sscanf("%X") reads them.
struct HexCase {
    const char* field;  // eight characters
    uint32_t expected;
};

std::ostream& operator<<(std::ostream& out, const HexCase& c) { return out << '"' << c.field << '"'; }

class HexFieldTest : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexFieldTest, ReadsLikeScanfHex) {
    const HexCase& c = GetParam();
    const std::string text = std::string("BEGINWM05027") + c.field + "END";
    ASSERT_EQ(kWriteCommandLength, text.size());
    WriteCommand command{};
    ASSERT_TRUE(ParseWriteCommand(text.c_str(), &command)) << text;
    EXPECT_EQ(c.expected, command.value) << c.field;
}

TEST_P(HexFieldTest, AgreesWithTheCLibrary) {
    // The reading is written out by hand so that both platforms read alike;
    // it must still be what the peers' sscanf("%X") makes of the field.
    unsigned int scanned = 0;
    (void)std::sscanf(GetParam().field, "%X", &scanned);
    EXPECT_EQ(GetParam().expected, scanned) << GetParam().field;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, HexFieldTest,
    ::testing::Values(HexCase{"0000001f", 0x1F}, HexCase{"0000001F", 0x1F}, HexCase{"FFFFFFFF", 0xFFFFFFFFu},
                      HexCase{"12G45678", 0x12}, HexCase{"GGGGGGGG", 0}, HexCase{"        ", 0},
                      HexCase{"  00ABCD", 0xABCD}, HexCase{"0x00001F", 0x1F}, HexCase{"0X7fffff", 0x7FFFFF},
                      HexCase{"0xZZZZZZ", 0}, HexCase{"-0000001", 0xFFFFFFFFu}, HexCase{"+000000A", 0xA},
                      HexCase{"-0x00010", 0xFFFFFFF0u}, HexCase{"-XXXXXXX", 0}, HexCase{"\t\n0000AB", 0xAB}));

TEST(TelemetryFrameParseTest, ReportValueFieldsAreReadApart) {
    // A field's digits never run into the next field.
    Report report{};
    ASSERT_TRUE(ParseReport("BEGINRM0000512345678  00000Aabcdef01-0000001GGGGGGGGEND", &report));
    EXPECT_EQ(0, report.site);
    EXPECT_EQ(5, report.firstAddress);
    EXPECT_EQ(0x12345678u, report.values[0]);
    EXPECT_EQ(0xAu, report.values[1]);
    EXPECT_EQ(0xABCDEF01u, report.values[2]);
    EXPECT_EQ(0xFFFFFFFFu, report.values[3]);
    EXPECT_EQ(0u, report.values[4]);
}

// ---- The receivers' ranges -------------------------------------------------

TEST(TelemetryFrameRangeTest, SitesAndAddresses) {
    EXPECT_TRUE(IsSiteNumber(0));
    EXPECT_TRUE(IsSiteNumber(31));
    EXPECT_FALSE(IsSiteNumber(32));
    EXPECT_FALSE(IsSiteNumber(-1));
    EXPECT_TRUE(IsSiteAddress(0));
    EXPECT_TRUE(IsSiteAddress(1000));
    EXPECT_FALSE(IsSiteAddress(1001));
    EXPECT_FALSE(IsSiteAddress(-1));
    EXPECT_EQ(995, GroupStart(999));
    EXPECT_EQ(1000, GroupStart(1000));
    EXPECT_EQ(0, GroupStart(4));
}

}  // namespace
}  // namespace kelvora
