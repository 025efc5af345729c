// The service-centre time stamp of a received message as a point in time, so
// that the messages of one poll can be taken in the order they were sent:
// of two write commands for one register, the later one wins, wherever the
// modem happened to store them.
#pragma once

#include <cstdint>

namespace kelvora {

// Reads a time stamp as the decoder keeps it (14 characters YYMMDDhhmmssZZ,
// the time-zone octet's semi-octets as they stood: quarter hours, the sign in
// bit 3 of the first) into seconds since 2000-01-01 UTC. false when it is
// not a time stamp (missing or non-decimal digits, a month or day out of
// range).
bool SendingTime(const char* timestamp, int64_t* secondsUtc);

}  // namespace kelvora
