// What became of one exchange with the modem, beside the plain success of the
// exchange: answered as asked, refused with a final error result, not
// answered by the time-out, or lost to a port failure.
#pragma once

#include <cstdint>

#include "driver/outcome_table.h"

namespace kelvora {

struct FinalResult;

struct ExchangeResult {
    ExchangeOutcome outcome = ExchangeOutcome::kNoAnswer;
    int32_t errorNumber = -1;  // of "+CMS ERROR"/"+CME ERROR"; -1 for "ERROR" or none
    uint32_t elapsedMs = 0;    // from the write to the end of collecting
    uint32_t received = 0;     // bytes of the response
    uint32_t setAside = 0;     // stale bytes read off before the write
    bool written = false;      // the request went out (a port failure came while the answer was awaited)
    // The final result that ended it, as a row of the modem's table; null
    // for the caller's terminator or none. Lives as long as the modem.
    const FinalResult* endedBy = nullptr;
};

}  // namespace kelvora
