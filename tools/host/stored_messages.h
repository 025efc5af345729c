// The messages a modem holds, listed by the driver's own listing ("AT+CMGL=4":
// every stored message, its status too) and described for a person: sender,
// time stamp, text, and whether the text is a Kelvora frame and what it
// would do.
#pragma once

#include <string>
#include <vector>

#include "modem/exchange_result.h"
#include "modem/sms_record.h"
#include "modem_line.h"

namespace kelvora_host {

struct StoredMessage {
    kelvora::SmsRecord record;  // decoded as the stations decode it
    int status = -1;            // 0 received unread, 1 received read, 2 stored unsent, 3 stored sent
};

// Every whole entry the modem lists (at most the driver's 128).
std::vector<StoredMessage> ListStored(ModemLine& line, kelvora::ExchangeResult* result = nullptr,
                                      uint32_t timeoutMs = 0);

// One line: "  3  read    from +8613900000001  2024-05-01 14:03:07  \"BEGINWM...\"  write command: M5.120 = 42".
std::string DescribeStoredMessage(const StoredMessage& message);

}  // namespace kelvora_host
