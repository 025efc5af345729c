// The modem behind the fuzz targets' stations (see the header).
#include "support/station_rig.h"

namespace kelvora::fuzz {

std::string AnswerTo(const std::string& command, const std::string& listing) {
    if (command == "AT+CMGL\r") return listing;  // the unread messages: the one the target prepared
    if (command.rfind("AT+CMGL=", 0) == 0) return "\r\nOK\r\n";  // no read messages
    if (command.rfind("AT+CMGS=", 0) == 0) return "\r\n> ";
    if (!command.empty() && command.back() == '\x1A') return "\r\n+CMGS: 1\r\n\r\nOK\r\n";
    if (command.rfind("AT+CMGD=", 0) == 0) return "\r\nOK\r\n";
    return "\r\nERROR\r\n";
}

}  // namespace kelvora::fuzz
