// The stations' message store handling (see the header).
#include "stations/station_mailbox.h"

#include <vector>

#include "driver/host_records.h"

namespace kelvora {

void ProcessStoredMessages(GsmModem& modem, const std::function<void(const SmsRecord&)>& handle) {
    std::vector<SmsRecord> records(kMaxListedRecords);
    int listed = modem.ListMessages(records.data());
    if (listed < 0) listed = 0;
    if (listed > static_cast<int>(kMaxListedRecords)) listed = static_cast<int>(kMaxListedRecords);

    for (int i = 0; i < listed; ++i) {
        SmsRecord& record = records[i];
        record.text[kTextFieldSize - 1] = '\0';
        handle(record);
    }
    for (int i = 0; i < listed; ++i) modem.DeleteMessage(records[i].index);
}

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
