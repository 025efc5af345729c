// Station classes for the COM shell's tests: a small DriverBase station that
// counts its live instances, one whose construction fails, and a port that
// notes how it was torn down. Class objects over them are built like the
// library's own.
#pragma once

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "com/class_factory.h"
#include "com/station_object.h"
#include "driver/driver_base.h"
#include "support/scripted_port.h"

namespace kelvora::testing {

// {0E8C2A51-3B1D-4E77-9F0A-6D2B5C4E1A90}
constexpr CLSID CLSID_TestStation = {0x0E8C2A51, 0x3B1D, 0x4E77, {0x9F, 0x0A, 0x6D, 0x2B, 0x5C, 0x4E, 0x1A, 0x90}};
// {5A1F7C33-8D2E-4B60-A1C4-2F9E7D3B6C05}
constexpr IID IID_ITestStation = {0x5A1F7C33, 0x8D2E, 0x4B60, {0xA1, 0xC4, 0x2F, 0x9E, 0x7D, 0x3B, 0x6C, 0x05}};
// {7B3C9E1D-2A4F-4C88-B5D6-0E1F2A3B4C5D}
constexpr CLSID CLSID_FailingStation = {0x7B3C9E1D, 0x2A4F, 0x4C88, {0xB5, 0xD6, 0x0E, 0x1F, 0x2A, 0x3B, 0x4C, 0x5D}};
// {3D5E7F91-A2B4-4C6D-8E0F-1A2B3C4D5E6F}
constexpr CLSID CLSID_PortlessStation = {0x3D5E7F91, 0xA2B4, 0x4C6D, {0x8E, 0x0F, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F}};

class CountedStation : public DriverBase {
public:
    CountedStation() {
        AddRegisterType("M", 141, 3);
        ++live;
    }
    ~CountedStation() override { --live; }
    static int live;
};

class FailingStation : public CountedStation {
public:
    FailingStation() { throw std::bad_alloc(); }
};

// Remembers, after its destruction, whether it was closed first.
class TrackedPort : public ScriptedPort {
public:
    ~TrackedPort() override { closedBeforeDestruction = closeCalls > 0 && !IsOpen(); ++destroyed; }
    uint32_t Close() override {
        ++closeCalls;
        return ScriptedPort::Close();
    }
    int closeCalls = 0;
    static bool closedBeforeDestruction;
    static int destroyed;
};

inline std::unique_ptr<SerialPort> MakeTrackedPort() { return std::make_unique<TrackedPort>(); }
inline std::unique_ptr<SerialPort> MakeNoPort() { return nullptr; }

inline const StationClass kTestClasses[] = {
    {&CLSID_TestStation, "Kelvora.TestStation", "CTestStation", &IID_ITestStation,
     &StationObject<CountedStation>::Create, &MakeTrackedPort},
    {&CLSID_FailingStation, "Kelvora.FailingStation", "CFailingStation", &IID_ITestStation,
     &StationObject<FailingStation>::Create, &MakeTrackedPort},
    {&CLSID_PortlessStation, "Kelvora.PortlessStation", "CPortlessStation", &IID_ITestStation,
     &StationObject<CountedStation>::Create, &MakeNoPort},
};

}  // namespace kelvora::testing
