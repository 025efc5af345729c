// The modem probe: a short AT dialogue with bounded waits, read as a field
// engineer needs it.
#include "modem_probe.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "console_text.h"
#include "exit_codes.h"
#include "serial/serial_port.h"

namespace kelvora_host {
namespace {

using SteadyClock = std::chrono::steady_clock;

// The largest storage the driver lists in one poll.
constexpr int kListedPerPoll = 128;

uint32_t ElapsedMs(SteadyClock::time_point since) {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - since).count());
}

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// A final result code of either form ends an answer.
bool Finished(const std::string& answer) {
    static const char* const kFinals[] = {"\r\nOK\r\n", "\r\nERROR\r\n", "+CMS ERROR:", "+CME ERROR:"};
    for (const char* final : kFinals) {
        const size_t at = answer.find(final);
        if (at == std::string::npos) continue;
        if (final[0] != '+') return true;
        if (answer.find("\r\n", at) != std::string::npos) return true;  // the error line is whole
    }
    // Numeric result codes (ATV0): "0\r" OK, "4\r" ERROR, at the end.
    const size_t n = answer.size();
    return n >= 2 && answer[n - 1] == '\r' && (answer[n - 2] == '0' || answer[n - 2] == '4') &&
           (n == 2 || answer[n - 3] == '\n' || answer[n - 3] == '\r');
}

std::string Printable(const std::string& raw) {
    std::string out;
    for (char c : raw) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof(hex), "\\x%02X", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out.size() > 120 ? out.substr(0, 117) + "..." : out;
}

// The text after "prefix" on the answer's line that carries it.
bool Field(const std::string& answer, const char* prefix, std::string* value) {
    const size_t at = answer.find(prefix);
    if (at == std::string::npos) return false;
    const size_t start = at + std::string(prefix).size();
    const size_t end = answer.find_first_of("\r\n", start);
    *value = answer.substr(start, end == std::string::npos ? std::string::npos : end - start);
    while (!value->empty() && value->front() == ' ') value->erase(value->begin());
    return true;
}

std::vector<std::string> SplitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

class Prober {
public:
    Prober(kelvora::SerialPort& port, uint32_t answerMs) : port_(port), answerMs_(answerMs) {}

    // Sends command + CR and collects the answer until a final result code or
    // the time-out. Returns the raw answer ("" when nothing came).
    std::string Ask(const std::string& command) {
        Drain();
        const std::string line = command + "\r";
        uint32_t written = 0;
        if (port_.Write(line.data(), static_cast<uint32_t>(line.size()), &written, nullptr, 2000) != 0) {
            return std::string();
        }
        std::string answer;
        const auto start = SteadyClock::now();
        while (ElapsedMs(start) < answerMs_ && !Finished(answer) && answer.size() < 64 * 1024) {
            char buffer[256];
            uint32_t count = 0;
            if (port_.Read(buffer, sizeof(buffer), &count, nullptr, 1000) != 0) break;
            answer.append(buffer, count);
        }
        return answer;
    }

    void Line(const char* verdict, const std::string& text) {
        char head[16];
        std::snprintf(head, sizeof(head), "  %-6s", verdict);
        WriteOut(head + text + "\n");
    }
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
    int problems() const { return problems_; }
    int warnings() const { return warnings_; }

private:
    // Throws away what the modem said unasked (unsolicited codes, old echo).
    void Drain() {
        for (int i = 0; i < 100; ++i) {
            char buffer[256];
            uint32_t count = 0;
            if (port_.Read(buffer, sizeof(buffer), &count, nullptr, 1000) != 0 || count == 0) return;
        }
    }

    kelvora::SerialPort& port_;
    uint32_t answerMs_;
    int problems_ = 0;
    int warnings_ = 0;
};

void CheckStorage(Prober& probe) {
    const std::string answer = probe.Ask("AT+CPMS?");
    std::string fields;
    if (!Field(answer, "+CPMS:", &fields)) {
        probe.Warn("message storage not reported (AT+CPMS? answered " + Printable(answer) + ")");
        return;
    }
    const std::vector<std::string> parts = SplitCommas(fields);
    if (parts.size() < 3) {
        probe.Warn("message storage answer not understood: " + fields);
        return;
    }
    const int used = std::atoi(parts[1].c_str());
    const int total = std::atoi(parts[2].c_str());
    const std::string text = "message storage \"" + parts[0] + "\": " + std::to_string(used) + " of " +
                             std::to_string(total) + " used";
    if (total > 0 && used >= total) {
        probe.Problem(text + ": full, new messages are refused by the network until messages are deleted");
    } else if (used > kListedPerPoll) {
        probe.Warn(text + ": a poll lists " + std::to_string(kListedPerPoll) +
                   " messages, the rest wait for the next polls");
    } else if (used > 0) {
        probe.Warn(text + ": the driver reads and then DELETES every stored message at its first poll");
    } else {
        probe.Ok(text);
    }
}

void CheckServiceCentre(Prober& probe) {
    const std::string answer = probe.Ask("AT+CSCA?");
    std::string fields;
    if (!Field(answer, "+CSCA:", &fields)) {
        probe.Info("service centre not reported by the modem (AT+CSCA?); set it in the SMSC registers");
        return;
    }
    const std::string number = SplitCommas(fields)[0];
    probe.Info("service centre in the modem: \"" + number +
               "\"; the driver sends the number of its SMSC register in every message, so write this number "
               "there");
}

void CheckNetwork(Prober& probe) {
    std::string fields;
    if (Field(probe.Ask("AT+CREG?"), "+CREG:", &fields)) {
        const std::vector<std::string> parts = SplitCommas(fields);
        const int state = std::atoi(parts.size() > 1 ? parts[1].c_str() : parts[0].c_str());
        static const char* const kStates[] = {"not registered, not searching", "registered, home network",
                                              "searching", "registration denied", "unknown",
                                              "registered, roaming"};
        const std::string text = std::string("network: ") + (state >= 0 && state <= 5 ? kStates[state] : "?");
        if (state == 1 || state == 5) {
            probe.Ok(text);
        } else {
            probe.Warn(text + ": messages will not go out");
        }
    }
    if (Field(probe.Ask("AT+CSQ"), "+CSQ:", &fields)) {
        const int rssi = std::atoi(SplitCommas(fields)[0].c_str());
        if (rssi == 99) {
            probe.Warn("signal: unknown (AT+CSQ 99)");
        } else if (rssi < 10) {
            probe.Warn("signal: weak (AT+CSQ " + std::to_string(rssi) + " of 31)");
        } else {
            probe.Ok("signal: AT+CSQ " + std::to_string(rssi) + " of 31");
        }
    }
}

}  // namespace

int ProbeModem(const PortOptions& options, const ResolvedPort& resolved, const ProbeSettings& settings) {
    int16_t driverParity = 0;
    uint8_t parity = 0;
    ParityCode(options.parity, &driverParity, &parity);
    char head[200];
    std::snprintf(head, sizeof(head), "probe of the modem on %s at %u baud, %d%c%d\n", resolved.display.c_str(),
                  static_cast<unsigned>(options.baud), options.dataBits,
                  static_cast<char>(std::toupper(static_cast<unsigned char>(options.parity[0]))), options.stopBits);
    WriteOut(head);

    BindDevicePath(resolved);
    std::unique_ptr<kelvora::SerialPort> port = kelvora::CreateSerialPort();
    const std::string path = SerialDevicePath(resolved);
    uint32_t error = port->Open(path.c_str(), 2048, 2048);
    if (error != 0) {
        WriteErr("kelvora-host: cannot open " + resolved.display + " (error " + std::to_string(error) +
                 "): is the name right, and is no other program using the port?\n");
        return kExitPortFailed;
    }
    error = port->SetLineSettings(options.baud, static_cast<uint8_t>(options.dataBits), parity,
                                  options.stopBits == 2 ? 2 : 0);
    if (error != 0) {
        WriteErr("kelvora-host: " + resolved.display + " refused the line settings (error " +
                 std::to_string(error) + ")\n");
        return kExitPortFailed;
    }
    port->SetHandshakeMode(2);  // DTR and RTS on, no flow control: as the driver sets the line
    port->SetReadTimeoutMode(2);
    Prober probe(*port, settings.answerMs);

    if (settings.fix) {
        for (const char* command : {"ATE0", "ATV1", "AT+CMGF=0", "AT&W"}) {
            const std::string answer = probe.Ask(command);
            probe.Info(std::string("sent ") + command + ": " + (Contains(answer, "OK") ? "OK" : Printable(answer)));
        }
    }

    std::string answer;
    for (int attempt = 0; attempt < 3 && answer.empty(); ++attempt) answer = probe.Ask("AT");
    if (answer.empty()) {
        probe.Problem("no answer to AT: check power, cable, port name and baud rate (try --baud 115200 or 9600)");
        WriteOut("result: NOT READY (the modem does not answer)\n");
        return kExitNotReached;
    }
    if (Contains(answer, "OK")) {
        probe.Ok("answers AT");
        probe.Ok("verbose result codes (ATV1)");
    } else if (Finished(answer)) {
        probe.Ok("answers AT");
        probe.Problem("numeric result codes (ATV0): the driver waits for \"OK\"; send ATV1 and save with AT&W "
                      "(or run probe --fix)");
    } else {
        probe.Problem("answer to AT not understood: \"" + Printable(answer) +
                      "\"; a wrong baud rate or parity gives such noise");
        WriteOut("result: NOT READY\n");
        return kExitNotReached;
    }
    if (answer.rfind("AT\r", 0) == 0) {
        probe.Warn("command echo is on (ATE1): the driver copes, but send ATE0 and save with AT&W");
    } else {
        probe.Ok("command echo off (ATE0)");
    }

    std::string mode;
    answer = probe.Ask("AT+CMGF?");
    if (Field(answer, "+CMGF:", &mode)) {
        if (mode.compare(0, 1, "0") == 0) {
            probe.Ok("PDU mode (AT+CMGF=0)");
        } else {
            probe.Problem("text mode (AT+CMGF=" + mode + "): the driver speaks PDU mode; send AT+CMGF=0 and save "
                          "with AT&W (or run probe --fix)");
        }
    } else {
        answer = probe.Ask("AT+CMGF=0");
        if (Contains(answer, "OK")) {
            probe.Warn("message format not reported, but AT+CMGF=0 was accepted: save it with AT&W");
        } else {
            probe.Problem("the modem refuses PDU mode (AT+CMGF=0 answered " + Printable(answer) + ")");
        }
    }

    CheckStorage(probe);
    CheckServiceCentre(probe);
    CheckNetwork(probe);
    port->Close();

    if (probe.problems() > 0) {
        WriteOut("result: NOT READY: " + std::to_string(probe.problems()) + " problem(s) to mend\n");
        return kExitNotReached;
    }
    WriteOut(std::string("result: ready for Kelvora") +
             (probe.warnings() > 0 ? " (" + std::to_string(probe.warnings()) + " warning(s))" : "") + "\n");
    return kExitOk;
}

}  // namespace kelvora_host
