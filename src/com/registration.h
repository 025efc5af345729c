// What self-registration writes into the class registry, per class: the
// readable name and in-process server under the class identifier, the
// ProgID, and the way back from the ProgID to the class identifier.
#pragma once

#include <string>
#include <vector>

#include "com/station_class.h"

namespace kelvora {

struct RegistryEntry {
    std::string key;       // below HKEY_CLASSES_ROOT
    std::string name;      // empty: the key's default value
    std::string value;     // ignored when valueIsModulePath
    bool valueIsModulePath;
};

// "{1BEE75CD-8489-46CA-ACCB-CD5C99BF2236}": capital digits, with braces.
std::string GuidText(const GUID& guid);

// The entries for the given classes, in the order they are written.
std::vector<RegistryEntry> RegistrationEntries(const StationClass* classes, size_t count);

}  // namespace kelvora
