// Reading the driver's trace lines (see the header): each event is found by
// the name its row of the driver's outcome table gives it, and read by the
// driver's own readers; no sentence of the driver is matched here.
#include "driver_events.h"

#include "driver/outcome_table.h"
#include "modem/send_event.h"
#include "platform/trace.h"
#include "stations/poll_counts.h"

namespace kelvora_host {
namespace {

SendFate FateOf(kelvora::SendOutcome outcome) {
    switch (outcome) {
        case kelvora::SendOutcome::kAccepted: return SendFate::kAccepted;
        case kelvora::SendOutcome::kNotSent: return SendFate::kNotSent;
        case kelvora::SendOutcome::kRefused: return SendFate::kRefused;
        case kelvora::SendOutcome::kNoAnswer: return SendFate::kNoAnswer;
        case kelvora::SendOutcome::kPortFailed: return SendFate::kPortFailed;
        case kelvora::SendOutcome::kCutOff: return SendFate::kCutOff;
    }
    return SendFate::kUnknown;
}

void TakePoll(const kelvora::PollSummary& poll, DriverEvents* events) {
    events->polls.push_back(poll.counts);
    events->pollUnanswered = events->pollUnanswered || poll.modemSilent;
    if (poll.listingRefused && !events->pollRefused) {
        events->pollRefused = true;
        events->pollError = poll.listingError;
    }
}

}  // namespace

DriverEvents ReadDriverEvents(const std::vector<std::string>& lines) {
    DriverEvents events;
    for (const std::string& line : lines) {
        kelvora::TraceWriter writer;
        std::string event;
        if (!kelvora::ReadTraceLine(line, &writer, &event)) continue;
        kelvora::PollSummary poll;
        kelvora::LineEvent lineEvent = kelvora::LineEvent::kBack;
        kelvora::SendEventRead send;
        if (kelvora::ReadPollSummary(event, &poll)) {
            TakePoll(poll, &events);
        } else if (kelvora::ReadOutcomeEvent(event, &lineEvent)) {
            const bool back = lineEvent == kelvora::LineEvent::kBack;
            events.lineEvent = true;
            events.lineDown = !back;
            events.lineBack = events.lineBack || back;
        } else if (kelvora::ReadSendEvent(event, &send)) {
            events.send = FateOf(send.outcome);
            events.sendDetail = send.reason;
            events.errorNumber = send.errorNumber;
        }
    }
    return events;
}

}  // namespace kelvora_host
