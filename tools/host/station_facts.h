// What the console knows of the two stations beyond their register list:
// how their addresses are written, which writes send a message, how a bit
// value is read, where a site's messages go.
#pragma once

#include <string>

#include "driver/host_records.h"
#include "station_loader.h"

namespace kelvora_host {

// The name of a register type the driver lists.
std::string RegisterTypeName(const kelvora::RegisterInfo& info);

// "M<site>.<address>, ..." for the user; empty for a type the console does not know.
std::string AddressSyntax(StationRole role, const std::string& typeName);

// Whether a write of this register type hands a message to the modem.
bool WriteSendsMessage(StationRole role, const std::string& typeName);

// Whether the station sets a bit only for the value 1 and clears it for any
// other (a single bit of a central register); elsewhere a bit write carries
// the whole number.
bool BitWriteIsSingleBit(StationRole role, const std::string& typeName);

// The register that switches reports on ("COMFLAG" at a site; none at the
// centre): with it on, every poll of a group sends the group by SMS.
std::string ReportSwitchRegister(StationRole role);
// Polls come at most this often per group of five registers.
constexpr uint32_t kGroupPollMs = 3000;
constexpr int32_t kGroupSize = 5;

// The register that holds the destination of a message written to this
// site's register: "DETC5" at the centre, "DETC" at a site.
std::string DestinationRegister(StationRole role, int32_t site);

}  // namespace kelvora_host
