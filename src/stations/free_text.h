// FreeText: the last free text a station received from a peer (a message
// that is no frame of either kind, from a number the sender check accepts),
// kept for the host to read as SEND_MSG (SEND_MSG<n> at the centre, for site
// n). Kept when its message is taken at a poll, before the message is
// deleted; one sent before the text kept already does not replace it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "modem/sms_record.h"

namespace kelvora {

// Neither a report nor a write command, by their formats alone.
bool IsFreeText(const char* text);

class FreeText {
public:
    // Keeps the message's text unless the text kept was sent after it.
    // false when it was not kept.
    bool Keep(const SmsRecord& record);
    bool empty() const { return !kept_; }
    const std::string& timestamp() const { return timestamp_; }
    // Copies the text into the host's field of size bytes, NUL-terminated
    // and cut at a character boundary when it does not fit; false while
    // none has come. cut: whether it was cut.
    bool CopyTo(char* field, size_t size, bool* cut = nullptr) const;

private:
    bool kept_ = false;
    std::string text_;
    std::string timestamp_;
    int64_t sent_ = INT64_MIN;  // no readable stamp
};

}  // namespace kelvora
