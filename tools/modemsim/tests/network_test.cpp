// The SMS network: routing by any number form, what a delivered message
// carries, +CMTI, undeliverable messages, pacing.
#include <thread>

#include "pdu_codec.h"
#include "text_coding.h"
#include "test_network.h"

using namespace modemsim;
using namespace modemsim_test;

namespace {

const std::string kAbc = "006100620063";

std::string SubmitWithType(const std::string& digits, const char* type) {
    std::string pdu = SubmitPdu(digits, kAbc);
    return pdu.replace(8, 2, type);  // TP-DA type of address
}

}  // namespace

TEST_F(ModemTest, RoutesEveryFormOfTheDestinationNumber) {
    line(0).Command("ATE0\r");
    Send(0, SubmitPdu("8613900000002", kAbc));                      // international
    Send(0, SubmitWithType("13900000002", "81"));                   // national, no trunk prefix
    Send(0, SubmitWithType("013900000002", "81"));                  // national with trunk prefix
    Send(0, SubmitWithType("008613900000002", "81"));               // international prefix dialled
    Send(0, SubmitPdu("8613900000009", kAbc));                      // nobody has it
    Send(0, SubmitPdu("8600861390000000", kAbc));                   // "86" before "0086": no such number
    ASSERT_TRUE(network_->WaitForSubmitted(6, 5s));
    EXPECT_EQ(modem(1).Stored().size(), 4u);
    const NetworkStats stats = network_->Stats();
    EXPECT_EQ(stats.delivered, 4u);
    EXPECT_EQ(stats.undeliverable, 2u);
    EXPECT_EQ(modem(0).Submitted()[4].outcome, DeliveryOutcome::UnknownNumber);
    EXPECT_EQ(network_->FindModem("013900000002"), 1);
    EXPECT_EQ(network_->FindModem("+8613900000001"), 0);
}

TEST_F(ModemTest, DeliversSenderCentreTimeCodingAndUserData) {
    line(0).Command("ATE0\r");
    const auto before = std::chrono::system_clock::now() - 2s;
    // 7-bit with a user-data header (one fill bit before the text), and no service centre.
    std::vector<uint8_t> septets;
    ASSERT_TRUE(CodePointsToGsm7({'h', 'i'}, &septets));
    const std::string pdu = "0051000D91683109000000F200F1A709" "0500032A0201" + OctetsToHex(PackSeptets(septets, 1));
    ASSERT_TRUE(DecodePdu(pdu).ok) << DecodePdu(pdu).error;
    ASSERT_EQ(Send(0, pdu), "\r\n+CMGS: 0\r\n\r\nOK\r\n");
    const std::vector<StoredMessage> stored = modem(1).Stored();
    ASSERT_EQ(stored.size(), 1u);
    const DecodedPdu d = DecodePdu(stored[0].pdu);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_FALSE(d.isSubmit);
    EXPECT_EQ(d.serviceCentre, "8613800000000");  // the network's, since the PDU named none
    EXPECT_EQ(d.address, "8613900000001");
    EXPECT_EQ(d.addressType, 0x91);
    EXPECT_EQ(d.dataCoding, 0xF1);
    EXPECT_EQ(d.firstOctet & 0x43, 0x40);  // SMS-DELIVER keeping TP-UDHI
    EXPECT_EQ(d.userDataLength, 9);
    EXPECT_EQ(OctetsToHex(d.userData), "0500032A0201" + OctetsToHex(PackSeptets(septets, 1)));
    EXPECT_EQ(d.text, "hi");
    // The time stamp is the network's clock (date digits, read in order).
    auto date = [](std::chrono::system_clock::time_point t) {
        const std::vector<uint8_t> o = TimestampOctets(t);
        std::string digits;
        for (int i = 0; i < 3; ++i) digits += OctetsToHex({static_cast<uint8_t>((o[i] << 4) | (o[i] >> 4))});
        return digits;
    };
    const std::string stampDate = d.timestamp.substr(0, 6);
    EXPECT_TRUE(stampDate == date(std::chrono::system_clock::now()) || stampDate == date(before)) << d.timestamp;

    // A service centre named in the PDU travels on.
    Send(0, SubmitPdu("8613900000002", kAbc, "8613711112222"));
    EXPECT_EQ(DecodePdu(modem(1).Stored()[1].pdu).serviceCentre, "8613711112222");
}

TEST_F(ModemTest, AnnouncesArrivalsWhenAskedTo) {
    line(0).Command("ATE0\r");
    line(1).Command("ATE0\r");
    EXPECT_EQ(line(1).Command("AT+CNMI=2,1,0,0,0\r"), "\r\nOK\r\n");
    ASSERT_EQ(modem(1).InjectText("+8613900000001", "first", Coding::Gsm7), 1);
    Send(0, SubmitPdu("8613900000002", kAbc));
    EXPECT_EQ(line(1).ReadUntil("+CMTI: \"SM\",2\r\n", 3s), "\r\n+CMTI: \"SM\",2\r\n");
    EXPECT_EQ(line(1).Command("AT+CNMI?\r"), "\r\n+CNMI: 2,1,0,0,0\r\n\r\nOK\r\n");
    EXPECT_EQ(line(1).Command("AT+CNMI=2,0\r"), "\r\nOK\r\n");
    Send(0, SubmitPdu("8613900000002", kAbc));
    EXPECT_EQ(line(1).ReadFor(200ms), "");
}

TEST(ModemNetwork, StartsManyModemsWithTheirOwnNumbersAndStopsCleanly) {
    NetworkOptions options;
    options.modemCount = 5;
    options.numbers = {"+8613512345678"};
    options.firstNumber = "13900000099";
    Network network(options);
    std::string error;
    ASSERT_TRUE(network.Start(&error)) << error;
    EXPECT_EQ(network.modem(0).Number(), "+8613512345678");
    EXPECT_EQ(network.modem(1).Number(), "13900000100");
    EXPECT_EQ(network.modem(4).Number(), "13900000103");
    std::vector<std::string> paths;
    for (size_t i = 0; i < 5; ++i) paths.push_back(network.modem(i).DevicePath());
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(std::unique(paths.begin(), paths.end()), paths.end());
    network.Stop();
    network.Stop();
    EXPECT_FALSE(network.Running());
    EXPECT_FALSE(network.modem(0).LineOpen());

    NetworkOptions clash;
    clash.numbers = {"+8613900000001", "013900000001"};
    Network twins(clash);
    EXPECT_FALSE(twins.Start(&error));
    EXPECT_NE(error.find("two modems"), std::string::npos);
}

TEST_F(ModemTest, PacedLineNeverOutrunsItsRate) {
    // At 2400 baud 240 bytes need at least a second; unpaced they are there at once.
    line(0).Command("ATE0\r");
    modem(0).SetBaudRate(2400);
    const std::string bytes(240, 'x');
    const auto start = std::chrono::steady_clock::now();
    modem(0).SendRaw(bytes);
    EXPECT_EQ(line(0).ReadUntil(bytes, 5s), bytes);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 950ms);
    modem(0).SetBaudRate(0);
    modem(0).SendRaw(bytes);
    EXPECT_EQ(line(0).ReadUntil(bytes, 5s), bytes);
    EXPECT_TRUE(modem(0).WaitForOutputDrained(1s));
}

TEST_F(ModemTest, TheNetworkHoldsAMessageBackAndDeliversOneTwice) {
    line(0).Command("ATE0\r");
    modem(0).HoldBack(1);
    ASSERT_EQ(Send(0, SubmitPdu("8613900000002", "0061")), "\r\n+CMGS: 0\r\n\r\nOK\r\n");  // accepted, held
    EXPECT_TRUE(modem(1).Stored().empty());
    EXPECT_EQ(modem(0).Submitted()[0].outcome, DeliveryOutcome::Pending);
    modem(0).DeliverTwice(1);
    Send(0, SubmitPdu("8613900000002", "0062"));  // overtakes the first; its copy follows the next
    Send(0, SubmitPdu("8613900000002", "0063"));
    std::vector<std::string> texts, stamps;
    for (const StoredMessage& m : modem(1).Stored()) {  // by index: the order of arrival
        texts.push_back(DecodePdu(m.pdu).text);
        stamps.push_back(DecodePdu(m.pdu).timestamp);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"b", "a", "c", "b"}));
    EXPECT_EQ(stamps[3], stamps[0]);
    EXPECT_EQ(modem(0).Submitted()[0].outcome, DeliveryOutcome::Delivered);
    // The books say where each landed, the second copy too.
    const SubmittedPdu second = modem(0).Submitted()[1];
    EXPECT_EQ(second.deliverPdu, modem(1).Stored()[0].pdu);
    ASSERT_EQ(second.copies.size(), 1u);
    EXPECT_EQ(second.copies[0].storedIndex, 4);
    const NetworkStats stats = network_->Stats();
    EXPECT_EQ(stats.delivered, 3u);
    EXPECT_EQ(stats.duplicated, 1u);
    EXPECT_EQ(stats.pending, 0u);
}

TEST_F(ModemTest, OnlyALaterMessageOfTheSameSenderOvertakesOneHeldBack) {
    NetworkOptions options;
    options.modemCount = 3;
    clients_.clear();
    network_->Stop();
    StartNetwork(options);
    line(0).Command("ATE0\r");
    line(2).Command("ATE0\r");
    auto waitFor = [this](size_t stored) {
        const auto deadline = std::chrono::steady_clock::now() + 3s;
        while (modem(1).Stored().size() < stored && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        return modem(1).Stored().size();
    };
    modem(0).HoldBack(1, 1, 400ms);
    Send(0, SubmitPdu("8613900000002", "0061"));
    Send(2, SubmitPdu("8613900000002", "0078"));  // another sender's: "a" stays held
    ASSERT_EQ(modem(1).Stored().size(), 1u);
    Send(0, SubmitPdu("8613900000003", "0079"));  // another destination's: the same
    EXPECT_EQ(modem(1).Stored().size(), 1u);
    ASSERT_EQ(waitFor(2), 2u);                    // then its time is up
    EXPECT_EQ(DecodePdu(modem(1).Stored()[1].pdu).text, "a");
    // Overtaken, it can follow a while later: "c" lands, "b" 300 ms after it.
    modem(0).HoldBack(1, 1, 10s, 300ms);
    Send(0, SubmitPdu("8613900000002", "0062"));
    Send(0, SubmitPdu("8613900000002", "0063"));
    const auto overtaken = std::chrono::steady_clock::now();
    ASSERT_EQ(modem(1).Stored().size(), 3u);
    ASSERT_EQ(waitFor(4), 4u);
    EXPECT_GE(std::chrono::steady_clock::now() - overtaken, 250ms);
    EXPECT_EQ(DecodePdu(modem(1).Stored()[2].pdu).text, "c");
    EXPECT_EQ(DecodePdu(modem(1).Stored()[3].pdu).text, "b");
}

TEST_F(ModemTest, NetworkAnswersASendAndDeliversItLate) {
    NetworkOptions options;
    options.sendAnswerDelay = 300ms;
    options.deliveryDelay = 700ms;
    clients_.clear();
    network_->Stop();
    StartNetwork(options);
    line(0).Command("ATE0\r");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Send(0, SubmitPdu("8613900000002", kAbc)), "\r\n+CMGS: 0\r\n\r\nOK\r\n");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_EQ(modem(0).Submitted()[0].outcome, DeliveryOutcome::Pending);
    EXPECT_EQ(network_->Stats().pending, 1u);

    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (modem(1).Stored().empty() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(20ms);
    const SubmittedPdu sent = modem(0).Submitted()[0];
    ASSERT_EQ(sent.outcome, DeliveryOutcome::Delivered);
    EXPECT_EQ(sent.storedIndex, 1);
    EXPECT_GE(sent.deliveredTime - sent.time, 700ms);
    EXPECT_EQ(network_->Submitted()[0].outcome, DeliveryOutcome::Delivered);
    EXPECT_EQ(network_->Stats().delivered, 1u);
    EXPECT_EQ(network_->Stats().pending, 0u);

    // The store's high-water mark outlives the messages.
    ASSERT_EQ(modem(1).InjectText("+8613900000001", "second", Coding::Gsm7), 2);
    line(1).Command("ATE0\r");
    EXPECT_EQ(line(1).Command("AT+CMGD=1\r"), "\r\nOK\r\n");
    EXPECT_EQ(line(1).Command("AT+CMGD=2\r"), "\r\nOK\r\n");
    EXPECT_EQ(modem(1).StoreHighWater(), 2u);
}

TEST_F(ModemTest, TheNetworkKeepsMessagesForAFullStoreAndDeliversThemInOrderOnceThereIsRoom) {
    NetworkOptions options;
    options.keepWhenFull = true;
    options.capacity = 2;
    clients_.clear();
    network_->Stop();
    StartNetwork(options);
    line(0).Command("ATE0\r");
    line(1).Command("ATE0\r");
    EXPECT_EQ(modem(1).FillStore("+8610086"), 2);
    Send(0, SubmitPdu("8613900000002", "0061"));
    Send(0, SubmitPdu("8613900000002", "0062"));
    EXPECT_EQ(modem(0).Submitted()[0].outcome, DeliveryOutcome::Pending);
    EXPECT_EQ(network_->Stats().held, 2u);

    auto texts = [this] {
        std::vector<std::string> out;
        for (const StoredMessage& m : modem(1).Stored()) out.push_back(DecodePdu(m.pdu).text);
        return out;
    };
    auto waitFor = [this](size_t delivered) {
        const auto deadline = std::chrono::steady_clock::now() + 3s;
        while (network_->Stats().delivered < delivered && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
    };
    EXPECT_EQ(line(1).Command("AT+CMGD=2\r"), "\r\nOK\r\n");  // one place: the first kept, not the second
    waitFor(1);
    EXPECT_EQ(texts(), (std::vector<std::string>{"storage full", "a"}));
    EXPECT_EQ(line(1).Command("AT+CMGD=1\r"), "\r\nOK\r\n");
    waitFor(2);
    EXPECT_EQ(texts(), (std::vector<std::string>{"b", "a"}));
    const SubmittedPdu second = modem(0).Submitted()[1];
    EXPECT_EQ(second.outcome, DeliveryOutcome::Delivered);
    EXPECT_EQ(second.storedIndex, 1);
    EXPECT_EQ(network_->Stats().held, 0u);
    EXPECT_EQ(network_->Stats().pending, 0u);
}
