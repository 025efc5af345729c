// StationObject<Station>: a creatable station object. The COM object part
// comes first, then the driver object, a small class derived from the station
// (CentralStation, RemoteStation) that only adds GetInterfaceOffset. A pointer
// to the driver object is the IDeviceDriver interface; its identity
// operations find this object GetInterfaceOffset bytes before it.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

#include "com/automation_object.h"
#include "com/library_lock.h"
#include "com/station_class.h"
#include "driver/i_device_driver.h"

namespace kelvora {

template <class Station>
class StationObject final : public AutomationObject {
public:
    // CreateInstance of the class object: a new station, the caller holding
    // the only reference. Failures leave no object and the lock count as it was.
    static HRESULT Create(const StationClass& stationClass, IUnknown* outer, REFIID iid, void** object);

    Station& driver() { return driver_; }

private:
    explicit StationObject(const StationClass& stationClass, IUnknown* outer)
        : AutomationObject(outer, stationClass.className), dispatchIid_(*stationClass.dispatchIid) {
        std::unique_ptr<SerialPort> port = stationClass.createPort();
        if (!port) throw std::bad_alloc();
        driver_.SetPort(std::move(port));
    }
    ~StationObject() override = default;

    void* FindClassInterface(REFIID iid) override {
        if (IsEqualGUID(iid, dispatchIid_)) return static_cast<IDispatch*>(this);
        if (IsEqualGUID(iid, IID_IDeviceDriver)) return static_cast<IDeviceDriver*>(&driver_);
        return nullptr;
    }

    class DriverPart final : public Station {
    public:
        int32_t STDMETHODCALLTYPE GetInterfaceOffset() override;
        ~DriverPart() override = default;
    };

    const IID dispatchIid_;
    DriverPart driver_;
};

template <class Station>
int32_t STDMETHODCALLTYPE StationObject<Station>::DriverPart::GetInterfaceOffset() {
    // The station object starts with its automation interface (the only base,
    // so at offset 0); the driver object, and with it its IDeviceDriver table,
    // starts at the member's offset.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
    return static_cast<int32_t>(offsetof(StationObject, driver_));
#pragma GCC diagnostic pop
}

template <class Station>
HRESULT StationObject<Station>::Create(const StationClass& stationClass, IUnknown* outer, REFIID iid,
                                       void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    // An aggregating outer object may ask for the inner unknown only.
    if (outer != nullptr && !IsEqualGUID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;

    StationObject* station = nullptr;
    try {
        station = new StationObject(stationClass, outer);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
    LockLibrary();

    HRESULT result = S_OK;
    if (outer != nullptr) {
        *object = station->InnerUnknown();
        station->InternalAddRef();
    } else {
        result = station->InternalQueryInterface(iid, object);
    }
    // The creation reference goes; when the interface was refused, so does
    // the object, and with it its lock.
    station->InternalRelease();
    return result;
}

}  // namespace kelvora
