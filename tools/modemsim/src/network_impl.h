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
    int master = -1;
    int slaveHold = -1;         // keeps the slave configured and the master readable between clients
    bool lineOpen = false;
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
};

struct Network::Impl : SubmitSink {
    explicit Impl(NetworkOptions o) : options(std::move(o)) {}

    int Submit(size_t fromModem, const std::string& pdu, int announcedLength, bool overlong) override;

    // All below with mu held.
    void Collect(ModemSlot& slot, SteadyTime now);
    void Pump(ModemSlot& slot, SteadyTime now);
    void CloseLine(ModemSlot& slot);
    void Wake();
    void Loop();
    int FindByRouting(const std::string& routing) const;

    NetworkOptions options;
    mutable std::mutex mu;
    mutable std::condition_variable changed;
    std::vector<std::unique_ptr<ModemSlot>> modems;
    std::vector<SubmittedPdu> submitted;
    NetworkStats stats;
    std::thread thread;
    bool running = false;
    bool stopping = false;
    int wake[2] = {-1, -1};
};

}  // namespace modemsim
