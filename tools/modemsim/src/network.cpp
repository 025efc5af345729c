// The SMS network and its I/O thread: ptys, routing of submitted messages,
// and output paced at each modem's line rate.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "network_impl.h"
#include "pdu_codec.h"

namespace modemsim {
namespace {

constexpr auto kPollBound = std::chrono::milliseconds(200);  // the loop looks round at least this often
constexpr size_t kReadChunk = 4096;
constexpr size_t kMaxReadPerTurn = 64 * 1024;

std::chrono::nanoseconds ByteTime(uint32_t baud) {
    return std::chrono::nanoseconds(10'000'000'000LL / baud);  // 10 bits a byte: start, 8 data, stop
}

// "+8613900000001" plus n, keeping the form (with or without "+").
std::string NumberPlus(const std::string& first, size_t n) {
    std::string prefix, digits;
    for (char c : first) {
        if (c >= '0' && c <= '9') digits += c;
        else if (digits.empty()) prefix += c;
    }
    std::string out = digits;
    size_t carry = n;
    for (size_t i = out.size(); i-- > 0 && carry > 0;) {
        const size_t v = static_cast<size_t>(out[i] - '0') + carry;
        out[i] = static_cast<char>('0' + v % 10);
        carry = v / 10;
    }
    if (carry > 0) out = std::to_string(carry) + out;
    return prefix + out;
}

}  // namespace

Network::Network(NetworkOptions options) : impl_(new Impl(std::move(options))) {}

Network::~Network() { Stop(); }

bool Network::Start(std::string* error) {
    std::string why;
    std::unique_lock<std::mutex> lock(impl_->mu);
    if (impl_->running) return true;
    Impl& n = *impl_;
    n.modems.clear();
    n.submitted.clear();
    n.heldBack.clear();
    n.inTransit.clear();
    n.kept.clear();
    n.stats = {};
    n.stopping = false;
    for (size_t i = 0; i < n.options.modemCount; ++i) {
        auto slot = std::make_unique<ModemSlot>();
        slot->number = i < n.options.numbers.size() ? n.options.numbers[i] : NumberPlus(n.options.firstNumber, i);
        slot->routing = NormaliseNumber(slot->number, n.options.countryCode);
        slot->baud = n.options.baudRate;
        slot->at = std::make_unique<AtModem>(i, slot->number, n.options, impl_.get());
        if (n.FindByRouting(slot->routing) >= 0) why = "two modems with the number " + slot->number;
        if (why.empty() && (!n.linkDirectory.empty() || n.MakeLinkDirectory(&why))) n.OpenLine(*slot, &why);
        n.modems.push_back(std::move(slot));
        if (!why.empty()) break;
    }
    if (why.empty() && pipe2(n.wake, O_NONBLOCK | O_CLOEXEC) != 0) why = std::string("pipe: ") + std::strerror(errno);
    if (!why.empty()) {
        for (auto& slot : n.modems) n.CloseLine(*slot);
        n.RemoveLinks();
        n.modems.clear();
        if (error) *error = why;
        return false;
    }
    n.running = true;
    n.thread = std::thread([this] { impl_->Loop(); });
    return true;
}

void Network::Stop() {
    std::unique_lock<std::mutex> lock(impl_->mu);
    if (!impl_->running) return;
    impl_->stopping = true;
    impl_->Wake();
    lock.unlock();
    impl_->thread.join();
    lock.lock();
    for (auto& slot : impl_->modems) impl_->CloseLine(*slot);
    impl_->RemoveLinks();
    close(impl_->wake[0]);
    close(impl_->wake[1]);
    impl_->wake[0] = impl_->wake[1] = -1;
    impl_->running = false;
    impl_->changed.notify_all();
}

bool Network::Running() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->running;
}

size_t Network::ModemCount() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->modems.size();
}

Modem Network::modem(size_t index) { return Modem(this, index); }

int Network::FindModem(const std::string& number) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->FindByRouting(NormaliseNumber(number, impl_->options.countryCode));
}

std::vector<SubmittedPdu> Network::Submitted() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->submitted;
}

bool Network::WaitForSubmitted(size_t count, Millis timeout) const {
    std::unique_lock<std::mutex> lock(impl_->mu);
    return impl_->changed.wait_for(lock, timeout, [this, count] { return impl_->submitted.size() >= count; });
}

NetworkStats Network::Stats() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    NetworkStats stats = impl_->stats;
    stats.held = impl_->heldBack.size() + impl_->kept.size();
    return stats;
}

const NetworkOptions& Network::options() const { return impl_->options; }

int Network::Impl::FindByRouting(const std::string& routing) const {
    for (size_t i = 0; i < modems.size(); ++i) {
        if (modems[i]->routing == routing) return static_cast<int>(i);
    }
    return -1;
}

int Network::Impl::Submit(size_t fromModem, const std::string& pdu, int announcedLength, bool overlong) {
    ModemSlot& from = *modems[fromModem];
    SubmittedPdu record;
    record.time = std::chrono::system_clock::now();
    record.fromModem = fromModem;
    record.fromNumber = from.number;
    record.pdu = pdu;
    record.announcedLength = announcedLength;
    record.decoded = DecodePdu(pdu);
    ++stats.submitted;
    if (overlong) {
        record.decoded = DecodedPdu();
        record.decoded.error = "longer than the modem takes";
        record.cmsError = 304;
    } else if (!record.decoded.ok || !record.decoded.isSubmit) {
        if (record.decoded.ok) record.decoded.error = "not an SMS-SUBMIT";
        record.cmsError = 304;
    } else if (TpduLength(pdu) != announcedLength) {
        record.decoded.error = "length " + std::to_string(TpduLength(pdu)) + " announced as " +
                               std::to_string(announcedLength);
        record.cmsError = 304;
    }
    if (record.cmsError != 0) {
        ++stats.rejected;
        from.submitted.push_back(record);
        submitted.push_back(record);
        changed.notify_all();
        return -record.cmsError;
    }
    record.accepted = true;
    record.messageReference = from.nextReference++;
    const DecodedPdu& d = record.decoded;
    const bool alphanumeric = (d.addressType & 0x70) == 0x50;
    const bool international = (d.addressType & 0x70) == 0x10;
    const int to = alphanumeric ? -1
                                : FindByRouting(NormaliseNumber(international ? "+" + d.address : d.address,
                                                                options.countryCode));
    if (to < 0) {
        record.outcome = DeliveryOutcome::UnknownNumber;
    } else {
        DeliverParts parts;
        if (!d.serviceCentre.empty()) {
            parts.serviceCentre = {d.serviceCentre, d.serviceCentreType};
        } else {
            parts.serviceCentre = AddressFromText(options.serviceCentre);
        }
        parts.originator = AddressFromText(from.number);
        parts.protocolId = d.protocolId;
        parts.dataCoding = d.dataCoding;
        parts.userDataHeader = (d.firstOctet & 0x40) != 0;
        parts.userDataLength = d.userDataLength;
        parts.userData = d.userData;
        parts.time = record.time;
        record.deliverPdu = BuildDeliver(parts);
        if (options.deliveryDelay.count() > 0) {
            record.toModem = to;
            record.outcome = DeliveryOutcome::Pending;
            ++stats.pending;
            inTransit.push_back({std::chrono::steady_clock::now() + options.deliveryDelay, to, record.deliverPdu,
                                 submitted.size(), from.submitted.size()});
            Wake();
        } else {
            Deliver(from, to, record.deliverPdu, record, submitted.size(), from.submitted.size());
        }
    }
    if (record.outcome == DeliveryOutcome::UnknownNumber) ++stats.undeliverable;
    from.submitted.push_back(record);
    submitted.push_back(record);
    changed.notify_all();
    return record.messageReference;
}

void Network::Impl::Refused(size_t fromModem, const std::string& pdu, int announcedLength, int cmsError) {
    ModemSlot& from = *modems[fromModem];
    SubmittedPdu record;
    record.time = std::chrono::system_clock::now();
    record.fromModem = fromModem;
    record.fromNumber = from.number;
    record.pdu = pdu;
    record.announcedLength = announcedLength;
    record.decoded = DecodePdu(pdu);
    record.cmsError = cmsError;
    ++stats.submitted;
    ++stats.rejected;
    from.submitted.push_back(record);
    submitted.push_back(record);
    changed.notify_all();
}

void Network::Impl::LandDue(SteadyTime now, SteadyTime* next) {
    while (!inTransit.empty() && inTransit.front().due <= now) {
        const InTransit message = std::move(inTransit.front());
        inTransit.pop_front();
        SubmittedPdu& record = submitted[message.record];
        ModemSlot& from = *modems[record.fromModem];
        --stats.pending;
        Deliver(from, message.toModem, message.deliverPdu, record, message.record, message.senderRecord);
        from.submitted[message.senderRecord] = record;
        changed.notify_all();
    }
    if (!inTransit.empty()) *next = std::min(*next, inTransit.front().due);
}

void Network::Impl::Wake() {
    if (wake[1] >= 0) {
        const char byte = 1;
        ssize_t ignored = write(wake[1], &byte, 1);
        (void)ignored;
    }
}

void Network::Impl::CloseLine(ModemSlot& slot) {
    if (slot.master >= 0) close(slot.master);
    if (slot.slaveHold >= 0) close(slot.slaveHold);
    slot.master = slot.slaveHold = -1;
    slot.lineOpen = false;
    slot.queue.clear();
    slot.blocked = false;
    changed.notify_all();
}

void Network::Impl::Collect(ModemSlot& slot, SteadyTime now) {
    for (OutputChunk& chunk : slot.at->TakeOutput()) {
        if (!slot.lineOpen) continue;
        ModemSlot::Pending p;
        p.bytes = std::move(chunk.bytes);
        p.ready = now + chunk.delay;
        p.close = chunk.closeLine;
        slot.queue.push_back(std::move(p));
    }
}

void Network::Impl::Pump(ModemSlot& slot, SteadyTime now) {
    while (slot.lineOpen && !slot.queue.empty()) {
        ModemSlot::Pending& p = slot.queue.front();
        if (p.ready > now) break;
        if (p.close) {
            CloseLine(slot);
            return;
        }
        size_t n = p.bytes.size() - p.offset;
        if (slot.baud > 0) {
            // A line that stood idle starts when the bytes were ready, never earlier.
            if (p.offset == 0) slot.lineFreeAt = std::max(slot.lineFreeAt, p.ready);
            // After a stall of the reader the line goes on at its rate, without a burst to catch up.
            if (slot.stalled) slot.lineFreeAt = std::max(slot.lineFreeAt, now);
            slot.stalled = false;
            if (slot.lineFreeAt > now) break;
            const auto byteTime = ByteTime(slot.baud);
            const size_t due = static_cast<size_t>((now - slot.lineFreeAt) / byteTime) + 1;
            n = std::min(n, due);
        }
        const ssize_t written = write(slot.master, p.bytes.data() + p.offset, n);
        if (written < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                slot.blocked = slot.stalled = true;
            } else if (errno != EINTR) {
                CloseLine(slot);
            }
            return;
        }
        slot.blocked = false;
        p.offset += static_cast<size_t>(written);
        slot.bytesSent += static_cast<uint64_t>(written);
        if (slot.baud > 0) slot.lineFreeAt += ByteTime(slot.baud) * written;
        if (p.offset == p.bytes.size()) slot.queue.pop_front();
        if (static_cast<size_t>(written) < n) {
            slot.blocked = slot.stalled = true;
            return;
        }
    }
}

void Network::Impl::Loop() {
    std::unique_lock<std::mutex> lock(mu);
    std::vector<pollfd> fds;
    std::vector<size_t> owners;
    char buffer[kReadChunk];
    while (!stopping) {
        SteadyTime now = std::chrono::steady_clock::now();
        SteadyTime deadline = now + kPollBound;
        fds.clear();
        owners.clear();
        fds.push_back({wake[0], POLLIN, 0});
        LandDue(now, &deadline);
        LandHeld(now, &deadline);
        LandKept(now, &deadline);
        PlugDue(now, &deadline);
        for (size_t i = 0; i < modems.size(); ++i) {
            ModemSlot& slot = *modems[i];
            Collect(slot, now);
            Pump(slot, now);
            if (!slot.lineOpen) continue;
            short events = POLLIN;
            if (!slot.queue.empty()) {
                const ModemSlot::Pending& head = slot.queue.front();
                if (head.ready > now) deadline = std::min(deadline, head.ready);
                else if (slot.blocked) events = static_cast<short>(events | POLLOUT);
                else if (slot.baud > 0) deadline = std::min(deadline, std::max(now, slot.lineFreeAt));
                else deadline = now;
            }
            fds.push_back({slot.master, events, 0});
            owners.push_back(i);
        }
        changed.notify_all();
        const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now);
        timespec ts{static_cast<time_t>(wait.count() / 1'000'000'000), static_cast<long>(wait.count() % 1'000'000'000)};
        lock.unlock();
        const int ready = ppoll(fds.data(), fds.size(), &ts, nullptr);
        lock.lock();
        ++turns;
        if (ready <= 0) continue;
        if (fds[0].revents & POLLIN) {
            while (read(wake[0], buffer, sizeof buffer) > 0) {
            }
        }
        for (size_t k = 1; k < fds.size(); ++k) {
            ModemSlot& slot = *modems[owners[k - 1]];
            if (!slot.lineOpen || slot.master != fds[k].fd) continue;
            if (fds[k].revents & POLLOUT) slot.blocked = false;
            if (!(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            size_t total = 0;
            while (total < kMaxReadPerTurn) {
                const ssize_t got = read(slot.master, buffer, sizeof buffer);
                if (got > 0) {
                    slot.at->Receive(buffer, static_cast<size_t>(got), std::chrono::system_clock::now());
                    total += static_cast<size_t>(got);
                    continue;
                }
                if (got < 0 && (errno == EAGAIN || errno == EINTR)) break;
                CloseLine(slot);  // the pty is gone
                break;
            }
        }
    }
}

}  // namespace modemsim
