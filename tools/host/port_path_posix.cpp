// Device paths on POSIX: the driver opens ports by number, so a path is bound
// to COM1 of this process through the variable the serial binding reads.
#include <cstdlib>

#include "port_options.h"

namespace kelvora_host {

bool ResolveDevicePath(const std::string& text, ResolvedPort* port, std::string* error) {
    if (!text.empty() && text[0] == '/') {
        port->comNumber = 1;
        port->devicePath = text;
        port->display = text;
        return true;
    }
    *error = "--port: '" + text + "' is neither COM1 to COM64 nor a device path such as /dev/ttyUSB0";
    return false;
}

std::string PortOpenHint(const ResolvedPort& port) {
    std::string hint = "is the path right, may you use it (group dialout), and is no other program using it?";
    if (port.devicePath.empty()) {
        hint += " COM" + std::to_string(port.comNumber) + " means the path in KELVORA_COM" +
                std::to_string(port.comNumber) + " or /dev/ttyS" + std::to_string(port.comNumber - 1) +
                ": give the device path instead";
    }
    return hint;
}

void BindDevicePath(const ResolvedPort& port) {
    if (port.devicePath.empty()) return;
    const std::string name = "KELVORA_COM" + std::to_string(port.comNumber);
    setenv(name.c_str(), port.devicePath.c_str(), 1);
}

}  // namespace kelvora_host
