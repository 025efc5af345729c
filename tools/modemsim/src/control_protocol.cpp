// The requests of the control protocol (see modemsim/control.h).
#include <algorithm>
#include <chrono>

#include "modemsim/control.h"
#include "pdu_codec.h"

namespace modemsim {
namespace {

using nlohmann::json;

int64_t EpochMs(SystemTime t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

json Fail(const std::string& why) { return json{{"ok", false}, {"error", why}}; }

bool ParseCoding(const std::string& text, Coding* coding) {
    if (text == "gsm7" || text == "7bit") *coding = Coding::Gsm7;
    else if (text == "ucs2") *coding = Coding::Ucs2;
    else if (text == "8bit") *coding = Coding::EightBit;
    else return false;
    return true;
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

json HandleControlRequest(Network& network, const json& request, bool* quit) {
    try {
        if (!request.is_object() || !request.contains("cmd")) return Fail("a request is an object with \"cmd\"");
        const std::string cmd = request.at("cmd").get<std::string>();
        json reply{{"ok", true}};
        if (cmd == "modems") {
            json list = json::array();
            for (size_t i = 0; i < network.ModemCount(); ++i) {
                Modem m = network.modem(i);
                const std::vector<StoredMessage> stored = m.Stored();
                const std::vector<int> undeletable = m.UndeletablePlaces();
                size_t stuck = 0;
                for (const StoredMessage& s : stored) {
                    stuck += std::count(undeletable.begin(), undeletable.end(), s.index) != 0 ? 1 : 0;
                }
                list.push_back({{"index", i},
                                {"device", m.DevicePath()},
                                {"number", m.Number()},
                                {"line_open", m.LineOpen()},
                                {"capacity", m.Capacity()},
                                {"stored", stored.size()},
                                {"high_water", m.StoreHighWater()},
                                {"undeletable", undeletable},
                                {"stuck", stuck}});
            }
            reply["modems"] = list;
            return reply;
        }
        if (cmd == "stats") {
            const NetworkStats s = network.Stats();
            reply["submitted"] = s.submitted;
            reply["delivered"] = s.delivered;
            reply["undeliverable"] = s.undeliverable;
            reply["rejected"] = s.rejected;
            reply["pending"] = s.pending;
            reply["duplicated"] = s.duplicated;
            reply["held"] = s.held;
            return reply;
        }
        if (cmd == "quit") {
            if (quit) *quit = true;
            return reply;
        }
        if (cmd == "submitted" && !request.contains("modem")) {
            json list = json::array();
            for (const SubmittedPdu& s : network.Submitted()) list.push_back(ToJson(s));
            reply["submitted"] = list;
            return reply;
        }
        if (cmd == "baud" && !request.contains("modem")) {
            const uint32_t rate = request.at("rate").get<uint32_t>();
            for (size_t i = 0; i < network.ModemCount(); ++i) network.modem(i).SetBaudRate(rate);
            return reply;
        }
        const size_t index = request.at("modem").get<size_t>();
        if (index >= network.ModemCount()) return Fail("no modem " + std::to_string(index));
        Modem m = network.modem(index);
        std::string error;
        if (cmd == "inject") {
            Coding coding = Coding::Ucs2;
            if (!ParseCoding(request.value("coding", std::string("ucs2")), &coding)) return Fail("unknown coding");
            const int at = m.InjectText(request.at("sender").get<std::string>(), request.at("text").get<std::string>(),
                                        coding, request.value("index", 0), &error);
            if (at < 0) return Fail(error);
            reply["index"] = at;
        } else if (cmd == "inject_pdu") {
            const int status = request.value("status", 0);
            if (status < 0 || status > 3) return Fail("status is 0 to 3");
            const int at = m.InjectPdu(request.at("pdu").get<std::string>(), static_cast<MessageStatus>(status),
                                       request.value("index", 0), &error);
            if (at < 0) return Fail(error);
            reply["index"] = at;
        } else if (cmd == "stored") {
            json list = json::array();
            for (const StoredMessage& s : m.Stored()) {
                list.push_back({{"index", s.index},
                                {"status", static_cast<int>(s.status)},
                                {"length", s.tpduLength},
                                {"pdu", s.pdu},
                                {"decoded", ToJson(DecodePdu(s.pdu))}});
            }
            reply["messages"] = list;
        } else if (cmd == "clear_store") {
            m.ClearStore();
        } else if (cmd == "submitted") {
            json list = json::array();
            for (const SubmittedPdu& s : m.Submitted()) list.push_back(ToJson(s));
            reply["submitted"] = list;
        } else if (cmd == "log") {
            json list = json::array();
            for (const LogEntry& e : m.CommandLog()) {
                list.push_back({{"time_ms", EpochMs(e.time)}, {"command", e.command}, {"response", e.response},
                                {"delay_ms", e.delay.count()}});
            }
            reply["log"] = list;
        } else if (cmd == "clear_log") {
            m.ClearLog();
        } else if (cmd == "fault") {
            Fault f;
            if (!ParseFaultKind(request.at("kind").get<std::string>(), &f.kind)) return Fail("unknown fault kind");
            f.command = request.value("command", std::string());
            f.times = request.value("times", 1);
            f.delay = Millis(request.value("delay_ms", 0));
            f.cmsError = request.value("cms_error", 500);
            f.bytes = request.value("bytes", std::string());
            f.keepBytes = request.value("keep_bytes", static_cast<size_t>(0));
            f.afterLines = request.value("after_lines", static_cast<size_t>(1));
            f.echo = request.value("echo", false);
            m.InjectFault(f);
        } else if (cmd == "hold_back" || cmd == "deliver_twice") {
            const int times = request.value("times", 1);
            const size_t overtakenBy = request.value("overtaken_by", static_cast<size_t>(1));
            const Millis longest(request.value("longest_ms", 60000));
            const Millis follow(request.value("follow_ms", 0));
            if (cmd == "hold_back") {
                m.HoldBack(times, overtakenBy, longest, follow);
            } else {
                m.DeliverTwice(times, overtakenBy, longest, follow);
            }
        } else if (cmd == "undeletable") {
            const int place = request.at("index").get<int>();
            if (place < 1 || static_cast<size_t>(place) > m.Capacity()) return Fail("no such place in the store");
            m.RefuseDeletes(place, request.value("cms_error", 321));
        } else if (cmd == "fill_store") {
            reply["filled"] = m.FillStore(request.value("sender", std::string("+8610086")),
                                          request.value("text", std::string("storage full")));
        } else if (cmd == "restart") {
            m.Restart(Millis(request.value("boot_ms", 1000)));
        } else if (cmd == "unplug") {
            m.Unplug(Millis(request.value("away_ms", 5000)), Millis(request.value("boot_ms", 1000)));
        } else if (cmd == "hang_up") {
            m.HangUp();
        } else if (cmd == "echo") {
            m.SetEcho(request.at("on").get<bool>());
        } else if (cmd == "clear_faults") {
            m.ClearFaults();
        } else if (cmd == "send_raw") {
            m.SendRaw(request.at("bytes").get<std::string>());
        } else if (cmd == "baud") {
            m.SetBaudRate(request.at("rate").get<uint32_t>());
        } else if (cmd == "capacity") {
            if (!m.SetCapacity(request.at("capacity").get<size_t>())) return Fail("a stored message lies above it");
        } else if (cmd == "cmti") {
            m.SetCmti(request.at("on").get<bool>());
        } else {
            return Fail("unknown command " + cmd);
        }
        return reply;
    } catch (const json::exception& e) {
        return Fail(std::string("bad request: ") + e.what());
    }
}

}  // namespace modemsim
