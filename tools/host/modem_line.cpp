// The console's line to a modem (see the header).
#include "modem_line.h"

#include <cstdio>
#include <cstring>

#include "console_text.h"
#include "driver/serial_line.h"
#include "modem/final_result.h"
#include "platform/trace_sink.h"

namespace kelvora_host {
namespace {

constexpr char kEscape[] = "\x1B";
// A modem's answer to ESC after a half-begun message.
constexpr uint32_t kRecoverMs = 300;
// A wait longer than this is shown.
constexpr uint32_t kShowWaitAfterMs = 1000;

// The console's rows beside the driver's: a modem set to ATV0 ends its
// answers with a number and CR. The driver never needs them: it expects
// verbose results, which probe checks for.
const kelvora::FinalResultRows& NumericResults() {
    static const kelvora::FinalResultRows kRows = {
        {"0", kelvora::FinalResult::Match::kNumericCode, false},
        {"4", kelvora::FinalResult::Match::kNumericCode, true},
    };
    return kRows;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::vector<std::string> SplitLines(const std::string& raw) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : raw) {
        if (c == '\r' || c == '\n') {
            if (!line.empty()) lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// The answer as the exchange ended it: by which final result, if any.
Answer Read(const std::string& raw, const kelvora::ExchangeResult& result, bool promptAsked) {
    Answer answer;
    answer.raw = raw;
    const kelvora::FinalResult* row = result.endedBy;
    switch (result.outcome) {
        case kelvora::ExchangeOutcome::kAnswered:
            answer.kind = row != nullptr ? AnswerKind::kNumericOk : promptAsked ? AnswerKind::kPrompt : AnswerKind::kOk;
            answer.final = row != nullptr ? row->text : promptAsked ? ">" : "OK";
            return answer;
        case kelvora::ExchangeOutcome::kRefused:
            answer.kind = row != nullptr && row->match == kelvora::FinalResult::Match::kNumericCode
                              ? AnswerKind::kNumericError
                              : AnswerKind::kError;
            for (const std::string& line : SplitLines(raw)) {
                if (row != nullptr && StartsWith(line, row->text)) answer.final = line;
            }
            if (answer.final.empty() && row != nullptr) answer.final = row->text;
            return answer;
        default:
            answer.kind = raw.empty() || result.outcome == kelvora::ExchangeOutcome::kPortFailed ? AnswerKind::kNone
                                                                                                  : AnswerKind::kUnclear;
            return answer;
    }
}

}  // namespace

// The system's clock, telling once per exchange that a wait passes a second.
class ModemLine::WaitingClock : public kelvora::Clock {
public:
    uint32_t TickCount() override { return kelvora::SystemClock().TickCount(); }
    void Sleep(uint32_t milliseconds) override {
        if (!told_ && progress && static_cast<uint32_t>(TickCount() - start_) >= kShowWaitAfterMs) {
            told_ = true;
            progress(what_);
        }
        kelvora::SystemClock().Sleep(milliseconds);
    }
    void Begin(const std::string& what) {
        start_ = TickCount();
        told_ = false;
        what_ = what;
    }
    std::function<void(const std::string&)> progress;

private:
    uint32_t start_ = 0;
    bool told_ = false;
    std::string what_;
};

ModemLine::ModemLine() : clock_(std::make_unique<WaitingClock>()) { trace_.SetRole("console"); }
ModemLine::~ModemLine() { Close(); }

std::vector<std::string> Answer::Lines() const {
    std::vector<std::string> lines;
    for (const std::string& line : SplitLines(raw)) {
        const bool echo = lines.empty() && (StartsWith(line, "AT") || StartsWith(line, "at"));
        if (!echo) lines.push_back(line);
    }
    if (!final.empty() && !lines.empty() && lines.back() == final) lines.pop_back();
    return lines;
}

bool Answer::Field(const char* prefix, std::string* value) const {
    for (const std::string& line : Lines()) {
        if (!StartsWith(line, prefix)) continue;
        const size_t start = line.find_first_not_of(' ', std::string(prefix).size());
        *value = start == std::string::npos ? std::string() : line.substr(start);
        return true;
    }
    return false;
}

std::string QuotedBytes(const std::string& raw, size_t limit) {
    const std::string out = kelvora::Printable(raw);
    return out.size() > limit ? out.substr(0, limit - 4) + "...\"" : out;
}

std::string LineText(const std::string& line) {
    // The driver's escapes, but for the quotes and backslashes a line shows as they are.
    std::string out;
    size_t from = 0;
    for (size_t i = 0; i <= line.size(); ++i) {
        if (i < line.size() && line[i] != '"' && line[i] != '\\') continue;
        const std::string quoted = kelvora::Printable(line.data() + from, i - from);
        out += quoted.substr(1, quoted.size() - 2);
        if (i < line.size()) out += line[i];
        from = i + 1;
    }
    return out;
}

std::vector<std::string> SplitFields(const std::string& text) {
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

bool ModemLine::Open(const PortOptions& options, const ResolvedPort& resolved, uint32_t answerMs,
                     std::string* error) {
    BindDevicePath(resolved);
    answerMs_ = answerMs;
    port_ = kelvora::CreateSerialPort();
    const std::string path = SerialDevicePath(resolved);
    uint32_t code = port_->Open(path.c_str(), 2048, 2048);
    if (code != 0) {
        *error = "cannot open " + resolved.display + ": " + DescribePortError(code);
        port_.reset();
        return false;
    }
    int16_t driverParity = 0;
    uint8_t parity = 0;
    ParityCode(options.parity, &driverParity, &parity);
    code = port_->SetLineSettings(options.baud, static_cast<uint8_t>(options.dataBits), parity,
                                  options.stopBits == 2 ? 2 : 0);
    if (code != 0) {
        *error = resolved.display + " refused the line settings (error " + std::to_string(code) + ")";
        port_.reset();
        return false;
    }
    port_->SetHandshakeMode(kelvora::kHandshakeOpen);  // as the driver sets its line
    port_->SetReadTimeoutMode(2);
    // A send cut off after "AT+CMGS" leaves the modem waiting for the
    // message's text, where it takes every command for text: ESC ends that
    // (and is ignored at the command line), CR ends a half-typed command.
    // What they bring back is set aside by the next exchange.
    uint32_t written = 0;
    port_->Write("\x1B\r", 2, &written, nullptr, 2000);
    clock_->Sleep(kRecoverMs);
    return true;
}

void ModemLine::Close() {
    if (port_) port_->Close();
    port_.reset();
}

kelvora::GsmModem ModemLine::Modem(uint32_t timeoutMs, const char* waitingFor) {
    if (waitingFor != nullptr) clock_->Begin(waitingFor);
    kelvora::SerialLine line;
    line.port = port_.get();
    line.clock = clock_.get();
    line.timeoutMs = kelvora::EffectiveTimeoutMs(static_cast<int32_t>(timeoutMs != 0 ? timeoutMs : answerMs_));
    line.trace = &trace_;
    return kelvora::GsmModem(line, NumericResults());
}

Answer ModemLine::Ask(const std::string& command) {
    const bool opensMessage = StartsWith(command, "AT+CMGS=") || StartsWith(command, "at+cmgs=");
    std::string buffer = command + "\r";
    clock_->Begin(command.size() > 40 ? command.substr(0, 37) + "..." : command);
    uint32_t length = static_cast<uint32_t>(buffer.size());
    kelvora::ExchangeResult result;
    kelvora::GsmModem modem = Modem();
    // A command that opens a message (AT+CMGS) ends at the driver's prompt.
    modem.ExchangeUntil(buffer, length, opensMessage ? kelvora::kPrompt : kelvora::kFinalResult, &result);
    return Read(buffer, result, opensMessage);
}

Answer ModemLine::Send(const std::string& bytes) {
    std::string buffer = bytes;
    clock_->Begin(bytes == kEscape ? "ESC" : "the message");
    uint32_t length = static_cast<uint32_t>(buffer.size());
    kelvora::ExchangeResult result;
    kelvora::GsmModem modem = Modem();
    modem.ExchangeUntil(buffer, length, kelvora::kFinalResult, &result);
    return Read(buffer, result, false);
}

void ModemLine::SetProgress(std::function<void(const std::string& waitingFor)> progress) {
    clock_->progress = std::move(progress);
}

void ModemLine::SetShowDialogue(bool show) { trace_.Attach(show ? kelvora::TraceSink::Open("stderr") : nullptr); }

}  // namespace kelvora_host
