// The host's exit codes, for scripts (also listed in the usage text).
#pragma once

namespace kelvora_host {

constexpr int kExitOk = 0;
constexpr int kExitOperationFailed = 1;  // an address or value refused, a read or write failed, output lost
constexpr int kExitUsage = 2;            // the command line or a script line is wrong
constexpr int kExitNoDriver = 3;         // the driver could not be loaded or the station created
constexpr int kExitPortFailed = 4;       // the serial port could not be opened or set up
constexpr int kExitNotReached = 5;       // await: the value did not come in time; probe: modem not ready

}  // namespace kelvora_host
