// The driver's opening and exchanges on the POSIX binding over a real
// pseudo-terminal named as COM12, the test playing the far end.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "driver/shared_ports.h"
#include "driver/test_driver.h"
#include "serial/pty_pair_posix.h"
#include "serial/serial_port_posix.h"

namespace kelvora {
namespace {

using testing::FakeStation;
using testing::PtyPair;

// Bytes waiting in the port's input queue once n have arrived, or what is
// there when the bounded wait ends.
uint32_t AwaitQueued(SerialPort& port, uint32_t n) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    uint32_t waiting = 0;
    while (port.GetInputQueueCount(&waiting) == 0 && waiting < n && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return waiting;
}

class LineExchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSharedPorts();
        ASSERT_TRUE(pty.ok());
        setenv("KELVORA_COM12", pty.path().c_str(), 1);
        line = LineSettings{};
        line.portIndex = 11;
        line.baudCode = 12;
        line.eightDataBits = 1;
        line.parityCode = 2;
        line.lineType = 1;  // RTS steering: a pseudo-terminal has no lines, which is no error
        line.timeout = 1000;
        config = PortConfig{};
        config.lineSettings = &line;
        first.driver.SetPort(CreateSerialPort());
        second.driver.SetPort(CreateSerialPort());
    }
    void TearDown() override {
        unsetenv("KELVORA_COM12");
        ResetSharedPorts();
    }

    PtyPair pty;
    LineSettings line;
    PortConfig config;
    FakeStation first, second;
};

TEST_F(LineExchangeTest, OpenSetsTheLineUpForTheExchanges) {
    ASSERT_EQ(first.driver.Open(&config), 1);
    SerialPort& port = *first.driver.port;
    EXPECT_EQ(port.GetBaudRate(), 115200);
    EXPECT_EQ(port.GetEventMask(), kEventRxChar);
    EXPECT_EQ(port.GetHandshakeMode(), 0);
    EXPECT_EQ(config.sharedHandle, port.device);

    // An idle read (mode 2) comes back within its window.
    char piece[10];
    uint32_t count = 9;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Read(piece, sizeof piece, &count, nullptr, kWaitForever), 0u);
    EXPECT_EQ(count, 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST_F(LineExchangeTest, PolledExchangeWithAFarEnd) {
    ASSERT_EQ(first.driver.Open(&config), 1);
    std::thread farEnd([this] {
        if (pty.Receive(3) == "AT\r") pty.Send("\r\n+CSQ: 20,0\r\n\r\nOK\r\n");
    });
    std::string buffer = "AT\r";
    uint32_t count = 3;
    EXPECT_EQ(first.driver.ExchangePolled(buffer, count), 1);
    farEnd.join();
    EXPECT_EQ(buffer, "\r\n+CSQ: 20,0\r\n\r\nOK\r\n");
    EXPECT_EQ(count, buffer.size());
}

TEST_F(LineExchangeTest, NoAnswerWithinTheTimeoutIsStatusSix) {
    line.timeout = 50;
    ASSERT_EQ(first.driver.Open(&config), 1);
    std::string buffer = "AT\r";
    uint32_t count = 3;
    EXPECT_EQ(first.driver.ExchangeQueued(buffer, count), 0);
    EXPECT_EQ(first.driver.status.Code(), kStatusWriteError);
    EXPECT_EQ(pty.Receive(3), "AT\r");
}

TEST_F(LineExchangeTest, TwoStationsOnOnePortAndAResponseCutByAPause) {
    ASSERT_EQ(first.driver.Open(&config), 1);
    ASSERT_EQ(second.driver.Open(&config), 1);
    EXPECT_EQ(second.driver.status.Code(), kStatusOk);
    EXPECT_EQ(second.driver.port->device, first.driver.port->device);
    EXPECT_EQ(first.driver.Close(0), 1);
    ASSERT_TRUE(second.driver.port->IsOpen());

    std::thread farEnd([this] {
        pty.Receive(3);
        pty.Send("FIRST");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        pty.Send("SECOND");
    });
    std::string buffer = "AT\r";
    uint32_t count = 3;
    const uint32_t waitMs = 2000;
    EXPECT_EQ(second.driver.ExchangeOnEvent(buffer, count, &waitMs, nullptr), 1);
    farEnd.join();
    EXPECT_EQ(buffer, "FIRST");
    // The rest waits for the next reader. A pseudo-terminal hands written
    // bytes to the other side a moment later, so their arrival is awaited.
    EXPECT_EQ(AwaitQueued(*second.driver.port, 6), 6u);
    EXPECT_EQ(second.driver.Close(0), 1);
    EXPECT_FALSE(second.driver.port->IsOpen());
    EXPECT_EQ(sharedEventTable[11], 0u);
}

}  // namespace
}  // namespace kelvora
