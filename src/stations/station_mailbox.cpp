// The stations' message store handling (see the header).
#include "stations/station_mailbox.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "stations/sending_time.h"

namespace kelvora {

namespace {

// No answer at all, or no line: the modem will not answer the next command
// either, and each would cost a whole time-out.
bool Silent(const ExchangeResult& result) {
    return result.outcome == ExchangeOutcome::kPortFailed ||
           (result.outcome == ExchangeOutcome::kNoAnswer && result.received == 0);
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

std::string DescribeCounts(const PollCounts& c) {
    return "poll done: listed " + std::to_string(c.listed) + ", applied " + std::to_string(c.applied) +
           ", refused by the sender check " + std::to_string(c.refusedBySender) + ", not a frame " +
           std::to_string(c.notAFrame) + ", not for this station " + std::to_string(c.notForStation) +
           ", applied before " + std::to_string(c.appliedBefore) + ", deleted " + std::to_string(c.deleted) +
           ", left for a later poll " + std::to_string(c.notDeleted) + (c.modemSilent ? " (the modem fell silent)" : "");
}

void Count(PollCounts& counts, MessageFate fate) {
    switch (fate) {
        case MessageFate::kApplied: ++counts.applied; break;
        case MessageFate::kRefusedBySender: ++counts.refusedBySender; break;
        case MessageFate::kNotAFrame: ++counts.notAFrame; break;
        case MessageFate::kNotForStation: ++counts.notForStation; break;
        case MessageFate::kAppliedBefore: ++counts.appliedBefore; break;
    }
}

}  // namespace

bool StationMailbox::Identity::operator==(const Identity& other) const {
    return index == other.index && sender == other.sender && timestamp == other.timestamp && text == other.text;
}

StationMailbox::Identity StationMailbox::IdentityOf(const SmsRecord& record) {
    return Identity{record.index, FieldText(record.peerNumber, sizeof record.peerNumber),
                    FieldText(record.timestamp, sizeof record.timestamp), FieldText(record.text, sizeof record.text)};
}

bool StationMailbox::Remembered(const Identity& identity) const {
    return std::find(remembered_.begin(), remembered_.end(), identity) != remembered_.end();
}

void StationMailbox::Remember(const Identity& identity) {
    if (Remembered(identity)) return;
    remembered_.push_back(identity);
    if (remembered_.size() > kMaxRememberedMessages) remembered_.pop_front();
}

void StationMailbox::Forget(const Identity& identity) {
    remembered_.erase(std::remove(remembered_.begin(), remembered_.end(), identity), remembered_.end());
}

PollCounts StationMailbox::Poll(GsmModem& modem, const Trace& trace, const Handler& handle) {
    PollCounts counts;
    std::vector<SmsRecord> records(kMaxListedRecords);
    ExchangeResult read, unread;
    int listed = modem.ListMessages(records.data(), kMaxListedRecords, ListFilter::kReceivedRead, &read);
    listed = std::clamp(listed, 0, static_cast<int>(kMaxListedRecords));
    bool silent = Silent(read);
    bool sawAll = read.outcome == ExchangeOutcome::kAnswered && listed < static_cast<int>(kMaxListedRecords);
    if (!silent && listed < static_cast<int>(kMaxListedRecords)) {
        const size_t room = kMaxListedRecords - static_cast<size_t>(listed);
        const int more = modem.ListMessages(records.data() + listed, room, ListFilter::kReceivedUnread, &unread);
        listed += std::clamp(more, 0, static_cast<int>(room));
        silent = Silent(unread);
        sawAll = sawAll && unread.outcome == ExchangeOutcome::kAnswered && listed < static_cast<int>(kMaxListedRecords);
    }
    counts.listed = listed;
    counts.modemSilent = silent;
    if (trace.on()) {
        trace.Emit("listed " + std::to_string(listed) + " message(s)" +
                   (silent ? "; the modem did not answer, the poll stops after taking them" : ""));
    }

    std::vector<Identity> identities;
    identities.reserve(static_cast<size_t>(listed));
    for (int i = 0; i < listed; ++i) {
        SmsRecord& record = records[static_cast<size_t>(i)];
        record.text[kTextFieldSize - 1] = '\0';
        identities.push_back(IdentityOf(record));
    }
    for (int i : SendingOrder(records, listed)) {
        const SmsRecord& record = records[static_cast<size_t>(i)];
        std::string detail = "applied before, deleted again";
        const bool before = Remembered(identities[static_cast<size_t>(i)]);
        Count(counts, before ? MessageFate::kAppliedBefore : handle(record, trace.on() ? &detail : nullptr));
        if (trace.on()) trace.Emit(DescribeMessage(record) + ": " + detail);
    }

    // What was remembered and is not in storage any more needs no delete.
    if (sawAll) {
        remembered_.erase(std::remove_if(remembered_.begin(), remembered_.end(),
                                         [&identities](const Identity& r) {
                                             return std::find(identities.begin(), identities.end(), r) ==
                                                    identities.end();
                                         }),
                          remembered_.end());
    }

    for (int i = 0; i < listed; ++i) {
        const Identity& identity = identities[static_cast<size_t>(i)];
        if (silent) {
            Remember(identity);
            ++counts.notDeleted;
            continue;
        }
        ExchangeResult deletion;
        const int32_t index = records[static_cast<size_t>(i)].index;
        if (modem.DeleteMessage(index, &deletion)) {
            Forget(identity);
            ++counts.deleted;
            if (trace.on()) trace.Emit("deleted message " + std::to_string(index));
        } else {
            Remember(identity);
            ++counts.notDeleted;
            silent = Silent(deletion);
            counts.modemSilent = counts.modemSilent || silent;
            if (trace.on()) {
                std::string why = OutcomeName(deletion.outcome);
                if (deletion.errorNumber >= 0) why += " with error " + std::to_string(deletion.errorNumber);
                trace.Emit("message " + std::to_string(index) + " not deleted (" + why +
                           "): remembered, to be deleted at a later poll" + (silent ? "; the poll stops" : ""));
            }
        }
    }
    if (trace.on()) trace.Emit(DescribeCounts(counts));
    return counts;
}

}  // namespace kelvora
