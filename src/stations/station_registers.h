// The register types each station offers, added to its DriverBase by the
// station constructors: M, SEND_MSG, SMSC, DETC (and COMFLAG at a site), with
// decimal device addresses 0 to 31.
#pragma once

#include "driver/driver_base.h"

namespace kelvora {

// Type indices, in order of adding.
enum StationRegisterType : int16_t {
    kTypeM = 0,
    kTypeSendMsg = 1,
    kTypeSmsc = 2,
    kTypeDetc = 3,
    kTypeComFlag = 4,  // remote station only
};

void AddCentralRegisterTypes(DriverBase& driver);
void AddRemoteRegisterTypes(DriverBase& driver);

}  // namespace kelvora
