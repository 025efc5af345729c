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

// A number as the trace writes it between prefix and suffix, or "-" (left
// as unknown).
bool ReadField(const std::string& text, const char* prefix, const char* suffix, int64_t* value) {
    if (text == "-") return true;
    const size_t before = std::char_traits<char>::length(prefix);
    const size_t after = std::char_traits<char>::length(suffix);
    if (text.size() <= before + after || text.compare(0, before, prefix) != 0 ||
        text.compare(text.size() - after, after, suffix) != 0) {
        return false;
    }
    const std::string digits = text.substr(before, text.size() - before - after);
    if (digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    *value = std::strtoll(digits.c_str(), nullptr, 10);
    return true;
}

}  // namespace

void Trace::Attach(std::shared_ptr<TraceSink> sink, std::shared_ptr<TraceSink> also) {
    if (!sink) sink.swap(also);
    if (also == sink) also.reset();
    sink_ = std::move(sink);
    also_ = std::move(also);
}

void Trace::Emit(const std::string& event) const {
    if (!sink_) return;
    std::string line = LocalTimestamp();
    line += ' ';
    line += writer_.role;
    line += writer_.device >= 0 ? " " + std::to_string(writer_.device) : std::string(" -");
    line += writer_.port > 0 ? " " + std::string(kComPrefix) + std::to_string(writer_.port) : std::string(" -");
    line += " [" + std::to_string(CurrentProcessId()) + "]  ";
    line += event;
    sink_->Write(line);
    if (also_) also_->Write(line);
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
    int64_t device = -1, port = 0, process = -1;
    if (fields.size() != 4 || fields[0].empty() || !ReadField(fields[1], "", "", &device) ||
        !ReadField(fields[2], kComPrefix, "", &port) || !ReadField(fields[3], "[", "]", &process) || process < 0 ||
        device > INT32_MAX || port > INT32_MAX) {
        return false;
    }
    *writer = TraceWriter{fields[0], static_cast<int32_t>(device), static_cast<int>(port),
                          static_cast<uint64_t>(process)};
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
