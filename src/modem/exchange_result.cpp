// Names of exchange outcomes (see the header).
#include "modem/exchange_result.h"

namespace kelvora {

const char* OutcomeName(ExchangeOutcome outcome) {
    switch (outcome) {
        case ExchangeOutcome::kAnswered: return "answered";
        case ExchangeOutcome::kRefused: return "refused";
        case ExchangeOutcome::kNoAnswer: return "no answer";
        case ExchangeOutcome::kPortFailed: return "port failure";
    }
    return "?";
}

}  // namespace kelvora
