// What a host sees of the stations while their line is down, on the fake
// modem and the fake clock: a read answers from the station's copy at once
// and the first read once the line is back takes what arrived meanwhile; a
// write fails at once with the port failure; a message cut off by the port
// after it was handed to the modem is not confirmed, and not in the image.
#include <gtest/gtest.h>

#include <string>

#include "driver/line_keeper.h"
#include "driver/shared_ports.h"
#include "stations/central_station.h"
#include "stations/remote_station.h"
#include "station_fixture.h"

namespace kelvora::testing {
namespace {

const char kSite5[] = "8613900000005";

// A station the host opened on COM1 through the driver, so that its line is
// kept (the rig's own port object, opened afresh by Open).
template <class Station>
struct HostedRig : StationRig<Station> {
    HostedRig() {
        ResetSharedPorts();
        this->port->Close();
        line.portIndex = 0;
        line.baudCode = 6;
        line.eightDataBits = 1;
        line.parityCode = 2;
        line.timeout = 200;
        config.lineSettings = &line;
        EXPECT_EQ(1, this->station->Open(&config));
    }
    ~HostedRig() { ResetSharedPorts(); }
    // The device goes away: the next transfer fails, and it does not open
    // again until Back.
    void Unplug() {
        this->port->writeResult = 5;
        this->port->openResult = 2;
    }
    void Back() { this->port->writeResult = this->port->openResult = 0; }
    LineSettings line{};
    PortConfig config{};
};

template <class Station>
int32_t Write(HostedRig<Station>& rig, RegisterRequest r, RegisterValue v) {
    return rig->Write(nullptr, &r, &v);
}

TEST(LineDownTest, TheCentreAnswersFromItsImageAndTakesWhatCameMeanwhileOnceTheLineIsBack) {
    HostedRig<CentralStation> rig;
    Write(rig, Request(kTypeDetc, 5, 0, 0, kDataText), TextValue(kSite5));
    RegisterRequest m120 = Request(kTypeM, 5, 120);
    RegisterValue v = Marked();
    rig.Unplug();
    rig->Read(nullptr, &m120, &v);  // the poll breaks the line
    EXPECT_TRUE(SharedPortAt(0).down);
    EXPECT_EQ(1u, rig.clock.CountSleeps(1000));

    // A report arrives in the modem's store while the line is down.
    rig.modem->Receive(kSite5, "BEGINRM0512000000007000000070000000700000007FFFFFFFFEND");
    const size_t written = rig.port->written.size();
    for (int i = 0; i < 5; ++i) {
        rig.clock.Advance(1000);
        const uint32_t before = rig.clock.Now();
        RegisterValue copy = Marked();
        EXPECT_EQ(1, rig->Read(nullptr, &m120, &copy));
        EXPECT_EQ(0, copy.intValue);
        EXPECT_EQ(before, rig.clock.Now());  // no pause, no wait
    }
    EXPECT_EQ(written, rig.port->written.size());
    const uint32_t before = rig.clock.Now();
    EXPECT_EQ(0, Write(rig, Request(kTypeM, 5, 125), IntValue(9)));
    EXPECT_EQ(kStatusWriteError, rig->status.Code());  // not sent: the port failed
    EXPECT_EQ(before, rig.clock.Now());
    EXPECT_EQ(0u, rig->image[5][125].value);

    // Back: the first read once a reopen is due (5 s after the last try, at
    // the read 3 s after the break) polls and takes the report.
    rig.Back();
    rig.clock.Advance(2000);
    EXPECT_EQ(1, rig->Read(nullptr, &m120, &v));
    EXPECT_EQ(7, v.intValue);
    EXPECT_FALSE(SharedPortAt(0).down);
    EXPECT_TRUE(rig.modem->store.empty());
}

TEST(LineDownTest, ASiteTakesItsWriteCommandsOnceTheLineIsBack) {
    HostedRig<RemoteStation> rig;
    Write(rig, Request(kTypeDetc, 0, 0, 0, kDataText), TextValue("+8613900000001"));
    int32_t own = 5;
    RegisterRequest m27 = Request(kTypeM, 27);
    RegisterValue v = Marked();
    rig.Unplug();
    rig->Read(&own, &m27, &v);
    rig.modem->Receive("8613900000001", "BEGINWM0502700001A2BEND");
    rig.clock.Advance(4000);
    rig->Read(&own, &m27, &v);
    EXPECT_EQ(0, v.intValue);
    rig.Back();
    rig.clock.Advance(kReopenSpacingMs);  // the next try
    rig->Read(&own, &m27, &v);
    EXPECT_EQ(0x1A2B, v.intValue);
}

TEST(LineDownTest, AMessageCutOffAfterItWasHandedToTheModemIsNotConfirmed) {
    HostedRig<CentralStation> rig;
    Write(rig, Request(kTypeDetc, 5, 0, 0, kDataText), TextValue(kSite5));
    const auto answer = rig.port->onWrite;
    rig.port->onWrite = [&answer](ScriptedPort& port, const std::string& chunk) {
        answer(port, chunk);
        if (!chunk.empty() && chunk.back() == '\x1A') {
            port.readResult = 5;  // the line goes while the modem's answer is awaited
            port.readsBeforeFailure = 0;
        }
    };
    EXPECT_EQ(0, Write(rig, Request(kTypeM, 5, 120), IntValue(42)));
    EXPECT_EQ(kStatusTimeout, rig->status.Code());  // not confirmed, never sent
    EXPECT_EQ(1u, rig.modem->sent.size());           // the modem had it all
    EXPECT_EQ(0u, rig->image[5][120].value);
    EXPECT_TRUE(SharedPortAt(0).down);
}

}  // namespace
}  // namespace kelvora::testing
