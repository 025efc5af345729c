// What both platforms share of station loading.
#include "station_loader.h"

namespace kelvora_host {

const char* ProgIdOf(StationRole role) {
    return role == StationRole::kCentral ? "Kelvora.SMSClient" : "Kelvora.SMSServer";
}

const char* RoleName(StationRole role) { return role == StationRole::kCentral ? "central" : "remote"; }

}  // namespace kelvora_host
