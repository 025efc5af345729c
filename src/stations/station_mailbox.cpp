// The stations' message store handling (see the header).
#include "stations/station_mailbox.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "driver/host_records.h"
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

// A NUL-terminated field of a record as a string, never read past the field.
std::string FieldText(const char* field, size_t size) {
    const void* end = std::memchr(field, '\0', size);
    return std::string(field, end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - field) : size);
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

PollCounts StationMailbox::Poll(GsmModem& modem, const Handler& handle) {
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

    std::vector<Identity> identities;
    identities.reserve(static_cast<size_t>(listed));
    for (int i = 0; i < listed; ++i) {
        SmsRecord& record = records[static_cast<size_t>(i)];
        record.text[kTextFieldSize - 1] = '\0';
        identities.push_back(IdentityOf(record));
    }
    for (int i : SendingOrder(records, listed)) {
        const bool before = Remembered(identities[static_cast<size_t>(i)]);
        Count(counts, before ? MessageFate::kAppliedBefore : handle(records[static_cast<size_t>(i)]));
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
        if (modem.DeleteMessage(records[static_cast<size_t>(i)].index, &deletion)) {
            Forget(identity);
            ++counts.deleted;
        } else {
            Remember(identity);
            ++counts.notDeleted;
            silent = Silent(deletion);
            counts.modemSilent = counts.modemSilent || silent;
        }
    }
    return counts;
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
