// Opening a port's device (see the header).
#include "driver/port_device.h"

#include <cstdio>

namespace kelvora {

namespace {

constexpr uint32_t kQueueSize = 2048;
constexpr uint32_t kEventMaskOpen = kEventRxChar;
constexpr int32_t kReadModeOpen = 2;   // full buffer or 30 ms

}  // namespace

uint32_t OpenPortDevice(SerialPort& port, int portIndex, const LineSetup& setup, uint32_t* settingsResult) {
    char path[24];
    std::snprintf(path, sizeof path, "\\\\.\\COM%d", portIndex + 1);
    const uint32_t opened = port.Open(path, kQueueSize, kQueueSize);
    if (opened != 0) return opened;
    const uint32_t refused = port.SetLineSettings(setup.baudRate, setup.dataBits, setup.parity, setup.stopBits);
    port.SetEventMask(kEventMaskOpen);
    port.SetHandshakeMode(kHandshakeOpen);
    port.SetReadTimeoutMode(kReadModeOpen);
    if (settingsResult != nullptr) *settingsResult = refused;
    return 0;
}

}  // namespace kelvora
