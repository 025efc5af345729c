// A minimal station for driver tests: a fake station object that begins with
// an IUnknown counting its calls and embeds a DriverBase-derived driver, as
// the COM layer's station objects do; and one on a scripted port.
#pragma once

#include <cstdint>
#include <memory>

#include "driver/driver_base.h"
#include "platform/com_types.h"
#include "support/scripted_port.h"

namespace kelvora::testing {

class TestDriver : public DriverBase {
public:
    explicit TestDriver(const void* station) : station_(reinterpret_cast<uintptr_t>(station)) {}

    int32_t STDMETHODCALLTYPE GetInterfaceOffset() override {
        ++offsetCalls;
        return static_cast<int32_t>(reinterpret_cast<uintptr_t>(this) - station_);
    }

    int offsetCalls = 0;

private:
    uintptr_t station_;
};

class FakeStation : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        ++queryCalls;
        if (object == nullptr) return E_POINTER;
        if (IsEqualGUID(iid, IID_IDeviceDriver) || IsEqualGUID(iid, IID_IUnknown)) {
            *object = IsEqualGUID(iid, IID_IUnknown) ? static_cast<void*>(static_cast<IUnknown*>(this))
                                                     : static_cast<void*>(static_cast<IDeviceDriver*>(&driver));
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        ++addRefCalls;
        return ++references;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        ++releaseCalls;
        return --references;
    }

    virtual ~FakeStation() = default;

    int queryCalls = 0;
    int addRefCalls = 0;
    int releaseCalls = 0;
    ULONG references = 1;
    int32_t padding[3] = {};  // keeps the driver at a non-trivial offset
    TestDriver driver{this};
};

// A fake station whose driver works on a scripted port and a fake clock.
struct ScriptedStation {
    explicit ScriptedStation(FakeClock& clock) : object(std::make_unique<FakeStation>()) {
        auto owned = std::make_unique<ScriptedPort>(&clock);
        port = owned.get();
        object->driver.SetPort(std::move(owned));
        object->driver.SetClock(clock);
    }
    DriverBase& driver() { return object->driver; }
    std::unique_ptr<FakeStation> object;
    ScriptedPort* port;  // owned by the driver
};

}  // namespace kelvora::testing
