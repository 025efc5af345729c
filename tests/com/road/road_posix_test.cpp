// The telemetry road natively: libkelvora.so loaded with dlopen, its two
// stations created through the class objects, their ports on two modems of
// the simulator (reached as COM ports through KELVORA_COM<n>).
#include <dlfcn.h>
#include <stdlib.h>

#include "com/com_identifiers.h"
#include "modemsim/modemsim.h"
#include "telemetry_road.h"

namespace kelvora::road {
namespace {

using DllGetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
using DllCanUnloadNowFn = HRESULT (*)();

constexpr int kCentralCom = 21;
constexpr int kRemoteCom = 22;

IDeviceDriver* Create(DllGetClassObjectFn getClassObject, const CLSID& clsid) {
    IClassFactory* factory = nullptr;
    if (getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK) return nullptr;
    IDeviceDriver* driver = nullptr;
    factory->CreateInstance(nullptr, IID_IDeviceDriver, reinterpret_cast<void**>(&driver));
    factory->Release();
    return driver;
}

TEST(TelemetryRoadTest, WriteAtTheCentreReportBackFromTheSite) {
    modemsim::NetworkOptions options;
    options.modemCount = 2;
    modemsim::Network network(options);
    std::string error;
    ASSERT_TRUE(network.Start(&error)) << error;
    setenv(("KELVORA_COM" + std::to_string(kCentralCom)).c_str(), network.modem(0).DevicePath().c_str(), 1);
    setenv(("KELVORA_COM" + std::to_string(kRemoteCom)).c_str(), network.modem(1).DevicePath().c_str(), 1);

    void* library = dlopen(KELVORA_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(library, "DllGetClassObject"));
    auto canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(dlsym(library, "DllCanUnloadNow"));
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnloadNow, nullptr);

    HostDevice central(Create(getClassObject, CLSID_SMSClient), kCentralCom);
    HostDevice remote(Create(getClassObject, CLSID_SMSServer), kRemoteCom);
    ASSERT_NE(central.driver, nullptr);
    ASSERT_NE(remote.driver, nullptr);

    DriveTheRoad(central, remote, network.modem(0).Number(), network.modem(1).Number());

    // The network saw one write command and one report, both delivered, and
    // every listed message was deleted.
    const auto submitted = network.Submitted();
    ASSERT_EQ(submitted.size(), 2u);
    EXPECT_EQ(submitted[0].fromModem, 0u);
    EXPECT_EQ(submitted[0].decoded.text, "BEGINWM05120" "0000002A" "END");
    EXPECT_EQ(submitted[1].fromModem, 1u);
    EXPECT_EQ(submitted[1].decoded.text, "BEGINRM05120" "0000002A" "00000000" "00000007" "00000000" "00000000" "END");
    EXPECT_EQ(network.Stats().delivered, 2u);
    EXPECT_TRUE(network.modem(0).Stored().empty());
    EXPECT_TRUE(network.modem(1).Stored().empty());

    EXPECT_EQ(canUnloadNow(), S_FALSE);
    EXPECT_EQ(central.driver->Release(), 0u);
    EXPECT_EQ(remote.driver->Release(), 0u);
    EXPECT_EQ(canUnloadNow(), S_OK);
    dlclose(library);
    network.Stop();
}

}  // namespace
}  // namespace kelvora::road
