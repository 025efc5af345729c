// Addresses as typed: the driver reads an address up to its last field and
// never looks at what follows (a host's stored tag lists may rely on that),
// so "M5.12O" reads as M5.12 and "M5.120.3" as an int reads as M5.120. A
// person at the console must not send a value somewhere else than typed:
// the text is rebuilt from the record the driver parsed and compared.
#pragma once

#include <string>

#include "driver/i_device_driver.h"

namespace kelvora_host {

// text was accepted by driver.ParseAddress into parsed (whose dataType is
// set). Returns true when the driver reads all of it: the register type's
// name (any case where the driver allows it), then each field the type has
// for that data type, in decimal with its separator, nothing else. Leading
// zeros are allowed. Otherwise false, and error says what the driver reads
// and which part it would ignore.
bool AddressReadAsTyped(kelvora::IDeviceDriver& driver, const std::string& text,
                        const kelvora::RegisterRequest& parsed, std::string* error);

}  // namespace kelvora_host
