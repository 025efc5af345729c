// Trace: a station's handle on the dialogue trace, which tells a field
// engineer what the driver said to the modem, what came back and what the
// driver made of it. Off unless a sink is attached; every place that traces
// asks on() first, so that with the trace off an event costs that one test
// and nothing is formatted. Each line carries the local time to the
// millisecond and its writer: the station's role, device address and port,
// and the process ("[4242]"), since processes may share a trace file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/trace_sink.h"

namespace kelvora {

// Who wrote a line: the station's role, device address and port, and its process.
struct TraceWriter {
    std::string role = "station";
    int32_t device = -1;   // not known yet
    int port = 0;          // COM<n>; 0: not open yet
    uint64_t process = 0;  // set as each line is written
};

class Trace {
public:
    bool on() const { return sink_ != nullptr; }

    // Lines go to sink and, when it is another, to also too.
    void Attach(std::shared_ptr<TraceSink> sink, std::shared_ptr<TraceSink> also = nullptr);
    void SetRole(const char* role) { writer_.role = role; }
    void SetDevice(int32_t deviceAddress) { writer_.device = deviceAddress; }
    void SetPort(int portNumber) { writer_.port = portNumber; }

    void Emit(const std::string& event) const;

private:
    std::shared_ptr<TraceSink> sink_;
    std::shared_ptr<TraceSink> also_;
    TraceWriter writer_;
};

// Reads a line a station traced back into its writer and its event; false
// for any other line (what the sink itself notes, a line cut short).
bool ReadTraceLine(const std::string& line, TraceWriter* writer, std::string* event);

// Bytes as a quoted, printable text: \r, \n, \" and \\ escaped, every other
// byte outside printable ASCII as \xHH.
std::string Printable(const char* bytes, size_t count);
inline std::string Printable(const std::string& bytes) { return Printable(bytes.data(), bytes.size()); }

}  // namespace kelvora
