// Sending for the host (see the header).
#include "stations/station_send.h"

#include "driver/host_records.h"

namespace kelvora {

uint32_t SendStatus(const SendResult& result) {
    switch (result.outcome) {
        case SendOutcome::kAccepted: return kStatusOk;
        case SendOutcome::kNoAnswer: return kStatusTimeout;
        default: return kStatusWriteError;
    }
}

uint32_t SendFreeText(GsmModem& modem, const SiteNumbers& numbers, const char* textValue, size_t textCapacity) {
    char text[kTextValueSize];
    CopyBoundedText(text, sizeof text, textValue, textCapacity);
    if (text[0] == '\0') return kStatusOk;
    const SiteNumbers copy = numbers;
    SendResult sent;
    modem.SendSms(copy.smsc, copy.detc, text, &sent);
    return SendStatus(sent);
}

}  // namespace kelvora
