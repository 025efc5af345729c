// Faults on demand: what the line shows for each, and that they wear off.
#include <poll.h>
#include <unistd.h>

#include <thread>

#include "test_network.h"

using namespace modemsim;
using namespace modemsim_test;

namespace {

Fault MakeFault(FaultKind kind, const std::string& command, int times = 1) {
    Fault f;
    f.kind = kind;
    f.command = command;
    f.times = times;
    return f;
}

}  // namespace

TEST_F(ModemTest, SilenceSwallowsTheCommandUntilItWearsOff) {
    line(0).Command("ATE0\r");
    modem(0).InjectFault(MakeFault(FaultKind::Silence, "AT+CMGL", 2));
    line(0).Write("AT+CMGL\r");
    EXPECT_EQ(line(0).ReadFor(200ms), "");
    line(0).Write("at+cmgl=4\r");  // matching ignores case
    EXPECT_EQ(line(0).ReadFor(200ms), "");
    EXPECT_EQ(line(0).Command("AT\r"), "\r\nOK\r\n");  // other commands are answered all along
    EXPECT_EQ(line(0).Command("AT+CMGL\r"), "\r\nOK\r\n");
    // For ever, and then cleared.
    modem(0).InjectFault(MakeFault(FaultKind::Silence, "", -1));
    line(0).Write("AT\r");
    EXPECT_EQ(line(0).ReadFor(200ms), "");
    modem(0).ClearFaults();
    EXPECT_EQ(line(0).Command("AT\r"), "\r\nOK\r\n");
}

TEST_F(ModemTest, APlaceThatRefusesDeletesKeepsItsMessageForGood) {
    line(1).Command("ATE0\r");
    ASSERT_EQ(modem(1).InjectText("+8613900000001", "stuck"), 1);
    ASSERT_EQ(modem(1).InjectText("+8613900000001", "free"), 2);
    modem(1).RefuseDeletes(1, 320);  // memory failure
    EXPECT_EQ(line(1).Command("AT+CMGD=1\r"), "\r\n+CMS ERROR: 320\r\n");
    EXPECT_EQ(line(1).Command("AT+CMGD=1\r"), "\r\n+CMS ERROR: 320\r\n");
    EXPECT_EQ(line(1).Command("AT+CMGD=2\r"), "\r\nOK\r\n");
    EXPECT_EQ(line(1).Command("AT+CMGD=1,4\r"), "\r\nOK\r\n");  // every message but that one
    modem(1).ClearFaults();                                        // no fault of the line: it stays
    EXPECT_EQ(line(1).Command("AT+CMGD=1\r"), "\r\n+CMS ERROR: 320\r\n");
    ASSERT_EQ(modem(1).Stored().size(), 1u);
    EXPECT_EQ(DecodePdu(modem(1).Stored()[0].pdu).text, "stuck");
    EXPECT_EQ(modem(1).UndeletablePlaces(), std::vector<int>{1});
    modem(1).RefuseDeletes(1, 0);
    EXPECT_EQ(line(1).Command("AT+CMGD=1\r"), "\r\nOK\r\n");
    EXPECT_TRUE(modem(1).Stored().empty());
}

TEST_F(ModemTest, SilenceWithEchoStillEchoesTheCommand) {
    Fault hang = MakeFault(FaultKind::Silence, "AT+CMGD", -1);
    hang.echo = true;
    modem(0).InjectFault(hang);
    line(0).Write("AT+CMGD=1\r");
    EXPECT_EQ(line(0).ReadFor(200ms), "AT+CMGD=1\r");
    line(0).Command("ATE0\r");
    line(0).Write("AT+CMGD=1\r");
    EXPECT_EQ(line(0).ReadFor(200ms), "");  // with echo off nothing at all
}

TEST_F(ModemTest, ErrorsReplaceTheAnswerAndTheCommandIsNotCarriedOut) {
    line(1).Command("ATE0\r");
    ASSERT_EQ(modem(1).InjectText("+8613900000001", "kept"), 1);
    modem(1).InjectFault(MakeFault(FaultKind::Error, "AT+CMGD"));
    EXPECT_EQ(line(1).Command("AT+CMGD=1\r"), "\r\nERROR\r\n");
    EXPECT_EQ(modem(1).Stored().size(), 1u);
    Fault cms = MakeFault(FaultKind::CmsError, "AT+CMGL");
    cms.cmsError = 314;  // SIM busy
    modem(1).InjectFault(cms);
    EXPECT_EQ(line(1).Command("AT+CMGL\r"), "\r\n+CMS ERROR: 314\r\n");
    EXPECT_EQ(modem(1).Stored()[0].status, MessageStatus::ReceivedUnread);
    // The message itself refused after the prompt.
    line(0).Command("ATE0\r");
    modem(0).InjectFault(MakeFault(FaultKind::CmsError, "PDU"));
    EXPECT_EQ(Send(0, SubmitPdu("8613900000002", "0061")), "\r\n+CMS ERROR: 500\r\n");
    EXPECT_EQ(modem(1).Stored().size(), 1u);
    ASSERT_EQ(modem(0).Submitted().size(), 1u);  // in the books as refused
    EXPECT_FALSE(modem(0).Submitted()[0].accepted);
    EXPECT_EQ(modem(0).Submitted()[0].cmsError, 500);
    EXPECT_EQ(Send(0, SubmitPdu("8613900000002", "0061")), "\r\n+CMGS: 0\r\n\r\nOK\r\n");
}

TEST_F(ModemTest, GarbageCutOffAndUnsolicitedCodesShapeTheAnswer) {
    line(1).Command("ATE0\r");
    ASSERT_EQ(modem(1).InjectText("+8613900000001", "a"), 1);
    const StoredMessage m = modem(1).Stored()[0];
    const std::string entry = "+CMGL: 1,1,,"  + std::to_string(m.tpduLength) + "\r\n" + m.pdu + "\r\n";
    Fault garbage = MakeFault(FaultKind::Garbage, "AT+CMGL");
    garbage.bytes = std::string("\xFF\x00~#", 4);
    modem(1).InjectFault(garbage);
    EXPECT_EQ(line(1).Command("AT+CMGL=4\r"),  // listed as unread, read from then on
              garbage.bytes + "\r\n+CMGL: 1,0,,"  + std::to_string(m.tpduLength) + "\r\n" + m.pdu + "\r\n\r\nOK\r\n");

    Fault urc = MakeFault(FaultKind::Unsolicited, "AT+CMGL");
    urc.bytes = "\r\n+CMTI: \"SM\",7\r\n";
    urc.afterLines = 2;  // after the entry's header line
    modem(1).InjectFault(urc);
    EXPECT_EQ(line(1).Command("AT+CMGL=4\r"), "\r\n+CMGL: 1,1,,"  + std::to_string(m.tpduLength) + "\r\n" +
                                                   urc.bytes + m.pdu + "\r\n\r\nOK\r\n");

    Fault cut = MakeFault(FaultKind::CutOff, "AT+CMGL");
    cut.keepBytes = 20;
    modem(1).InjectFault(cut);
    line(1).Write("AT+CMGL=4\r");
    EXPECT_EQ(line(1).ReadFor(300ms), ("\r\n" + entry).substr(0, 20));
    EXPECT_EQ(line(1).Command("AT\r"), "\r\nOK\r\n");

    // Bytes at any moment, outside every answer.
    modem(1).SendRaw("\r\nRING\r\n");
    EXPECT_EQ(line(1).ReadUntil("RING\r\n", 2s), "\r\nRING\r\n");
}

TEST_F(ModemTest, DelayHoldsTheAnswerBack) {
    line(0).Command("ATE0\r");
    Fault delay = MakeFault(FaultKind::Delay, "AT+CSQ");
    delay.delay = 400ms;
    modem(0).InjectFault(delay);
    line(0).Write("AT+CSQ\r");
    EXPECT_EQ(line(0).ReadFor(250ms), "");
    EXPECT_EQ(line(0).ReadUntil("OK\r\n", 3s), "\r\n+CSQ: 24,99\r\n\r\nOK\r\n");
}

TEST_F(ModemTest, ClosingTheLineHangsUp) {
    line(0).Command("ATE0\r");
    modem(0).InjectFault(MakeFault(FaultKind::CloseLine, "AT+CMGS"));
    line(0).Write("AT+CMGS=10\r");
    // The client sees the hang-up: end of file or an error, within a bound.
    ASSERT_TRUE(modem(0).WaitForCommand("AT+CMGS", 2s));
    ASSERT_TRUE(modem(0).WaitForOutputDrained(2s));
    EXPECT_FALSE(modem(0).LineOpen());
    EXPECT_EQ(line(0).ReadFor(100ms), "");
    EXPECT_FALSE(line(0).Write("AT\r"));
    // The other modem is untouched.
    EXPECT_EQ(line(1).Command("AT\r"), "AT\r\r\nOK\r\n");
}

TEST_F(ModemTest, ARestartLosesWhatWasInFlightKeepsTheStoreAndEchoesAgain) {
    line(0).Command("ATE0\r");
    ASSERT_EQ(modem(0).InjectText("+8613900000002", "kept"), 1);
    Fault late = MakeFault(FaultKind::Delay, "AT+CSQ");
    late.delay = 300ms;
    modem(0).InjectFault(late);
    line(0).Write("AT+CSQ\r");
    ASSERT_TRUE(modem(0).WaitForCommand("AT+CSQ", 2s));
    line(0).Write("AT+CMG");  // half a command line when the modem goes down
    modem(0).Restart(400ms);
    line(0).Write("S=10\r");  // while it starts: not heard
    EXPECT_EQ(line(0).ReadFor(600ms), "");
    EXPECT_EQ(line(0).Command("AT\r"), "AT\r\r\nOK\r\n");  // echo back on
    EXPECT_EQ(modem(0).Stored().size(), 1u);
}

TEST_F(ModemTest, UnpluggedTheDeviceIsGoneThenANewLineAtTheSamePathFindsARestartedModem) {
    line(0).Command("ATE0\r");
    ASSERT_EQ(modem(0).InjectText("+8613900000002", "kept"), 1);
    const std::string path = modem(0).DevicePath();
    line(0).Write("AT+CMG");  // half a command line when it goes
    modem(0).Unplug(500ms, 0ms);
    EXPECT_FALSE(modem(0).LineOpen());
    EXPECT_FALSE(line(0).Write("S=1\r"));  // the client's line is gone
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    // A message for it meanwhile lands in its store.
    line(1).Command("ATE0\r");
    EXPECT_EQ(Send(1, SubmitPdu("8613900000001", "0061")), "\r\n+CMGS: 0\r\n\r\nOK\r\n");

    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (access(path.c_str(), F_OK) != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_EQ(access(path.c_str(), F_OK), 0) << "not plugged back";
    EXPECT_TRUE(modem(0).LineOpen());
    PtyClient again(path);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.Command("AT\r"), "AT\r\r\nOK\r\n");  // echo on again, nothing half-received
    EXPECT_EQ(modem(0).Stored().size(), 2u);
}

TEST_F(ModemTest, AHangUpComesBackAtOnceOnANewLineWithTheModemAsItWas) {
    line(0).Command("ATE0\r");
    const std::string path = modem(0).DevicePath();
    line(0).Write("AT+CMG");
    modem(0).HangUp();
    EXPECT_FALSE(line(0).Write("S=1\r"));
    PtyClient again(path);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.Command("AT\r"), "\r\nOK\r\n");  // echo still off
    EXPECT_TRUE(modem(0).LineOpen());
}
