// What the network does to a message on its way besides carrying it: holding
// it back so that later ones overtake it, delivering it twice, and keeping it
// while its destination's store is full.
#include <algorithm>

#include "network_impl.h"

namespace modemsim {
namespace {

constexpr auto kValidity = std::chrono::minutes(5);  // the stations' messages are valid this long

void Count(NetworkStats& stats, DeliveryOutcome outcome) {
    if (outcome == DeliveryOutcome::Delivered) ++stats.delivered; else ++stats.undeliverable;
}

}  // namespace

void Network::Impl::Deliver(ModemSlot& from, int to, const std::string& deliverPdu, SubmittedPdu& record,
                            size_t recordIndex, size_t senderIndex) {
    const SteadyTime now = std::chrono::steady_clock::now();
    record.toModem = to;
    const size_t sender = record.fromModem;
    if (from.holdBack != 0) {
        if (from.holdBack > 0) --from.holdBack;
        record.outcome = DeliveryOutcome::Pending;
        ++stats.pending;
        heldBack.push_back({to, deliverPdu, from.holdBackOvertakenBy, now + from.holdBackLongest, false, recordIndex,
                            senderIndex, sender, from.holdBackFollow});
    } else if (Keep(to, deliverPdu, false, recordIndex, senderIndex, sender)) {
        record.outcome = DeliveryOutcome::Pending;
        ++stats.pending;
    } else {
        std::string why;
        record.storedIndex = modems[static_cast<size_t>(to)]->at->Deliver(deliverPdu, &why);
        record.outcome = record.storedIndex > 0 ? DeliveryOutcome::Delivered : DeliveryOutcome::StoreFull;
        record.deliveredTime = std::chrono::system_clock::now();
        Count(stats, record.outcome);
        // The messages of its sender that it overtook follow it, in the order they were held: at
        // once, or their `follow` later.
        std::vector<HeldBack> landing;
        for (auto it = heldBack.begin(); it != heldBack.end();) {
            if (it->toModem == to && it->fromModem == sender && it->overtakenBy > 0 && --it->overtakenBy == 0 &&
                it->follow.count() == 0) {
                landing.push_back(std::move(*it));
                it = heldBack.erase(it);
            } else {
                if (it->toModem == to && it->fromModem == sender && it->overtakenBy == 0)
                    it->latest = std::min(it->latest, now + it->follow);
                ++it;
            }
        }
        for (const HeldBack& held : landing) Land(held);
    }
    if (from.deliverTwice != 0) {
        if (from.deliverTwice > 0) --from.deliverTwice;
        heldBack.push_back({to, deliverPdu, from.secondCopyOvertakenBy, now + from.secondCopyLongest, true,
                            recordIndex, senderIndex, sender, from.secondCopyFollow});
    }
}

void Network::Impl::Land(const HeldBack& held) {
    if (Keep(held.toModem, held.deliverPdu, held.secondCopy, held.record, held.senderRecord, held.fromModem)) return;
    std::string why;
    const int index = modems[static_cast<size_t>(held.toModem)]->at->Deliver(held.deliverPdu, &why);
    if (held.secondCopy) {
        CopyLanded(held.record, held.senderRecord, index);
        return;
    }
    Landed(held.record, held.senderRecord, index);
}

void Network::Impl::CopyLanded(size_t recordIndex, size_t senderRecord, int index) {
    if (index <= 0) return;
    ++stats.duplicated;
    SubmittedPdu& record = submitted[recordIndex];
    record.copies.push_back({std::chrono::system_clock::now(), index});
    modems[record.fromModem]->submitted[senderRecord] = record;
    changed.notify_all();
}

void Network::Impl::Landed(size_t recordIndex, size_t senderRecord, int index) {
    SubmittedPdu& record = submitted[recordIndex];
    record.storedIndex = index;
    record.outcome = index > 0 ? DeliveryOutcome::Delivered : DeliveryOutcome::StoreFull;
    record.deliveredTime = std::chrono::system_clock::now();
    modems[record.fromModem]->submitted[senderRecord] = record;
    --stats.pending;
    Count(stats, record.outcome);
    changed.notify_all();
}

bool Network::Impl::Keep(int to, const std::string& deliverPdu, bool secondCopy, size_t record,
                         size_t senderRecord, size_t fromModem) {
    if (!options.keepWhenFull) return false;
    const MessageStore& store = modems[static_cast<size_t>(to)]->at->store();
    const bool queued = std::any_of(kept.begin(), kept.end(), [to](const HeldBack& k) { return k.toModem == to; });
    if (!queued && store.used() < store.capacity()) return false;
    kept.push_back({to, deliverPdu, 0, std::chrono::steady_clock::now() + kValidity, secondCopy, record, senderRecord,
                    fromModem, Millis(0)});
    return true;
}

void Network::Impl::LandKept(SteadyTime now, SteadyTime* next) {
    std::vector<int> waiting;  // destinations still full: what was kept after stays behind
    for (auto it = kept.begin(); it != kept.end();) {
        const HeldBack k = *it;
        AtModem& to = *modems[static_cast<size_t>(k.toModem)]->at;
        const bool behind = std::find(waiting.begin(), waiting.end(), k.toModem) != waiting.end();
        if (k.latest <= now) {  // its validity is over: undeliverable
            it = kept.erase(it);
            if (!k.secondCopy) Landed(k.record, k.senderRecord, -1);
            continue;
        }
        if (behind || to.store().used() >= to.store().capacity()) {
            waiting.push_back(k.toModem);
            *next = std::min(*next, k.latest);
            ++it;
            continue;
        }
        it = kept.erase(it);
        std::string why;
        const int index = to.Deliver(k.deliverPdu, &why);
        if (k.secondCopy) {
            CopyLanded(k.record, k.senderRecord, index);
        } else {
            Landed(k.record, k.senderRecord, index);
        }
    }
}

void Network::Impl::LandHeld(SteadyTime now, SteadyTime* next) {
    for (auto it = heldBack.begin(); it != heldBack.end();) {
        if (it->latest <= now) {
            const HeldBack held = std::move(*it);
            it = heldBack.erase(it);
            Land(held);
        } else {
            *next = std::min(*next, it->latest);
            ++it;
        }
    }
}

int Modem::FillStore(const std::string& sender, const std::string& text) {
    int filled = 0;
    while (InjectText(sender, text, Coding::Ucs2) > 0) ++filled;
    return filled;
}

void Modem::Restart(Millis boot) {
    std::lock_guard<std::mutex> lock(network_->impl_->mu);
    if (index_ >= network_->impl_->modems.size()) return;
    ModemSlot& slot = *network_->impl_->modems[index_];
    slot.queue.clear();
    slot.blocked = false;
    slot.at->Restart(std::chrono::system_clock::now() + boot);
}

void Modem::HoldBack(int times, size_t overtakenBy, Millis longest, Millis follow) {
    std::lock_guard<std::mutex> lock(network_->impl_->mu);
    if (index_ >= network_->impl_->modems.size()) return;
    ModemSlot& slot = *network_->impl_->modems[index_];
    slot.holdBack = times;
    slot.holdBackOvertakenBy = overtakenBy > 0 ? overtakenBy : 1;
    slot.holdBackLongest = longest;
    slot.holdBackFollow = follow;
}

void Modem::DeliverTwice(int times, size_t overtakenBy, Millis longest, Millis follow) {
    std::lock_guard<std::mutex> lock(network_->impl_->mu);
    if (index_ >= network_->impl_->modems.size()) return;
    ModemSlot& slot = *network_->impl_->modems[index_];
    slot.deliverTwice = times;
    slot.secondCopyOvertakenBy = overtakenBy > 0 ? overtakenBy : 1;
    slot.secondCopyLongest = longest;
    slot.secondCopyFollow = follow;
}

}  // namespace modemsim
