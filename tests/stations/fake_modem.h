// FakeModem: a GSM modem in PDU mode played behind a ScriptedPort. It keeps a
// message store that "AT+CMGL" lists and "AT+CMGD" empties, and takes
// "AT+CMGS" submissions, which it decodes so that tests can read them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "deliver_pdu.h"
#include "support/scripted_port.h"

namespace kelvora::testing {

class FakeModem {
public:
    // Answers what the driver writes to port (replaces port.onWrite).
    FakeModem(ScriptedPort& port, FakeClock& clock);

    // Stores an incoming message under a storage index; returns it.
    int32_t Receive(const std::string& sender, const std::string& text, bool alphanumeric = false);
    void ReceiveAt(int32_t index, const std::string& sender, const std::string& text, bool alphanumeric = false);

    std::map<int32_t, std::string> store;  // index -> DELIVER PDU
    std::vector<SubmittedSms> sent;
    std::vector<int32_t> deleted;
    std::vector<uint32_t> sendTicks;  // fake-clock time of each submission
    int listings = 0;
    bool silent = false;  // answer nothing at all
    int refuseSubmissions = 0;  // not 0: every PDU is answered "+CMS ERROR: <this>"

private:
    void Command(ScriptedPort& port, const std::string& line);

    FakeClock& clock_;
    std::string pending_;
    bool awaitingPdu_ = false;
    int32_t nextIndex_ = 1;
};

}  // namespace kelvora::testing
