// StandingAlone<Driver>: a driver object (DriverBase, or a station derived
// from it) without the station object that embeds it in the library:
// GetInterfaceOffset answers 0. For the tests, fuzzers and benchmarks that
// drive a station's logic directly, and for the tools that need a station's
// register table without a station. Its identity operations (QueryInterface,
// AddRef, Release) have no object to forward to and must not be called.
#pragma once

#include <cstdint>

#include "driver/driver_base.h"

namespace kelvora {

template <class Driver = DriverBase>
class StandingAlone : public Driver {
public:
    int32_t STDMETHODCALLTYPE GetInterfaceOffset() override { return 0; }
};

}  // namespace kelvora
