// A send's trace event, written and read (see the header).
#include "modem/send_event.h"

#include <cstdlib>

namespace kelvora {
namespace {
constexpr char kError[] = ", error ";
constexpr char kReference[] = ", message reference ";
}  // namespace

std::string SendEvent(SendOutcome outcome, const std::string& subject, const std::string& reason,
                      int32_t errorNumber, int32_t reference) {
    std::string sentence = subject + ": " + RowOf(outcome).text;
    if (reference >= 0) sentence += kReference + std::to_string(reference);
    if (errorNumber >= 0) sentence += kError + std::to_string(errorNumber);
    if (!reason.empty()) sentence += ": " + reason;
    return OutcomeEvent(outcome, sentence);
}

bool ReadSendEvent(const std::string& event, SendEventRead* read) {
    std::string sentence;
    SendOutcome outcome = SendOutcome::kNotSent;
    if (!ReadOutcomeEvent(event, &outcome, &sentence)) return false;
    *read = SendEventRead{outcome, std::string(), -1};
    // The subject may hold anything (a message's text): what this code wrote
    // after it is found from the end.
    const std::string marker = std::string(": ") + RowOf(outcome).text;
    const size_t at = sentence.rfind(marker);
    if (at == std::string::npos) return true;
    // The numbers, then ": " and the reason.
    const std::string tail = sentence.substr(at + marker.size());
    const size_t reason = tail.find(": ");
    const std::string numbers = tail.substr(0, reason);
    if (reason != std::string::npos) read->reason = tail.substr(reason + 2);
    const size_t error = numbers.find(kError);
    if (error != std::string::npos) read->errorNumber = std::atoi(numbers.c_str() + error + sizeof kError - 1);
    return true;
}

}  // namespace kelvora
