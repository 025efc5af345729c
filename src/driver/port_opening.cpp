// Binding a station to its serial line: Open (adopting the device another
// station opened on the same port, or opening and setting it up), Close, and
// the release that closes a shared device only when its last user lets go.
#include <cstdio>
#include <string>

#include "driver/driver_base.h"
#include "driver/shared_ports.h"

namespace kelvora {

namespace {

constexpr uint32_t kQueueSize = 2048;
constexpr uint32_t kEventMaskOpen = kEventRxChar;
constexpr int32_t kHandshakeOpen = 2;     // DTR and RTS on, no flow control
constexpr int32_t kReadModeOpen = 2;      // full buffer or 30 ms
constexpr uint32_t kEventMaskClose = 0xFFFFFFFF;
constexpr uint32_t kRefusedBaudRate = 0xFFFFFFFF;  // -1: for the device to refuse
constexpr uint8_t kRefusedParity = 255;

uint32_t BaudRateOf(uint32_t baudCode) {
    static const uint32_t kRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                      19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return baudCode < sizeof kRates / sizeof kRates[0] ? kRates[baudCode] : kRefusedBaudRate;
}

// The host's parity codes are in an order of their own.
uint8_t ParityOf(int16_t parityCode) {
    switch (parityCode) {
        case 0: return kParityOdd;
        case 1: return kParityEven;
        case 2: return kParityNone;
        case 3: return kParityMark;
        case 4: return kParitySpace;
        default: return kRefusedParity;
    }
}

}  // namespace

int32_t STDMETHODCALLTYPE DriverBase::Open(PortConfig* config) {
    const int32_t result = OpenLine(config);
    if (trace.on() && config != nullptr && config->lineSettings != nullptr) {
        const LineSettings& line = *config->lineSettings;
        trace.SetPort(line.portIndex + 1);
        trace.Emit("open COM" + std::to_string(line.portIndex + 1) + " at " + std::to_string(BaudRateOf(line.baudCode)) +
                   " baud, line type " + std::to_string(line.lineType) + ", reply time-out " +
                   std::to_string(EffectiveTimeoutMs()) + " ms: " + (result == 1 ? "open" : "failed") + ", status " +
                   std::to_string(status.Code()) + " (" + StatusMeaning(status.Code()) + ")");
    }
    return result;
}

int32_t DriverBase::OpenLine(PortConfig* config) {
    if (config == nullptr || config->lineSettings == nullptr) {
        status.SetCode(kStatusInitFailed);
        return 0;
    }
    const LineSettings& line = *config->lineSettings;
    // Copied first; they stay even when the opening fails.
    lineType = line.lineType;
    timeoutMs = line.timeout;

    const int portIndex = line.portIndex;
    if (portIndex < 0 || portIndex >= kSharedPortCount || !port) {
        status.SetCode(kStatusInitFailed);
        return 0;
    }
    SharedPortUse& use = SharedPortAt(portIndex);

    // Adopt only the device that is still open on this port: a stale handle
    // (closed since, of another port, or reused by the platform) is opened
    // afresh instead.
    if (config->sharedHandle != 0 && use.users != 0 &&
        use.device == static_cast<PlatformHandle>(config->sharedHandle)) {
        if (port->device != use.device) {
            ReleasePort();  // a station moving over leaves its old line first
            port->device = use.device;
            port->ioEvent = sharedEventTable[portIndex];
            ++use.users;
        }
        status.SetCode(kStatusOk);
        return 1;
    }

    if (use.users != 0 && !port->IsOpen()) {
        // Another station's device is live on this port (the host lost its
        // handle). The device is not to be shared this way; Windows refuses
        // the second open, but Wine lets it through, and the opening defaults
        // and purge would then hit the live device: refuse before opening.
        // (A port object that is open itself is left to its Open: 1247.)
        status.SetCode(kStatusInitFailed);
        return 0;
    }

    char path[24];
    std::snprintf(path, sizeof path, "\\\\.\\COM%d", portIndex + 1);
    if (port->Open(path, kQueueSize, kQueueSize) != 0) {
        status.SetCode(kStatusInitFailed);
        return 0;
    }

    const uint32_t refused = port->SetLineSettings(BaudRateOf(line.baudCode), line.eightDataBits != 0 ? 8 : 7,
                                                   ParityOf(line.parityCode), line.twoStopBits != 0 ? 2 : 0);
    port->SetEventMask(kEventMaskOpen);
    port->SetHandshakeMode(kHandshakeOpen);
    port->SetReadTimeoutMode(kReadModeOpen);

    // Published even when the settings were refused: the device stays open.
    config->sharedHandle = static_cast<uint32_t>(port->device);
    sharedEventTable[portIndex] = port->ioEvent;
    use.device = port->device;
    use.users = 1;

    if (refused != 0) {
        status.SetCode(kStatusInitFailed);
        return 0;
    }
    return 1;
}

int32_t STDMETHODCALLTYPE DriverBase::Close(int32_t /*unused*/) {
    ReleasePort();
    status.SetCode(kStatusOk);
    if (trace.on()) trace.Emit("close: status 0 (OK)");
    return 1;
}

void DriverBase::ReleasePort() {
    if (!port || !port->IsOpen()) return;
    const int portIndex = FindSharedPort(port->device);
    if (portIndex >= 0 && SharedPortAt(portIndex).users > 1) {
        // Others still use the device: only this station lets go of it.
        --SharedPortAt(portIndex).users;
        port->device = 0;
        port->ioEvent = 0;
        return;
    }
    port->SetEventMask(kEventMaskClose);
    port->Close();
    if (portIndex >= 0) {
        SharedPortAt(portIndex) = SharedPortUse{};
        sharedEventTable[portIndex] = 0;
    }
}

}  // namespace kelvora
