// StationMailbox: what both stations do with their modem's message store at
// a poll, and what they remember between polls. A poll lists the received
// messages that are already read (left over from earlier polls: a modem marks
// every message it lists as read, so whatever a poll could not finish is
// found there) and then the unread ones, at most 128 together; hands each to
// the station in the order the messages were sent; then deletes every listed
// message. A message whose delete the modem did not confirm is remembered,
// and deleted again at a later poll without being applied a second time. A
// poll stops at the first exchange the modem does not answer at all, so a
// silent modem holds a read for one time-out, not one per command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "modem/gsm_modem.h"
#include "modem/sms_record.h"
#include "platform/trace.h"

namespace kelvora {

// What a station made of one listed message.
enum class MessageFate : uint8_t {
    kApplied,          // its values are in the image
    kRefusedBySender,  // a frame from a number other than DETC
    kNotAFrame,        // any other text
    kNotForStation,    // a frame for another site, or naming registers outside the image
    kAppliedBefore,    // listed again after an unconfirmed delete: only deleted
};

// What one poll did, counted by fate.
struct PollCounts {
    int listed = 0;
    int applied = 0;
    int refusedBySender = 0;
    int notAFrame = 0;
    int notForStation = 0;
    int appliedBefore = 0;
    int deleted = 0;
    int notDeleted = 0;         // remembered for a later poll
    bool modemSilent = false;   // the poll stopped at an unanswered exchange
};

// Remembered messages at the most; the oldest are forgotten first.
constexpr size_t kMaxRememberedMessages = 128;

class StationMailbox {
public:
    // Takes one message; when detail is given (the trace is on), says what
    // became of it ("report applied for site 5, addresses 120..124").
    using Handler = std::function<MessageFate(const SmsRecord&, std::string* detail)>;

    // One poll (see above); handle is called for each message not applied
    // before, its text always NUL-terminated. The trace hears of the
    // listing, every message and what became of it, and every delete.
    PollCounts Poll(GsmModem& modem, const Trace& trace, const Handler& handle);

    size_t RememberedCount() const { return remembered_.size(); }

private:
    // What identifies a stored message across polls.
    struct Identity {
        int32_t index;
        std::string sender;
        std::string timestamp;
        std::string text;
        bool operator==(const Identity& other) const;
    };
    static Identity IdentityOf(const SmsRecord& record);
    bool Remembered(const Identity& identity) const;
    void Remember(const Identity& identity);
    void Forget(const Identity& identity);

    std::deque<Identity> remembered_;
};

}  // namespace kelvora
