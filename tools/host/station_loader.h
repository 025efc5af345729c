// Loading the driver the way a host does and creating one station through
// it: COM on Windows (ProgID, or the DLL's class object when the library is
// not registered), the shared library's class object on POSIX.
#pragma once

#include <memory>
#include <string>

#include "com/com_identifiers.h"
#include "driver/i_device_driver.h"
#include "platform/com_types.h"

namespace kelvora_host {

enum class StationRole { kCentral, kRemote };

// The class of a role's station: CSMSClient (central), CSMSServer (remote).
inline const CLSID& ClassOf(StationRole role) {
    return role == StationRole::kCentral ? kelvora::CLSID_SMSClient : kelvora::CLSID_SMSServer;
}

const char* ProgIdOf(StationRole role);
const char* RoleName(StationRole role);

// One station object, held by its IDeviceDriver table. Destroying it releases
// the station (which closes its port) and then unloads what was loaded.
class Station {
public:
    virtual ~Station() = default;
    kelvora::IDeviceDriver* driver() const { return driver_; }
    // How the driver was reached, for the user: "COM ProgID ...", a path.
    const std::string& origin() const { return origin_; }

protected:
    kelvora::IDeviceDriver* driver_ = nullptr;
    std::string origin_;
};

// Gives the stations this process creates from now on one of the driver's
// settings, as the user's environment does: KELVORA_HOST_TRACE (a file path,
// "stderr" or, on Windows, "debug"), KELVORA_POLL_SCOPE ("group", "station").
void RequestSetting(const char* variable, const std::string& value);

// libraryPath empty: the platform's usual way (registered COM class, or the
// library beside the program). On failure returns null and sets error.
std::unique_ptr<Station> LoadStation(StationRole role, const std::string& libraryPath, std::string* error);

}  // namespace kelvora_host
