// The AT dialogue of one modem over its pty: echo, result codes, PDU mode,
// the store and its commands.
#include "pdu_codec.h"
#include "test_network.h"

using namespace modemsim;
using namespace modemsim_test;

namespace {

const std::string kHello = "00680065006C006C006F";  // "hello" in UCS2

}  // namespace

TEST_F(ModemTest, EchoesAndAnswersVerboselyUntilToldOtherwise) {
    EXPECT_EQ(line(0).Command("AT\r"), "AT\r\r\nOK\r\n");
    EXPECT_EQ(line(0).Command("ATE0\r"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(line(0).Command("AT\r"), "\r\nOK\r\n");
    EXPECT_EQ(line(0).Command("AT+CMGF=1\r"), "\r\nERROR\r\n");  // text mode is not offered
    EXPECT_EQ(line(0).Command("AT+CMGF=0\r"), "\r\nOK\r\n");
    EXPECT_EQ(line(0).Command("AT+NOSUCH\r"), "\r\nERROR\r\n");
    line(0).Write("ATE1V0\r");
    EXPECT_EQ(line(0).ReadUntil("0\r", 2s), "0\r");  // the echo was off while the line was typed
    EXPECT_EQ(line(0).ReadFor(100ms), "");
    line(0).Write("AT+CMGF?\r");
    EXPECT_EQ(line(0).ReadUntil("\r\n0\r", 2s), "AT+CMGF?\r+CMGF: 0\r\n0\r");
    EXPECT_EQ(line(0).Command("ATZ\r"), "ATZ\r\r\nOK\r\n");  // back to echo and verbose codes
    // Noise before "AT" is no part of the command; backspace edits the line.
    EXPECT_EQ(line(0).Command("xyzAT+CGMX\bI\r"), "xyzAT+CGMX\bI\r\r\nKelvora\r\n\r\nOK\r\n");
    EXPECT_EQ(line(0).Command("AT+CSCA?;+CPMS?\r"),
              "AT+CSCA?;+CPMS?\r\r\n+CSCA: \"+8613800000000\",145\r\n+CPMS: \"SM\",0,30,\"SM\",0,30,\"SM\",0,30\r\n\r\nOK\r\n");
    EXPECT_EQ(line(0).Command("AT&W\r"), "AT&W\r\r\nOK\r\n");
    line(0).Command("ATE0\r");
    EXPECT_EQ(line(0).Command("AT+CSCA=\"" + std::string(3000, '1') + "\"\r"), "\r\nERROR\r\n");  // overlong line
    EXPECT_EQ(line(0).Command("AT+CSCA?\r"), "\r\n+CSCA: \"+8613800000000\",145\r\n\r\nOK\r\n");
    line(0).Command("ATE1\r");
    EXPECT_EQ(line(0).Command("AT+CPMS=\"ME\"\r"), "AT+CPMS=\"ME\"\r\r\n+CMS ERROR: 302\r\n");
}

TEST_F(ModemTest, ListsUnreadByDefaultAndMarksThemRead) {
    ASSERT_EQ(modem(1).InjectText("+8613900000001", "one"), 1);
    ASSERT_EQ(modem(1).InjectText("+8613900000001", "two", Coding::Gsm7), 2);
    const std::vector<StoredMessage> stored = modem(1).Stored();
    ASSERT_EQ(stored.size(), 2u);
    line(1).Command("ATE0\r");
    const std::string expected = "\r\n+CMGL: 1,0,,"  + std::to_string(stored[0].tpduLength) + "\r\n" + stored[0].pdu +
                                 "\r\n+CMGL: 2,0,,"  + std::to_string(stored[1].tpduLength) + "\r\n" + stored[1].pdu +
                                 "\r\n\r\nOK\r\n";
    EXPECT_EQ(line(1).Command("AT+CMGL\r"), expected);
    EXPECT_EQ(line(1).Command("AT+CMGL\r"), "\r\nOK\r\n");  // nothing unread any more
    EXPECT_EQ(line(1).Command("AT+CMGL=0\r"), "\r\nOK\r\n");
    const std::string all = line(1).Command("AT+CMGL=4\r");
    EXPECT_NE(all.find("+CMGL: 1,1,,"), std::string::npos) << all;
    EXPECT_NE(all.find("+CMGL: 2,1,,"), std::string::npos) << all;
    EXPECT_EQ(line(1).Command("AT+CMGL=1\r"), all);
    EXPECT_EQ(line(1).Command("AT+CMGL=5\r"), "\r\n+CMS ERROR: 304\r\n");

    EXPECT_EQ(line(1).Command("AT+CMGR=2\r"),
              "\r\n+CMGR: 1,," + std::to_string(stored[1].tpduLength) + "\r\n" + stored[1].pdu + "\r\n\r\nOK\r\n");
    EXPECT_EQ(line(1).Command("AT+CMGR=3\r"), "\r\n+CMS ERROR: 321\r\n");
    EXPECT_EQ(line(1).Command("AT+CMGD=1\r"), "\r\nOK\r\n");
    EXPECT_EQ(line(1).Command("AT+CMGD=1\r"), "\r\n+CMS ERROR: 321\r\n");
    EXPECT_EQ(line(1).Command("AT+CPMS?\r"), "\r\n+CPMS: \"SM\",1,30,\"SM\",1,30,\"SM\",1,30\r\n\r\nOK\r\n");
    // The lowest free index goes to the next message.
    EXPECT_EQ(modem(1).InjectText("+8613900000001", "three"), 1);
    EXPECT_EQ(line(1).Command("AT+CMGD=0,4\r"), "\r\nOK\r\n");
    EXPECT_TRUE(modem(1).Stored().empty());
}

TEST_F(ModemTest, SendsAcceptedPdusAndRefusesBadOnes) {
    line(0).Command("ATE0\r");
    const std::string pdu = SubmitPdu("8613900000002", kHello, "8613800000000");
    EXPECT_EQ(Send(0, pdu), "\r\n+CMGS: 0\r\n\r\nOK\r\n");
    EXPECT_EQ(Send(0, pdu), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    // A length that does not match the PDU, a PDU that does not parse, and noise in it.
    EXPECT_EQ(Send(0, pdu, 20), "\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(Send(0, pdu.substr(0, pdu.size() - 2), 22), "\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(Send(0, "0011ZZ"), "\r\n+CMS ERROR: 304\r\n");
    // ESC abandons the message.
    EXPECT_EQ(line(0).Command("AT+CMGS=" + std::to_string(TpduLength(pdu)) + "\r"), "\r\n> ");
    EXPECT_EQ(line(0).Command(pdu + "\x1B"), "\r\nOK\r\n");
    EXPECT_EQ(line(0).Command("AT+CMGS=0\r"), "\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(line(0).Command("AT+CMGS\r"), "\r\n+CMS ERROR: 304\r\n");

    const std::vector<SubmittedPdu> sent = modem(0).Submitted();
    ASSERT_EQ(sent.size(), 5u);  // the cancelled one never reached the network
    EXPECT_TRUE(sent[0].accepted);
    EXPECT_EQ(sent[0].decoded.text, "hello");
    EXPECT_EQ(sent[0].outcome, DeliveryOutcome::Delivered);
    EXPECT_FALSE(sent[2].accepted);
    EXPECT_EQ(sent[2].cmsError, 304);
    EXPECT_EQ(modem(1).Stored().size(), 2u);
    const NetworkStats stats = network_->Stats();
    EXPECT_EQ(stats.delivered, 2u);
    EXPECT_EQ(stats.rejected, 3u);

    const std::vector<LogEntry> log = modem(0).CommandLog();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[1].command, "AT+CMGS=" + std::to_string(TpduLength(pdu)));
    EXPECT_EQ(log[1].response, "\r\n> ");
    EXPECT_EQ(log[2].command, "PDU:" + pdu + "^Z");
}

TEST_F(ModemTest, EchoesThePduAsTypedWithoutTheCtrlZ) {
    const std::string pdu = SubmitPdu("8613900000002", kHello);
    const std::string command = "AT+CMGS=" + std::to_string(TpduLength(pdu)) + "\r";
    EXPECT_EQ(line(0).Command(command), command + "\r\n> ");
    EXPECT_EQ(line(0).Command(pdu + "\x1A"), pdu + "\r\n+CMGS: 0\r\n\r\nOK\r\n");
}

TEST_F(ModemTest, StoreHoldsItsCapacityAndLargeIndices) {
    ASSERT_TRUE(modem(1).SetCapacity(300));
    EXPECT_EQ(modem(1).InjectText("8613900000001", "at 255", Coding::Gsm7, 255), 255);
    EXPECT_EQ(modem(1).InjectText("8613900000001", "at 300", Coding::Gsm7, 300), 300);
    EXPECT_EQ(modem(1).InjectText("8613900000001", "too far", Coding::Gsm7, 301), -1);
    EXPECT_EQ(modem(1).InjectText("8613900000001", "taken", Coding::Gsm7, 255), -1);
    EXPECT_FALSE(modem(1).SetCapacity(299));
    line(1).Command("ATE0\r");
    const std::string listing = line(1).Command("AT+CMGL=4\r");
    EXPECT_NE(listing.find("+CMGL: 255,0,,"), std::string::npos);
    EXPECT_NE(listing.find("+CMGL: 300,0,,"), std::string::npos);
    EXPECT_EQ(line(1).Command("AT+CMGD=300\r"), "\r\nOK\r\n");

    // A full store refuses what the network brings; the sender still hears +CMGS.
    ASSERT_TRUE(modem(1).ClearStore());
    ASSERT_TRUE(modem(1).SetCapacity(1));
    line(0).Command("ATE0\r");
    const std::string pdu = SubmitPdu("8613900000002", kHello);
    EXPECT_EQ(Send(0, pdu), "\r\n+CMGS: 0\r\n\r\nOK\r\n");
    EXPECT_EQ(Send(0, pdu), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(modem(1).Stored().size(), 1u);
    EXPECT_EQ(modem(0).Submitted()[1].outcome, DeliveryOutcome::StoreFull);
    EXPECT_EQ(network_->Stats().undeliverable, 1u);
}
