// FakeModem: a GSM modem in PDU mode played behind a ScriptedPort, no kinder
// than a real one. Its store keeps each message's status as TS 27.005 does:
// "AT+CMGL" lists the received unread messages and marks them read,
// "AT+CMGL=<stat>" lists by status; "AT+CMGD" deletes (or refuses to, on
// demand). It takes "AT+CMGS" submissions, which it decodes so that tests can
// read them. Answers come a little after the command, as on a real line.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "deliver_pdu.h"
#include "support/scripted_port.h"

namespace kelvora::testing {

class FakeModem {
public:
    struct Stored {
        std::string pdu;  // SMS-DELIVER in hexadecimal
        bool read = false;
    };

    // Answers what the driver writes to port (replaces port.onWrite).
    FakeModem(ScriptedPort& port, FakeClock& clock);

    // Stores an incoming message under a storage index; returns it.
    int32_t Receive(const std::string& sender, const std::string& text, bool alphanumeric = false,
                    const std::string& timestamp = "23110612345032");
    void ReceiveAt(int32_t index, const std::string& sender, const std::string& text, bool alphanumeric = false,
                   const std::string& timestamp = "23110612345032");

    std::map<int32_t, Stored> store;  // index -> message
    std::vector<SubmittedSms> sent;
    std::vector<int32_t> deleted;
    std::vector<uint32_t> sendTicks;  // fake-clock time of each submission
    std::vector<std::string> commands;  // every command line, in order
    int listings = 0;      // "AT+CMGL": the listings of new messages, one a poll
    int readListings = 0;  // "AT+CMGL=1"
    bool silent = false;         // answer nothing at all
    int answersLeft = -1;        // >= 0: answer this many more commands, then fall silent
    int refuseSubmissions = 0;   // not 0: every PDU is answered "+CMS ERROR: <this>"
    int refuseDeletes = 0;       // the next this many deletes answer "+CMS ERROR: 500" and keep the message
    std::set<int32_t> undeletable;  // every delete of these indices answers "+CMS ERROR: 321" (a stuck SIM record)
    int refuseListings = 0;      // not 0: every listing is answered "+CMS ERROR: <this>" (-1: "ERROR")
    size_t cutNextListingAt = 0; // not 0: the next listing that names a message stops after this many
                                 // bytes (every message it named is read all the same)
    uint32_t answerDelayMs = 20;
    bool echo = false;  // every command comes back at once, answered or not (ATE1)
    // When set, the next listing that names a message is handed here instead of to the
    // line (then the hook is cleared): a test can split it, delay it or
    // change it before calling port.Arrive.
    std::function<void(ScriptedPort& port, const std::string& answer)> shapeNextListing;
    // Called after a delete that removed a message: a test can store a new
    // one in the freed place.
    std::function<void(int32_t index)> onDeleted;

private:
    void Command(ScriptedPort& port, const std::string& line);
    std::string Listing(int status, const std::string& command);

    FakeClock& clock_;
    std::string pending_;
    bool awaitingPdu_ = false;
    int32_t nextIndex_ = 1;
};

}  // namespace kelvora::testing
