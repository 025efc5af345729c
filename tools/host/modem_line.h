// The console's own AT dialogue with a modem, on the project's SerialPort
// (never through a station): probe and the modem commands use it. Every wait
// is bounded; an answer is read for its final result code.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "port_options.h"
#include "serial/serial_port.h"

namespace kelvora_host {

enum class AnswerKind {
    kOk,            // "OK"
    kError,         // "ERROR", "+CMS ERROR: <n>" or "+CME ERROR: <n>"
    kNumericOk,     // "0" (ATV0)
    kNumericError,  // "4" (ATV0)
    kPrompt,        // "> ": the modem waits for a message
    kUnclear,       // bytes, but no final result code
    kNone,          // nothing at all
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

// What the modem's bytes say, for a person: "\r" and "\n" shown as such,
// other control bytes as \xHH; cut at limit characters.
std::string Printable(const std::string& raw, size_t limit = 120);
// "a","b",3 -> a / b / 3: commas outside double quotes separate.
std::vector<std::string> SplitFields(const std::string& text);

class ModemLine {
public:
    // Opens the port and sets it as the driver does. On failure returns
    // false with a message for the user: a port that another program holds
    // is named busy.
    bool Open(const PortOptions& options, const ResolvedPort& port, std::string* error);
    void Close();

    // Sends command and CR and collects the answer until its final result
    // code, or until nothing has come for quietMs (a long listing keeps the
    // wait going while it flows). Bytes waiting from before are dropped.
    Answer Ask(const std::string& command, uint32_t quietMs);
    // Writes bytes as they are (a message after the prompt) and collects the
    // answer in the same way.
    Answer Send(const std::string& bytes, uint32_t quietMs);

    // Called once per wait that passes a second, so a person sees why.
    void SetProgress(std::function<void(const std::string& waitingFor)> progress) { progress_ = progress; }
    // Shows every command and answer on standard error.
    void SetShowDialogue(bool show) { showDialogue_ = show; }

private:
    Answer Collect(const std::string& what, uint32_t quietMs);
    void Drain();

    std::unique_ptr<kelvora::SerialPort> port_;
    std::function<void(const std::string&)> progress_;
    bool showDialogue_ = false;
};

}  // namespace kelvora_host
