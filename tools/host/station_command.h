// kelvora-host central / remote: loads the driver, creates the station,
// checks every operation, opens the port and runs the session.
#pragma once

#include <string>
#include <vector>

#include "port_options.h"
#include "session.h"
#include "station_loader.h"

namespace kelvora_host {

struct StationOptions {
    PortOptions port;
    std::string device;
    std::string library;
    std::string script;
    std::string format = "text";
    bool verbose = false;
    std::string trace;  // the driver's dialogue trace: a destination, or empty for none
    std::string pollScope;  // central: "group" or "station"; empty: the user's setting
    bool holdWrites = false;       // central: hold written values against reports
    uint32_t staleAfterSeconds = 0;  // central: fail a silent site's reads; 0: the user's setting
    std::vector<std::string> keyFiles;  // central: "N=FILE" each; remote: one FILE
    SessionSettings session;
    std::vector<std::string> operations;
};

// Returns the program's exit code.
int RunStation(StationRole role, StationOptions& options);

}  // namespace kelvora_host
