// StationMailbox: what both stations do with their modem's message store at
// a poll, and what they remember between polls. A poll lists the received
// messages that are already read (left over from earlier polls: a modem marks
// every message it lists as read, so whatever a poll could not finish is
// found there) and then the unread ones, at most 128 together; hands each to
// the station in the order the messages were sent; then deletes every listed
// message, each storage index at most once a poll. A message is known by its
// sender, time stamp and text, never by its index (a modem may renumber its
// storage): one whose delete the modem did not confirm is remembered and
// deleted again at a later poll without being applied a second time, and a
// second copy of one applied (networks deliver twice) is only deleted. A poll
// stops at the first exchange that ends by the time-out without a final
// result, whatever came before (an echo, part of an answer), so a modem that
// hangs holds a read for one time-out, not one per command.
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
    kSeenBefore,       // listed again after an unconfirmed delete, or a second copy of one
                       // applied: only deleted
    kSentBeforeApplied,  // a frame sent before one the station already applied for the same registers
};

// What one poll did, counted by fate.
struct PollCounts {
    int listed = 0;
    int applied = 0;
    int refusedBySender = 0;
    int notAFrame = 0;
    int notForStation = 0;
    int seenBefore = 0;
    int sentBeforeApplied = 0;
    int deleted = 0;
    int notDeleted = 0;         // remembered for a later poll
    bool modemSilent = false;   // the poll stopped at an exchange that ended by the time-out
};

// Remembered messages at the most (those applied, and those whose delete is
// not confirmed); the oldest are forgotten first.
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

    // The messages whose delete is not confirmed yet.
    size_t RememberedCount() const;

private:
    // A message taken at a poll. What identifies it is its sender, time
    // stamp and text; its index is taken from the listing that shows it
    // again, since a modem may have renumbered its storage.
    struct Remembered {
        std::string sender;
        std::string timestamp;
        std::string text;
        bool applied = false;
        bool deletePending = true;
    };
    std::deque<Remembered>::iterator Find(const SmsRecord& record);
    void Remember(const SmsRecord& record, bool applied);
    void Deleted(const SmsRecord& record);

    std::deque<Remembered> remembered_;
};

}  // namespace kelvora
