// The module and device catalogue: exact record contents, and records left
// alone (wrong size) or zeroed (unknown device) on refusal.
#include "driver/catalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

namespace kelvora {
namespace {

// The host calls these with the standard calling convention (the callee pops
// the arguments): pin the declarations to it.
static_assert(std::is_same_v<decltype(&GetModuleInfo), int32_t(STDAPICALLTYPE*)(ModuleInfo*, uint32_t)>, "");
static_assert(std::is_same_v<decltype(&GetDeviceInfo), int32_t(STDAPICALLTYPE*)(int32_t, DeviceInfo*, uint32_t)>,
              "");

int32_t Int32At(const void* record, size_t offset) {
    int32_t value;
    std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof value);
    return value;
}

bool AllBytesAre(const void* record, size_t from, size_t to, unsigned char byte) {
    const auto* bytes = static_cast<const unsigned char*>(record);
    for (size_t i = from; i < to; ++i) {
        if (bytes[i] != byte) return false;
    }
    return true;
}

TEST(CatalogueTest, ModuleInfoDescribesOstrelWithThreeDevices) {
    ModuleInfo info;
    std::memset(&info, 0xCC, sizeof info);
    ASSERT_EQ(1, GetModuleInfo(&info, 144));
    EXPECT_EQ(1, Int32At(&info, 0));
    EXPECT_STREQ("Ostrel", reinterpret_cast<const char*>(&info) + 4);
    EXPECT_TRUE(AllBytesAre(&info, 4 + 6, 132, 0));
    EXPECT_EQ(3, Int32At(&info, 132));
    EXPECT_TRUE(AllBytesAre(&info, 136, 144, 0));
}

TEST(CatalogueTest, ModuleInfoOfAnotherSizeTouchesNothing) {
    for (uint32_t size : {0u, 143u, 145u, 192u, 0xFFFFFFFFu}) {
        std::vector<unsigned char> record(256, 0xA5);
        EXPECT_EQ(0, GetModuleInfo(reinterpret_cast<ModuleInfo*>(record.data()), size)) << size;
        EXPECT_TRUE(AllBytesAre(record.data(), 0, record.size(), 0xA5)) << size;
    }
    EXPECT_EQ(0, GetModuleInfo(nullptr, 144));
}

struct Device {
    int32_t index;
    const char* name;
    const char* identifier;
};

std::ostream& operator<<(std::ostream& out, const Device& d) { return out << "device " << d.index; }

class DeviceInfoTest : public ::testing::TestWithParam<Device> {};

TEST_P(DeviceInfoTest, FillsNameIdentifierAndTheFixedValues) {
    const Device& d = GetParam();
    DeviceInfo info;
    std::memset(&info, 0xCC, sizeof info);
    ASSERT_EQ(1, GetDeviceInfo(d.index, &info, 192));
    const char* bytes = reinterpret_cast<const char*>(&info);
    const size_t nameLength = std::strlen(d.name);
    EXPECT_EQ(std::string(d.name), std::string(bytes));
    EXPECT_TRUE(AllBytesAre(&info, nameLength, 128, 0));
    EXPECT_EQ(std::string(d.identifier), std::string(bytes + 128));
    EXPECT_EQ(36u, std::strlen(bytes + 128));
    EXPECT_TRUE(AllBytesAre(&info, 164, 168, 0));  // the NUL at 164 and the rest of the field
    EXPECT_EQ(-1, Int32At(&info, 168));
    EXPECT_EQ(64, Int32At(&info, 172));
    EXPECT_EQ(0xFF33, Int32At(&info, 176));
    EXPECT_EQ(0x8412, Int32At(&info, 180));
    EXPECT_TRUE(AllBytesAre(&info, 184, 192, 0));
}

INSTANTIATE_TEST_SUITE_P(Devices, DeviceInfoTest,
                         ::testing::Values(Device{0, "Fenwix", "5D7A31C4-2E98-4B06-9F13-C6A0B2E47D58"},
                                           Device{1, "Orrel", "A3E6F072-71BD-4C59-8D24-17F9E05C3B6A"},
                                           Device{2, "Tamsk", "0F4B9D8E-C612-47A3-B5E0-9A2C6D81F374"}));

TEST(CatalogueTest, UnknownDeviceGivesAZeroedRecord) {
    for (int32_t index : {3, -1, 100, -2147483647 - 1}) {
        DeviceInfo info;
        std::memset(&info, 0xCC, sizeof info);
        EXPECT_EQ(0, GetDeviceInfo(index, &info, 192)) << index;
        EXPECT_TRUE(AllBytesAre(&info, 0, 192, 0)) << index;
    }
}

TEST(CatalogueTest, DeviceInfoOfAnotherSizeTouchesNothing) {
    for (uint32_t size : {0u, 144u, 191u, 193u}) {
        std::vector<unsigned char> record(256, 0xA5);
        EXPECT_EQ(0, GetDeviceInfo(0, reinterpret_cast<DeviceInfo*>(record.data()), size)) << size;
        EXPECT_TRUE(AllBytesAre(record.data(), 0, record.size(), 0xA5)) << size;
    }
    EXPECT_EQ(0, GetDeviceInfo(0, nullptr, 192));
}

TEST(CatalogueTest, ModuleCountMatchesTheDevicesAnswered) {
    ModuleInfo module;
    ASSERT_EQ(1, GetModuleInfo(&module, sizeof module));
    DeviceInfo info;
    for (int32_t i = 0; i < module.deviceCount; ++i) EXPECT_EQ(1, GetDeviceInfo(i, &info, sizeof info)) << i;
    EXPECT_EQ(0, GetDeviceInfo(module.deviceCount, &info, sizeof info));
}

}  // namespace
}  // namespace kelvora
