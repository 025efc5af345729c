// The registry entries of self-registration, built from the class table so
// that both classes register alike.
#include "com/registration.h"

#include <cstdio>

namespace kelvora {

std::string GuidText(const GUID& guid) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

std::vector<RegistryEntry> RegistrationEntries(const StationClass* classes, size_t count) {
    std::vector<RegistryEntry> entries;
    for (size_t i = 0; i < count; ++i) {
        const StationClass& c = classes[i];
        const std::string clsidKey = "CLSID\\" + GuidText(*c.clsid);
        entries.push_back({clsidKey, "", c.progId, false});
        entries.push_back({clsidKey + "\\InprocServer32", "", "", true});
        // The host's apartment gets the IDeviceDriver table directly: no
        // proxy exists for it.
        entries.push_back({clsidKey + "\\InprocServer32", "ThreadingModel", "Apartment", false});
        entries.push_back({clsidKey + "\\ProgID", "", c.progId, false});
        entries.push_back({c.progId, "", c.progId, false});
        entries.push_back({std::string(c.progId) + "\\CLSID", "", GuidText(*c.clsid), false});
    }
    return entries;
}

}  // namespace kelvora
