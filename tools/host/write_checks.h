// What the console can tell before a write that the driver would refuse to
// send or that no site would apply, asked with the driver's own rules
// (src/modem's send checks, the frame format), so that the field engineer
// hears of the value typed, not of the modem, the credit or the network; and
// where messages go once a number is written.
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

// The number a message goes to (a destination) or through (a service
// centre) once this one is written, as the driver writes it into the
// message: "+4412345678901" for "+4412345678901" or "004412345678901",
// "+8613912345678" for "13912345678". Empty when the driver refuses it.
std::string NumberAsSent(const char* number, bool destination);

// What a write of DETC or SMSC changes for the messages that follow
// ("messages to site 5 go to +4412345678901"); empty for other writes.
std::string WriteNote(StationRole role, const std::string& typeName, const kelvora::RegisterRequest& request,
                      const kelvora::RegisterValue& value);

}  // namespace kelvora_host
