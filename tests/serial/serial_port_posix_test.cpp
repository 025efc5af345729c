// The POSIX binding over real pseudo-terminals: codes, defaults, mode tables,
// bounded reads, writes and event waits, device paths.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "serial/pty_pair_posix.h"
#include "serial/serial_port_posix.h"

namespace kelvora {
namespace {

using testing::PtyPair;

int64_t MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

class PosixSerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        ASSERT_EQ(port.Open(pty.path().c_str(), 2048, 2048), 0u);
    }
    PtyPair pty;
    PosixSerialPort port;
};

TEST_F(PosixSerialPortTest, OpenTwiceIsRefusedAndTheFirstOpeningStaysUsable) {
    const PlatformHandle device = port.device;
    EXPECT_EQ(port.Open(pty.path().c_str(), 2048, 2048), kPortAlreadyOpen);
    EXPECT_EQ(port.lastError, kPortAlreadyOpen);
    EXPECT_EQ(port.device, device);
    uint32_t written = 0;
    EXPECT_EQ(port.Write("AT\r", 3, &written, nullptr, 1000), 0u);
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(pty.Receive(3), "AT\r");
}

TEST_F(PosixSerialPortTest, HandlesAreAboveTheStandardDescriptors) {
    EXPECT_GE(port.device, 3u);
    EXPECT_GE(port.ioEvent, 3u);
    EXPECT_NE(port.device, port.ioEvent);
}

TEST_F(PosixSerialPortTest, ASecondPortObjectCannotOpenTheSameDevice) {
    PosixSerialPort other;
    EXPECT_NE(other.Open(pty.path().c_str(), 2048, 2048), 0u);
    EXPECT_EQ(other.device, 0u);
    EXPECT_EQ(other.ioEvent, 0u);
}

TEST(PosixSerialPort, MissingDeviceLeavesThePortClosed) {
    PosixSerialPort port;
    EXPECT_EQ(port.Open("/dev/kelvora-no-such-tty", 2048, 2048), static_cast<uint32_t>(ENOENT));
    EXPECT_EQ(port.device, 0u);
    EXPECT_EQ(port.ioEvent, 0u);
    EXPECT_EQ(port.Close(), 0u);
    EXPECT_EQ(port.Open("/dev/null", 2048, 2048), static_cast<uint32_t>(ENOTTY));  // not a terminal
    EXPECT_EQ(port.device, 0u);
}

TEST(PosixSerialPort, DefaultsAfterOpenAndTheInputQueueIsPurged) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(pty.Send("stale bytes"));
    PosixSerialPort port;
    ASSERT_EQ(port.Open(pty.path().c_str(), 2048, 2048), 0u);
    EXPECT_EQ(port.GetEventMask(), kEventAll);
    EXPECT_EQ(port.GetBaudRate(), 9600);
    EXPECT_EQ(port.GetDataBits(), 8);
    EXPECT_EQ(port.GetParity(), 0);
    EXPECT_EQ(port.GetStopBits(), 0);
    EXPECT_EQ(port.GetHandshakeMode(), 0);
    uint32_t waiting = 99;
    EXPECT_EQ(port.GetInputQueueCount(&waiting), 0u);
    EXPECT_EQ(waiting, 0u);
    // Read mode 0: returns at once, with nothing.
    char buffer[10];
    uint32_t count = 99;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, kWaitForever), 0u);
    EXPECT_EQ(count, 0u);
    EXPECT_LT(MsSince(start), 500);
}

TEST_F(PosixSerialPortTest, LineSettingsAreAppliedOrRefusedWhole) {
    EXPECT_EQ(port.SetLineSettings(256000, 8, kParityNone, 2), 0u);  // no classic constant for it
    EXPECT_EQ(port.GetBaudRate(), 256000);
    EXPECT_EQ(port.GetStopBits(), 2);
    EXPECT_EQ(port.SetLineSettings(115200, 8, kParityNone, 0), 0u);
    EXPECT_EQ(port.GetBaudRate(), 115200);
    EXPECT_EQ(port.GetStopBits(), 0);

    // Refused: nothing of the refused settings reaches the device.
    EXPECT_EQ(port.SetLineSettings(0xFFFFFFFF, 8, kParityNone, 2), static_cast<uint32_t>(EINVAL));
    EXPECT_EQ(port.lastError, static_cast<uint32_t>(EINVAL));
    EXPECT_EQ(port.SetLineSettings(9600, 9, kParityNone, 2), static_cast<uint32_t>(EINVAL));
    EXPECT_EQ(port.SetLineSettings(9600, 8, 255, 2), static_cast<uint32_t>(EINVAL));
    EXPECT_EQ(port.GetBaudRate(), 115200);
    EXPECT_EQ(port.GetStopBits(), 0);
    EXPECT_EQ(port.GetParity(), 0);
}

TEST_F(PosixSerialPortTest, HandshakeModeTable) {
    EXPECT_EQ(port.SetHandshakeMode(1), 0u);
    EXPECT_EQ(port.GetHandshakeMode(), 1);
    EXPECT_EQ(port.SetHandshakeMode(3), kPortBadMode);
    EXPECT_EQ(port.GetHandshakeMode(), 1);  // unchanged
    EXPECT_EQ(port.SetHandshakeMode(-1), kPortBadMode);
    EXPECT_EQ(port.SetHandshakeMode(2), 0u);
    EXPECT_EQ(port.GetHandshakeMode(), 0);  // DTR and RTS simply on read back as 0
    EXPECT_EQ(port.SetHandshakeMode(0), 0u);
    EXPECT_EQ(port.GetHandshakeMode(), 0);
    // A pseudo-terminal has no modem lines; steering RTS is still no error.
    EXPECT_EQ(port.SetRts(true), 0u);
    EXPECT_EQ(port.SetRts(false), 0u);
}

TEST_F(PosixSerialPortTest, ReadModeTableAndBadModes) {
    EXPECT_EQ(port.SetReadTimeoutMode(-1), kPortBadMode);
    EXPECT_EQ(port.SetReadTimeoutMode(3), kPortBadMode);
    char buffer[10];
    uint32_t count = 0;

    // Mode 1: only a full buffer completes; our own bound ends the wait and
    // the bytes that came stay queued for the next read.
    ASSERT_EQ(port.SetReadTimeoutMode(1), 0u);
    ASSERT_TRUE(pty.Send("abc"));
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, 60), kPortTimeout);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(port.IsOpen());
    uint32_t waiting = 0;
    EXPECT_EQ(port.GetInputQueueCount(&waiting), 0u);
    EXPECT_EQ(waiting, 3u);
    ASSERT_TRUE(pty.Send("defghijk"));
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, 2000), 0u);
    EXPECT_EQ(std::string(buffer, count), "abcdefghij");

    // Mode 0: what is there, at once.
    ASSERT_EQ(port.SetReadTimeoutMode(0), 0u);
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, kWaitForever), 0u);
    EXPECT_EQ(std::string(buffer, count), "k");
}

TEST_F(PosixSerialPortTest, ReadModeTwoEndsAfterItsWindow) {
    ASSERT_EQ(port.SetReadTimeoutMode(2), 0u);
    char buffer[10];
    uint32_t count = 99;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, kWaitForever), 0u);
    const int64_t idle = MsSince(start);
    EXPECT_EQ(count, 0u);
    EXPECT_GE(idle, 25);   // the 30 ms window, give or take the clock
    EXPECT_LT(idle, 500);  // tens of milliseconds, with room for a loaded machine

    ASSERT_TRUE(pty.Send("1234"));
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, kWaitForever), 0u);
    EXPECT_EQ(std::string(buffer, count), "1234");

    ASSERT_TRUE(pty.Send("ABCDEFGHIJKL"));
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, kWaitForever), 0u);
    EXPECT_EQ(std::string(buffer, count), "ABCDEFGHIJ");  // a full buffer
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, kWaitForever), 0u);
    EXPECT_EQ(std::string(buffer, count), "KL");
}

TEST_F(PosixSerialPortTest, WriteThatCannotFinishTimesOutAndThePortStaysOpen) {
    // Nobody reads the far end: the terminal's queues fill up.
    const std::string big(1 << 20, 'x');
    uint32_t written = 77;
    EXPECT_EQ(port.Write(big.data(), static_cast<uint32_t>(big.size()), &written, nullptr, 100), kPortTimeout);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(port.lastError, kPortTimeout);
    EXPECT_TRUE(port.IsOpen());
    pty.Drain();
    EXPECT_EQ(port.WriteText("OK", &written, nullptr, 1000), 0u);
    EXPECT_EQ(written, 2u);
    const std::string tail = pty.Receive(1 << 20, 300);
    ASSERT_GE(tail.size(), 2u);
    EXPECT_EQ(tail.substr(tail.size() - 2), "OK");
}

TEST_F(PosixSerialPortTest, WaitForEventReportsAReceivedCharacter) {
    ASSERT_EQ(port.SetEventMask(kEventRxChar), 0u);
    EXPECT_EQ(port.WaitForEvent(nullptr, 50), kPortTimeout);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.TakeLastEvent(), kNoEvent);
    ASSERT_TRUE(pty.Send("R"));
    EXPECT_EQ(port.WaitForEvent(nullptr, 2000), 0u);
    EXPECT_EQ(port.TakeLastEvent(), kEventRxChar);
    EXPECT_EQ(port.TakeLastEvent(), kNoEvent);
    // A mask without received characters does not wake on them.
    ASSERT_EQ(port.SetEventMask(0x0004), 0u);
    EXPECT_EQ(port.WaitForEvent(nullptr, 30), kPortTimeout);
}

TEST_F(PosixSerialPortTest, AFarEndThatIsGoneIsAnErrorNotAHang) {
    ASSERT_EQ(port.SetReadTimeoutMode(1), 0u);  // no window of its own
    ASSERT_EQ(port.SetEventMask(kEventRxChar), 0u);
    pty.HangUp();
    char buffer[10];
    uint32_t count = 0;
    EXPECT_NE(port.Read(buffer, sizeof buffer, &count, nullptr, kWaitForever), 0u);
    EXPECT_EQ(count, 0u);
    EXPECT_NE(port.GetBaudRate(), 9600);  // the settings cannot be read either
    EXPECT_NE(port.WaitForEvent(nullptr, kWaitForever), 0u);
    EXPECT_NE(port.WaitForEvent(nullptr, kWaitForever), kPortTimeout);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(PosixSerialPortTest, EventCharacterIsAddedToTheMask) {
    ASSERT_EQ(port.SetEventMask(kEventRxChar), 0u);
    EXPECT_EQ(port.SetEventCharacter('\n', true), 0u);
    EXPECT_EQ(port.GetEventMask(), 0x0003u);
    EXPECT_EQ(port.GetEventCharacter(), '\n');
    EXPECT_EQ(port.SetEventCharacter('>', false), 0u);
    EXPECT_EQ(port.GetEventMask(), 0x0003u);
    EXPECT_EQ(port.GetEventCharacter(), '>');
}

TEST(PosixSerialPort, ClosedPortReportsNotOpen) {
    PosixSerialPort port;
    char buffer[4];
    uint32_t count = 77;
    EXPECT_EQ(port.Write("x", 1, &count, nullptr, 10), kPortNotOpen);
    EXPECT_EQ(count, 0u);
    count = 77;
    EXPECT_EQ(port.WriteText("x", &count, nullptr, 10), kPortNotOpen);
    EXPECT_EQ(count, 0u);
    count = 77;
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, 10), kPortNotOpen);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(port.SetLineSettings(9600, 8, 0, 0), kPortNotOpen);
    EXPECT_EQ(port.SetEventCharacter('a', true), kPortNotOpen);
    EXPECT_EQ(port.SetEventMask(1), kPortNotOpen);
    EXPECT_EQ(port.WaitForEvent(nullptr, 10), kPortNotOpen);
    EXPECT_EQ(port.SetHandshakeMode(2), kPortNotOpen);
    EXPECT_EQ(port.SetReadTimeoutMode(2), kPortNotOpen);
    EXPECT_EQ(port.SetRts(true), kPortNotOpen);
    EXPECT_EQ(port.GetInputQueueCount(&count), kPortNotOpen);
    EXPECT_EQ(port.GetBaudRate(), -1);
    EXPECT_EQ(port.GetDataBits(), -1);
    EXPECT_EQ(port.GetParity(), -1);
    EXPECT_EQ(port.GetStopBits(), -1);
    EXPECT_EQ(port.GetHandshakeMode(), -1);
    EXPECT_EQ(port.GetEventMask(), 0u);
    EXPECT_EQ(port.GetEventCharacter(), 0);
    EXPECT_EQ(port.lastError, kPortNotOpen);
    EXPECT_EQ(port.Close(), 0u);
    EXPECT_EQ(port.lastError, 0u);
    EXPECT_EQ(port.TakeLastEvent(), kNoEvent);
}

TEST(PosixSerialPort, DestroyingAnOpenPortClosesTheDevice) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    PlatformHandle device = 0, event = 0;
    {
        PosixSerialPort port;
        ASSERT_EQ(port.Open(pty.path().c_str(), 2048, 2048), 0u);
        device = port.device;
        event = port.ioEvent;
    }
    EXPECT_EQ(fcntl(static_cast<int>(device), F_GETFD), -1);
    EXPECT_EQ(fcntl(static_cast<int>(event), F_GETFD), -1);
    PosixSerialPort again;  // the device is free again
    EXPECT_EQ(again.Open(pty.path().c_str(), 2048, 2048), 0u);
}

TEST(PosixSerialPort, ComPathsNameDevicesByNumber) {
    unsetenv("KELVORA_COM12");
    EXPECT_EQ(PosixSerialPort::ResolveDevicePath("\\\\.\\COM12"), "/dev/ttyS11");
    EXPECT_EQ(PosixSerialPort::ResolveDevicePath("\\\\.\\COM1"), "/dev/ttyS0");
    EXPECT_EQ(PosixSerialPort::ResolveDevicePath("\\\\.\\COM0"), "\\\\.\\COM0");
    EXPECT_EQ(PosixSerialPort::ResolveDevicePath("\\\\.\\COM1x"), "\\\\.\\COM1x");
    EXPECT_EQ(PosixSerialPort::ResolveDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");

    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    setenv("KELVORA_COM12", pty.path().c_str(), 1);
    EXPECT_EQ(PosixSerialPort::ResolveDevicePath("\\\\.\\COM12"), pty.path());
    PosixSerialPort port;
    EXPECT_EQ(port.Open("\\\\.\\COM12", 2048, 2048), 0u);
    EXPECT_EQ(port.WriteText("AT\r", nullptr, nullptr, 1000), 0u);
    EXPECT_EQ(pty.Receive(3), "AT\r");
    unsetenv("KELVORA_COM12");
}

TEST(PosixSerialPort, CreateSerialPortMakesAClosedPort) {
    auto port = CreateSerialPort();
    ASSERT_NE(port, nullptr);
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(port->lastEvent, kNoEvent);
}

}  // namespace
}  // namespace kelvora
