// FakeModem: the modem side of the station tests (see the header).
#include "fake_modem.h"

#include <cstdlib>

namespace kelvora::testing {

namespace {

constexpr int kUnread = 0;
constexpr int kRead = 1;
constexpr int kAll = 4;

}  // namespace

FakeModem::FakeModem(ScriptedPort& port, FakeClock& clock) : clock_(clock) {
    port.onWrite = [this](ScriptedPort& p, const std::string& chunk) {
        pending_ += chunk;
        // A command ends with CR; a PDU after the prompt ends with Ctrl-Z.
        for (;;) {
            const size_t end = pending_.find_first_of(awaitingPdu_ ? "\x1A" : "\r");
            if (end == std::string::npos) return;
            const std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            commands.push_back(line);
            if (echo) p.Arrive(line + (awaitingPdu_ ? "\x1A" : "\r"));
            if (silent || answersLeft == 0) {
                awaitingPdu_ = false;
                continue;
            }
            if (answersLeft > 0) --answersLeft;
            Command(p, line);
        }
    };
}

int32_t FakeModem::Receive(const std::string& sender, const std::string& text, bool alphanumeric,
                           const std::string& timestamp) {
    const int32_t index = nextIndex_++;
    ReceiveAt(index, sender, text, alphanumeric, timestamp);
    return index;
}

void FakeModem::ReceiveAt(int32_t index, const std::string& sender, const std::string& text, bool alphanumeric,
                          const std::string& timestamp) {
    store[index] = Stored{DeliverPdu(sender, text, alphanumeric, timestamp), false};
    if (index >= nextIndex_) nextIndex_ = index + 1;
}

std::string FakeModem::Listing(int status, const std::string& command) {
    if (command == "AT+CMGL") ++listings;
    if (command == "AT+CMGL=1") ++readListings;
    std::string answer = "\r\n";
    bool named = false;
    for (auto& [index, message] : store) {
        const int stat = message.read ? kRead : kUnread;
        if (status != kAll && status != stat) continue;
        answer += "+CMGL: " + std::to_string(index) + "," + std::to_string(stat) + ",," +
                  std::to_string(message.pdu.size() / 2 - 8) + "\r\n" + message.pdu + "\r\n";
        message.read = true;  // listed means read, whether or not the line carried it whole
        named = true;
    }
    answer += "\r\nOK\r\n";
    if (named && cutNextListingAt != 0) {
        if (cutNextListingAt < answer.size()) answer.resize(cutNextListingAt);
        cutNextListingAt = 0;
    }
    return answer;
}

void FakeModem::Command(ScriptedPort& port, const std::string& line) {
    if (awaitingPdu_) {
        awaitingPdu_ = false;
        if (refuseSubmissions != 0) {
            port.Arrive("\r\n+CMS ERROR: " + std::to_string(refuseSubmissions) + "\r\n", answerDelayMs);
            return;
        }
        sent.push_back(ReadSubmitPdu(line));
        sendTicks.push_back(clock_.Now());
        port.Arrive("\r\n+CMGS: 7\r\n\r\nOK\r\n", answerDelayMs);
        return;
    }
    if (line.rfind("AT+CMGL", 0) == 0 && refuseListings != 0) {
        port.Arrive(refuseListings < 0 ? "\r\nERROR\r\n" : "\r\n+CMS ERROR: " + std::to_string(refuseListings) + "\r\n",
                    answerDelayMs);
    } else if (line.rfind("AT+CMGL", 0) == 0) {
        const std::string answer = Listing(line == "AT+CMGL" ? kUnread : std::atoi(line.c_str() + 8), line);
        if (shapeNextListing && answer.find("+CMGL:") != std::string::npos) {
            const auto shape = std::move(shapeNextListing);
            shapeNextListing = nullptr;
            shape(port, answer);
        } else {
            port.Arrive(answer, answerDelayMs);
        }
    } else if (line.rfind("AT+CMGD=", 0) == 0) {
        const int32_t index = static_cast<int32_t>(std::strtol(line.c_str() + 8, nullptr, 10));
        if (undeletable.count(index) != 0) {
            port.Arrive("\r\n+CMS ERROR: 321\r\n", answerDelayMs);
            return;
        }
        if (refuseDeletes > 0) {
            --refuseDeletes;
            port.Arrive("\r\n+CMS ERROR: 500\r\n", answerDelayMs);
            return;
        }
        deleted.push_back(index);
        const bool there = store.erase(index) != 0;
        port.Arrive(there ? "\r\nOK\r\n" : "\r\n+CMS ERROR: 321\r\n", answerDelayMs);
        if (there && onDeleted) onDeleted(index);
    } else if (line.rfind("AT+CMGS=", 0) == 0) {
        awaitingPdu_ = true;
        port.Arrive("\r\n> ", answerDelayMs);
    } else {
        port.Arrive("\r\nERROR\r\n", answerDelayMs);
    }
}

}  // namespace kelvora::testing
