// Device names on Windows: only COM ports, which the driver opens by number.
#include "port_options.h"

namespace kelvora_host {

bool ResolveDevicePath(const std::string& text, ResolvedPort*, std::string* error) {
    *error = "--port: '" + text + "' is not a port name from COM1 to COM64";
    return false;
}

std::string PortOpenHint(const ResolvedPort&) {
    return "is the port there (Device Manager), and is no other program using it?";
}

void BindDevicePath(const ResolvedPort&) {}

}  // namespace kelvora_host
