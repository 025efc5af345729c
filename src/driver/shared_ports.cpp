// The shared per-port state (see the header).
#include "driver/shared_ports.h"

namespace kelvora {

PlatformHandle sharedEventTable[kSharedPortCount] = {};

namespace {
SharedPortUse sharedPorts[kSharedPortCount];
}  // namespace

SharedPortUse& SharedPortAt(int portIndex) { return sharedPorts[portIndex]; }

void ResetSharedPorts() {
    for (int i = 0; i < kSharedPortCount; ++i) {
        sharedPorts[i] = SharedPortUse{};
        sharedEventTable[i] = 0;
    }
}

}  // namespace kelvora
