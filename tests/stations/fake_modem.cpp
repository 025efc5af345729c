// FakeModem: the modem side of the station tests (see the header).
#include "fake_modem.h"

#include <cstdlib>

namespace kelvora::testing {

FakeModem::FakeModem(ScriptedPort& port, FakeClock& clock) : clock_(clock) {
    port.onWrite = [this](ScriptedPort& p, const std::string& chunk) {
        if (silent) return;
        pending_ += chunk;
        // A command ends with CR; a PDU after the prompt ends with Ctrl-Z.
        for (;;) {
            const size_t end = pending_.find_first_of(awaitingPdu_ ? "\x1A" : "\r");
            if (end == std::string::npos) return;
            const std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            Command(p, line);
        }
    };
}

int32_t FakeModem::Receive(const std::string& sender, const std::string& text, bool alphanumeric) {
    const int32_t index = nextIndex_++;
    ReceiveAt(index, sender, text, alphanumeric);
    return index;
}

void FakeModem::ReceiveAt(int32_t index, const std::string& sender, const std::string& text, bool alphanumeric) {
    store[index] = DeliverPdu(sender, text, alphanumeric);
    if (index >= nextIndex_) nextIndex_ = index + 1;
}

void FakeModem::Command(ScriptedPort& port, const std::string& line) {
    if (awaitingPdu_) {
        awaitingPdu_ = false;
        if (refuseSubmissions != 0) {
            port.Arrive("\r\n+CMS ERROR: " + std::to_string(refuseSubmissions) + "\r\n");
            return;
        }
        sent.push_back(ReadSubmitPdu(line));
        sendTicks.push_back(clock_.Now());
        port.Arrive("\r\n+CMGS: 7\r\n\r\nOK\r\n");
        return;
    }
    if (line == "AT+CMGL") {
        ++listings;
        std::string answer = "\r\n";
        for (const auto& [index, pdu] : store) {
            answer += "+CMGL: " + std::to_string(index) + ",0,," + std::to_string(pdu.size() / 2 - 8) + "\r\n";
            answer += pdu + "\r\n";
        }
        answer += "\r\nOK\r\n";
        port.Arrive(answer);
    } else if (line.rfind("AT+CMGD=", 0) == 0) {
        const int32_t index = static_cast<int32_t>(std::strtol(line.c_str() + 8, nullptr, 10));
        deleted.push_back(index);
        store.erase(index);
        port.Arrive("\r\nOK\r\n");
    } else if (line.rfind("AT+CMGS=", 0) == 0) {
        awaitingPdu_ = true;
        port.Arrive("\r\n> ");
    } else {
        port.Arrive("\r\nERROR\r\n");
    }
}

}  // namespace kelvora::testing
