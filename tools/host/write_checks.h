// What the console can tell before a write that the driver would refuse to
// send or that no site would apply, asked with the driver's own rules
// (src/modem's send checks, the frame format), so that the field engineer
// hears of the value typed, not of the modem, the credit or the network.
#pragma once

#include <string>

#include "driver/host_records.h"
#include "station_loader.h"

namespace kelvora_host {

// The problem with writing value (its text in the driver's code page, typed
// as `typed`) to a register of typeName; empty when there is none. force:
// the user wants a write no site applies all the same.
std::string WriteProblem(StationRole role, const std::string& typeName, const kelvora::RegisterRequest& request,
                         const kelvora::RegisterValue& value, const std::string& typed, bool force);

}  // namespace kelvora_host
