// Sending for the host (see the header).
#include "stations/station_send.h"

#include "driver/driver_status.h"
#include "driver/host_records.h"
#include "modem/send_checks.h"
#include "stations/free_text.h"

namespace kelvora {

uint32_t SendStatus(const SendResult& result) {
    switch (result.outcome) {
        case SendOutcome::kAccepted: return kStatusOk;
        case SendOutcome::kNoAnswer:
        case SendOutcome::kCutOff: return kStatusTimeout;  // not confirmed: it may have gone out
        default: return kStatusWriteError;
    }
}

SendRefusal CheckFreeText(const char* text) {
    const SendRefusal why = CheckMessageText(text);
    if (why != SendRefusal::kNone) return why;
    // A station receiving it must keep it as a free text, not apply it as a frame.
    return IsFreeText(text) ? SendRefusal::kNone : SendRefusal::kTextReadsAsAFrame;
}

uint32_t SendFreeText(GsmModem& modem, const SiteNumbers& numbers, const char* textValue, size_t textCapacity) {
    // One byte more than the field, so that a field without a NUL is seen
    // whole (and refused), not cut.
    char text[kTextValueSize + 1];
    CopyBoundedText(text, sizeof text, textValue, textCapacity);
    if (text[0] == '\0') return kStatusOk;
    const SiteNumbers copy = numbers;
    SendResult sent;
    const SendRefusal why = CheckFreeText(text);
    if (why != SendRefusal::kNone) {
        modem.RefuseSend(copy.detc, text, why, &sent);
    } else {
        modem.SendSms(copy.smsc, copy.detc, text, &sent);
    }
    return SendStatus(sent);
}

}  // namespace kelvora
