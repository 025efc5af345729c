// What the console's subcommands share on the command line: the exit code
// their callbacks leave, the serial port's options, usage errors. Each
// subcommand is added with the callback that runs it (station_subcommands,
// modem_subcommands); main parses, and the callback of the one given runs.
#pragma once

#include <string>

#include "port_options.h"

namespace CLI {
class App;
}

namespace kelvora_host {

// Filled in by the parse: the top-level --verbose, then the exit code of the
// subcommand's callback (negative while none ran).
struct CommandOutcome {
    bool verbose = false;
    int code = -1;
};

// Tells the message and where the usage is; returns kExitUsage.
int UsageError(const std::string& message);

// The operations' help and the examples and exit codes, under the station
// commands' and the program's help.
std::string UsageFooter();
// Under the commands that work on the modem without a station.
extern const char kModemFooter[];

void AddPortOptions(CLI::App* command, PortOptions* port, bool required);

// The port of a modem command checked as the driver would; false with the
// usage error told and *code set.
bool CheckPort(const PortOptions& options, ResolvedPort* port, int* code);

// central and remote.
void AddStationCommands(CLI::App& app, CommandOutcome& outcome);
// probe, modem at|storage|clear, keygen.
void AddModemCommands(CLI::App& app, CommandOutcome& outcome);

}  // namespace kelvora_host
