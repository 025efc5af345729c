// The probe's findings and its checks beyond the first answer: identity,
// SIM, message storage, service centre, network.
#pragma once

#include <cstdint>
#include <string>

#include "modem_line.h"

namespace kelvora_host {

// Lines of the probe's report, counted: a problem makes the modem not ready.
class ProbeFindings {
public:
    void Ok(const std::string& text) { Line("ok", text); }
    void Info(const std::string& text) { Line("info", text); }
    void Warn(const std::string& text) {
        Line("warn", text);
        ++warnings_;
    }
    void Problem(const std::string& text) {
        Line("FAIL", text);
        ++problems_;
    }
    // A wait that takes a while, so that nobody takes the probe for stuck.
    void Waiting(const std::string& what) { Line("...", "waiting for the answer to " + what); }
    int problems() const { return problems_; }
    int warnings() const { return warnings_; }

private:
    void Line(const char* verdict, const std::string& text);
    int problems_ = 0;
    int warnings_ = 0;
};

void CheckIdentity(ModemLine& line, ProbeFindings& findings);
// PIN state and the subscriber number the SIM holds.
void CheckSim(ModemLine& line, ProbeFindings& findings);
void CheckStorage(ModemLine& line, ProbeFindings& findings);
// Whether the modem lists its messages to the end, as every poll of the
// driver needs, within the driver's reply time-out (timeoutMs).
void CheckListing(ModemLine& line, ProbeFindings& findings, uint32_t timeoutMs);
// Returns the service-centre number the modem holds, or "".
std::string CheckServiceCentre(ModemLine& line, ProbeFindings& findings);
void CheckNetwork(ModemLine& line, ProbeFindings& findings);

}  // namespace kelvora_host
