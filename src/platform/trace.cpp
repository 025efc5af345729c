// Trace (see the header).
#include "platform/trace.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/trace_system.h"

namespace kelvora {

namespace {

constexpr size_t kTimestampSize = 23;  // "YYYY-MM-DD hh:mm:ss.mmm"
constexpr char kComPrefix[] = "COM";

// A number as the trace writes it, or "-" (left as unknown).
bool ReadField(const std::string& text, const char* prefix, int64_t* value) {
    if (text == "-") return true;
    const size_t skip = std::char_traits<char>::length(prefix);
    if (text.size() <= skip || text.compare(0, skip, prefix) != 0) return false;
    char* end = nullptr;
    const long long number = std::strtoll(text.c_str() + skip, &end, 10);
    if (*end != '\0' || number < 0 || number > INT32_MAX) return false;
    *value = number;
    return true;
}

}  // namespace

void Trace::Emit(const std::string& event) const {
    if (!sink_) return;
    std::string line = LocalTimestamp();
    line += ' ';
    line += writer_.role;
    line += writer_.device >= 0 ? " " + std::to_string(writer_.device) : std::string(" -");
    line += writer_.port > 0 ? " " + std::string(kComPrefix) + std::to_string(writer_.port) : std::string(" -");
    line += "  ";
    line += event;
    sink_->Write(line);
}

bool ReadTraceLine(const std::string& line, TraceWriter* writer, std::string* event) {
    if (line.size() <= kTimestampSize || line[kTimestampSize] != ' ') return false;
    const size_t end = line.find("  ", kTimestampSize + 1);
    if (end == std::string::npos) return false;
    std::vector<std::string> fields;
    for (size_t at = kTimestampSize + 1; at <= end;) {
        const size_t space = line.find(' ', at);
        fields.push_back(line.substr(at, space - at));
        at = space + 1;
    }
    int64_t device = -1, port = 0;
    if (fields.size() != 3 || fields[0].empty() || !ReadField(fields[1], "", &device) ||
        !ReadField(fields[2], kComPrefix, &port)) {
        return false;
    }
    *writer = TraceWriter{fields[0], static_cast<int32_t>(device), static_cast<int>(port)};
    *event = line.substr(end + 2);
    return true;
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
