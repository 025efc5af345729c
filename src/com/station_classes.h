// The library's creatable classes: CSMSClient (central station) and
// CSMSServer (remote station), in the order of their class objects.
#pragma once

#include <cstddef>

#include "com/station_class.h"

namespace kelvora {

constexpr size_t kStationClassCount = 2;

// The table of the library's classes.
const StationClass* StationClasses();

}  // namespace kelvora
