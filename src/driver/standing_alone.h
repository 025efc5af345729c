// StandingAlone<Driver>: a driver object (DriverBase, or a station derived
// from it) without the station object that embeds it in the library:
// GetInterfaceOffset answers 0. For the tests, fuzzers and benchmarks that
// drive a station's logic directly, and for the tools that need a station's
// register table without a station. Its identity operations have no object
// to forward to (DriverBase's would call themselves for ever): it is no COM
// object, so QueryInterface refuses every interface and the reference count
// stays 1, the owner alone deciding its lifetime.
#pragma once

#include <cstdint>

#include "driver/driver_base.h"

namespace kelvora {

template <class Driver = DriverBase>
class StandingAlone : public Driver {
public:
    int32_t STDMETHODCALLTYPE GetInterfaceOffset() override { return 0; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID /*iid*/, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

}  // namespace kelvora
