// The Win32 serial port on real COM ports under Wine: a pair of pseudo-
// terminals joined by socat and linked into the prefix as COM7 and COM12
// (see wine_com_ports.sh), COM9 a link to nothing. The test is its own peer.
// Only what Wine does faithfully on a pseudo-terminal is checked here.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "driver/shared_ports.h"
#include "driver/test_driver.h"
#include "serial/serial_port_win32.h"

namespace kelvora {
namespace {

constexpr char kPeerPath[] = "\\\\.\\COM7";
constexpr char kPortPath[] = "\\\\.\\COM12";
constexpr int16_t kPortIndex = 11;

// Waits (bounded) until the port has at least n bytes queued.
uint32_t AwaitQueued(SerialPort& port, uint32_t n, DWORD limitMs = 3000) {
    const DWORD start = GetTickCount();
    uint32_t waiting = 0;
    while (port.GetInputQueueCount(&waiting) == 0 && waiting < n && GetTickCount() - start < limitMs) Sleep(5);
    return waiting;
}

std::string ReadAll(SerialPort& port, uint32_t n) {
    std::string got;
    char buffer[64];
    const DWORD start = GetTickCount();
    while (got.size() < n && GetTickCount() - start < 3000) {
        uint32_t count = 0;
        if (port.Read(buffer, sizeof buffer, &count, nullptr, 2000) != 0) break;
        got.append(buffer, count);
    }
    return got;
}

class WineComPortsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(peer.Open(kPeerPath, 2048, 2048), 0u);
        ASSERT_EQ(peer.SetReadTimeoutMode(2), 0u);
    }
    Win32SerialPort peer;
};

TEST_F(WineComPortsTest, MissingOrDanglingDevicesReportFileNotFound) {
    Win32SerialPort port;
    EXPECT_EQ(port.Open("\\\\.\\COM9", 2048, 2048), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(port.device, 0u);
    EXPECT_EQ(port.Open("\\\\.\\COM33", 2048, 2048), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(port.device, 0u);
    EXPECT_EQ(port.Close(), 0u);
}

TEST_F(WineComPortsTest, OpenPurgesWhatWaitedAndBytesTravelBothWays) {
    ASSERT_EQ(peer.WriteText("stale", nullptr, nullptr, 2000), 0u);
    Sleep(100);
    Win32SerialPort port;
    ASSERT_EQ(port.Open(kPortPath, 2048, 2048), 0u);  // a port number above 9
    uint32_t waiting = 99;
    EXPECT_EQ(port.GetInputQueueCount(&waiting), 0u);
    EXPECT_EQ(waiting, 0u);
    EXPECT_EQ(port.Open(kPortPath, 2048, 2048), kPortAlreadyOpen);
    ASSERT_EQ(port.SetReadTimeoutMode(2), 0u);

    uint32_t written = 0;
    EXPECT_EQ(port.WriteText("AT+CMGL\r", &written, nullptr, 2000), 0u);
    EXPECT_EQ(written, 8u);
    EXPECT_EQ(AwaitQueued(peer, 8), 8u);
    char buffer[10];
    uint32_t count = 0;
    EXPECT_EQ(peer.Read(buffer, sizeof buffer, &count, nullptr, kWaitForever), 0u);
    EXPECT_EQ(std::string(buffer, count), "AT+CMGL\r");

    ASSERT_EQ(peer.WriteText("0123456789AB", nullptr, nullptr, 2000), 0u);
    EXPECT_EQ(AwaitQueued(port, 12), 12u);
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, kWaitForever), 0u);
    EXPECT_EQ(std::string(buffer, count), "0123456789");
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, kWaitForever), 0u);
    EXPECT_EQ(std::string(buffer, count), "AB");
}

TEST_F(WineComPortsTest, AnIdleReadInModeTwoEndsWithinTensOfMilliseconds) {
    Win32SerialPort port;
    ASSERT_EQ(port.Open(kPortPath, 2048, 2048), 0u);
    ASSERT_EQ(port.SetReadTimeoutMode(2), 0u);
    char buffer[10];
    uint32_t count = 99;
    const DWORD start = GetTickCount();
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, kWaitForever), 0u);
    const DWORD spent = GetTickCount() - start;
    EXPECT_EQ(count, 0u);
    EXPECT_GE(spent, 20u);
    EXPECT_LT(spent, 1000u);  // generous: the machine may be busy
}

TEST_F(WineComPortsTest, AReadThatTimesOutIsCancelledAndThePortGoesOn) {
    Win32SerialPort port;
    ASSERT_EQ(port.Open(kPortPath, 2048, 2048), 0u);
    ASSERT_EQ(port.SetReadTimeoutMode(1), 0u);  // only a full buffer completes
    char buffer[10];
    uint32_t count = 99;
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, 100), kPortTimeout);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(port.IsOpen());
    ASSERT_EQ(port.SetReadTimeoutMode(2), 0u);
    ASSERT_EQ(peer.WriteText("after", nullptr, nullptr, 2000), 0u);
    EXPECT_EQ(AwaitQueued(port, 5), 5u);
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, kWaitForever), 0u);
    EXPECT_EQ(std::string(buffer, count), "after");
}

TEST_F(WineComPortsTest, StationsShareTheLineAndAPauseCutsTheResponse) {
    ResetSharedPorts();
    testing::FakeStation first, second;
    first.driver.SetPort(CreateSerialPort());
    second.driver.SetPort(CreateSerialPort());
    LineSettings line{};
    line.portIndex = kPortIndex;
    line.baudCode = 6;
    line.eightDataBits = 1;
    line.parityCode = 2;
    line.timeout = 1000;
    PortConfig config{};
    config.lineSettings = &line;
    ASSERT_EQ(first.driver.Open(&config), 1);
    ASSERT_EQ(second.driver.Open(&config), 1);
    EXPECT_EQ(second.driver.port->device, first.driver.port->device);

    ASSERT_EQ(peer.WriteText("\r\nOK\r\n", nullptr, nullptr, 2000), 0u);
    ASSERT_EQ(AwaitQueued(*first.driver.port, 6), 6u);
    std::string buffer = "AT\r";
    uint32_t count = 3;
    EXPECT_EQ(first.driver.ExchangePolled(buffer, count), 1);
    EXPECT_EQ(buffer, "\r\nOK\r\n");
    EXPECT_EQ(ReadAll(peer, 3), "AT\r");

    // The first station leaves; the second keeps the device.
    EXPECT_EQ(first.driver.Close(0), 1);
    ASSERT_TRUE(second.driver.port->IsOpen());
    std::thread farEnd([this] {
        peer.WriteText("FIRST", nullptr, nullptr, 2000);
        Sleep(500);  // far longer than a read window
        peer.WriteText("SECOND", nullptr, nullptr, 2000);
    });
    buffer = "AT+X\r";
    count = 5;
    EXPECT_EQ(second.driver.ExchangeQueued(buffer, count), 1);
    farEnd.join();
    EXPECT_EQ(buffer, "FIRST");
    EXPECT_EQ(AwaitQueued(*second.driver.port, 6), 6u);  // the rest waits in the queue
    EXPECT_EQ(second.driver.Close(0), 1);
    EXPECT_EQ(sharedEventTable[kPortIndex], 0u);
    ResetSharedPorts();
}

}  // namespace
}  // namespace kelvora
