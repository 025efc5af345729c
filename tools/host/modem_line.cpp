// The console's AT dialogue: opening the port, asking, and reading answers
// for their final result code.
#include "modem_line.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "console_text.h"

namespace kelvora_host {
namespace {

using SteadyClock = std::chrono::steady_clock;

// No answer grows past this: a babbling line cannot hold the console.
constexpr size_t kMaxAnswerBytes = 256 * 1024;
// However long it flows, an answer ends after this.
constexpr uint32_t kMaxAnswerMs = 300000;
// A modem's answer to ESC after a half-begun message.
constexpr uint32_t kRecoverMs = 300;

uint32_t ElapsedMs(SteadyClock::time_point since) {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - since).count());
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

// Reads what the answer so far says: a final result code ends it.
void Classify(Answer* answer) {
    const std::string& raw = answer->raw;
    answer->final.clear();
    if (raw.empty()) {
        answer->kind = AnswerKind::kNone;
        return;
    }
    const size_t n = raw.size();
    if (raw.back() == '\n' || raw.back() == '\r') {
        const std::vector<std::string> lines = SplitLines(raw);
        const std::string& last = lines.empty() ? std::string() : lines.back();
        if (last == "OK" && raw.back() == '\n') {
            answer->kind = AnswerKind::kOk;
            answer->final = last;
            return;
        }
        if ((last == "ERROR" || StartsWith(last, "+CMS ERROR:") || StartsWith(last, "+CME ERROR:")) &&
            raw.back() == '\n') {
            answer->kind = AnswerKind::kError;
            answer->final = last;
            return;
        }
        // Numeric result codes (ATV0) end with CR alone: "0\r" OK, "4\r" ERROR.
        if (raw.back() == '\r' && n >= 2 && (raw[n - 2] == '0' || raw[n - 2] == '4') &&
            (n == 2 || raw[n - 3] == '\n' || raw[n - 3] == '\r')) {
            answer->kind = raw[n - 2] == '0' ? AnswerKind::kNumericOk : AnswerKind::kNumericError;
            answer->final = raw.substr(n - 2, 1);
            return;
        }
    }
    if (n >= 2 && raw.compare(n - 2, 2, "> ") == 0) {
        answer->kind = AnswerKind::kPrompt;
        answer->final = ">";
        return;
    }
    answer->kind = AnswerKind::kUnclear;
}

bool Finished(AnswerKind kind) { return kind != AnswerKind::kNone && kind != AnswerKind::kUnclear; }

}  // namespace

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

std::string Printable(const std::string& raw, size_t limit) {
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
    return out.size() > limit ? out.substr(0, limit - 3) + "..." : out;
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

bool ModemLine::Open(const PortOptions& options, const ResolvedPort& resolved, std::string* error) {
    BindDevicePath(resolved);
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
    port_->SetHandshakeMode(2);  // DTR and RTS on, no flow control: as the driver sets the line
    port_->SetReadTimeoutMode(2);
    // A send cut off after "AT+CMGS" leaves the modem waiting for the
    // message's text, where it takes every command for text: ESC ends that
    // (and is ignored at the command line), CR ends a half-typed command.
    // What they bring back is drained before the first question.
    uint32_t written = 0;
    port_->Write("\x1B\r", 2, &written, nullptr, 2000);
    std::this_thread::sleep_for(std::chrono::milliseconds(kRecoverMs));
    Drain();
    return true;
}

void ModemLine::Close() {
    if (port_) port_->Close();
    port_.reset();
}

void ModemLine::Drain() {
    for (int i = 0; i < 100; ++i) {
        char buffer[256];
        uint32_t count = 0;
        if (port_->Read(buffer, sizeof(buffer), &count, nullptr, 1000) != 0 || count == 0) return;
    }
}

Answer ModemLine::Ask(const std::string& command, uint32_t quietMs) { return Send(command + "\r", quietMs); }

Answer ModemLine::Send(const std::string& bytes, uint32_t quietMs) {
    if (!port_) return Answer();
    Drain();
    uint32_t written = 0;
    if (showDialogue_) WriteErr("  -> " + Printable(bytes, 4096) + "\n");
    if (port_->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), &written, nullptr, 2000) != 0) {
        return Answer();
    }
    std::string what = bytes.substr(0, bytes.find_first_of("\r\x1A"));
    const Answer answer = Collect(what.size() > 40 ? what.substr(0, 37) + "..." : what, quietMs);
    if (showDialogue_) WriteErr("  <- " + Printable(answer.raw, 4096) + "\n");
    return answer;
}

Answer ModemLine::Collect(const std::string& what, uint32_t quietMs) {
    Answer answer;
    const auto start = SteadyClock::now();
    auto lastByte = start;
    bool told = false;
    while (ElapsedMs(lastByte) < quietMs && ElapsedMs(start) < kMaxAnswerMs && answer.raw.size() < kMaxAnswerBytes) {
        if (!told && progress_ && ElapsedMs(start) >= 1000) {
            progress_(what);
            told = true;
        }
        char buffer[256];
        uint32_t count = 0;
        if (port_->Read(buffer, sizeof(buffer), &count, nullptr, 1000) != 0) break;
        if (count == 0) continue;
        answer.raw.append(buffer, count);
        lastByte = SteadyClock::now();
        Classify(&answer);
        if (Finished(answer.kind)) return answer;
    }
    Classify(&answer);
    if (answer.kind == AnswerKind::kPrompt) return answer;
    if (!Finished(answer.kind)) answer.kind = answer.raw.empty() ? AnswerKind::kNone : AnswerKind::kUnclear;
    return answer;
}

}  // namespace kelvora_host
