// SimulatorControl: a client of the modem simulator's control protocol (one
// JSON object a line) over its TCP port on 127.0.0.1, which the simulator
// names in KELVORA_MODEMSIM_CONTROL_PORT when started with --control-tcp. It
// lets one end-to-end test source steer the simulator from either build: a
// native test, or a Win32 test under Wine, which cannot reach a Unix socket.
#pragma once

#include <cstdint>
#include <string>

namespace kelvora::testing {

class SimulatorControl {
public:
    // Takes the port from the environment; false when it is not there.
    bool FromEnvironment();

    // Sends one request, waits at most timeoutMs for the reply line. false
    // (with error set) when the simulator cannot be reached or answers
    // "ok": false.
    bool Request(const std::string& json, std::string* reply = nullptr, uint32_t timeoutMs = 10000);

    // Shorthands over Request.
    bool Fault(int modem, const std::string& kind, const std::string& command, int times,
               const std::string& extra = "");
    bool ClearFaults(int modem);
    int Inject(int modem, const std::string& sender, const std::string& text);  // index, or -1
    int StoredCount(int modem);                                                  // -1 on failure
    bool Baud(uint32_t rate);

    const std::string& error() const { return error_; }

private:
    uint16_t port_ = 0;
    std::string error_;
};

// The number of times "key": appears in a compact JSON text.
int CountKeys(const std::string& json, const char* key);
// The integer after the first "key": in a compact JSON text, or fallback.
long IntField(const std::string& json, const char* key, long fallback = -1);

// One line to 127.0.0.1:port and one line back (the platform's sockets).
bool ExchangeLine(uint16_t port, const std::string& line, std::string* reply, uint32_t timeoutMs, std::string* error);

}  // namespace kelvora::testing
