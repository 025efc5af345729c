// StationMailbox: what both stations do with their modem's message store at
// a poll, and what they remember between polls. A poll lists the received
// messages that are already read (left over from earlier polls: a modem marks
// every message it lists as read, so whatever a poll could not finish is
// found there) and then the unread ones, at most 128 together; hands each to
// the station in the order the messages were sent; then deletes every listed
// message, each storage index at most once a poll. A message is known by its
// sender, time stamp and text, never by its index (a modem may renumber its
// storage). One whose delete the modem did not confirm is remembered for as
// long as the modem may hold it, and deleted again at each later poll that
// lists it without being applied a second time; a second copy of one applied
// (networks deliver twice) is only deleted. A message without a readable time
// stamp is known only while its delete is unconfirmed: once it is gone, an
// identical text is a new command (a service centre that stamps zeros gives
// every copy of "write 1" the same identity). A poll stops at the first
// exchange that ends by the time-out without a final result, whatever came
// before (an echo, part of an answer), so a modem that hangs holds a read for
// one time-out, not one per command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <vector>

#include "driver/outcome_table.h"
#include "modem/gsm_modem.h"
#include "modem/sms_record.h"
#include "platform/trace.h"
#include "stations/poll_counts.h"

namespace kelvora {

// Remembered messages at the most: those whose delete is not confirmed, and
// those applied and deleted (to know a second copy). When room is needed the
// deleted ones go first, least recently taken first; only a store holding
// more undeletable messages than this would lose the least recently listed of
// them. A listing shows at most 128 (kMaxListedRecords), so the messages
// listed at each poll are never the ones that go.
constexpr size_t kMaxRememberedMessages = 2 * kMaxListedRecords;
// A message whose delete is not confirmed, which this many complete polls in
// a row (both listings ended by OK, fewer than 128 messages) did not list, is
// gone from the store: its delete went through though its answer was lost.
// More than one, since an OK left over from an earlier exchange can end a
// listing before its entries come.
constexpr int kPollsToTakeAsDeleted = 3;

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
        bool stamped = false;  // a readable time stamp: a copy can be told by it after the delete
        bool deletePending = true;
        int unlistedPolls = 0;  // complete polls in a row that did not list it
        uint64_t listedAt = 0;  // the poll that last listed it
    };
    using List = std::list<Remembered>;  // least recently taken or listed first

    // A poll's two listings, read then unread, the records in listed order.
    struct Listing {
        std::vector<SmsRecord> records;
        ExchangeResult read, unread;
        int listed = 0;
        bool stopped = false;  // a listing ended by the time-out
    };

    Listing ListStore(GsmModem& modem);
    void ApplyListed(const Listing& listing, const Trace& trace, const Handler& handle, PollCounts& counts);
    void DeleteListed(GsmModem& modem, const Listing& listing, const Trace& trace, PollCounts& counts);

    List::iterator Find(const SmsRecord& record);
    void Remember(const SmsRecord& record, bool applied);
    void Deleted(List::iterator message);
    void TakeUnlistedAsDeleted();

    List remembered_;
    uint64_t polls_ = 0;
};

}  // namespace kelvora
