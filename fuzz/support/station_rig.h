// A station as a host runs it, for the fuzz targets: built once, on the
// scripted port and a fake clock, in front of a modem that answers a listing
// with what the target prepared and acknowledges every delete and send.
#pragma once

#include <memory>
#include <new>
#include <string>

#include "driver/i_device_driver.h"
#include "driver/standing_alone.h"
#include "stations/image_entry.h"
#include "support/fake_clock.h"
#include "support/scripted_port.h"

namespace kelvora::fuzz {

// A station built fresh for one run, so that nothing carries over from run to
// run, in storage kept across runs: a central station's image is 256 KB, and
// fresh pages for it every run would cost more than the run.
template <class Station>
class FreshStation {
public:
    FreshStation() : station_(new (Storage()) StandingAlone<Station>()) {}
    ~FreshStation() { station_->~StandingAlone<Station>(); }
    FreshStation(const FreshStation&) = delete;
    FreshStation& operator=(const FreshStation&) = delete;

    StandingAlone<Station>* operator->() { return station_; }
    StandingAlone<Station>& operator*() { return *station_; }

private:
    static void* Storage() {
        alignas(StandingAlone<Station>) static unsigned char storage[sizeof(StandingAlone<Station>)];
        return storage;
    }
    StandingAlone<Station>* station_;
};

// The modem's answer to a command the driver wrote: listing to "AT+CMGL"
// (the unread messages; none are read), the prompt to "AT+CMGS=", a message
// reference to a PDU, OK to a delete.
std::string AnswerTo(const std::string& command, const std::string& listing);

template <class Station>
class StationRig {
public:
    StationRig() {
        auto owned = std::make_unique<testing::ScriptedPort>(&clock);
        port = owned.get();
        port->Open("\\\\.\\COM1", 2048, 2048);
        station.SetClock(clock);
        station.SetPort(std::move(owned));
        station.timeoutMs = 100;
        port->onWrite = [this](testing::ScriptedPort& p, const std::string& command) {
            p.Arrive(AnswerTo(command, listing));
        };
    }

    // Before each run: the last run's logs dropped, every group due for a poll.
    void NextRun() {
        port->written.clear();
        port->calls.clear();
        port->readTimeouts.clear();
        port->writeTimeouts.clear();
        clock.sleeps.clear();
        clock.Advance(kPollIntervalMs);
    }

    testing::FakeClock clock;
    testing::ScriptedPort* port = nullptr;  // owned by the station
    StandingAlone<Station> station;
    std::string listing;
};

}  // namespace kelvora::fuzz
