// The road of one write and one report, driven as a host drives it: through
// the IDeviceDriver tables of a central station and a remote station whose
// ports lead to two modems of one SMS network. Shared by the native test
// (libkelvora.so) and the Wine test (Kelvora.dll through COM).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/host_records.h"
#include "driver/i_device_driver.h"

namespace kelvora::road {

// One station on its port, as the host keeps it.
struct HostDevice {
    IDeviceDriver* driver = nullptr;
    LineSettings line{};
    PortConfig config{};
    int32_t deviceAddress = 0;

    HostDevice(IDeviceDriver* d, int comNumber) : driver(d) {
        line.portIndex = static_cast<int16_t>(comNumber - 1);
        line.baudCode = 6;  // 9600
        line.eightDataBits = 1;
        line.parityCode = 2;  // none
        line.timeout = 3000;
        config.lineSettings = &line;
    }

    ::testing::AssertionResult Parse(const char* address, int16_t dataType, RegisterRequest* request) {
        std::memset(request, 0, sizeof *request);
        request->dataType = dataType;
        if (driver->ParseAddress(address, request) == 1) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << address << ": " << driver->GetStatusText();
    }
    ::testing::AssertionResult WriteText(const char* address, const std::string& text) {
        RegisterRequest request;
        RegisterValue value{};
        std::strncpy(value.textValue, text.c_str(), sizeof value.textValue - 1);
        const auto parsed = Parse(address, kDataText, &request);
        if (!parsed) return parsed;
        if (driver->Write(&deviceAddress, &request, &value) != 1) return ::testing::AssertionFailure() << address;
        return ::testing::AssertionSuccess();
    }
    ::testing::AssertionResult WriteNumber(const char* address, int16_t dataType, int32_t number) {
        RegisterRequest request;
        RegisterValue value{};
        value.bitValue = number;
        value.intValue = number;
        const auto parsed = Parse(address, dataType, &request);
        if (!parsed) return parsed;
        if (driver->Write(&deviceAddress, &request, &value) != 1) return ::testing::AssertionFailure() << address;
        return ::testing::AssertionSuccess();
    }
    int32_t ReadInt(const char* address) {
        RegisterRequest request;
        RegisterValue value{};
        value.intValue = -12345;
        if (!Parse(address, kDataInt, &request)) return -12345;
        if (driver->Read(&deviceAddress, &request, &value) != 1) return -12345;
        return value.intValue;
    }
};

// Runs the road; centralNumber and remoteNumber are the modems' numbers.
inline void DriveTheRoad(HostDevice& central, HostDevice& remote, const std::string& centralNumber,
                         const std::string& remoteNumber) {
    ASSERT_EQ(central.driver->Open(&central.config), 1) << central.driver->GetStatusText();
    ASSERT_EQ(remote.driver->Open(&remote.config), 1) << remote.driver->GetStatusText();
    ASSERT_NE(central.config.sharedHandle, 0u);
    ASSERT_EQ(remote.driver->ParseDeviceAddress("5", &remote.deviceAddress), 1);

    // The numbers: site 5's telephone at the centre; the centre's at the site,
    // where COMFLAG switches the reports on.
    ASSERT_TRUE(central.WriteText("DETC5", remoteNumber));
    ASSERT_TRUE(remote.WriteText("DETC", centralNumber));
    ASSERT_TRUE(remote.WriteNumber("COMFLAG", kDataBit, 1));
    // The site's own host keeps a value in the same group of five.
    ASSERT_TRUE(remote.WriteNumber("M122", kDataInt, 7));

    // 1-3: the centre writes 42 to M5.120: its image changes, a write command leaves.
    ASSERT_TRUE(central.WriteNumber("M5.120", kDataInt, 42));

    // 4-5: the site's host reads M120: the command is applied and a report of
    // addresses 120 to 124 goes back.
    EXPECT_EQ(remote.ReadInt("M120"), 42);
    EXPECT_EQ(remote.ReadInt("M122"), 7);

    // 6: the centre's next read of the group polls and stores the report.
    EXPECT_EQ(central.ReadInt("M5.122"), 7);
    EXPECT_EQ(central.ReadInt("M5.120"), 42);
    EXPECT_EQ(central.ReadInt("M5.121"), 0);

    EXPECT_EQ(central.driver->Close(0), 1);
    EXPECT_EQ(remote.driver->Close(0), 1);
    EXPECT_STREQ(central.driver->GetStatusText(), "OK");
}

}  // namespace kelvora::road
