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

// What the host reads before a free text from a keyed peer: free texts are
// not signed, so anyone could have sent it.
constexpr char kUnauthenticatedMark[] = "[unauthenticated] ";

// Neither a report nor a write command, signed or not, by their formats alone.
bool IsFreeText(const char* text);

class FreeText {
public:
    // Keeps the message's text unless the text kept was sent after it.
    // false when it was not kept. unauthenticated: it came from a keyed
    // peer, and the host reads it behind kUnauthenticatedMark.
    bool Keep(const SmsRecord& record, bool unauthenticated = false);
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
