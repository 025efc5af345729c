// Port names, baud codes and parity codes as the driver's host records want them.
#include "port_options.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace kelvora_host {
namespace {

// Baud rate by baud code (the index).
constexpr uint32_t kBaudRates[] = {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400,
                                   56000, 57600, 115200, 128000, 256000};

bool ParseComNumber(const std::string& digits, int* number) {
    if (digits.empty() || digits.size() > 3) return false;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    *number = std::atoi(digits.c_str());
    return *number >= 1 && *number <= 64;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

bool ResolvePort(const std::string& text, ResolvedPort* port, std::string* error) {
    *port = ResolvedPort();
    std::string name = text;
    if (name.rfind("\\\\.\\", 0) == 0) name = name.substr(4);
    const std::string upper = Upper(name);
    int number = 0;
    if (upper.rfind("COM", 0) == 0 && ParseComNumber(upper.substr(3), &number)) {
        port->comNumber = number;
        port->display = "COM" + std::to_string(number);
        return true;
    }
    if (ParseComNumber(name, &number)) {
        port->comNumber = number;
        port->display = "COM" + std::to_string(number);
        return true;
    }
    return ResolveDevicePath(text, port, error);
}

bool BaudCode(uint32_t baud, uint32_t* code) {
    for (uint32_t i = 0; i < sizeof(kBaudRates) / sizeof(kBaudRates[0]); ++i) {
        if (kBaudRates[i] == baud) {
            *code = i;
            return true;
        }
    }
    return false;
}

std::string KnownBaudRates() {
    std::string list;
    for (uint32_t rate : kBaudRates) {
        if (!list.empty()) list += ", ";
        list += std::to_string(rate);
    }
    return list;
}

bool ParityCode(const std::string& name, int16_t* driverCode, uint8_t* platformCode) {
    // The driver's parity codes are not in the platform's order.
    static const struct {
        const char* name;
        int16_t driver;
        uint8_t platform;
    } kParities[] = {{"odd", 0, 1}, {"even", 1, 2}, {"none", 2, 0}, {"mark", 3, 3}, {"space", 4, 4}};
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& parity : kParities) {
        if (lower == parity.name || (lower.size() == 1 && lower[0] == parity.name[0])) {
            *driverCode = parity.driver;
            *platformCode = parity.platform;
            return true;
        }
    }
    return false;
}

bool MakeLineSettings(const PortOptions& options, const ResolvedPort& port, kelvora::LineSettings* settings,
                      std::string* error) {
    std::memset(settings, 0, sizeof(*settings));
    uint32_t baudCode = 0;
    if (!BaudCode(options.baud, &baudCode)) {
        *error = "--baud: " + std::to_string(options.baud) + " is not a rate the driver knows (" +
                 KnownBaudRates() + ")";
        return false;
    }
    int16_t parity = 0;
    uint8_t platformParity = 0;
    if (!ParityCode(options.parity, &parity, &platformParity)) {
        *error = "--parity: '" + options.parity + "' is not one of none, odd, even, mark, space";
        return false;
    }
    if (options.dataBits != 7 && options.dataBits != 8) {
        *error = "--data-bits: the driver offers 7 or 8";
        return false;
    }
    if (options.stopBits != 1 && options.stopBits != 2) {
        *error = "--stop-bits: the driver offers 1 or 2";
        return false;
    }
    if (options.lineType < 0 || options.lineType > 2) {
        *error = "--line-type: 0 (plain), 1 or 2 (RTS raised while sending)";
        return false;
    }
    if (options.timeoutMs < 0 || options.timeoutMs > 60000) {
        *error = "--timeout: 0 to 60000 milliseconds";
        return false;
    }
    settings->portIndex = static_cast<int16_t>(port.comNumber - 1);
    settings->baudCode = baudCode;
    settings->eightDataBits = options.dataBits == 8 ? 1 : 0;
    settings->twoStopBits = options.stopBits == 2 ? 1 : 0;
    settings->parityCode = parity;
    settings->lineType = static_cast<int16_t>(options.lineType);
    settings->timeout = options.timeoutMs;
    return true;
}

std::string SerialDevicePath(const ResolvedPort& port) {
    return "\\\\.\\COM" + std::to_string(port.comNumber);
}

}  // namespace kelvora_host
