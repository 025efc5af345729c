// RegisterTable: adding types, describing their fields, the device address
// format, and the three parsers (numbers, device addresses, register
// addresses), including the texts that must be refused.
#include "driver/register_table.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kelvora {
namespace {

// ---- AddType ---------------------------------------------------------------

TEST(RegisterTableAddTypeTest, OneFormatPerMaskBitInAscendingOrderWithDefaults) {
    RegisterTable table;
    ASSERT_EQ(1, table.AddType("M", 141, 3));
    const RegisterType& type = table.Type(0);
    EXPECT_STREQ("M", type.name);
    EXPECT_EQ(3, type.accessCode);
    EXPECT_EQ(141, type.dataTypeMask);
    ASSERT_EQ(4, type.formatCount);
    ASSERT_EQ(4u, type.formats.size());
    const int16_t expected[] = {1, 4, 8, 128};
    for (size_t i = 0; i < 4; ++i) {
        const DataTypeFormat& f = type.formats[i];
        EXPECT_EQ(expected[i], f.dataType);
        EXPECT_EQ(1, f.fieldCount);
        EXPECT_EQ('.', f.separator);
        EXPECT_EQ(10, f.radix);
        EXPECT_EQ(0, f.minimums[0]);
        EXPECT_EQ(65535, f.maximums[0]);
        EXPECT_EQ(0, f.maximums[1]);
        EXPECT_EQ(0, f.widths[0]);
    }
}

TEST(RegisterTableAddTypeTest, BitsAboveTheNinthStayInTheMaskWithoutFormats) {
    RegisterTable table;
    const int32_t mask = static_cast<int32_t>(0x80000000u | 0x400u | 0x100u | 0x1u);
    ASSERT_EQ(1, table.AddType("T", mask, 3));
    EXPECT_EQ(mask, table.Type(0).dataTypeMask);
    ASSERT_EQ(2, table.Type(0).formatCount);
    EXPECT_EQ(1, table.Type(0).formats[0].dataType);
    EXPECT_EQ(256, table.Type(0).formats[1].dataType);
    EXPECT_EQ(nullptr, table.Type(0).FormatFor(0x400));
}

TEST(RegisterTableAddTypeTest, AllNineBitsGiveNineFormats) {
    RegisterTable table;
    ASSERT_EQ(1, table.AddType("ALL", 0x1FF, 3));
    ASSERT_EQ(9, table.Type(0).formatCount);
    EXPECT_EQ(256, table.Type(0).formats[8].dataType);
}

TEST(RegisterTableAddTypeTest, TypesKeepTheOrderOfAdding) {
    RegisterTable table;
    for (const char* name : {"A", "B", "C"}) ASSERT_EQ(1, table.AddType(name, 4, 3));
    ASSERT_EQ(3u, table.TypeCount());
    EXPECT_STREQ("A", table.Type(0).name);
    EXPECT_STREQ("C", table.Type(2).name);
}

TEST(RegisterTableAddTypeTest, RefusesMissingEmptyAndOverlongNames) {
    RegisterTable table;
    EXPECT_EQ(0, table.AddType(nullptr, 4, 3));
    EXPECT_EQ(0, table.AddType("", 4, 3));
    EXPECT_EQ(0, table.AddType(std::string(40, 'X').c_str(), 4, 3));
    EXPECT_EQ(0u, table.TypeCount());
    ASSERT_EQ(1, table.AddType(std::string(39, 'X').c_str(), 4, 3));
    EXPECT_EQ(std::string(39, 'X'), table.Type(0).name);
}

// ---- SetFieldFormat --------------------------------------------------------

TEST(RegisterTableSetFieldFormatTest, SetsTheFieldsGiven) {
    RegisterTable table;
    table.AddType("M", 141, 3);
    const int32_t mins[] = {1, 2, 3};
    const int32_t maxs[] = {31, 1000, 31};
    const int32_t widths[] = {2, 0, 1};
    ASSERT_EQ(1, table.SetFieldFormat("M", 1, 3, 16, '/', mins, maxs, widths));
    const DataTypeFormat& f = *table.Type(0).FormatFor(1);
    EXPECT_EQ(3, f.fieldCount);
    EXPECT_EQ(16, f.radix);
    EXPECT_EQ('/', f.separator);
    EXPECT_EQ(3, f.minimums[2]);
    EXPECT_EQ(1000, f.maximums[1]);
    EXPECT_EQ(2, f.widths[0]);
    EXPECT_EQ(0, f.widths[3]);
    // The other data types of the type keep their defaults.
    EXPECT_EQ(1, table.Type(0).FormatFor(4)->fieldCount);
}

TEST(RegisterTableSetFieldFormatTest, NullArraysGiveZeroMinimumsFullMaximumsFreeWidths) {
    RegisterTable table;
    table.AddType("M", 4, 3);
    ASSERT_EQ(1, table.SetFieldFormat("M", 4, 3, 10, '.', nullptr, nullptr, nullptr));
    const DataTypeFormat& f = *table.Type(0).FormatFor(4);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(0, f.minimums[k]);
        EXPECT_EQ(65535, f.maximums[k]);
        EXPECT_EQ(0, f.widths[k]);
    }
    EXPECT_EQ(0, f.maximums[3]);
}

TEST(RegisterTableSetFieldFormatTest, FieldsBeyondTheCountKeepWhatTheyHeld) {
    RegisterTable table;
    table.AddType("M", 4, 3);
    const int32_t first[] = {7, 8, 9};
    ASSERT_EQ(1, table.SetFieldFormat("M", 4, 3, 10, '.', first, first, first));
    const int32_t second[] = {1};
    ASSERT_EQ(1, table.SetFieldFormat("M", 4, 1, 8, ':', second, second, second));
    const DataTypeFormat& f = *table.Type(0).FormatFor(4);
    EXPECT_EQ(1, f.maximums[0]);
    EXPECT_EQ(8, f.maximums[1]);
    EXPECT_EQ(9, f.widths[2]);

    ASSERT_EQ(1, table.SetFieldFormat("M", 4, 0, 16, '-', nullptr, nullptr, nullptr));
    EXPECT_EQ(0, f.fieldCount);
    EXPECT_EQ(16, f.radix);
    EXPECT_EQ('-', f.separator);
    EXPECT_EQ(1, f.maximums[0]);
}

TEST(RegisterTableSetFieldFormatTest, NameMustMatchExactlyAndAcceptTheDataType) {
    RegisterTable table;
    table.AddType("SMS", 4, 3);
    table.AddType("SMSC", 256, 3);
    EXPECT_EQ(0, table.SetFieldFormat("smsc", 256, 0, 10, '.', nullptr, nullptr, nullptr));
    EXPECT_EQ(0, table.SetFieldFormat("SMSC", 4, 0, 10, '.', nullptr, nullptr, nullptr));
    EXPECT_EQ(0, table.SetFieldFormat("SM", 4, 0, 10, '.', nullptr, nullptr, nullptr));
    EXPECT_EQ(0, table.SetFieldFormat(nullptr, 4, 0, 10, '.', nullptr, nullptr, nullptr));
    EXPECT_EQ(1, table.Type(1).formats[0].fieldCount);
    EXPECT_EQ(1, table.SetFieldFormat("SMSC", 256, 0, 10, '.', nullptr, nullptr, nullptr));
    EXPECT_EQ(0, table.Type(1).formats[0].fieldCount);
    EXPECT_EQ(1, table.Type(0).formats[0].fieldCount);
}

TEST(RegisterTableSetFieldFormatTest, FirstOfTwoEqualNamesIsChanged) {
    RegisterTable table;
    table.AddType("D", 4, 3);
    table.AddType("D", 4, 2);
    ASSERT_EQ(1, table.SetFieldFormat("D", 4, 2, 10, '.', nullptr, nullptr, nullptr));
    EXPECT_EQ(2, table.Type(0).formats[0].fieldCount);
    EXPECT_EQ(1, table.Type(1).formats[0].fieldCount);
}

TEST(RegisterTableSetFieldFormatTest, RefusesCountsOutsideTheFourFieldsAndUnknownRadixes) {
    RegisterTable table;
    table.AddType("M", 4, 3);
    const int32_t five[] = {1, 1, 1, 1, 1};
    EXPECT_EQ(0, table.SetFieldFormat("M", 4, 5, 10, '.', five, five, five));
    EXPECT_EQ(0, table.SetFieldFormat("M", 4, -1, 10, '.', nullptr, nullptr, nullptr));
    for (int32_t radix : {-1, 0, 2, 9, 36}) {
        EXPECT_EQ(0, table.SetFieldFormat("M", 4, 1, radix, '.', nullptr, nullptr, nullptr)) << radix;
    }
    const DataTypeFormat& f = *table.Type(0).FormatFor(4);
    EXPECT_EQ(1, f.fieldCount);
    EXPECT_EQ(10, f.radix);
    EXPECT_EQ(65535, f.maximums[0]);
    EXPECT_EQ(1, table.SetFieldFormat("M", 4, 4, 8, '.', five, five, five));
}

// ---- Device addresses ------------------------------------------------------

TEST(RegisterTableDeviceFormatTest, DefaultsToDecimalZeroTo255) {
    RegisterTable table;
    EXPECT_EQ(10, table.DeviceRadix());
    EXPECT_EQ(0, table.DeviceMinimum());
    EXPECT_EQ(255, table.DeviceMaximum());
}

TEST(RegisterTableDeviceFormatTest, RefusedSettingsChangeNothing) {
    RegisterTable table;
    EXPECT_EQ(0, table.SetDeviceAddressFormat(-1, 0, 31));
    EXPECT_EQ(0, table.SetDeviceAddressFormat(10, 5, 4));
    EXPECT_EQ(0, table.SetDeviceAddressFormat(10, 0, -1));   // compared as signed
    EXPECT_EQ(0, table.SetDeviceAddressFormat(2, 0, 31));
    EXPECT_EQ(10, table.DeviceRadix());
    EXPECT_EQ(255, table.DeviceMaximum());
    EXPECT_EQ(1, table.SetDeviceAddressFormat(16, -3, -3));
    EXPECT_EQ(16, table.DeviceRadix());
    EXPECT_EQ(-3, table.DeviceMinimum());
}

struct DeviceCase {
    int32_t radix, minimum, maximum;
    const char* text;
    int ok;
    int32_t value;
};

std::ostream& operator<<(std::ostream& out, const DeviceCase& c) {
    return out << '"' << c.text << "\" radix " << c.radix << " range " << c.minimum << ".." << c.maximum;
}

class ParseDeviceAddressTest : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(ParseDeviceAddressTest, ReadsTheWholeTextInTheRadix) {
    const DeviceCase& c = GetParam();
    RegisterTable table;
    ASSERT_EQ(1, table.SetDeviceAddressFormat(c.radix, c.minimum, c.maximum));
    int32_t number = -77;
    EXPECT_EQ(c.ok, table.ParseDeviceAddress(c.text, &number));
    EXPECT_EQ(c.ok ? c.value : -77, number);  // untouched on failure
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseDeviceAddressTest,
    ::testing::Values(
        DeviceCase{10, 0, 31, "", 1, 0}, DeviceCase{10, 0, 31, "31", 1, 31}, DeviceCase{10, 0, 31, "32", 0, 0},
        DeviceCase{10, 0, 31, "07", 1, 7}, DeviceCase{10, 0, 31, "0000000000031", 1, 31},
        DeviceCase{10, 0, 31, " 7", 0, 0}, DeviceCase{10, 0, 31, "7 ", 0, 0}, DeviceCase{10, 0, 31, "-1", 0, 0},
        DeviceCase{10, 0, 31, "+1", 0, 0}, DeviceCase{10, 0, 31, "1a", 0, 0},
        DeviceCase{10, 5, 31, "", 0, 0},  // the empty text is 0, and 0 is out of range
        DeviceCase{16, 0, 0xFFFF, "fF", 1, 255}, DeviceCase{16, 0, 0xFFFF, "Ab12", 1, 0xAB12},
        DeviceCase{16, 0, 0xFFFF, "g", 0, 0}, DeviceCase{8, 0, 255, "17", 1, 15}, DeviceCase{8, 0, 255, "8", 0, 0},
        DeviceCase{10, 0, 2147483647, "2147483647", 1, 2147483647},
        DeviceCase{10, 0, 2147483647, "2147483648", 0, 0},
        // Would wrap to 5 in 32-bit arithmetic: refused instead.
        DeviceCase{10, 0, 31, "4294967301", 0, 0},
        DeviceCase{16, -2147483647 - 1, 2147483647, "FFFFFFFF", 0, 0},
        DeviceCase{16, 0, 2147483647, "7FFFFFFF", 1, 2147483647}));

TEST(RegisterTableDeviceFormatTest, MissingArgumentsFail) {
    RegisterTable table;
    int32_t number = 0;
    EXPECT_EQ(0, table.ParseDeviceAddress(nullptr, &number));
    EXPECT_EQ(0, table.ParseDeviceAddress("1", nullptr));
}

// ---- ParseNumber -----------------------------------------------------------

struct NumberCase {
    const char* text;
    int32_t width, minimum, maximum, radix;
    int ok;
    int32_t value;  // the out-value after the call
};

std::ostream& operator<<(std::ostream& out, const NumberCase& c) {
    return out << '"' << c.text << "\" width " << c.width << " range " << c.minimum << ".." << c.maximum << " radix "
               << c.radix;
}

class ParseNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ParseNumberTest, ReadsOneField) {
    const NumberCase& c = GetParam();
    int32_t value = -99;
    EXPECT_EQ(c.ok, RegisterTable::ParseNumber(c.text, &value, c.width, c.minimum, c.maximum, c.radix));
    EXPECT_EQ(c.value, value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseNumberTest,
    ::testing::Values(
        // Free width: as many digits as follow, at least one.
        NumberCase{"250.7", 0, 0, 1000, 10, 1, 250}, NumberCase{"5x", 0, 0, 31, 10, 1, 5},
        NumberCase{".5", 0, 0, 31, 10, 0, 0}, NumberCase{"", 0, 0, 31, 10, 0, 0},
        NumberCase{"007", 0, 0, 31, 10, 1, 7}, NumberCase{"-1", 0, -5, 31, 10, 0, 0},
        // Range, both ends included; the value is left even when out of range.
        NumberCase{"31", 0, 0, 31, 10, 1, 31}, NumberCase{"32", 0, 0, 31, 10, 0, 32},
        NumberCase{"4", 0, 5, 31, 10, 0, 4},
        // Fixed width: exactly that many digits; the end of the text is no digit.
        NumberCase{"1234", 2, 0, 99, 10, 1, 12}, NumberCase{"1", 2, 0, 99, 10, 0, 1},
        NumberCase{"1x", 2, 0, 99, 10, 0, 1}, NumberCase{"", 3, 0, 99, 10, 0, 0},
        NumberCase{"12", -1, 0, 99, 10, 0, 0},
        // Radixes.
        NumberCase{"1f", 0, 0, 65535, 16, 1, 31}, NumberCase{"FFFF", 0, 0, 65535, 16, 1, 65535},
        NumberCase{"78", 0, 0, 65535, 8, 1, 7}, NumberCase{"9", 0, 0, 65535, 8, 0, 0},
        NumberCase{"101", 0, 0, 65535, 2, 0, 0}, NumberCase{"5", 0, 0, 65535, 0, 0, 0},
        // Values past 2147483647 are refused, not wrapped back into range.
        NumberCase{"4294967301", 0, 0, 31, 10, 0, 429496730},
        NumberCase{"2147483647", 0, 0, 2147483647, 10, 1, 2147483647},
        NumberCase{"00000000002147483647", 0, 0, 2147483647, 10, 1, 2147483647},
        NumberCase{"100000000", 0, 0, 2147483647, 16, 0, 0x10000000}));

TEST(ParseNumberNullTest, MissingTextFailsAndLeavesTheValue) {
    int32_t value = 12;
    EXPECT_EQ(0, RegisterTable::ParseNumber(nullptr, &value, 0, 0, 31, 10));
    EXPECT_EQ(12, value);
    EXPECT_EQ(0, RegisterTable::ParseNumber("1", nullptr, 0, 0, 31, 10));
}

// ---- ParseAddress ----------------------------------------------------------

struct AddressCase {
    const char* text;
    int16_t dataType;
    int ok;
    int16_t typeIndex;
    int32_t a0;
    int16_t a1, a2, a3;
};

// Types that exercise what the stations do not: widths, other separators,
// radixes, four fields and 16-bit truncation.
RegisterTable MakeTable() {
    RegisterTable table;
    table.AddType("W", 4 | 8 | 16, 3);
    const int32_t widths[] = {2, 3};
    const int32_t wmax[] = {99, 999};
    table.SetFieldFormat("W", 4, 2, 10, '.', nullptr, wmax, widths);
    const int32_t four[] = {65535, 70000, 65535, 65535};
    table.SetFieldFormat("W", 8, 4, 16, ':', nullptr, four, nullptr);
    table.SetFieldFormat("W", 16, 2, 10, '\0', nullptr, nullptr, nullptr);
    table.AddType("WORD", 4, 3);  // hidden behind W: never reached
    table.AddType("K", 4, 3);
    table.SetFieldFormat("K", 4, 0, 10, '.', nullptr, nullptr, nullptr);
    return table;
}

std::ostream& operator<<(std::ostream& out, const AddressCase& c) {
    return out << '"' << c.text << "\" data type " << c.dataType;
}

class ParseAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(ParseAddressTest, FillsTheRequest) {
    const AddressCase& c = GetParam();
    const RegisterTable table = MakeTable();
    RegisterRequest request{};
    request.dataType = c.dataType;
    ASSERT_EQ(c.ok, table.ParseAddress(c.text, &request)) << c.text;
    if (!c.ok) return;
    EXPECT_EQ(c.typeIndex, request.typeIndex);
    EXPECT_EQ(c.a0, request.address0);
    EXPECT_EQ(c.a1, request.address1);
    EXPECT_EQ(c.a2, request.address2);
    EXPECT_EQ(c.a3, request.address3);
    EXPECT_EQ(c.dataType, request.dataType);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseAddressTest,
    ::testing::Values(
        // A first width fixes where the first separator may stand.
        AddressCase{"W12.345", 4, 1, 0, 12, 345, 0, 0}, AddressCase{"w12.345", 4, 1, 0, 12, 345, 0, 0},
        AddressCase{"W1.345", 4, 0, 0, 0, 0, 0, 0}, AddressCase{"W123.345", 4, 0, 0, 0, 0, 0, 0},
        AddressCase{"W12.34", 4, 0, 0, 0, 0, 0, 0}, AddressCase{"W12.3456", 4, 1, 0, 12, 345, 0, 0},
        AddressCase{"W12", 4, 0, 0, 0, 0, 0, 0},
        // Four hexadecimal fields; above 16 bits only the low 16 bits are kept.
        AddressCase{"W1f:ff:0:FFFF", 8, 1, 0, 31, 255, 0, -1},
        AddressCase{"W0:11170:1:2", 8, 1, 0, 0, 0x1170, 1, 2},
        AddressCase{"W0:1:2", 8, 0, 0, 0, 0, 0, 0}, AddressCase{"W0:1:2:", 8, 0, 0, 0, 0, 0, 0},
        // A NUL separator is never found inside the text.
        AddressCase{"W1", 16, 0, 0, 0, 0, 0, 0},
        // "WORD..." is taken by W, the first type whose name begins the text.
        AddressCase{"WORD5", 4, 0, 0, 0, 0, 0, 0},
        // No fields: the exact name alone.
        AddressCase{"K", 4, 1, 2, 0, 0, 0, 0}, AddressCase{"k", 4, 0, 0, 0, 0, 0, 0},
        AddressCase{"K1", 4, 0, 0, 0, 0, 0, 0},
        // Unknown type, unaccepted or unknown data type, empty text.
        AddressCase{"X1", 4, 0, 0, 0, 0, 0, 0}, AddressCase{"W12.345", 1, 0, 0, 0, 0, 0, 0},
        AddressCase{"W12.345", 5, 0, 0, 0, 0, 0, 0}, AddressCase{"", 4, 0, 0, 0, 0, 0, 0}));

TEST(ParseAddressNullTest, MissingArgumentsFail) {
    const RegisterTable table = MakeTable();
    RegisterRequest request{};
    request.dataType = 4;
    EXPECT_EQ(0, table.ParseAddress(nullptr, &request));
    EXPECT_EQ(0, table.ParseAddress("W12.345", nullptr));
}

TEST(ParseAddressNullTest, EmptyTableAcceptsNothing) {
    RegisterTable table;
    RegisterRequest request{};
    request.dataType = 4;
    EXPECT_EQ(0, table.ParseAddress("M1", &request));
}

}  // namespace
}  // namespace kelvora
