// A station as a host holds it, for the end-to-end tests: its port settings,
// its device address, and reads and writes by address text that say what
// went wrong. The port is the platform's binding: "\\.\COM<n>", which the
// POSIX binding finds through KELVORA_COM<n>.
#pragma once

#include <cstdio>
#include <string>

#include "driver/driver_base.h"
#include "driver/host_records.h"
#include "driver/standing_alone.h"
#include "serial/serial_port.h"

namespace kelvora::testing {

// One station as a host holds it: its port settings, its device address.
template <class Station>
struct Device {
    LineSettings line{};
    PortConfig config{};
    StandingAlone<Station> station;
    int32_t deviceAddress = 0;
    uint32_t failedStatus = 0;  // the status code of the last failed write

    bool Open(int16_t portIndex, int32_t timeoutMs, std::string& error) {
        line.portIndex = portIndex;
        line.baudCode = 12;  // 115200
        line.eightDataBits = 1;
        line.twoStopBits = 0;
        line.parityCode = 2;  // none
        line.lineType = 0;
        line.timeout = timeoutMs;
        config.lineSettings = &line;
        station.SetPort(CreateSerialPort());
        if (station.Open(&config) != 1) {
            error = "COM" + std::to_string(portIndex + 1) + " does not open: " + station.GetStatusText();
            return false;
        }
        return true;
    }
    bool Address(const char* text, int16_t dataType, RegisterRequest& request, std::string& error) {
        request = RegisterRequest{};
        request.dataType = dataType;
        if (station.ParseAddress(text, &request) == 1) return true;
        error = std::string("address not accepted: ") + text;
        return false;
    }
    bool Write(const char* address, int16_t dataType, const RegisterValue& value, std::string& error) {
        RegisterRequest request;
        if (!Address(address, dataType, request, error)) return false;
        RegisterValue copy = value;
        if (station.Write(&deviceAddress, &request, &copy) == 1) return true;
        failedStatus = station.status.Code();  // the text below resets it
        error = std::string("write refused: ") + address + ": " + station.GetStatusText();
        return false;
    }
    bool Read(const char* address, int16_t dataType, RegisterValue& value, std::string& error) {
        RegisterRequest request;
        if (!Address(address, dataType, request, error)) return false;
        value = RegisterValue{};
        if (station.Read(&deviceAddress, &request, &value) == 1) return true;
        error = std::string("read refused: ") + address;
        return false;
    }
};

inline RegisterValue Int(uint32_t v) {
    RegisterValue value{};
    value.intValue = static_cast<int32_t>(v);
    return value;
}

inline RegisterValue Text(const std::string& text) {
    RegisterValue value{};
    std::snprintf(value.textValue, sizeof value.textValue, "%s", text.c_str());
    return value;
}

}  // namespace kelvora::testing
