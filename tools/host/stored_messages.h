// The messages a modem holds, read from an "AT+CMGL=4" listing in PDU mode,
// and described for a person: sender, time stamp, text, and whether the text
// is a Kelvora frame and what it would do.
#pragma once

#include <string>
#include <vector>

namespace kelvora_host {

struct StoredMessage {
    int index = 0;
    int status = 0;   // 0 received unread, 1 received read, 2 stored unsent, 3 stored sent
    std::string pdu;  // hexadecimal, service-centre part included
};

// Every whole "+CMGL: <index>,<stat>,[<alpha>],<length>" entry and its PDU line.
std::vector<StoredMessage> ParseListing(const std::string& answer);

// One line: "  3  read    from +8613900000001  2024-05-01 14:03:07 +08  \"BEGINWM...\"  write command: M5.120 = 42".
std::string DescribeStoredMessage(const StoredMessage& message);

}  // namespace kelvora_host
