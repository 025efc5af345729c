// Modem handles: the per-modem calls of the public interface.
#include <algorithm>
#include <cctype>

#include "network_impl.h"
#include "pdu_codec.h"

namespace modemsim {
namespace {

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != std::toupper(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

}  // namespace

#define MODEM_SLOT_OR(fallback)                                        \
    std::unique_lock<std::mutex> lock(network_->impl_->mu);            \
    if (index_ >= network_->impl_->modems.size()) return fallback;     \
    ModemSlot& slot = *network_->impl_->modems[index_];                \
    (void)slot

std::string Modem::DevicePath() const {
    MODEM_SLOT_OR(std::string());
    return slot.linkPath;
}

std::string Modem::Number() const {
    MODEM_SLOT_OR(std::string());
    return slot.number;
}

bool Modem::LineOpen() const {
    MODEM_SLOT_OR(false);
    return slot.lineOpen;
}

int Modem::InjectPdu(const std::string& hex, MessageStatus status, int index, std::string* error) {
    MODEM_SLOT_OR(-1);
    return slot.at->store().Put(hex, status, index, error);
}

int Modem::InjectText(const std::string& sender, const std::string& text, Coding coding, int index,
                      std::string* error) {
    DeliverMessage message;
    message.serviceCentre = network_->options().serviceCentre;
    message.sender = sender;
    message.coding = coding;
    message.text = text;
    std::string hex;
    if (!EncodeDeliver(message, &hex, error)) return -1;
    return InjectPdu(hex, MessageStatus::ReceivedUnread, index, error);
}

std::vector<StoredMessage> Modem::Stored() const {
    MODEM_SLOT_OR({});
    return slot.at->store().All();
}

bool Modem::ClearStore() {
    MODEM_SLOT_OR(false);
    slot.at->store().Clear();
    return true;
}

bool Modem::SetCapacity(size_t capacity) {
    MODEM_SLOT_OR(false);
    return capacity > 0 && slot.at->store().SetCapacity(capacity);
}

size_t Modem::Capacity() const {
    MODEM_SLOT_OR(0);
    return slot.at->store().capacity();
}

size_t Modem::StoreHighWater() const {
    MODEM_SLOT_OR(0);
    return slot.at->store().highWater();
}

void Modem::SetBaudRate(uint32_t baud) {
    MODEM_SLOT_OR();
    slot.baud = baud;
    slot.lineFreeAt = std::chrono::steady_clock::now();
    network_->impl_->Wake();
}

void Modem::SetCmti(bool on) {
    MODEM_SLOT_OR();
    slot.at->SetCmti(on);
}

void Modem::SetEcho(bool on) {
    MODEM_SLOT_OR();
    slot.at->SetEcho(on);
}

std::vector<SubmittedPdu> Modem::Submitted() const {
    MODEM_SLOT_OR({});
    return slot.submitted;
}

std::vector<LogEntry> Modem::CommandLog() const {
    MODEM_SLOT_OR({});
    return slot.at->log();
}

void Modem::ClearLog() {
    MODEM_SLOT_OR();
    slot.at->log().clear();
}

bool Modem::WaitForCommand(const std::string& prefix, Millis timeout) const {
    MODEM_SLOT_OR(false);
    return network_->impl_->changed.wait_for(lock, timeout, [&slot, &prefix] {
        const auto& log = slot.at->log();
        return std::any_of(log.begin(), log.end(),
                           [&prefix](const LogEntry& e) { return StartsWithNoCase(e.command, prefix); });
    });
}

void Modem::RefuseDeletes(int index, int cmsError) {
    MODEM_SLOT_OR();
    slot.at->store().RefuseDeletes(index, cmsError);
}

std::vector<int> Modem::UndeletablePlaces() const {
    MODEM_SLOT_OR({});
    return slot.at->store().Undeletable();
}

void Modem::InjectFault(const Fault& fault) {
    MODEM_SLOT_OR();
    slot.at->faults().push_back(fault);
}

void Modem::ClearFaults() {
    MODEM_SLOT_OR();
    slot.at->faults().clear();
}

void Modem::SendRaw(const std::string& bytes) {
    MODEM_SLOT_OR();
    slot.at->Emit(bytes);
    network_->impl_->Wake();
}

bool Modem::WaitForOutputDrained(Millis timeout) const {
    MODEM_SLOT_OR(false);
    network_->impl_->Wake();
    return network_->impl_->changed.wait_for(lock, timeout, [&slot] {
        return !slot.lineOpen || (slot.queue.empty() && slot.at->TakeOutputPending() == 0);
    });
}

uint64_t Modem::BytesSent() const {
    MODEM_SLOT_OR(0);
    return slot.bytesSent;
}

const char* ToString(DeliveryOutcome outcome) {
    switch (outcome) {
        case DeliveryOutcome::Delivered: return "delivered";
        case DeliveryOutcome::UnknownNumber: return "unknown_number";
        case DeliveryOutcome::StoreFull: return "store_full";
        case DeliveryOutcome::Rejected: return "rejected";
        case DeliveryOutcome::Pending: return "pending";
    }
    return "?";
}

namespace {
struct FaultName {
    FaultKind kind;
    const char* name;
};
constexpr FaultName kFaultNames[] = {
    {FaultKind::Silence, "silence"},   {FaultKind::Delay, "delay"},
    {FaultKind::Error, "error"},       {FaultKind::CmsError, "cms_error"},
    {FaultKind::Garbage, "garbage"},   {FaultKind::CutOff, "cut_off"},
    {FaultKind::Unsolicited, "unsolicited"}, {FaultKind::CloseLine, "close_line"},
};
}  // namespace

const char* ToString(FaultKind kind) {
    for (const FaultName& f : kFaultNames) {
        if (f.kind == kind) return f.name;
    }
    return "?";
}

bool ParseFaultKind(const std::string& text, FaultKind* kind) {
    for (const FaultName& f : kFaultNames) {
        if (text == f.name) {
            *kind = f.kind;
            return true;
        }
    }
    return false;
}

}  // namespace modemsim
