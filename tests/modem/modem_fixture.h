// What the modem tests share: a driver object on a scripted port and a fake
// clock, and a player of byte-exact modem transcripts (tests/modem/transcripts).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/driver_base.h"
#include "driver/standing_alone.h"
#include "modem/gsm_modem.h"
#include "support/fake_clock.h"
#include "support/scripted_port.h"

namespace kelvora::testing {

// A transcript: "> " lines are what the driver must write, byte for byte;
// "< " lines what the modem answers to the write before them ("<@N " N ms
// later); answers before the first "> " are waiting from the start.
struct TranscriptStep {
    std::string expect;
    std::vector<std::pair<uint32_t, std::string>> answers;  // delay, bytes
};

inline std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'r') out += '\r';
        else if (c == 'n') out += '\n';
        else if (c == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else out += c;
    }
    return out;
}

inline std::vector<TranscriptStep> ParseTranscript(const std::string& text) {
    std::vector<TranscriptStep> steps(1);  // step 0: what waits before the dialogue
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.rfind("> ", 0) == 0) {
            steps.push_back(TranscriptStep{Unescape(line.substr(2)), {}});
        } else if (line.rfind("<@", 0) == 0) {
            const size_t space = line.find(' ');
            steps.back().answers.emplace_back(static_cast<uint32_t>(std::stoul(line.substr(2, space - 2))),
                                              Unescape(line.substr(space + 1)));
        } else if (line.rfind("< ", 0) == 0) {
            steps.back().answers.emplace_back(0u, Unescape(line.substr(2)));
        }
    }
    return steps;
}

// Plays a transcript behind a ScriptedPort: checks every write against the
// next expected one and lets the answers arrive.
class TranscriptPlayer {
public:
    TranscriptPlayer(ScriptedPort& port, const std::string& text) : steps_(ParseTranscript(text)) {
        for (const auto& [delay, bytes] : steps_[0].answers) port.Arrive(bytes, delay);
        port.onWrite = [this](ScriptedPort& p, const std::string& chunk) { OnWrite(p, chunk); };
    }

    // Every expected write came, and nothing else was written.
    bool Complete() const { return next_ == steps_.size() && pending_.empty() && error_.empty(); }
    const std::string& error() const { return error_; }
    size_t StepsDone() const { return next_ - 1; }

private:
    void OnWrite(ScriptedPort& port, const std::string& chunk) {
        pending_ += chunk;
        while (error_.empty() && next_ < steps_.size() && pending_.size() >= steps_[next_].expect.size()) {
            const TranscriptStep& step = steps_[next_];
            if (pending_.compare(0, step.expect.size(), step.expect) != 0) break;
            pending_.erase(0, step.expect.size());
            for (const auto& [delay, bytes] : step.answers) port.Arrive(bytes, delay);
            ++next_;
        }
        const std::string expected = next_ < steps_.size() ? steps_[next_].expect : std::string();
        if (error_.empty() && !pending_.empty() && expected.compare(0, pending_.size(), pending_) != 0) {
            error_ = "unexpected write \"" + pending_ + "\", expected \"" + expected + "\"";
        }
    }

    std::vector<TranscriptStep> steps_;
    size_t next_ = 1;
    std::string pending_;
    std::string error_;
};

// A modem that gives the prompt to every "AT+CMGS" and accepts every PDU.
inline void AcceptEverySend(ScriptedPort& port) {
    port.onWrite = [](ScriptedPort& p, const std::string& chunk) {
        p.Arrive(chunk.rfind("AT+CMGS=", 0) == 0 ? "\r\n> " : "\r\n+CMGS: 1\r\n\r\nOK\r\n", 10);
    };
}

// The modem on a driver's line as the line is at each call, as a station
// makes one for each operation: the tests change the driver's time-out and
// line type between calls.
class ModemOnDriver {
public:
    explicit ModemOnDriver(DriverBase& driver) : driver_(driver) {}
    GsmModem Now() const { return GsmModem(driver_.Line()); }

    bool ExchangeUntil(std::string& buffer, uint32_t& length, const char* terminator,
                       ExchangeResult* result = nullptr) {
        return Now().ExchangeUntil(buffer, length, terminator, result);
    }
    bool SendPdu(const SmsRecord& record, SendResult* result = nullptr) { return Now().SendPdu(record, result); }
    bool SendSms(const char* serviceCentre, const char* destination, const char* text, SendResult* result = nullptr,
                 SmsCoding coding = SmsCoding::kUcs2) {
        return Now().SendSms(serviceCentre, destination, text, result, coding);
    }
    bool RefuseSend(const char* destination, const char* text, SendRefusal why, SendResult* result = nullptr) {
        return Now().RefuseSend(destination, text, why, result);
    }
    int ListMessages(SmsRecord* records, size_t capacity = kMaxListedRecords,
                     ListFilter filter = ListFilter::kReceivedUnread, ExchangeResult* result = nullptr,
                     int32_t* statuses = nullptr) {
        return Now().ListMessages(records, capacity, filter, result, statuses);
    }
    bool DeleteMessage(int32_t index, ExchangeResult* result = nullptr) {
        return Now().DeleteMessage(index, result);
    }

private:
    DriverBase& driver_;
};

class ModemTest : public ::testing::Test {
protected:
    ModemTest() {
        auto scripted = std::make_unique<ScriptedPort>(&clock);
        port = scripted.get();
        port->Open("\\\\.\\COM1", 2048, 2048);
        driver.SetPort(std::move(scripted));
        driver.SetClock(clock);
        driver.timeoutMs = 1000;
    }

    FakeClock clock;
    StandingAlone<> driver;
    ScriptedPort* port;
    ModemOnDriver modem{driver};
};

}  // namespace kelvora::testing
