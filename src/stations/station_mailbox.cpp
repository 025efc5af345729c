// The stations' message store handling (see the header).
#include "stations/station_mailbox.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "stations/sending_time.h"

namespace kelvora {

namespace {

// No final result by the time-out (whatever came before it: an echo, an
// unsolicited line, part of an answer), or no line: the modem will not answer
// the next command either, and each would cost a whole time-out.
bool EndedByTimeOut(const ExchangeResult& result) {
    return result.outcome == ExchangeOutcome::kPortFailed || result.outcome == ExchangeOutcome::kNoAnswer;
}

// Listed positions in the order the messages were sent; equal or unreadable
// time stamps keep the listed order (unreadable ones first).
std::vector<int> SendingOrder(const std::vector<SmsRecord>& records, int count) {
    std::vector<int64_t> keys(static_cast<size_t>(count), INT64_MIN);
    for (int i = 0; i < count; ++i) {
        int64_t seconds = 0;
        if (SendingTime(records[static_cast<size_t>(i)].timestamp, &seconds)) keys[static_cast<size_t>(i)] = seconds;
    }
    std::vector<int> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&keys](int a, int b) { return keys[static_cast<size_t>(a)] < keys[static_cast<size_t>(b)]; });
    return order;
}

std::string DescribeMessage(const SmsRecord& record) {
    return "message " + std::to_string(record.index) + " from " + FieldText(record.peerNumber, sizeof record.peerNumber) +
           " sent " + FieldText(record.timestamp, sizeof record.timestamp) + " " +
           Printable(FieldText(record.text, sizeof record.text));
}

void Count(PollCounts& counts, MessageFate fate) {
    switch (fate) {
        case MessageFate::kApplied: ++counts.applied; break;
        case MessageFate::kRefusedBySender: ++counts.refusedBySender; break;
        case MessageFate::kNotAFrame: ++counts.notAFrame; break;
        case MessageFate::kNotForStation: ++counts.notForStation; break;
        case MessageFate::kSeenBefore: ++counts.seenBefore; break;
        case MessageFate::kSentBeforeApplied: ++counts.sentBeforeApplied; break;
        case MessageFate::kRefusedByKey: ++counts.refusedByKey; break;
    }
}

}  // namespace

size_t StationMailbox::RememberedCount() const {
    return static_cast<size_t>(std::count_if(remembered_.begin(), remembered_.end(),
                                              [](const Remembered& r) { return r.deletePending; }));
}

StationMailbox::List::iterator StationMailbox::Find(const SmsRecord& record) {
    const std::string sender = FieldText(record.peerNumber, sizeof record.peerNumber);
    const std::string timestamp = FieldText(record.timestamp, sizeof record.timestamp);
    const std::string text = FieldText(record.text, sizeof record.text);
    return std::find_if(remembered_.begin(), remembered_.end(), [&](const Remembered& r) {
        return r.sender == sender && r.timestamp == timestamp && r.text == text;
    });
}

void StationMailbox::Remember(const SmsRecord& record, bool applied) {
    if (remembered_.size() >= kMaxRememberedMessages) {
        const auto deleted = std::find_if(remembered_.begin(), remembered_.end(),
                                          [](const Remembered& r) { return !r.deletePending; });
        remembered_.erase(deleted != remembered_.end() ? deleted : remembered_.begin());
    }
    int64_t seconds = 0;
    Remembered r{FieldText(record.peerNumber, sizeof record.peerNumber),
                 FieldText(record.timestamp, sizeof record.timestamp), FieldText(record.text, sizeof record.text)};
    r.applied = applied;
    r.stamped = SendingTime(record.timestamp, &seconds);
    r.listedAt = polls_;
    remembered_.push_back(std::move(r));
}

// A message not applied needs no remembering once it is gone, nor one whose
// copies cannot be told from a new command; one applied with its time stamp
// is kept, so that a second copy is known.
void StationMailbox::Deleted(List::iterator message) {
    if (message == remembered_.end()) return;
    message->deletePending = false;
    if (!message->applied || !message->stamped) remembered_.erase(message);
}

void StationMailbox::TakeUnlistedAsDeleted() {
    for (auto r = remembered_.begin(); r != remembered_.end();) {
        const auto next = std::next(r);
        if (r->deletePending && r->listedAt != polls_ && ++r->unlistedPolls >= kPollsToTakeAsDeleted) Deleted(r);
        r = next;
    }
}

// Lists the read messages, then the unread ones while there is room, unless
// the first listing ended by the time-out.
StationMailbox::Listing StationMailbox::ListStore(GsmModem& modem) {
    Listing listing;
    listing.records.resize(kMaxListedRecords);
    int listed = modem.ListMessages(listing.records.data(), kMaxListedRecords, ListFilter::kReceivedRead, &listing.read);
    listed = std::clamp(listed, 0, static_cast<int>(kMaxListedRecords));
    listing.stopped = EndedByTimeOut(listing.read);
    if (!listing.stopped && listed < static_cast<int>(kMaxListedRecords)) {
        const size_t room = kMaxListedRecords - static_cast<size_t>(listed);
        const int more =
            modem.ListMessages(listing.records.data() + listed, room, ListFilter::kReceivedUnread, &listing.unread);
        listed += std::clamp(more, 0, static_cast<int>(room));
        listing.stopped = EndedByTimeOut(listing.unread);
    }
    listing.listed = listed;
    for (int i = 0; i < listed; ++i) listing.records[static_cast<size_t>(i)].text[kTextFieldSize - 1] = '\0';
    return listing;
}

// Each listed message in the order they were sent: one taken before is only
// marked for deleting again, any other goes to the station.
void StationMailbox::ApplyListed(const Listing& listing, const Trace& trace, const Handler& handle, PollCounts& counts) {
    for (int i : SendingOrder(listing.records, listing.listed)) {
        const SmsRecord& record = listing.records[static_cast<size_t>(i)];
        std::string detail = "taken before (listed again after an unconfirmed delete, or a second copy): deleted";
        MessageFate fate = MessageFate::kSeenBefore;
        if (const auto known = Find(record); known != remembered_.end()) {
            known->deletePending = true;  // deleted where this listing shows it
            known->unlistedPolls = 0;
            known->listedAt = polls_;
            remembered_.splice(remembered_.end(), remembered_, known);  // the newest place
        } else {
            fate = handle(record, trace.on() ? &detail : nullptr);
            Remember(record, fate == MessageFate::kApplied);
        }
        Count(counts, fate);
        if (trace.on()) trace.Emit(OutcomeEvent(fate, DescribeMessage(record) + ": " + detail));
    }
}

// One delete per index: after the first, the place may hold a message
// stored since, which no listing of this poll has shown. Once an exchange
// ends by the time-out, the rest stay remembered for a later poll.
void StationMailbox::DeleteListed(GsmModem& modem, const Listing& listing, const Trace& trace, PollCounts& counts) {
    bool stopped = listing.stopped;
    std::vector<int32_t> deletedIndexes;
    for (int i = 0; i < listing.listed; ++i) {
        const SmsRecord& record = listing.records[static_cast<size_t>(i)];
        const int32_t index = record.index;
        if (std::find(deletedIndexes.begin(), deletedIndexes.end(), index) != deletedIndexes.end()) {
            if (trace.on()) trace.Emit("message " + std::to_string(index) + " listed twice: deleted once");
            continue;
        }
        if (stopped) {
            ++counts.notDeleted;  // remembered, to be deleted at a later poll
            continue;
        }
        deletedIndexes.push_back(index);
        ExchangeResult deletion;
        if (modem.DeleteMessage(index, &deletion)) {
            Deleted(Find(record));
            ++counts.deleted;
            if (trace.on()) trace.Emit("deleted message " + std::to_string(index));
            continue;
        }
        ++counts.notDeleted;
        stopped = EndedByTimeOut(deletion);
        counts.modemSilent = counts.modemSilent || stopped;
        if (trace.on()) {
            std::string why = OutcomeText(deletion.outcome);
            if (deletion.errorNumber >= 0) why += " with error " + std::to_string(deletion.errorNumber);
            trace.Emit("message " + std::to_string(index) + " not deleted (" + why +
                       "): remembered, to be deleted at a later poll" + (stopped ? "; the poll stops" : ""));
        }
    }
}

PollCounts StationMailbox::Poll(GsmModem& modem, const Trace& trace, const Handler& handle) {
    const Listing listing = ListStore(modem);
    PollCounts counts;
    counts.listed = listing.listed;
    counts.modemSilent = listing.stopped;
    ++polls_;
    for (const ExchangeResult* answer : {&listing.read, &listing.unread}) {
        if (answer->outcome != ExchangeOutcome::kRefused || counts.listingRefused) continue;
        counts.listingRefused = true;
        counts.listingError = answer->errorNumber;
    }
    if (trace.on()) {
        trace.Emit("listed " + std::to_string(listing.listed) + " message(s)" +
                   (listing.stopped ? "; the modem did not finish answering, the poll stops after taking them" : ""));
    }
    ApplyListed(listing, trace, handle, counts);
    DeleteListed(modem, listing, trace, counts);
    // Both listings ended by OK and none was full: what they did not show is
    // not in the store.
    const bool complete = !counts.modemSilent && listing.read.outcome == ExchangeOutcome::kAnswered &&
                          listing.unread.outcome == ExchangeOutcome::kAnswered &&
                          listing.listed < static_cast<int>(kMaxListedRecords);
    if (complete) TakeUnlistedAsDeleted();
    if (trace.on()) trace.Emit(DescribePollCounts(counts));
    return counts;
}

}  // namespace kelvora
