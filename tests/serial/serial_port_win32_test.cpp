// The Win32 binding against a fake of its kernel32 calls: the calls it makes,
// defaults, mode tables, refused settings, the bounded waits that cancel and
// settle their request, Wine's time-out report, RTS and the input count.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "driver/shared_ports.h"
#include "driver/test_driver.h"
#include "serial/fake_comm_api_win32.h"
#include "serial/serial_port_win32.h"

namespace kelvora {
namespace {

using testing::FakeClock;
using testing::FakeCommApi;
using Outcome = FakeCommApi::Outcome;

class Win32SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(port.Open("\\\\.\\COM3", 2048, 2048), 0u); }
    FakeCommApi api;
    Win32SerialPort port{api};
};

TEST_F(Win32SerialPortTest, OpenMakesExactlyTheseCallsAndAppliesTheDefaults) {
    EXPECT_EQ(api.calls[0], "CreateFileA(\\\\.\\COM3,3221225472,0,3,1073741824)");
    EXPECT_EQ(api.calls[1], "CreateEventA(1,0,null)");
    EXPECT_EQ(api.calls[2], "SetupComm(2048,2048)");
    EXPECT_EQ(api.calls.back(), "PurgeComm(15)");
    EXPECT_EQ(api.mask, 0x1FFu);
    EXPECT_EQ(api.dcb.BaudRate, 9600u);
    EXPECT_EQ(api.dcb.ByteSize, 8);
    EXPECT_EQ(api.dcb.Parity, NOPARITY);
    EXPECT_FALSE(api.dcb.fParity);
    EXPECT_EQ(api.dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(api.dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
    EXPECT_EQ(api.dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    EXPECT_FALSE(api.dcb.fOutxCtsFlow || api.dcb.fOutxDsrFlow || api.dcb.fOutX || api.dcb.fInX);
    EXPECT_TRUE(api.dcb.fDsrSensitivity);  // fields outside the tables are kept
    EXPECT_EQ(api.dcb.XonChar, 0x11);
    EXPECT_EQ(api.timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(api.timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(api.timeouts.WriteTotalTimeoutConstant, 777u);
    EXPECT_EQ(port.GetHandshakeMode(), 0);
    EXPECT_NE(port.device, 0u);
    EXPECT_NE(port.ioEvent, 0u);
}

TEST_F(Win32SerialPortTest, OpenTwiceChangesNothing) {
    const size_t calls = api.calls.size();
    EXPECT_EQ(port.Open("\\\\.\\COM3", 2048, 2048), kPortAlreadyOpen);
    EXPECT_EQ(api.calls.size(), calls);
    EXPECT_TRUE(port.IsOpen());
}

TEST(Win32SerialPort, FailedOpeningsLeaveNothingOpen) {
    FakeCommApi api;
    api.exists = false;
    Win32SerialPort port(api);
    EXPECT_EQ(port.Open("\\\\.\\COM9", 2048, 2048), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(port.device, 0u);
    EXPECT_EQ(port.Close(), 0u);

    api.exists = true;
    api.setupError = ERROR_INVALID_PARAMETER;
    EXPECT_EQ(port.Open("\\\\.\\COM9", 2048, 2048), static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(port.device, 0u);
    EXPECT_EQ(port.ioEvent, 0u);
    EXPECT_EQ(api.openHandles, 0);
}

TEST_F(Win32SerialPortTest, ParityCheckingFollowsTheParity) {
    EXPECT_EQ(port.SetLineSettings(9600, 8, kParityEven, 0), 0u);
    EXPECT_TRUE(api.dcb.fParity);
    EXPECT_EQ(port.GetParity(), 2);
    EXPECT_EQ(port.SetLineSettings(9600, 8, kParityNone, 0), 0u);
    EXPECT_FALSE(api.dcb.fParity);
    api.dcb.Parity = MARKPARITY;  // checking off: whatever the device holds reads as 0
    EXPECT_EQ(port.GetParity(), 0);
    EXPECT_EQ(port.SetLineSettings(57600, 7, kParitySpace, 2), 0u);
    EXPECT_EQ(port.GetBaudRate(), 57600);
    EXPECT_EQ(port.GetDataBits(), 7);
    EXPECT_EQ(port.GetParity(), 4);
    EXPECT_EQ(port.GetStopBits(), 2);
}

TEST_F(Win32SerialPortTest, RefusedLineSettingsKeepThePreviousOnes) {
    EXPECT_EQ(port.SetLineSettings(0xFFFFFFFF, 8, kParityNone, 0), static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(port.lastError, static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(port.GetBaudRate(), 9600);
    EXPECT_EQ(port.SetLineSettings(9600, 8, 255, 0), static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(port.GetParity(), 0);
}

TEST_F(Win32SerialPortTest, HandshakeModeTable) {
    api.calls.clear();
    EXPECT_EQ(port.SetHandshakeMode(3), kPortBadMode);
    EXPECT_EQ(port.SetHandshakeMode(-1), kPortBadMode);
    EXPECT_TRUE(api.calls.empty());  // the device is not touched

    EXPECT_EQ(port.SetHandshakeMode(1), 0u);
    EXPECT_EQ(api.dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
    EXPECT_EQ(api.dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
    EXPECT_TRUE(api.dcb.fOutxCtsFlow && api.dcb.fOutxDsrFlow);
    EXPECT_FALSE(api.dcb.fOutX || api.dcb.fInX);
    EXPECT_EQ(port.GetHandshakeMode(), 1);

    EXPECT_EQ(port.SetHandshakeMode(2), 0u);
    EXPECT_EQ(api.dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(api.dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_FALSE(api.dcb.fOutxCtsFlow || api.dcb.fOutxDsrFlow || api.dcb.fOutX || api.dcb.fInX);
    EXPECT_EQ(port.GetHandshakeMode(), 0);
    EXPECT_TRUE(api.dcb.fDsrSensitivity);

    api.dcb.fOutX = TRUE;
    api.dcb.fInX = TRUE;
    EXPECT_EQ(port.GetHandshakeMode(), 2);
}

TEST_F(Win32SerialPortTest, ReadTimeoutModeTable) {
    const DWORD modes[3][2] = {{MAXDWORD, 0}, {0, 0}, {MAXDWORD, 30}};
    for (int mode = 2; mode >= 0; --mode) {
        api.timeouts.ReadTotalTimeoutMultiplier = 5;
        EXPECT_EQ(port.SetReadTimeoutMode(mode), 0u);
        EXPECT_EQ(api.timeouts.ReadIntervalTimeout, modes[mode][0]) << mode;
        EXPECT_EQ(api.timeouts.ReadTotalTimeoutConstant, modes[mode][1]) << mode;
        EXPECT_EQ(api.timeouts.ReadTotalTimeoutMultiplier, 0u);
        EXPECT_EQ(api.timeouts.WriteTotalTimeoutConstant, 777u);
    }
    EXPECT_EQ(port.SetReadTimeoutMode(-1), kPortBadMode);
    EXPECT_EQ(port.SetReadTimeoutMode(3), kPortBadMode);
    EXPECT_EQ(api.timeouts.ReadIntervalTimeout, MAXDWORD);
}

TEST_F(Win32SerialPortTest, EventCharacterJoinsTheMask) {
    ASSERT_EQ(port.SetEventMask(EV_RXCHAR), 0u);
    EXPECT_EQ(port.SetEventCharacter('\n', true), 0u);
    EXPECT_EQ(port.GetEventMask(), 0x0003u);
    EXPECT_EQ(port.GetEventCharacter(), '\n');
}

TEST_F(Win32SerialPortTest, ATransferThatCompletesAtOnceSignalsItsEvent) {
    api.transfer = 3;
    api.calls.clear();
    uint32_t written = 0;
    EXPECT_EQ(port.WriteText("AT\r", &written, nullptr, 2000), 0u);
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(api.calls[0], "WriteFile(3)");
    EXPECT_EQ(api.calls[1], "SetEvent");

    api.outcome = Outcome::Fail;
    api.failError = ERROR_ACCESS_DENIED;
    EXPECT_EQ(port.Write("AT", 2, &written, nullptr, 2000), static_cast<uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(written, 0u);
}

TEST_F(Win32SerialPortTest, AWriteThatTimesOutIsCancelledAndSettledAndThePortStaysOpen) {
    api.outcome = Outcome::Pending;
    api.waitResult = WAIT_TIMEOUT;
    api.calls.clear();
    uint32_t written = 77;
    EXPECT_EQ(port.Write("AT", 2, &written, nullptr, 2000), kPortTimeout);
    EXPECT_EQ(written, 0u);
    const std::vector<std::string> expected = {"WriteFile(2)", "WaitForSingleObject(2000)", "CancelIo",
                                               "GetOverlappedResult(wait)"};
    EXPECT_EQ(api.calls, expected);
    EXPECT_EQ(api.held, nullptr);  // the platform holds no record of a gone frame
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.lastError, kPortTimeout);
}

TEST_F(Win32SerialPortTest, ARequestThatCompletesAsItIsCancelledKeepsItsBytes) {
    api.outcome = Outcome::Pending;
    api.waitResult = WAIT_TIMEOUT;
    api.completesOnCancel = true;
    api.transfer = 6;
    char buffer[10];
    uint32_t count = 0;
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, 100), 0u);
    EXPECT_EQ(count, 6u);
}

TEST_F(Win32SerialPortTest, AReadEndedByThePortsOwnTimeoutUnderWineIsASuccess) {
    api.outcome = Outcome::Pending;
    api.resultError = ERROR_TIMEOUT;
    api.transfer = 4;
    char buffer[10];
    uint32_t count = 0;
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, kWaitForever), 0u);
    EXPECT_EQ(count, 4u);
    EXPECT_TRUE(api.Called("GetOverlappedResult(nowait)"));

    api.resultError = ERROR_GEN_FAILURE;
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, kWaitForever),
              static_cast<uint32_t>(ERROR_GEN_FAILURE));
}

TEST_F(Win32SerialPortTest, AFailedWaitStillSettlesTheRequest) {
    api.outcome = Outcome::Pending;
    api.waitResult = WAIT_FAILED;
    char buffer[4];
    EXPECT_EQ(port.Read(buffer, sizeof buffer, nullptr, nullptr, 100), static_cast<uint32_t>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(api.held, nullptr);
}

TEST_F(Win32SerialPortTest, TheCallersRecordIsLeftToTheCaller) {
    api.outcome = Outcome::Pending;
    OVERLAPPED request{};
    api.calls.clear();
    uint32_t count = 0;
    EXPECT_EQ(port.Write("AT", 2, &count, reinterpret_cast<AsyncRequest*>(&request), 100), 0u);
    EXPECT_EQ(api.held, &request);
    EXPECT_EQ(api.calls.size(), 1u);  // no wait of ours
}

TEST_F(Win32SerialPortTest, WaitForEventRecordsTheBitsOrTimesOut) {
    api.events = EV_RXCHAR | EV_TXEMPTY;
    EXPECT_EQ(port.WaitForEvent(nullptr, 100), 0u);
    EXPECT_EQ(port.TakeLastEvent(), static_cast<uint32_t>(EV_RXCHAR | EV_TXEMPTY));
    EXPECT_EQ(port.TakeLastEvent(), kNoEvent);

    api.outcome = Outcome::Pending;
    api.events = EV_CTS;  // a line change, no character
    EXPECT_EQ(port.WaitForEvent(nullptr, 100), 0u);
    EXPECT_EQ(port.TakeLastEvent(), static_cast<uint32_t>(EV_CTS));

    api.waitResult = WAIT_TIMEOUT;
    api.calls.clear();
    EXPECT_EQ(port.WaitForEvent(nullptr, 100), kPortTimeout);
    EXPECT_TRUE(api.Called("CancelIo"));
    EXPECT_EQ(api.held, nullptr);
    EXPECT_EQ(port.TakeLastEvent(), kNoEvent);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(Win32SerialPortTest, RtsAndTheInputCount) {
    api.calls.clear();
    EXPECT_EQ(port.SetRts(true), 0u);
    EXPECT_EQ(port.SetRts(false), 0u);
    EXPECT_EQ(api.calls[0], "EscapeCommFunction(3)");
    EXPECT_EQ(api.calls[1], "EscapeCommFunction(4)");
    api.escapeError = ERROR_NOT_SUPPORTED;  // as Wine on a pseudo-terminal
    EXPECT_EQ(port.SetRts(true), static_cast<uint32_t>(ERROR_NOT_SUPPORTED));

    api.inQueue = 42;
    uint32_t waiting = 0;
    EXPECT_EQ(port.GetInputQueueCount(&waiting), 0u);
    EXPECT_EQ(waiting, 42u);
}

TEST(Win32SerialPort, ClosedPortReportsNotOpen) {
    FakeCommApi api;
    Win32SerialPort port(api);
    uint32_t count = 77;
    char buffer[4];
    EXPECT_EQ(port.WriteText("x", &count, nullptr, 10), kPortNotOpen);
    EXPECT_EQ(count, 0u);
    count = 77;
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, 10), kPortNotOpen);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(port.SetLineSettings(9600, 8, 0, 0), kPortNotOpen);
    EXPECT_EQ(port.SetEventCharacter('a', false), kPortNotOpen);
    EXPECT_EQ(port.SetEventMask(1), kPortNotOpen);
    EXPECT_EQ(port.WaitForEvent(nullptr, 10), kPortNotOpen);
    EXPECT_EQ(port.SetHandshakeMode(7), kPortNotOpen);
    EXPECT_EQ(port.SetReadTimeoutMode(2), kPortNotOpen);
    EXPECT_EQ(port.SetRts(false), kPortNotOpen);
    EXPECT_EQ(port.GetInputQueueCount(&count), kPortNotOpen);
    EXPECT_EQ(port.GetBaudRate(), -1);
    EXPECT_EQ(port.GetDataBits(), -1);
    EXPECT_EQ(port.GetParity(), -1);
    EXPECT_EQ(port.GetStopBits(), -1);
    EXPECT_EQ(port.GetHandshakeMode(), -1);
    EXPECT_EQ(port.GetEventMask(), 0u);
    EXPECT_EQ(port.GetEventCharacter(), 0);
    EXPECT_EQ(port.Close(), 0u);
    EXPECT_TRUE(api.calls.empty());
}

TEST(Win32SerialPort, DestroyingAnOpenPortClosesBothHandles) {
    FakeCommApi api;
    {
        Win32SerialPort port(api);
        ASSERT_EQ(port.Open("\\\\.\\COM1", 2048, 2048), 0u);
        EXPECT_EQ(api.openHandles, 2);
    }
    EXPECT_EQ(api.openHandles, 0);
}

// The driver on the Win32 binding, where Wine cannot show the device's side.
TEST(Win32PortOpening, RefusedSettingsStillPublishAndRtsFramesTheWrite) {
    ResetSharedPorts();
    FakeClock clock;
    clock.tickStep = 1;
    FakeCommApi api;
    api.clock = &clock;
    testing::FakeStation station;
    station.driver.SetClock(clock);
    station.driver.SetPort(std::make_unique<Win32SerialPort>(api));
    LineSettings line{};
    line.portIndex = 11;
    line.baudCode = 77;  // no rate: -1 for the device to refuse
    line.eightDataBits = 1;
    line.parityCode = 2;
    line.lineType = 2;
    line.timeout = 100;
    PortConfig config{};
    config.lineSettings = &line;
    EXPECT_EQ(station.driver.Open(&config), 0);
    EXPECT_EQ(station.driver.status.Code(), kStatusInitFailed);
    EXPECT_TRUE(api.Called("CreateFileA(\\\\.\\COM12,3221225472,0,3,1073741824)"));
    EXPECT_EQ(config.sharedHandle, station.driver.port->device);
    EXPECT_EQ(sharedEventTable[11], station.driver.port->ioEvent);
    EXPECT_EQ(api.mask, static_cast<DWORD>(EV_RXCHAR));
    EXPECT_EQ(api.dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(api.timeouts.ReadTotalTimeoutConstant, 30u);

    api.calls.clear();
    api.events = EV_TXEMPTY;
    std::string buffer = "AT\r";
    uint32_t count = 3;
    ASSERT_EQ(station.driver.ExchangeOnEvent(buffer, count, nullptr, nullptr), 1);
    ASSERT_GE(api.calls.size(), 3u);
    EXPECT_EQ(api.calls[0].rfind("EscapeCommFunction(3)@", 0), 0u);
    EXPECT_EQ(api.calls[1], "WriteFile(3)");
    const std::string& drop = api.calls[3];
    ASSERT_EQ(drop.rfind("EscapeCommFunction(4)@", 0), 0u) << drop;
    const uint32_t raisedAt = std::stoul(api.calls[0].substr(22));
    const uint32_t droppedAt = std::stoul(drop.substr(22));
    EXPECT_GE(droppedAt - raisedAt, 5u);
    EXPECT_TRUE(buffer.empty());  // no character: nothing read
    station.driver.Close(0);
    EXPECT_EQ(api.openHandles, 0);
    ResetSharedPorts();
}

// Wine lets a second opening of a port through: a station whose host lost the
// handle must not put the opening defaults on the device another station uses.
TEST(Win32PortOpening, AFreshOpenOfAPortInUseLeavesTheLiveDeviceAlone) {
    ResetSharedPorts();
    FakeClock clock;
    FakeCommApi api;  // one device, opened as often as asked
    testing::FakeStation first, second;
    first.driver.SetClock(clock);
    second.driver.SetClock(clock);
    first.driver.SetPort(std::make_unique<Win32SerialPort>(api));
    second.driver.SetPort(std::make_unique<Win32SerialPort>(api));
    LineSettings line{};
    line.portIndex = 6;
    line.baudCode = 6;
    line.eightDataBits = 1;
    line.parityCode = 2;
    line.timeout = 100;
    PortConfig config{};
    config.lineSettings = &line;
    ASSERT_EQ(first.driver.Open(&config), 1);
    ASSERT_EQ(api.timeouts.ReadTotalTimeoutConstant, 30u);

    api.calls.clear();
    api.inQueue = 5;  // an answer on its way to the first station
    PortConfig lost{};
    lost.lineSettings = &line;
    EXPECT_EQ(second.driver.Open(&lost), 0);
    EXPECT_EQ(second.driver.status.Code(), kStatusInitFailed);
    EXPECT_TRUE(api.calls.empty());
    EXPECT_EQ(api.timeouts.ReadTotalTimeoutConstant, 30u);  // still read mode 2
    EXPECT_EQ(api.mask, static_cast<DWORD>(EV_RXCHAR));
    EXPECT_EQ(api.inQueue, 5u);  // nothing purged
    EXPECT_EQ(api.openHandles, 2);
    first.driver.Close(0);
    EXPECT_EQ(api.openHandles, 0);
    ResetSharedPorts();
}

}  // namespace
}  // namespace kelvora
