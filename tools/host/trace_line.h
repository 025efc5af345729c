// One line of the driver's trace as the console reads it back: when it was
// written (the local time it begins with), the event after the station's
// role, device, port and process, and for a message taken at a poll its
// sender, time stamp, text and what became of it (the mailbox's "message 3
// from ... sent ... \"...\": detail").
#pragma once

#include <cstdint>
#include <string>

#include "driver/outcome_table.h"

namespace kelvora_host {

struct TraceLine {
    int64_t timeMs = 0;   // the local time, in milliseconds since 1970; 0 when unreadable
    std::string event;    // after "role device port [process]  "
};

struct TraceMessage {
    std::string sender;
    std::string timestamp;  // as the service centre stamped it, 14 digits
    std::string text;       // the message's bytes (the driver's code page)
    kelvora::MessageFate fate = kelvora::MessageFate::kSeenBefore;  // what the station made of it
    std::string detail;     // and the station's words on it
};

// false for a line that is not one of the driver's.
bool ReadTraceLine(const std::string& line, TraceLine* parsed);
// false for an event that is not a message taken at a poll.
bool ReadTraceMessage(const std::string& event, TraceMessage* message);

}  // namespace kelvora_host
