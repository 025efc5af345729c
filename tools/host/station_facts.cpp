// The stations as their documentation describes them.
#include "station_facts.h"

#include <cstring>

namespace kelvora_host {

std::string RegisterTypeName(const kelvora::RegisterInfo& info) {
    return std::string(info.name, strnlen(info.name, sizeof(info.name)));
}

std::string AddressSyntax(StationRole role, const std::string& typeName) {
    const bool central = role == StationRole::kCentral;
    if (typeName == "M") {
        return central ? "M<site>.<address>, and M<site>.<address>.<bit> for data type bit (site 0-31, "
                         "address 0-1000, bit 0-31)"
                       : "M<address> (0-1000)";
    }
    if (typeName == "SEND_MSG") return central ? "SEND_MSG<site>, text only" : "SEND_MSG exactly, text only";
    if (typeName == "SMSC" || typeName == "DETC") {
        return central ? typeName + "<site>, text only" : typeName + " exactly (upper case), text only";
    }
    if (typeName == "COMFLAG") return "COMFLAG exactly (upper case), data type bit";
    return std::string();
}

bool WriteSendsMessage(StationRole role, const std::string& typeName) {
    return typeName == "SEND_MSG" || (role == StationRole::kCentral && typeName == "M");
}

bool BitWriteIsSingleBit(StationRole role, const std::string& typeName) {
    return role == StationRole::kCentral && typeName == "M";
}

std::string ReportSwitchRegister(StationRole role) {
    return role == StationRole::kRemote ? "COMFLAG" : std::string();
}

std::string DestinationRegister(StationRole role, int32_t site) {
    return role == StationRole::kCentral ? "DETC" + std::to_string(site) : "DETC";
}

}  // namespace kelvora_host
