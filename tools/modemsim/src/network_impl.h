// The inside of Network: the modems' ptys, their paced output queues and the
// one I/O thread that serves them all (network.cpp, modem.cpp).
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "at_modem.h"
#include "modemsim/modemsim.h"

namespace modemsim {

using SteadyTime = std::chrono::steady_clock::time_point;

struct ModemSlot {
    std::unique_ptr<AtModem> at;
    std::string number;
    std::string routing;        // NormaliseNumber(number)
    std::string slavePath;
    std::string linkPath;       // what clients open: a link to slavePath, absent while unplugged
    int master = -1;
    int slaveHold = -1;         // keeps the slave configured and the master readable between clients
    bool lineOpen = false;
    bool unplugged = false;     // the path is gone until plugAt
    SteadyTime plugAt;
    Millis bootAfterPlug{0};
    uint32_t baud = 0;

    struct Pending {
        std::string bytes;
        size_t offset = 0;
        SteadyTime ready;
        bool close = false;
    };
    std::deque<Pending> queue;
    SteadyTime lineFreeAt;      // when the paced line can take the next byte
    bool blocked = false;       // the pty took less than offered: wait for POLLOUT
    bool stalled = false;       // the reader fell behind: no catching up afterwards
    uint64_t bytesSent = 0;
    uint8_t nextReference = 0;
    std::vector<SubmittedPdu> submitted;
    // The network faults of what this modem sends (Modem::HoldBack, DeliverTwice).
    int holdBack = 0;
    size_t holdBackOvertakenBy = 1;
    Millis holdBackLongest{60000};
    Millis holdBackFollow{0};
    int deliverTwice = 0;
    size_t secondCopyOvertakenBy = 1;
    Millis secondCopyLongest{60000};
    Millis secondCopyFollow{0};
};

// A message the network holds back: it reaches its destination's store
// `follow` after `overtakenBy` later messages of the same sender to that
// modem have, or at `latest`.
struct HeldBack {
    int toModem = -1;
    std::string deliverPdu;
    size_t overtakenBy = 1;
    SteadyTime latest;
    bool secondCopy = false;   // of a message delivered already: its record gets the copy
    size_t record = 0;         // its SubmittedPdu in Impl::submitted
    size_t senderRecord = 0;   // and in the sender's slot
    size_t fromModem = 0;
    Millis follow{0};
};

// An accepted message on its way to its destination (NetworkOptions::deliveryDelay).
struct InTransit {
    SteadyTime due;
    int toModem = -1;
    std::string deliverPdu;
    size_t record = 0;          // its SubmittedPdu in Impl::submitted
    size_t senderRecord = 0;    // and in the sender's slot
};

struct Network::Impl : SubmitSink {
    explicit Impl(NetworkOptions o) : options(std::move(o)) {}

    int Submit(size_t fromModem, const std::string& pdu, int announcedLength, bool overlong) override;
    void Refused(size_t fromModem, const std::string& pdu, int announcedLength, int cmsError) override;

    // All below with mu held.
    // Stores a message at its destination (or holds it back, as the sender's
    // network faults ask) and lets the messages it overtakes follow it.
    // `record` is kept at index `recordIndex` of `submitted` and `senderIndex` of the sender's.
    void Deliver(ModemSlot& from, int to, const std::string& deliverPdu, SubmittedPdu& record, size_t recordIndex,
                 size_t senderIndex);
    void Land(const HeldBack& held);
    // With keepWhenFull: keeps a message whose destination is full, or has messages kept before it.
    bool Keep(int to, const std::string& deliverPdu, bool secondCopy, size_t record, size_t senderRecord,
              size_t fromModem);
    // Delivers kept messages where there is room now; gives up on those past their validity.
    void LandKept(SteadyTime now, SteadyTime* next);
    // The record of a message that reached its destination's store at `index` (or found it full: -1).
    void Landed(size_t record, size_t senderRecord, int index);
    // A second copy reached its destination's store at `index` (or found it full: -1).
    void CopyLanded(size_t record, size_t senderRecord, int index);
    void LandHeld(SteadyTime now, SteadyTime* next);
    // Passes the messages whose time in transit is over on to Deliver.
    void LandDue(SteadyTime now, SteadyTime* next);
    void Collect(ModemSlot& slot, SteadyTime now);
    void Pump(ModemSlot& slot, SteadyTime now);
    void CloseLine(ModemSlot& slot);
    // The line's ends (modem_line.cpp): a new pty for the slot and the link
    // to it; the unplugging, plugging back and hang-up of a modem.
    bool OpenLine(ModemSlot& slot, std::string* error);
    // Both wait (lock held by the caller) until the old line is released.
    void Unplug(ModemSlot& slot, Millis away, Millis boot, std::unique_lock<std::mutex>& lock);
    void HangUp(ModemSlot& slot, std::unique_lock<std::mutex>& lock);
    // Plugs back the modems whose time has come; the next time one is due.
    void PlugDue(SteadyTime now, SteadyTime* next);
    bool MakeLinkDirectory(std::string* error);
    // Waits until the I/O thread has gone round once more: a pty closed
    // here is released by its poll only then.
    void AwaitTurn(std::unique_lock<std::mutex>& lock);
    void RemoveLinks();
    void Wake();
    void Loop();
    int FindByRouting(const std::string& routing) const;

    NetworkOptions options;
    mutable std::mutex mu;
    mutable std::condition_variable changed;
    std::vector<std::unique_ptr<ModemSlot>> modems;
    std::vector<SubmittedPdu> submitted;
    std::vector<HeldBack> heldBack;
    std::deque<InTransit> inTransit;  // in order of their due times (one delay for all)
    std::deque<HeldBack> kept;        // for full stores, in arrival order; `latest`: the validity's end
    NetworkStats stats;
    std::thread thread;
    std::string linkDirectory;        // the modems' device links, made at Start
    uint64_t turns = 0;               // the I/O thread's rounds
    bool running = false;
    bool stopping = false;
    int wake[2] = {-1, -1};
};

}  // namespace modemsim
