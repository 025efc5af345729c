// The requests of the control protocol as a table, one row a request, with
// the handler that answers it for the whole network, the one that answers it
// for the modem the request names, or both (see modemsim/control.h).
#include <algorithm>

#include "modemsim/control.h"
#include "pdu_codec.h"

namespace modemsim {
namespace {

using nlohmann::json;

json Done() { return json{{"ok", true}}; }

json Fail(const std::string& why) { return json{{"ok", false}, {"error", why}}; }

bool ParseCoding(const std::string& text, Coding* coding) {
    if (text == "gsm7" || text == "7bit") *coding = Coding::Gsm7;
    else if (text == "ucs2") *coding = Coding::Ucs2;
    else if (text == "8bit") *coding = Coding::EightBit;
    else return false;
    return true;
}

json SubmittedList(const std::vector<SubmittedPdu>& submitted) {
    json list = json::array();
    for (const SubmittedPdu& s : submitted) list.push_back(ToJson(s));
    return json{{"ok", true}, {"submitted", list}};
}

// Requests for the whole network.

json ModemList(Network& network, const json&, bool*) {
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
    return json{{"ok", true}, {"modems", list}};
}

json Stats(Network& network, const json&, bool*) {
    const NetworkStats s = network.Stats();
    return json{{"ok", true},
                {"submitted", s.submitted},
                {"delivered", s.delivered},
                {"undeliverable", s.undeliverable},
                {"rejected", s.rejected},
                {"pending", s.pending},
                {"duplicated", s.duplicated},
                {"held", s.held}};
}

json Quit(Network&, const json&, bool* quit) {
    if (quit) *quit = true;
    return Done();
}

json NetworkSubmitted(Network& network, const json&, bool*) { return SubmittedList(network.Submitted()); }

json NetworkBaud(Network& network, const json& request, bool*) {
    const uint32_t rate = request.at("rate").get<uint32_t>();
    for (size_t i = 0; i < network.ModemCount(); ++i) network.modem(i).SetBaudRate(rate);
    return Done();
}

// Requests for one modem.

json Inject(Modem& m, const json& request) {
    Coding coding = Coding::Ucs2;
    if (!ParseCoding(request.value("coding", std::string("ucs2")), &coding)) return Fail("unknown coding");
    std::string error;
    const int at = m.InjectText(request.at("sender").get<std::string>(), request.at("text").get<std::string>(), coding,
                                request.value("index", 0), &error);
    return at < 0 ? Fail(error) : json{{"ok", true}, {"index", at}};
}

json InjectPdu(Modem& m, const json& request) {
    const int status = request.value("status", 0);
    if (status < 0 || status > 3) return Fail("status is 0 to 3");
    std::string error;
    const int at = m.InjectPdu(request.at("pdu").get<std::string>(), static_cast<MessageStatus>(status),
                               request.value("index", 0), &error);
    return at < 0 ? Fail(error) : json{{"ok", true}, {"index", at}};
}

json Stored(Modem& m, const json&) {
    json list = json::array();
    for (const StoredMessage& s : m.Stored()) {
        list.push_back({{"index", s.index},
                        {"status", static_cast<int>(s.status)},
                        {"length", s.tpduLength},
                        {"pdu", s.pdu},
                        {"decoded", ToJson(DecodePdu(s.pdu))}});
    }
    return json{{"ok", true}, {"messages", list}};
}

json ClearStore(Modem& m, const json&) {
    m.ClearStore();
    return Done();
}

json ModemSubmitted(Modem& m, const json&) { return SubmittedList(m.Submitted()); }

json Log(Modem& m, const json&) {
    json list = json::array();
    for (const LogEntry& e : m.CommandLog()) list.push_back(ToJson(e));
    return json{{"ok", true}, {"log", list}};
}

json ClearLog(Modem& m, const json&) {
    m.ClearLog();
    return Done();
}

json InjectFault(Modem& m, const json& request) {
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
    return Done();
}

// hold_back and deliver_twice take the same parameters.
template <void (Modem::*kDelay)(int, size_t, Millis, Millis)>
json DelayDeliveries(Modem& m, const json& request) {
    const int times = request.value("times", 1);
    const size_t overtakenBy = request.value("overtaken_by", static_cast<size_t>(1));
    const Millis longest(request.value("longest_ms", 60000));
    const Millis follow(request.value("follow_ms", 0));
    (m.*kDelay)(times, overtakenBy, longest, follow);
    return Done();
}

json Undeletable(Modem& m, const json& request) {
    const int place = request.at("index").get<int>();
    if (place < 1 || static_cast<size_t>(place) > m.Capacity()) return Fail("no such place in the store");
    m.RefuseDeletes(place, request.value("cms_error", 321));
    return Done();
}

json FillStore(Modem& m, const json& request) {
    return json{{"ok", true},
                {"filled", m.FillStore(request.value("sender", std::string("+8610086")),
                                       request.value("text", std::string("storage full")))}};
}

json Restart(Modem& m, const json& request) {
    m.Restart(Millis(request.value("boot_ms", 1000)));
    return Done();
}

json Unplug(Modem& m, const json& request) {
    m.Unplug(Millis(request.value("away_ms", 5000)), Millis(request.value("boot_ms", 1000)));
    return Done();
}

json HangUp(Modem& m, const json&) {
    m.HangUp();
    return Done();
}

json Echo(Modem& m, const json& request) {
    m.SetEcho(request.at("on").get<bool>());
    return Done();
}

json ClearFaults(Modem& m, const json&) {
    m.ClearFaults();
    return Done();
}

json SendRaw(Modem& m, const json& request) {
    m.SendRaw(request.at("bytes").get<std::string>());
    return Done();
}

json ModemBaud(Modem& m, const json& request) {
    m.SetBaudRate(request.at("rate").get<uint32_t>());
    return Done();
}

json Capacity(Modem& m, const json& request) {
    return m.SetCapacity(request.at("capacity").get<size_t>()) ? Done() : Fail("a stored message lies above it");
}

json Cmti(Modem& m, const json& request) {
    m.SetCmti(request.at("on").get<bool>());
    return Done();
}

// One row a request. A request with both handlers is for the whole network
// unless it names a modem.
struct ControlRow {
    const char* name;
    json (*network)(Network& network, const json& request, bool* quit);
    json (*modem)(Modem& modem, const json& request);
};

const ControlRow kRequests[] = {
    {"modems", ModemList, nullptr},
    {"stats", Stats, nullptr},
    {"quit", Quit, nullptr},
    {"submitted", NetworkSubmitted, ModemSubmitted},
    {"baud", NetworkBaud, ModemBaud},
    {"inject", nullptr, Inject},
    {"inject_pdu", nullptr, InjectPdu},
    {"stored", nullptr, Stored},
    {"clear_store", nullptr, ClearStore},
    {"log", nullptr, Log},
    {"clear_log", nullptr, ClearLog},
    {"fault", nullptr, InjectFault},
    {"clear_faults", nullptr, ClearFaults},
    {"hold_back", nullptr, DelayDeliveries<&Modem::HoldBack>},
    {"deliver_twice", nullptr, DelayDeliveries<&Modem::DeliverTwice>},
    {"undeletable", nullptr, Undeletable},
    {"fill_store", nullptr, FillStore},
    {"restart", nullptr, Restart},
    {"unplug", nullptr, Unplug},
    {"hang_up", nullptr, HangUp},
    {"echo", nullptr, Echo},
    {"send_raw", nullptr, SendRaw},
    {"capacity", nullptr, Capacity},
    {"cmti", nullptr, Cmti},
};

}  // namespace

// A request for a modem is checked for its modem before its name: an unknown
// request without one is a bad request.
json HandleControlRequest(Network& network, const json& request, bool* quit) {
    try {
        if (!request.is_object() || !request.contains("cmd")) return Fail("a request is an object with \"cmd\"");
        const std::string cmd = request.at("cmd").get<std::string>();
        const auto row = std::find_if(std::begin(kRequests), std::end(kRequests),
                                      [&cmd](const ControlRow& r) { return cmd == r.name; });
        const bool known = row != std::end(kRequests);
        if (known && row->network && (!row->modem || !request.contains("modem"))) {
            return row->network(network, request, quit);
        }
        const size_t index = request.at("modem").get<size_t>();
        if (index >= network.ModemCount()) return Fail("no modem " + std::to_string(index));
        if (!known || !row->modem) return Fail("unknown command " + cmd);
        Modem m = network.modem(index);
        return row->modem(m, request);
    } catch (const json::exception& e) {
        return Fail(std::string("bad request: ") + e.what());
    }
}

}  // namespace modemsim
