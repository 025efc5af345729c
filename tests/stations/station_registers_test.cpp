// The stations' register types: what the host's register list shows, and
// which register and device addresses each station accepts.
#include "stations/station_registers.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "driver/test_driver.h"

namespace kelvora {
namespace {

using testing::FakeStation;

struct ListEntry {
    const char* name;
    int32_t accessCode;
    int32_t mask;
};

void ExpectRegisterList(DriverBase& driver, const std::vector<ListEntry>& expected) {
    RegisterInfo* list = nullptr;
    uint16_t count = 0;
    ASSERT_EQ(static_cast<int32_t>(expected.size()), driver.GetRegisterList(&list, &count));
    ASSERT_EQ(expected.size(), count);
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_STREQ(expected[i].name, list[i].name) << i;
        EXPECT_EQ(0, list[i].zero) << i;
        EXPECT_EQ(255, list[i].limit) << i;
        EXPECT_EQ(expected[i].accessCode, list[i].accessCode) << i;
        EXPECT_EQ(expected[i].mask, list[i].dataTypeMask) << i;
        EXPECT_EQ(expected[i].mask, list[i].dataTypeMask2) << i;
    }
}

TEST(StationRegistersTest, CentralListsFourTypes) {
    FakeStation station;
    AddCentralRegisterTypes(station.driver);
    ExpectRegisterList(station.driver, {{"M", 3, 141}, {"SEND_MSG", 3, 256}, {"SMSC", 3, 256}, {"DETC", 3, 256}});
}

TEST(StationRegistersTest, RemoteListsFiveTypesWithComflagLast) {
    FakeStation station;
    AddRemoteRegisterTypes(station.driver);
    ExpectRegisterList(station.driver,
                       {{"M", 3, 141}, {"SEND_MSG", 3, 256}, {"SMSC", 3, 256}, {"DETC", 3, 256}, {"COMFLAG", 3, 1}});
}

struct AddressCase {
    const char* text;
    int16_t dataType;
    int ok;
    int16_t typeIndex;
    int32_t a0;
    int16_t a1, a2;
};

std::ostream& operator<<(std::ostream& out, const AddressCase& c) {
    return out << '"' << c.text << "\" data type " << c.dataType;
}

void ExpectAddress(DriverBase& driver, const AddressCase& c) {
    RegisterRequest request{};
    request.dataType = c.dataType;
    ASSERT_EQ(c.ok, driver.ParseAddress(c.text, &request)) << c.text << " / " << c.dataType;
    EXPECT_EQ(c.ok ? kStatusOk : kStatusBadRegister, driver.status.Code());
    if (!c.ok) return;
    EXPECT_EQ(c.typeIndex, request.typeIndex) << c.text;
    EXPECT_EQ(c.a0, request.address0) << c.text;
    EXPECT_EQ(c.a1, request.address1) << c.text;
    EXPECT_EQ(c.a2, request.address2) << c.text;
}

class CentralAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(CentralAddressTest, Parses) {
    FakeStation station;
    AddCentralRegisterTypes(station.driver);
    ExpectAddress(station.driver, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, CentralAddressTest,
    ::testing::Values(
        // Bits: site, address, bit.
        AddressCase{"M3.250.7", kDataBit, 1, kTypeM, 3, 250, 7}, AddressCase{"m3.250.7", kDataBit, 1, kTypeM, 3, 250, 7},
        AddressCase{"M3.250.7.9", kDataBit, 1, kTypeM, 3, 250, 7}, AddressCase{"M31.1000.31", kDataBit, 1, kTypeM, 31, 1000, 31},
        AddressCase{"M3.250", kDataBit, 0, 0, 0, 0, 0}, AddressCase{"M32.0.0", kDataBit, 0, 0, 0, 0, 0},
        AddressCase{"M3.1001.0", kDataBit, 0, 0, 0, 0, 0}, AddressCase{"M3.0.32", kDataBit, 0, 0, 0, 0, 0},
        AddressCase{"M.1.2", kDataBit, 0, 0, 0, 0, 0},
        // Values: site, address.
        AddressCase{"M0.1000", kDataInt, 1, kTypeM, 0, 1000, 0}, AddressCase{"M5x.7", kDataInt, 1, kTypeM, 5, 7, 0},
        AddressCase{"M3.250", kDataWord, 1, kTypeM, 3, 250, 0}, AddressCase{"M03.0250", kDataFloat, 1, kTypeM, 3, 250, 0},
        AddressCase{"M3", kDataInt, 0, 0, 0, 0, 0}, AddressCase{"M-1.5", kDataInt, 0, 0, 0, 0, 0},
        AddressCase{"M3.250", kDataText, 0, 0, 0, 0, 0}, AddressCase{"M3.250", 2, 0, 0, 0, 0, 0},
        // 4294967301 would wrap to site 5 in 32-bit arithmetic; refused.
        AddressCase{"M4294967301.1", kDataInt, 0, 0, 0, 0, 0},
        AddressCase{"M3.4294968296", kDataInt, 0, 0, 0, 0, 0},
        AddressCase{"M3.250.4294967303", kDataBit, 0, 0, 0, 0, 0},
        // Texts: site.
        AddressCase{"SEND_MSG7", kDataText, 1, kTypeSendMsg, 7, 0, 0}, AddressCase{"send_msg7", kDataText, 1, kTypeSendMsg, 7, 0, 0},
        AddressCase{"SEND_MSG", kDataText, 0, 0, 0, 0, 0}, AddressCase{"SEND_MSG7", kDataBit, 0, 0, 0, 0, 0},
        AddressCase{"SEND_MSG32", kDataText, 0, 0, 0, 0, 0},
        AddressCase{"SMSC0", kDataText, 1, kTypeSmsc, 0, 0, 0}, AddressCase{"DETC31", kDataText, 1, kTypeDetc, 31, 0, 0},
        // "MSG1" is taken by M, which then fails; SEND_MSG is never tried.
        AddressCase{"MSG1", kDataText, 0, 0, 0, 0, 0}, AddressCase{"MSG1", kDataInt, 0, 0, 0, 0, 0}));

class RemoteAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(RemoteAddressTest, Parses) {
    FakeStation station;
    AddRemoteRegisterTypes(station.driver);
    ExpectAddress(station.driver, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, RemoteAddressTest,
    ::testing::Values(
        AddressCase{"M1000", kDataInt, 1, kTypeM, 1000, 0, 0}, AddressCase{"M0", kDataBit, 1, kTypeM, 0, 0, 0},
        AddressCase{"m17", kDataFloat, 1, kTypeM, 17, 0, 0}, AddressCase{"M999", kDataWord, 1, kTypeM, 999, 0, 0},
        AddressCase{"M1001", kDataInt, 0, 0, 0, 0, 0}, AddressCase{"M", kDataInt, 0, 0, 0, 0, 0},
        AddressCase{"M5", kDataText, 0, 0, 0, 0, 0},
        AddressCase{"SEND_MSG", kDataText, 1, kTypeSendMsg, 0, 0, 0}, AddressCase{"SEND_MSG5", kDataText, 0, 0, 0, 0, 0},
        AddressCase{"SMSC", kDataText, 1, kTypeSmsc, 0, 0, 0}, AddressCase{"smsc", kDataText, 0, 0, 0, 0, 0},
        AddressCase{"SMSC1", kDataText, 0, 0, 0, 0, 0}, AddressCase{"DETC", kDataText, 1, kTypeDetc, 0, 0, 0},
        AddressCase{"COMFLAG", kDataBit, 1, kTypeComFlag, 0, 0, 0}, AddressCase{"COMFLAG", kDataText, 0, 0, 0, 0, 0},
        AddressCase{"ComFlag", kDataBit, 0, 0, 0, 0, 0}));

struct DeviceCase {
    const char* text;
    int ok;
    int32_t value;
};

std::ostream& operator<<(std::ostream& out, const DeviceCase& c) { return out << '"' << c.text << '"'; }

class StationDeviceAddressTest : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(StationDeviceAddressTest, DecimalZeroTo31OnBothStations) {
    const DeviceCase& c = GetParam();
    for (bool central : {true, false}) {
        FakeStation station;
        if (central) AddCentralRegisterTypes(station.driver);
        else AddRemoteRegisterTypes(station.driver);
        int32_t number = -9;
        EXPECT_EQ(c.ok, station.driver.ParseDeviceAddress(c.text, &number)) << c.text;
        EXPECT_EQ(c.ok ? c.value : -9, number) << c.text;
        EXPECT_EQ(c.ok ? kStatusOk : kStatusBadDeviceAddress, station.driver.status.Code());
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, StationDeviceAddressTest,
                         ::testing::Values(DeviceCase{"", 1, 0}, DeviceCase{"31", 1, 31}, DeviceCase{"32", 0, 0},
                                           DeviceCase{"07", 1, 7}, DeviceCase{" 7", 0, 0}, DeviceCase{"7 ", 0, 0},
                                           DeviceCase{"-1", 0, 0}, DeviceCase{"1F", 0, 0},
                                           DeviceCase{"4294967301", 0, 0}));

}  // namespace
}  // namespace kelvora
