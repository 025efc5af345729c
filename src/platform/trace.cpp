// Trace (see the header).
#include "platform/trace.h"

#include <cstdio>

#include "platform/trace_system.h"

namespace kelvora {

void Trace::Emit(const std::string& event) const {
    if (!sink_) return;
    std::string line = LocalTimestamp();
    line += ' ';
    line += role_;
    line += device_ >= 0 ? " " + std::to_string(device_) : std::string(" -");
    line += port_ > 0 ? " COM" + std::to_string(port_) : std::string(" -");
    line += "  ";
    line += event;
    sink_->Write(line);
}

std::string Printable(const char* bytes, size_t count) {
    std::string out = "\"";
    out.reserve(count + 2);
    for (size_t i = 0; i < count; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        switch (c) {
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default:
                if (c >= 0x20 && c < 0x7F) {
                    out += static_cast<char>(c);
                } else {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02X", c);
                    out += hex;
                }
        }
    }
    out += '"';
    return out;
}

}  // namespace kelvora
