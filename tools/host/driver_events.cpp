// Reading the driver's trace lines (see the header). The texts matched here
// are the driver's own trace events; its poll summaries are read by its own
// code.
#include "driver_events.h"

#include <cstdlib>

#include "platform/trace.h"
#include "stations/poll_counts.h"

namespace kelvora_host {
namespace {

constexpr char kSend[] = "send ";
constexpr char kBitWriteRefused[] = "bit write refused: ";
constexpr char kLineBroken[] = "line broken: ";
constexpr char kLineReopenFailed[] = "line reopen failed: ";
constexpr char kLineBack[] = "line back: ";

bool Begins(const std::string& event, const char* prefix) { return event.rfind(prefix, 0) == 0; }

const struct {
    const char* text;  // after the message and its numbers
    SendFate fate;
} kSendOutcomes[] = {
    {": accepted", SendFate::kAccepted},
    {": not sent: ", SendFate::kNotSent},
    {": refused by the modem or the network", SendFate::kRefused},
    {": no answer by the time-out", SendFate::kNoAnswer},
    {": port failure", SendFate::kPortFailed},
    {": cut off by a port failure", SendFate::kCutOff},
};

void ReadSend(const std::string& line, DriverEvents* events) {
    // The message text stands before the outcome and may hold anything: the
    // outcome is the last of the known ones.
    size_t best = std::string::npos;
    for (const auto& outcome : kSendOutcomes) {
        const size_t at = line.rfind(outcome.text);
        if (at == std::string::npos || (best != std::string::npos && at < best)) continue;
        best = at;
        events->send = outcome.fate;
        events->sendDetail = line.substr(at + std::string(outcome.text).size());
    }
    if (best == std::string::npos) return;
    events->errorNumber = -1;
    const size_t error = events->sendDetail.rfind("error ");
    if (error != std::string::npos) events->errorNumber = std::atoi(events->sendDetail.c_str() + error + 6);
}

}  // namespace

DriverEvents ReadDriverEvents(const std::vector<std::string>& lines) {
    DriverEvents events;
    for (const std::string& line : lines) {
        kelvora::TraceWriter writer;
        std::string event;
        if (!kelvora::ReadTraceLine(line, &writer, &event)) continue;
        kelvora::PollSummary poll;
        if (kelvora::ReadPollSummary(event, &poll)) {
            events.polls.push_back(poll.counts);
            events.pollUnanswered = events.pollUnanswered || poll.modemSilent;
            if (poll.listingRefused && !events.pollRefused) {
                events.pollRefused = true;
                events.pollError = poll.listingError;
            }
            continue;
        }
        const bool down = Begins(event, kLineBroken) || Begins(event, kLineReopenFailed);
        const bool back = Begins(event, kLineBack);
        if (down || back) {
            events.lineEvent = true;
            events.lineDown = down;
            events.lineBack = events.lineBack || back;
            continue;
        }
        if (Begins(event, kBitWriteRefused)) {
            events.send = SendFate::kNotSent;
            events.sendDetail = event.substr(sizeof kBitWriteRefused - 1);
            continue;
        }
        if (Begins(event, kSend)) ReadSend(event, &events);
    }
    return events;
}

std::string DescribeSmsError(int n) {
    static const struct {
        int number;
        const char* meaning;
    } kErrors[] = {
        {1, "unassigned number"},
        {8, "operator determined barring"},
        {10, "call barred"},
        {21, "short message transfer rejected"},
        {27, "destination out of service"},
        {28, "unidentified subscriber"},
        {29, "facility rejected"},
        {30, "unknown subscriber"},
        {38, "network out of order"},
        {41, "temporary failure"},
        {42, "congestion"},
        {47, "resources unavailable"},
        {50, "requested facility not subscribed"},
        {69, "requested facility not implemented"},
        {96, "invalid mandatory information"},
        {300, "modem failure"},
        {302, "operation not allowed"},
        {303, "operation not supported"},
        {304, "invalid PDU mode parameter"},
        {310, "SIM not inserted"},
        {311, "SIM PIN required"},
        {313, "SIM failure"},
        {322, "memory full"},
        {330, "service centre address unknown"},
        {331, "no network service"},
        {332, "network time-out"},
        {500, "unknown error"},
    };
    std::string text = "error " + std::to_string(n);
    for (const auto& error : kErrors) {
        if (error.number == n) return text + " (" + error.meaning + ")";
    }
    return text;
}

}  // namespace kelvora_host
