// The polls both stations share, against a fake modem that marks what it
// lists as read: nothing is left behind in storage, every message is applied
// once and in the order it was sent, and a silent modem costs one time-out.
#include "stations/station_mailbox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "stations/remote_station.h"
#include "site5_command.h"
#include "station_fixture.h"

namespace kelvora::testing {
namespace {

const char kCentral[] = "8613800138000";

class MailboxTest : public ::testing::Test {
protected:
    StationRig<RemoteStation> rig;
    RemoteStation& station = *rig;
    FakeModem& modem = *rig.modem;
    int32_t own = 5;

    // A read of M120 once the group's poll time has run out: one poll.
    void Poll() {
        rig.clock.Advance(3000);
        RegisterRequest r = Request(kTypeM, 120);
        RegisterValue v{};
        ASSERT_EQ(1, station.Read(&own, &r, &v));
    }
    uint32_t Image(int address) const { return station.image[address].value; }
};

TEST_F(MailboxTest, WhatAPollCouldNotTakeIsListedAgainAsRead) {
    for (int i = 0; i < 130; ++i) modem.Receive(kCentral, Site5Command(i, static_cast<uint32_t>(i) + 1));
    Poll();
    EXPECT_EQ(2u, modem.store.size());  // beyond 128, and read now
    Poll();
    EXPECT_TRUE(modem.store.empty());
    for (int i = 0; i < 130; ++i) ASSERT_EQ(static_cast<uint32_t>(i) + 1, Image(i)) << i;

    // A listing cut off in its second entry: the rest come at the next poll.
    for (int i = 0; i < 3; ++i) modem.Receive(kCentral, Site5Command(200 + i, 7));
    modem.cutNextListingAt = 250;  // an entry is some 170 bytes
    Poll();
    EXPECT_EQ(7u, Image(200));
    EXPECT_EQ(0u, Image(201));
    EXPECT_EQ(2u, modem.store.size());
    Poll();
    EXPECT_TRUE(modem.store.empty());
    EXPECT_EQ(7u, Image(202));
}

TEST_F(MailboxTest, AMessageWhoseDeleteWasRefusedIsDeletedLaterWithoutBeingAppliedAgain) {
    modem.Receive(kCentral, Site5Command(120, 1));
    modem.refuseDeletes = 1;
    Poll();
    EXPECT_EQ(1u, Image(120));
    EXPECT_EQ(1u, modem.store.size());
    EXPECT_EQ(1u, station.mailbox.RememberedCount());

    station.image[120].value = 5;  // the site's host writes after the command
    Poll();
    EXPECT_EQ(5u, Image(120));
    EXPECT_TRUE(modem.store.empty());
    EXPECT_EQ(0u, station.mailbox.RememberedCount());
}

TEST_F(MailboxTest, CommandsApplyInTheOrderTheyWereSent) {
    // Stored at a lower index but sent later: 05:00 UTC after 12:34:50 at UTC+8.
    modem.Receive(kCentral, Site5Command(120, 2), false, "23110605000000");
    modem.Receive(kCentral, Site5Command(120, 1), false, "23110612345032");
    modem.Receive(kCentral, Site5Command(121, 4), false, "23110612345032");
    modem.Receive(kCentral, Site5Command(121, 3), false, "23110612345032");  // equal stamps: as listed
    Poll();
    EXPECT_EQ(2u, Image(120));
    EXPECT_EQ(3u, Image(121));
}

TEST_F(MailboxTest, ASilentModemCostsOneTimeOutAPoll) {
    for (int i = 0; i < 3; ++i) modem.Receive(kCentral, Site5Command(120 + i, 9));
    station.comFlag = 1;  // a report would be due too
    std::snprintf(station.numbers.detc, sizeof station.numbers.detc, "%s", kCentral);
    modem.answersLeft = 2;  // both listings, then nothing
    const uint32_t start = rig.clock.Now();
    Poll();
    EXPECT_LT(rig.clock.Now() - start - 3000, 2u * 200u);  // one 200 ms time-out, not three, nor a report
    EXPECT_EQ(9u, Image(122));
    EXPECT_EQ("AT+CMGD=1", modem.commands.back());
    EXPECT_EQ(3u, station.mailbox.RememberedCount());

    modem.answersLeft = 0;  // silent from the start: the first listing ends the poll
    Poll();
    EXPECT_EQ("AT+CMGL=1", modem.commands.back());

    modem.answersLeft = -1;
    station.image[120].value = 1;
    Poll();
    EXPECT_TRUE(modem.store.empty());
    EXPECT_EQ(1u, Image(120));  // deleted, not applied again
    EXPECT_EQ(0u, station.mailbox.RememberedCount());
}

}  // namespace
}  // namespace kelvora::testing
