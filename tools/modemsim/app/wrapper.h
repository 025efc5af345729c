// What the program does around the network: the info file, the Wine COM-port
// links, the command it wraps, and the wait for a signal.
#pragma once

#include <string>
#include <vector>

#include "modemsim/control.h"
#include "modemsim/modemsim.h"

namespace modemsim {

struct ModemInfo {
    size_t index;
    std::string device;
    std::string number;
    int com;               // the COM port number it stands for (KELVORA_COM<n>, dosdevices/com<n>)
};

std::string InfoJson(const std::vector<ModemInfo>& modems, const std::string& controlPath);
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error);

// dosdevices/com<n> -> device; the links made are returned for removal.
bool LinkIntoWinePrefix(const std::string& prefix, const std::vector<ModemInfo>& modems,
                        std::vector<std::string>* links, std::string* error);
void RemoveLinks(const std::vector<std::string>& links);

// Blocks the stop signals in every thread; call before any thread starts.
void BlockStopSignals();

// Prints what the modems received and answered to stderr, as it comes.
class Tracer {
public:
    explicit Tracer(Network* network) : network_(network) {}
    void Turn();

private:
    Network* network_;
    std::vector<size_t> seen_;
};
std::string Printable(const std::string& bytes);

// Runs the command with the modems in its environment; returns its exit code
// (128 + signal when it was killed). A stop signal is passed on to it.
int RunWrapped(const std::vector<std::string>& command, const std::vector<ModemInfo>& modems,
               const std::string& controlPath, const ControlServer* control, Tracer* tracer);

// Waits for SIGINT/SIGTERM or a "quit" request; returns the exit code.
int WaitForStop(const ControlServer* control, Tracer* tracer);

}  // namespace modemsim
