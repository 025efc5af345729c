// The modem layer end to end over serial lines: two stations' ports on two
// modems of the simulator (run under kelvora-modemsim, which names them in
// KELVORA_MODEM<i>_COM and KELVORA_MODEM<i>_NUMBER). One sends, the other
// lists, decodes and deletes; the simulator reads and writes the PDUs with its
// own code. The same test runs natively on ptys and under Wine on COM ports.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "driver/host_records.h"
#include "modem/gsm_modem.h"
#include "modem_fixture.h"
#include "serial/serial_port.h"

namespace kelvora::testing {
namespace {

struct SimModem {
    int com = 0;
    std::string number;
};

bool FromEnvironment(int i, SimModem& modem) {
    const std::string prefix = "KELVORA_MODEM" + std::to_string(i);
    const char* com = std::getenv((prefix + "_COM").c_str());
    const char* number = std::getenv((prefix + "_NUMBER").c_str());
    if (com == nullptr || number == nullptr) return false;
    modem.com = std::atoi(com);
    modem.number = number;
    return modem.com > 0;
}

class Station {
public:
    bool Open(int com, std::string& error) {
        line_.portIndex = static_cast<int16_t>(com - 1);
        line_.baudCode = 12;  // 115200
        line_.eightDataBits = 1;
        line_.parityCode = 2;  // none
        line_.timeout = 2000;
        config_.lineSettings = &line_;
        driver.SetPort(CreateSerialPort());
        if (driver.Open(&config_) != 1) {
            error = "COM" + std::to_string(com) + " does not open: " + driver.GetStatusText();
            return false;
        }
        return true;
    }
    ~Station() { driver.Close(0); }

    StandingAlone<> driver;
    ModemOnDriver modem{driver};

private:
    LineSettings line_{};
    PortConfig config_{};
};

// Lists until at least want messages are there (the network delivers in its
// own time), at most about 10 s.
int ListAtLeast(Station& station, std::vector<SmsRecord>& records, int want) {
    int count = 0;
    for (int attempt = 0; attempt < 50; ++attempt) {
        count = station.modem.ListMessages(records.data());
        if (count >= want) break;
        SystemClock().Sleep(200);
    }
    return count;
}

TEST(ModemOverSimulator, SendListDecodeAndDelete) {
    SimModem a, b;
    ASSERT_TRUE(FromEnvironment(0, a) && FromEnvironment(1, b))
        << "run under kelvora-modemsim with two modems, which names them in KELVORA_MODEM<i>_COM/_NUMBER";
    Station sender, receiver;
    std::string error;
    ASSERT_TRUE(sender.Open(a.com, error)) << error;
    ASSERT_TRUE(receiver.Open(b.com, error)) << error;

    std::vector<SmsRecord> records(kMaxListedRecords);
    EXPECT_EQ(0, receiver.modem.ListMessages(records.data()));

    const char* frame = "BEGINWM0512000000002AEND";
    const char* chinese = "\xC4\xE3\xBA\xC3\xA3\xAC\xD2\xA3\xB2\xE2";  // 你好，遥测 in GBK
    EXPECT_TRUE(sender.modem.SendSms("", b.number.c_str(), frame));  // accepted
    EXPECT_TRUE(sender.modem.SendSms("+8613800000000", b.number.c_str(), chinese));

    const int count = ListAtLeast(receiver, records, 2);
    ASSERT_EQ(2, count);
    const std::string from = a.number[0] == '+' ? a.number.substr(1) : a.number;
    std::set<std::string> texts;
    std::set<int32_t> indices;
    for (int i = 0; i < count; ++i) {
        texts.insert(records[i].text);
        indices.insert(records[i].index);
        EXPECT_EQ(from, records[i].peerNumber);
        EXPECT_EQ(8, records[i].codingScheme);
        EXPECT_EQ(14u, std::strlen(records[i].timestamp));
    }
    EXPECT_EQ((std::set<std::string>{frame, chinese}), texts);
    EXPECT_EQ(2u, indices.size());

    for (int i = 0; i < count; ++i) EXPECT_TRUE(receiver.modem.DeleteMessage(records[i].index));
    ExchangeResult listing;
    EXPECT_EQ(0, receiver.modem.ListMessages(records.data(), kMaxListedRecords, ListFilter::kReceivedUnread, &listing));
    EXPECT_EQ(ExchangeOutcome::kAnswered, listing.outcome);
}

}  // namespace
}  // namespace kelvora::testing
