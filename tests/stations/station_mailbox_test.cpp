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

// A service centre's stamp so many seconds (under an hour) after 12:00:00 on
// the 6th of November 2023, UTC+8.
std::string Stamp(int seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "23110612%02d%02d32", seconds / 60 % 60, seconds % 60);
    return text;
}

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

    // A write command applied at a poll whose delete the modem refused
    // (remembered), then overwritten by the site's host.
    void RememberOne() {
        modem.Receive(kCentral, Site5Command(120, 1));
        modem.refuseDeletes = 1;
        Poll();
        ASSERT_EQ(1u, station.mailbox.RememberedCount());
        station.image[120].value = 5;
    }
    // After two more polls it is deleted, and was never applied again.
    void ExpectDeletedNotApplied() {
        Poll();
        Poll();
        EXPECT_TRUE(modem.store.empty());
        EXPECT_EQ(5u, Image(120));
        EXPECT_EQ(0u, station.mailbox.RememberedCount());
    }
};

TEST_F(MailboxTest, WhatAPollCouldNotTakeIsListedAgainAsRead) {
    for (int i = 0; i < 130; ++i) modem.Receive(kCentral, Site5Command(i, static_cast<uint32_t>(i) + 1));
    Poll();
    EXPECT_EQ(2u, modem.store.size());  // beyond 128, and read now
    Poll();
    EXPECT_TRUE(modem.store.empty());
    for (int i = 0; i < 130; ++i) ASSERT_EQ(static_cast<uint32_t>(i) + 1, Image(i)) << i;

    // A listing cut off in its second entry: the rest come at the next poll,
    // with the delete of the first (the poll stopped at the time-out).
    for (int i = 0; i < 3; ++i) modem.Receive(kCentral, Site5Command(200 + i, 7));
    modem.cutNextListingAt = 250;  // an entry is some 170 bytes
    Poll();
    EXPECT_EQ(7u, Image(200));
    EXPECT_EQ(0u, Image(201));
    EXPECT_EQ(3u, modem.store.size());
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

// A SIM record that refuses every delete: its command is applied once,
// however many messages come after it and however much later they were sent.
TEST_F(MailboxTest, AMessageThatCannotBeDeletedIsNeverAppliedAgain) {
    const int32_t stuck = 250;
    modem.ReceiveAt(stuck, kCentral, Site5Command(120, 1), false, Stamp(0));
    modem.undeletable.insert(stuck);
    Poll();
    ASSERT_EQ(1u, Image(120));
    // Newer commands for the same register, sent from eleven minutes on (the
    // stuck one, taken for new, would pass for the service centre's clock set
    // back), 128 at a time in places before it: two polls take 256 of them
    // without listing it, the next lists it alone.
    int sent = 0;
    for (int round = 0; round < 2; ++round) {
        for (int poll = 0; poll < 2; ++poll) {
            for (int32_t index = 1; index <= 128; ++index, ++sent) {
                modem.ReceiveAt(index, kCentral, Site5Command(120, 1000u + sent), false, Stamp(660 + sent));
                modem.store[index].read = true;
            }
            Poll();
        }
        Poll();
        ASSERT_EQ(999u + sent, Image(120)) << sent;
    }
    EXPECT_EQ(1u, modem.store.size());
    EXPECT_EQ(1u, station.mailbox.RememberedCount());
}

// Messages whose deletes the modem went silent on, and that no listing shows
// since: when room is needed the least recently listed of them go, never the
// one listed at every poll.
TEST_F(MailboxTest, AMessageListedAtEveryPollOutlastsTheUnconfirmed) {
    const int32_t stuck = modem.Receive(kCentral, Site5Command(120, 1));
    modem.undeletable.insert(stuck);
    Poll();
    station.image[120].value = 5;
    for (int round = 0; round < 30; ++round) {
        for (int k = 0; k < 10; ++k) modem.Receive(kCentral, Site5Command(200 + k, static_cast<uint32_t>(round)));
        modem.answersLeft = 2;  // both listings, then silence: no delete confirmed
        Poll();
        const auto kept = modem.store.find(stuck)->second;
        modem.store = {{stuck, kept}};
    }
    EXPECT_EQ(kMaxRememberedMessages, station.mailbox.RememberedCount());
    modem.answersLeft = -1;
    Poll();
    EXPECT_EQ(5u, Image(120));
}

// Without a readable stamp (a service centre that stamps zeros), the same
// command sent again is a new one once the first is deleted.
TEST_F(MailboxTest, WithoutAReadableStampACopyIsKnownOnlyUntilItsDelete) {
    const std::string zeros(14, '0');
    modem.Receive(kCentral, Site5Command(120, 1), false, zeros);
    modem.refuseDeletes = 1;
    Poll();
    station.image[120].value = 0;  // the site's host sets 0
    Poll();                        // listed again: only deleted
    EXPECT_EQ(0u, Image(120));
    EXPECT_TRUE(modem.store.empty());
    modem.Receive(kCentral, Site5Command(120, 1), false, zeros);  // the centre writes 1 again
    Poll();
    EXPECT_EQ(1u, Image(120));
}

// A delete the modem carried out though its answer was lost: three complete
// polls that do not list the message, and it is no longer waited for.
TEST_F(MailboxTest, AMessageNoListingShowsIsTakenAsDeleted) {
    RememberOne();
    modem.store.clear();
    Poll();
    Poll();
    EXPECT_EQ(1u, station.mailbox.RememberedCount());
    Poll();
    EXPECT_EQ(0u, station.mailbox.RememberedCount());
}

TEST_F(MailboxTest, ALateOkEndingAListingForgetsNoRememberedMessage) {
    RememberOne();
    // An OK left over from an earlier exchange ends the listing at once; the
    // listing itself comes just after, in time to be set aside as stale
    // before the next command (time passes while the driver looks at the
    // clock: 5 ms a look).
    modem.shapeNextListing = [](ScriptedPort& port, const std::string& answer) {
        port.Arrive("\r\nOK\r\n", 1);
        port.Arrive(answer, 33);
    };
    rig.clock.tickStep = 5;
    ExpectDeletedNotApplied();
}

TEST_F(MailboxTest, AnUnsolicitedLineInsideARememberedEntryForgetsNothing) {
    RememberOne();
    modem.shapeNextListing = [](ScriptedPort& port, std::string answer) {
        port.Arrive(answer.insert(answer.find("\r\n", answer.find("+CMGL:")) + 2, "\r\n+CMTI: \"SM\",2\r\n"), 20);
    };
    ExpectDeletedNotApplied();
}

TEST_F(MailboxTest, ARenumberedStoreStillKnowsARememberedMessage) {
    RememberOne();
    modem.store[9] = modem.store.begin()->second;
    modem.store.erase(modem.store.begin());
    ExpectDeletedNotApplied();
    EXPECT_EQ(9, modem.deleted.back());
}

TEST_F(MailboxTest, ASecondCopyOfAMessageIsNotAppliedAgain) {
    modem.Receive(kCentral, Site5Command(120, 1));
    Poll();
    station.image[120].value = 5;
    modem.Receive(kCentral, Site5Command(120, 1));  // the network delivers it again
    Poll();
    EXPECT_EQ(5u, Image(120));
    EXPECT_TRUE(modem.store.empty());
}

TEST_F(MailboxTest, AnIndexListedTwiceIsDeletedOnce) {
    modem.Receive(kCentral, Site5Command(120, 1));
    modem.shapeNextListing = [](ScriptedPort& port, const std::string& answer) {
        const size_t entry = answer.find("+CMGL:"), end = answer.rfind("\r\nOK\r\n");
        port.Arrive(answer.substr(0, end) + answer.substr(entry, end - entry) + answer.substr(end), 20);
    };
    int newcomers = 1;  // a message stored in the place the first delete freed
    modem.onDeleted = [this, &newcomers](int32_t index) {
        if (newcomers-- > 0) modem.ReceiveAt(index, kCentral, Site5Command(121, 2));
    };
    Poll();
    EXPECT_EQ(1u, Image(120));
    EXPECT_EQ(1u, modem.store.size());
    Poll();
    EXPECT_EQ(2u, Image(121));
    EXPECT_TRUE(modem.store.empty());
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

    // With echo on, a modem whose storage hangs still echoes each delete.
    for (int i = 0; i < 3; ++i) modem.Receive(kCentral, Site5Command(130 + i, 9));
    modem.echo = true;
    modem.answersLeft = 2;
    const uint32_t echoing = rig.clock.Now();
    Poll();
    EXPECT_LT(rig.clock.Now() - echoing - 3000, 2u * 200u);
    EXPECT_EQ(9u, Image(132));
    modem.echo = false;

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

TEST_F(MailboxTest, ARefusedListingEndsThePollAsRefusedAndTheTraceSaysSo) {
    modem.Receive(kCentral, Site5Command(120, 9));
    GsmModem line(station.Line());
    const auto take = [](const SmsRecord&, std::string*) { return MessageFate::kApplied; };
    PollSummary summary;
    for (int refusal : {310, -1}) {
        modem.refuseListings = refusal;
        const PollCounts counts = station.mailbox.Poll(line, station.trace, take);
        EXPECT_EQ(0, counts.listed);
        EXPECT_FALSE(counts.modemSilent);
        ASSERT_TRUE(ReadPollSummary(DescribePollCounts(counts), &summary));
        EXPECT_TRUE(summary.listingRefused);
        EXPECT_EQ(refusal, summary.listingError);
        EXPECT_EQ(1u, modem.store.size());
    }
    modem.refuseListings = 0;
    const PollCounts answered = station.mailbox.Poll(line, station.trace, take);
    ASSERT_TRUE(ReadPollSummary(DescribePollCounts(answered), &summary));
    EXPECT_FALSE(summary.listingRefused || summary.modemSilent);
    EXPECT_EQ(1, answered.listed);
}

}  // namespace
}  // namespace kelvora::testing
