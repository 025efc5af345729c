// What the network does to a message on its way besides carrying it: holding
// it back so that later ones overtake it, and delivering it twice.
#include "network_impl.h"

namespace modemsim {
namespace {

constexpr auto kLongestHold = std::chrono::seconds(60);

void Count(NetworkStats& stats, DeliveryOutcome outcome) {
    if (outcome == DeliveryOutcome::Delivered) ++stats.delivered; else ++stats.undeliverable;
}

}  // namespace

void Network::Impl::Deliver(ModemSlot& from, int to, const std::string& deliverPdu, SubmittedPdu& record,
                            size_t recordIndex, size_t senderIndex) {
    const SteadyTime now = std::chrono::steady_clock::now();
    record.toModem = to;
    if (from.holdBack != 0) {
        if (from.holdBack > 0) --from.holdBack;
        record.outcome = DeliveryOutcome::Pending;
        ++stats.pending;
        heldBack.push_back({to, deliverPdu, from.holdBackOvertakenBy, now + kLongestHold, false, recordIndex,
                            senderIndex});
    } else {
        std::string why;
        record.storedIndex = modems[static_cast<size_t>(to)]->at->Deliver(deliverPdu, &why);
        record.outcome = record.storedIndex > 0 ? DeliveryOutcome::Delivered : DeliveryOutcome::StoreFull;
        record.deliveredTime = std::chrono::system_clock::now();
        Count(stats, record.outcome);
        // The messages it overtook follow it, in the order they were held.
        std::vector<HeldBack> landing;
        for (auto it = heldBack.begin(); it != heldBack.end();) {
            if (it->toModem == to && --it->overtakenBy == 0) {
                landing.push_back(std::move(*it));
                it = heldBack.erase(it);
            } else {
                ++it;
            }
        }
        for (const HeldBack& held : landing) Land(held);
    }
    if (from.deliverTwice != 0) {
        if (from.deliverTwice > 0) --from.deliverTwice;
        heldBack.push_back({to, deliverPdu, from.secondCopyOvertakenBy, now + kLongestHold, true, 0, 0});
    }
}

void Network::Impl::Land(const HeldBack& held) {
    std::string why;
    const int index = modems[static_cast<size_t>(held.toModem)]->at->Deliver(held.deliverPdu, &why);
    if (held.secondCopy) {
        if (index > 0) ++stats.duplicated;
        return;
    }
    SubmittedPdu& record = submitted[held.record];
    record.storedIndex = index;
    record.outcome = index > 0 ? DeliveryOutcome::Delivered : DeliveryOutcome::StoreFull;
    record.deliveredTime = std::chrono::system_clock::now();
    modems[record.fromModem]->submitted[held.senderRecord] = record;
    --stats.pending;
    Count(stats, record.outcome);
    changed.notify_all();
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

void Modem::HoldBack(int times, size_t overtakenBy) {
    std::lock_guard<std::mutex> lock(network_->impl_->mu);
    if (index_ >= network_->impl_->modems.size()) return;
    ModemSlot& slot = *network_->impl_->modems[index_];
    slot.holdBack = times;
    slot.holdBackOvertakenBy = overtakenBy > 0 ? overtakenBy : 1;
}

void Modem::DeliverTwice(int times, size_t overtakenBy) {
    std::lock_guard<std::mutex> lock(network_->impl_->mu);
    if (index_ >= network_->impl_->modems.size()) return;
    ModemSlot& slot = *network_->impl_->modems[index_];
    slot.deliverTwice = times;
    slot.secondCopyOvertakenBy = overtakenBy > 0 ? overtakenBy : 1;
}

}  // namespace modemsim
