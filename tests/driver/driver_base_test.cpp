// DriverBase: defaults, forwarding of the identity operations to the station
// object, the register list handed to the host, the parse operations and the
// status they leave, and the do-nothing operations.
#include "driver/driver_base.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/standing_alone.h"
#include "driver/test_driver.h"
#include "support/scripted_port.h"

namespace kelvora {
namespace {

using testing::FakeStation;

const char kBadRegisterText[] = "\xb2\xbb\xd6\xa7\xb3\xd6\xb8\xc3\xbc\xc4\xb4\xe6\xc6\xf7!";
const char kBadDeviceText[] = "\xb4\xed\xce\xf3\xb5\xc4\xc9\xe8\xb1\xb8\xb5\xd8\xd6\xb7!";

class DriverBaseTest : public ::testing::Test {
protected:
    // The host only ever sees the interface.
    IDeviceDriver& Host() { return station.driver; }

    // A type with one decimal field 0..99 for data type 4, and a bare name.
    void AddTwoTypes() {
        ASSERT_EQ(1, station.driver.AddRegisterType("R", kDataInt | kDataBit, 3));
        const int32_t maximums[] = {99};
        ASSERT_EQ(1, station.driver.registerTable.SetFieldFormat("R", kDataInt, 1, 10, '.', nullptr, maximums,
                                                                 nullptr));
        ASSERT_EQ(1, station.driver.AddRegisterType("SEND", kDataText, 2));
        ASSERT_EQ(1, station.driver.registerTable.SetFieldFormat("SEND", kDataText, 0, 10, '.', nullptr, nullptr,
                                                                 nullptr));
    }

    FakeStation station;
};

TEST_F(DriverBaseTest, StartsWithTheDocumentedDefaults) {
    DriverBase& driver = station.driver;
    EXPECT_EQ(0, driver.lineType);
    EXPECT_EQ(-1, driver.timeoutMs);
    EXPECT_TRUE(driver.port == nullptr);
    EXPECT_TRUE(driver.registerInfos.empty());
    EXPECT_EQ(kStatusOk, driver.status.Code());
    EXPECT_EQ(0u, driver.registerTable.TypeCount());
    EXPECT_EQ(10, driver.registerTable.DeviceRadix());
    EXPECT_EQ(0, driver.registerTable.DeviceMinimum());
    EXPECT_EQ(255, driver.registerTable.DeviceMaximum());
    EXPECT_EQ(&SystemClock(), &driver.clock());
}

TEST_F(DriverBaseTest, IdentityOperationsReachTheStationObject) {
    station.driver.status.SetCode(kStatusReadError);

    EXPECT_EQ(2u, Host().AddRef());
    EXPECT_EQ(3u, Host().AddRef());
    EXPECT_EQ(2u, Host().Release());
    EXPECT_EQ(2, station.addRefCalls);
    EXPECT_EQ(1, station.releaseCalls);

    void* object = nullptr;
    EXPECT_EQ(S_OK, Host().QueryInterface(IID_IUnknown, &object));
    EXPECT_EQ(static_cast<IUnknown*>(&station), object);
    EXPECT_EQ(3u, station.references);  // the station's own AddRef, not a count of the driver's
    object = &station;
    EXPECT_EQ(E_NOINTERFACE, Host().QueryInterface(IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(2, station.queryCalls);

    EXPECT_GT(station.driver.offsetCalls, 0);
    EXPECT_EQ(kStatusReadError, station.driver.status.Code());
}

TEST(StandingAloneDriver, IdentityOperationsFailSafely) {
    StandingAlone<> driver;
    IDeviceDriver& host = driver;  // called as a host would: through the table
    void* object = &driver;
    EXPECT_EQ(E_NOINTERFACE, host.QueryInterface(IID_IDeviceDriver, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(E_POINTER, host.QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(1u, host.AddRef());
    EXPECT_EQ(1u, host.Release());
    EXPECT_EQ(1u, host.Release());  // no count to run below zero: the owner decides its lifetime
}

TEST_F(DriverBaseTest, QueryForTheInterfaceGivesTheDriverBack) {
    void* object = nullptr;
    ASSERT_EQ(S_OK, Host().QueryInterface(IID_IDeviceDriver, &object));
    EXPECT_EQ(&Host(), object);
}

TEST_F(DriverBaseTest, ReservedAlwaysSucceedsAndLeavesTheStatus) {
    station.driver.status.SetCode(kStatusWriteError);
    for (int32_t argument : {0, 1, -1, 0x7FFFFFFF}) EXPECT_EQ(1, Host().Reserved(argument));
    EXPECT_EQ(kStatusWriteError, station.driver.status.Code());
}

TEST_F(DriverBaseTest, RegisterListIsEmptyAtFirst) {
    RegisterInfo* list = reinterpret_cast<RegisterInfo*>(&station);
    uint16_t count = 7;
    EXPECT_EQ(0, Host().GetRegisterList(&list, &count));
    EXPECT_EQ(0, count);
}

TEST_F(DriverBaseTest, RegisterListDescribesEachTypeInOrder) {
    AddTwoTypes();
    station.driver.status.SetCode(kStatusReadError);
    RegisterInfo* list = nullptr;
    uint16_t count = 0;
    ASSERT_EQ(2, Host().GetRegisterList(&list, &count));
    ASSERT_EQ(2, count);
    ASSERT_EQ(station.driver.registerInfos.data(), list);

    EXPECT_STREQ("R", list[0].name);
    EXPECT_EQ(0, list[0].zero);
    EXPECT_EQ(255, list[0].limit);
    EXPECT_EQ(3, list[0].accessCode);
    EXPECT_EQ(5, list[0].dataTypeMask);
    EXPECT_EQ(5, list[0].dataTypeMask2);
    EXPECT_STREQ("SEND", list[1].name);
    EXPECT_EQ(2, list[1].accessCode);
    EXPECT_EQ(256, list[1].dataTypeMask);
    EXPECT_EQ(256, list[1].dataTypeMask2);
    // The name field is zero-filled after the name.
    for (size_t i = 4; i < kRegisterNameSize; ++i) EXPECT_EQ('\0', list[1].name[i]) << i;
    EXPECT_EQ(kStatusReadError, station.driver.status.Code());
}

TEST_F(DriverBaseTest, RegisterListToleratesMissingOutArguments) {
    AddTwoTypes();
    EXPECT_EQ(2, Host().GetRegisterList(nullptr, nullptr));
}

TEST_F(DriverBaseTest, AddRegisterTypeKeepsTableAndListParallel) {
    const std::string longest(kMaxRegisterTypeName, 'N');
    const std::string tooLong(kMaxRegisterTypeName + 1, 'N');
    EXPECT_EQ(1, station.driver.AddRegisterType(longest.c_str(), 1, 3));
    EXPECT_EQ(0, station.driver.AddRegisterType(tooLong.c_str(), 1, 3));
    EXPECT_EQ(0, station.driver.AddRegisterType(nullptr, 1, 3));
    EXPECT_EQ(0, station.driver.AddRegisterType("", 1, 3));

    ASSERT_EQ(1u, station.driver.registerTable.TypeCount());
    ASSERT_EQ(1u, station.driver.registerInfos.size());
    EXPECT_EQ(longest, std::string(station.driver.registerInfos[0].name));
    EXPECT_EQ('\0', station.driver.registerInfos[0].name[kMaxRegisterTypeName]);
}

TEST_F(DriverBaseTest, AddRegisterTypeCopiesTheName) {
    char name[] = "TEMP";
    ASSERT_EQ(1, station.driver.AddRegisterType(name, kDataInt, 3));
    name[0] = 'X';
    EXPECT_STREQ("TEMP", station.driver.registerInfos[0].name);
    EXPECT_STREQ("TEMP", station.driver.registerTable.Type(0).name);
}

TEST_F(DriverBaseTest, FailedParseAddressLeavesStatusThreeReportedOnce) {
    AddTwoTypes();
    RegisterRequest request{};
    request.dataType = kDataInt;
    EXPECT_EQ(0, Host().ParseAddress("R100", &request));
    EXPECT_EQ(kStatusBadRegister, station.driver.status.Code());
    EXPECT_STREQ(kBadRegisterText, Host().GetStatusText());
    EXPECT_STREQ("OK", Host().GetStatusText());
}

TEST_F(DriverBaseTest, ParseAddressFailsForEveryKindOfMismatch) {
    AddTwoTypes();
    struct Case {
        const char* text;
        int16_t dataType;
    };
    const Case cases[] = {
        {"X5", kDataInt},       // no such type
        {"R5", kDataText},      // type does not accept the data type
        {"R", kDataInt},        // field missing
        {"send", kDataText},    // bare name in the wrong case
        {"SEND1", kDataText},   // bare name with more after it
        {nullptr, kDataInt},    // no text
    };
    for (const Case& c : cases) {
        RegisterRequest request{};
        request.dataType = c.dataType;
        station.driver.status.SetCode(kStatusOk);
        EXPECT_EQ(0, Host().ParseAddress(c.text, &request)) << (c.text ? c.text : "(null)");
        EXPECT_EQ(kStatusBadRegister, station.driver.status.Code());
    }
    EXPECT_EQ(0, Host().ParseAddress("R5", nullptr));
}

TEST_F(DriverBaseTest, SuccessfulParseAddressFillsTheRecordAndClearsTheStatus) {
    AddTwoTypes();
    station.driver.status.SetCode(kStatusWriteError);
    RegisterRequest request{};
    request.dataType = kDataInt;
    ASSERT_EQ(1, Host().ParseAddress("r42", &request));
    EXPECT_EQ(0, request.typeIndex);
    EXPECT_EQ(42, request.address0);
    EXPECT_EQ(kStatusOk, station.driver.status.Code());

    request.dataType = kDataText;
    ASSERT_EQ(1, Host().ParseAddress("SEND", &request));
    EXPECT_EQ(1, request.typeIndex);
}

TEST_F(DriverBaseTest, ParseDeviceAddressLeavesStatusTwoOnFailure) {
    int32_t number = -5;
    EXPECT_EQ(0, Host().ParseDeviceAddress("256", &number));
    EXPECT_EQ(-5, number);
    EXPECT_EQ(kStatusBadDeviceAddress, station.driver.status.Code());
    EXPECT_STREQ(kBadDeviceText, Host().GetStatusText());

    EXPECT_EQ(0, Host().ParseDeviceAddress(nullptr, &number));
    EXPECT_EQ(kStatusBadDeviceAddress, station.driver.status.Code());

    ASSERT_EQ(1, Host().ParseDeviceAddress("255", &number));
    EXPECT_EQ(255, number);
    EXPECT_EQ(kStatusOk, station.driver.status.Code());
}

TEST_F(DriverBaseTest, ReadAndWriteOfTheBaseChangeNothing) {
    AddTwoTypes();
    station.driver.status.SetCode(kStatusReadError);
    int32_t device = 3;
    RegisterRequest request{};
    request.dataType = kDataInt;
    RegisterValue value;
    std::memset(&value, 0x5A, sizeof value);
    RegisterValue before = value;

    EXPECT_EQ(1, Host().Read(&device, &request, &value));
    EXPECT_EQ(1, Host().Write(&device, &request, &value));
    EXPECT_EQ(0, std::memcmp(&before, &value, sizeof value));
    EXPECT_EQ(3, device);
    EXPECT_EQ(kStatusReadError, station.driver.status.Code());
}

// A port that tells what had happened to it when it is destroyed.
class WatchedPort : public testing::ScriptedPort {
public:
    explicit WatchedPort(std::vector<std::string>* history) : history_(history) {}
    ~WatchedPort() override {
        *history_ = calls;
        history_->push_back(IsOpen() ? "destroyed open" : "destroyed closed");
    }

private:
    std::vector<std::string>* history_;
};

TEST(DriverBaseLifetimeTest, DestructionClosesTheOpenPortAndThenDestroysIt) {
    std::vector<std::string> history;
    {
        FakeStation station;
        station.driver.SetPort(std::make_unique<WatchedPort>(&history));
        ASSERT_EQ(0u, station.driver.port->Open("\\\\.\\COM9", 1024, 1024));
    }
    ASSERT_FALSE(history.empty());
    EXPECT_EQ("destroyed closed", history.back());
    EXPECT_EQ("Close", history[history.size() - 2]);
}

TEST(DriverBaseLifetimeTest, DestructionWithoutAPortOrWithAClosedOneIsQuiet) {
    { FakeStation station; }
    std::vector<std::string> history;
    {
        FakeStation station;
        station.driver.SetPort(std::make_unique<WatchedPort>(&history));
    }
    ASSERT_EQ(1u, history.size());  // nothing was done to a port never opened
    EXPECT_EQ("destroyed closed", history.back());
}

TEST_F(DriverBaseTest, StatusTextIsOkWhenNothingFailed) {
    EXPECT_STREQ("OK", Host().GetStatusText());
}

}  // namespace
}  // namespace kelvora
