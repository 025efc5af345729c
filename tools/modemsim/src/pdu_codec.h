// Reading and writing of SMS transfer-layer PDUs (TS 23.040) as the
// hexadecimal text of PDU mode (TS 27.005), and the network's numbering.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "modemsim/modemsim.h"

namespace modemsim {

bool HexToOctets(const std::string& hex, std::vector<uint8_t>* out);
std::string OctetsToHex(const std::vector<uint8_t>& octets);

// The alphabet a TP-DCS value selects (TS 23.038 coding groups).
Coding AlphabetOf(uint8_t dataCoding);

// An address field: digits (and *, #, a, b, c) as semi-octets, with its type.
struct Address {
    std::string digits;
    uint8_t type = 0x81;
};
// "+86..." gives type 0x91 (international, ISDN plan); anything else 0x81.
Address AddressFromText(const std::string& text);

// The parts of an SMS-DELIVER; user data as it travels (header included).
struct DeliverParts {
    Address serviceCentre;        // empty digits: no service-centre part
    Address originator;
    uint8_t protocolId = 0;
    uint8_t dataCoding = 0;
    bool userDataHeader = false;
    int userDataLength = 0;
    std::vector<uint8_t> userData;
    SystemTime time;
};
std::string BuildDeliver(const DeliverParts& parts);

// The 7 octets of TP-SCTS for a local time.
std::vector<uint8_t> TimestampOctets(SystemTime time);

// <length> of +CMGL/+CMGS: the octets after the service-centre part; -1 when not hexadecimal.
int TpduLength(const std::string& hex);

}  // namespace modemsim
