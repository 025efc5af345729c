// The test message, as a station sends one.
#include "test_message.h"

#include "driver_events.h"
#include "modem/gsm_modem.h"
#include "modem/send_checks.h"
#include "write_checks.h"

namespace kelvora_host {
namespace {

// A network may take a while to accept a message.
constexpr uint32_t kNetworkAnswerMs = 30000;

}  // namespace

void SendTestMessage(ModemLine& line, ProbeFindings& findings, const std::string& number,
                     const std::string& serviceCentre) {
    const std::string asSent = NumberAsSent(number.c_str(), true);
    const std::string to = asSent.empty() ? number : asSent;
    kelvora::SendResult sent;
    line.Modem(kNetworkAnswerMs).SendSms(serviceCentre.c_str(), number.c_str(), "Kelvora probe: test message", &sent);
    switch (sent.outcome) {
        case kelvora::SendOutcome::kAccepted:
            findings.Ok("test message to " + to + " accepted by the network (message reference " +
                        std::to_string(sent.messageReference) + ")");
            return;
        case kelvora::SendOutcome::kNotSent:
            findings.Problem("test message: '" + number + "' is not sent by the driver: " +
                             kelvora::RefusalText(sent.refusal));
            return;
        case kelvora::SendOutcome::kRefused:
            findings.Problem("test message to " + to + " refused: " +
                             (sent.errorNumber >= 0 ? DescribeSmsError(sent.errorNumber)
                                                    : std::string("ERROR, or OK without a message reference")));
            return;
        case kelvora::SendOutcome::kNoAnswer:
            findings.Problem("test message to " + to + ": no answer from the network within " +
                             std::to_string(kNetworkAnswerMs / 1000) + " s; it may have gone out");
            return;
        case kelvora::SendOutcome::kPortFailed:
            findings.Problem("test message to " + to + ": the port failed");
            return;
        case kelvora::SendOutcome::kCutOff:
            findings.Problem("test message to " + to +
                             ": the port failed after the message was handed to the modem; it may have gone out");
            return;
    }
}

}  // namespace kelvora_host
