// SimulatorControl: requests and the small reading of replies the tests need.
#include "support/simulator_control.h"

#include <cstdlib>
#include <cstring>

namespace kelvora::testing {

namespace {

// Only what the tests send: numbers, ASCII texts without quotes.
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

bool SimulatorControl::FromEnvironment() {
    const char* port = std::getenv("KELVORA_MODEMSIM_CONTROL_PORT");
    if (port == nullptr) return false;
    const long value = std::strtol(port, nullptr, 10);
    if (value <= 0 || value > 65535) return false;
    port_ = static_cast<uint16_t>(value);
    return true;
}

bool SimulatorControl::Request(const std::string& json, std::string* reply, uint32_t timeoutMs) {
    std::string answer;
    if (port_ == 0) {
        error_ = "no control port";
        return false;
    }
    if (!ExchangeLine(port_, json + "\n", &answer, timeoutMs, &error_)) return false;
    if (reply != nullptr) *reply = answer;
    if (answer.find("\"ok\":true") == std::string::npos) {
        error_ = "simulator refused " + json + ": " + answer;
        return false;
    }
    return true;
}

bool SimulatorControl::Fault(int modem, const std::string& kind, const std::string& command, int times,
                             const std::string& extra) {
    return Request("{\"cmd\":\"fault\",\"modem\":" + std::to_string(modem) + ",\"kind\":" + Quoted(kind) +
                   ",\"command\":" + Quoted(command) + ",\"times\":" + std::to_string(times) + extra + "}");
}

bool SimulatorControl::ClearFaults(int modem) {
    return Request("{\"cmd\":\"clear_faults\",\"modem\":" + std::to_string(modem) + "}");
}

int SimulatorControl::Inject(int modem, const std::string& sender, const std::string& text) {
    std::string reply;
    if (!Request("{\"cmd\":\"inject\",\"modem\":" + std::to_string(modem) + ",\"sender\":" + Quoted(sender) +
                     ",\"text\":" + Quoted(text) + ",\"coding\":\"ucs2\"}",
                 &reply)) {
        return -1;
    }
    return static_cast<int>(IntField(reply, "index"));
}

int SimulatorControl::StoredCount(int modem) {
    std::string reply;
    if (!Request("{\"cmd\":\"stored\",\"modem\":" + std::to_string(modem) + "}", &reply)) return -1;
    return CountKeys(reply, "pdu");
}

bool SimulatorControl::Baud(uint32_t rate) {
    return Request("{\"cmd\":\"baud\",\"rate\":" + std::to_string(rate) + "}");
}

int CountKeys(const std::string& json, const char* key) {
    const std::string needle = "\"" + std::string(key) + "\":";
    int n = 0;
    for (size_t at = json.find(needle); at != std::string::npos; at = json.find(needle, at + needle.size())) ++n;
    return n;
}

long IntField(const std::string& json, const char* key, long fallback) {
    const std::string needle = "\"" + std::string(key) + "\":";
    const size_t at = json.find(needle);
    if (at == std::string::npos) return fallback;
    const char* begin = json.c_str() + at + needle.size();
    char* end = nullptr;
    const long value = std::strtol(begin, &end, 10);
    return end == begin ? fallback : value;
}

}  // namespace kelvora::testing
