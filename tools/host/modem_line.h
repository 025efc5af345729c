// The console's line to a modem without a station (probe and the modem
// commands): the project's SerialPort, opened and set as the driver sets it,
// and the driver's own modem layer on it (GsmModem: the exchange, its final
// results, the listing, sending), with two rows of the console's own in the
// final-result table: the numeric results of a modem set to ATV0, so that
// probe can tell one. Every wait is bounded by the reply time-out.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "modem/gsm_modem.h"
#include "platform/trace.h"
#include "port_options.h"
#include "serial/serial_port.h"

namespace kelvora_host {

enum class AnswerKind {
    kOk,            // the command was done ("OK")
    kError,         // "ERROR", "+CMS ERROR: <n>" or "+CME ERROR: <n>"
    kNumericOk,     // "0" (ATV0)
    kNumericError,  // "4" (ATV0)
    kPrompt,        // ">": the modem waits for a message
    kUnclear,       // bytes, but no final result by the time-out
    kNone,          // nothing at all, or the port failed
};

struct Answer {
    std::string raw;
    AnswerKind kind = AnswerKind::kNone;
    std::string final;  // the final result line as the modem gave it

    bool ok() const { return kind == AnswerKind::kOk || kind == AnswerKind::kNumericOk; }
    // The lines between the echo and the final result ("+CSQ: 24,99").
    std::vector<std::string> Lines() const;
    // The text after prefix on the line that begins with it ("+CSQ:" -> "24,99").
    bool Field(const char* prefix, std::string* value) const;
};

// The modem's bytes quoted, as the driver's trace shows them
// (kelvora::Printable), cut at limit characters.
std::string QuotedBytes(const std::string& raw, size_t limit = 120);
// One line of the modem's answer for the terminal, as the modem wrote it
// (its double quotes as they are: "+CPMS: "SM",0,30"), with control bytes
// shown as the driver's trace shows them.
std::string LineText(const std::string& line);
// "a","b",3 -> a / b / 3: commas outside double quotes separate.
std::vector<std::string> SplitFields(const std::string& text);

class ModemLine {
public:
    ModemLine();
    ~ModemLine();

    // Opens the port and sets it as the driver does, then brings back a modem
    // left waiting for a message's text (ESC). answerMs is the reply time-out
    // of every exchange. On failure returns false with a message for the
    // user: a port that another program holds is named busy.
    bool Open(const PortOptions& options, const ResolvedPort& port, uint32_t answerMs, std::string* error);
    void Close();

    // Sends command and CR and collects the answer until its final result,
    // or until nothing comes once the reply time-out has passed since it was
    // sent (a long listing keeps it going while it flows).
    Answer Ask(const std::string& command);
    // Writes bytes as they are (ESC after a prompt) and collects the same way.
    Answer Send(const std::string& bytes);

    // The driver's modem on this line, with the reply time-out given (0: the
    // line's own): for listing, deleting and sending. waitingFor: what a
    // wait of it is shown as ("AT+CMGL=4").
    kelvora::GsmModem Modem(uint32_t timeoutMs = 0, const char* waitingFor = nullptr);

    // Called once per wait that passes a second, so a person sees why.
    void SetProgress(std::function<void(const std::string& waitingFor)> progress);
    // Shows the dialogue on standard error: the driver's trace of it.
    void SetShowDialogue(bool show);

private:
    class WaitingClock;
    std::unique_ptr<kelvora::SerialPort> port_;
    std::unique_ptr<WaitingClock> clock_;
    kelvora::Trace trace_;
    uint32_t answerMs_ = 3000;
};

}  // namespace kelvora_host
