// modem_pdu_tool: the modem layer's PDU encoder and decoder on standard input
// and output, for cross-checks with an independent implementation.
//   E <serviceCentre> <peerNumber> <text as hex, ANSI code page>  ->  <SUBMIT PDU>
//   D <DELIVER PDU>  ->  sc|peer|typeOfAddress|pid|dcs|timestamp|<text as hex>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "modem/deliver_pdu.h"
#include "modem/pdu_codecs.h"
#include "modem/submit_pdu.h"

using namespace kelvora;

int main() {
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string op;
        in >> op;
        if (op == "E") {
            std::string sc, peer, textHex;
            in >> sc >> peer >> textHex;
            SmsRecord record;
            std::memset(&record, 0, sizeof record);
            std::strncpy(record.serviceCentre, sc.c_str(), sizeof record.serviceCentre - 1);
            std::strncpy(record.peerNumber, peer.c_str(), sizeof record.peerNumber - 1);
            HexToBytes(textHex.c_str(), static_cast<int>(std::min<size_t>(textHex.size(), 320)),
                       reinterpret_cast<uint8_t*>(record.text));
            record.codingScheme = 8;
            char pdu[kSubmitPduCapacity];
            EncodeSubmitPdu(record, pdu);
            std::cout << pdu << '\n';
        } else if (op == "D") {
            std::string hex;
            in >> hex;
            SmsRecord r;
            std::memset(&r, 0, sizeof r);
            DecodeDeliverPdu(hex.c_str(), r);
            std::vector<char> text(2 * sizeof r.text + 1);
            BytesToHex(reinterpret_cast<const uint8_t*>(r.text), static_cast<int>(std::strlen(r.text)), text.data());
            std::cout << r.serviceCentre << '|' << r.peerNumber << '|' << int{r.peerTypeOfAddress} << '|'
                      << int{r.protocolId} << '|' << int{r.codingScheme} << '|' << r.timestamp << '|'
                      << text.data() << '\n';
        } else {
            std::cout << "?\n";
        }
        std::cout.flush();
    }
    return 0;
}
