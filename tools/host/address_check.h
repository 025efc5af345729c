// Addresses as typed: the driver reads an address up to its last field and
// never looks at what follows (a host's stored tag lists may rely on that),
// so "M5.12O" reads as M5.12 and "M5.120.3" as an int reads as M5.120. A
// person at the console must not send a value somewhere else than typed:
// the text is rebuilt from the record the driver parsed and compared.
#pragma once

#include <string>

#include "driver/host_records.h"
#include "station_loader.h"

namespace kelvora_host {

// text was accepted by the station's ParseAddress into parsed (whose dataType
// is set). The syntax is found in the station's own register table, built
// here apart from the station, so that the station hears of nothing but the
// address it is to use. Returns true when the driver reads all of it: the
// register type's
// name (any case where the driver allows it), then each field the type has
// for that data type, in decimal with its separator, nothing else. Leading
// zeros are allowed. Otherwise false, and error says what the driver reads
// and which part it would ignore.
bool AddressReadAsTyped(StationRole role, const std::string& text, const kelvora::RegisterRequest& parsed,
                        std::string* error);

}  // namespace kelvora_host
