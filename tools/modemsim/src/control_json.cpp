// The control protocol's JSON for what the simulator keeps: decoded PDUs,
// messages sent through the network, the modems' command logs.
#include <chrono>

#include "modemsim/control.h"
#include "pdu_codec.h"

namespace modemsim {
namespace {

using nlohmann::json;

int64_t EpochMs(SystemTime t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

const char* CodingName(Coding coding) {
    switch (coding) {
        case Coding::Gsm7: return "gsm7";
        case Coding::Ucs2: return "ucs2";
        case Coding::EightBit: return "8bit";
    }
    return "?";
}

}  // namespace

std::string DumpJson(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

json ToJson(const DecodedPdu& d) {
    json j{{"ok", d.ok}};
    if (!d.ok) j["error"] = d.error;
    j["service_centre"] = d.serviceCentre;
    j["service_centre_type"] = d.serviceCentreType;
    j["first_octet"] = d.firstOctet;
    j["type"] = d.isSubmit ? "submit" : "deliver";
    j["address"] = d.address;
    j["address_type"] = d.addressType;
    j["protocol_id"] = d.protocolId;
    j["dcs"] = d.dataCoding;
    j["coding"] = CodingName(d.alphabet);
    if (d.isSubmit) {
        j["message_reference"] = d.messageReference;
        j["validity_period_format"] = d.validityPeriodFormat;
    } else {
        j["timestamp"] = d.timestamp;
    }
    j["udl"] = d.userDataLength;
    j["user_data"] = OctetsToHex(d.userData);
    if (!d.userDataHeader.empty()) j["user_data_header"] = OctetsToHex(d.userDataHeader);
    j["text"] = d.text;
    return j;
}

json ToJson(const SubmittedPdu& s) {
    json copies = json::array();
    for (const SubmittedPdu::Copy& c : s.copies) copies.push_back({{"delivered_ms", EpochMs(c.time)}, {"stored_index", c.storedIndex}});
    return json{{"time_ms", EpochMs(s.time)},
                {"from", s.fromModem},
                {"from_number", s.fromNumber},
                {"pdu", s.pdu},
                {"announced_length", s.announcedLength},
                {"accepted", s.accepted},
                {"cms_error", s.cmsError},
                {"mr", s.messageReference},
                {"outcome", ToString(s.outcome)},
                {"to", s.toModem},
                {"stored_index", s.storedIndex},
                {"delivered_ms", s.deliveredTime == SystemTime{} ? json(nullptr) : json(EpochMs(s.deliveredTime))},
                {"deliver_pdu", s.deliverPdu},
                {"copies", copies},
                {"decoded", ToJson(s.decoded)}};
}

json ToJson(const LogEntry& entry) {
    return json{{"time_ms", EpochMs(entry.time)},
                {"command", entry.command},
                {"response", entry.response},
                {"delay_ms", entry.delay.count()}};
}

}  // namespace modemsim
