// Binding a station to its serial line: Open (adopting the device another
// station opened on the same port, or opening and setting it up), Close, and
// the release that closes a shared device only when its last user lets go.
// What keeps the line open afterwards is the LineKeeper's.
#include <string>

#include "driver/driver_base.h"
#include "driver/port_device.h"
#include "driver/shared_ports.h"

namespace kelvora {

namespace {

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

    // Adopt only a device that is still in use on this port: the one the
    // host's record names, or the one that replaced it after its line broke
    // (the host's record is not written after the call that opened it). A
    // stale handle (closed since, of another port, or reused by the
    // platform) is opened afresh instead.
    const PlatformHandle named = static_cast<PlatformHandle>(config->sharedHandle);
    if (named != 0 && use.users != 0 && (named == use.device || named == use.published)) {
        if (lineKeeper_.PortIndex() != portIndex) {
            ReleasePort();  // a station moving over leaves its old line first
            lineKeeper_.Bind(portIndex);
            ++use.users;
        }
        lineKeeper_.Follow(*port);
        status.SetCode(kStatusOk);
        return 1;
    }

    // A station whose line is down holds no device: it leaves that line
    // before it opens another.
    if (lineKeeper_.Bound() && !port->IsOpen()) ReleasePort();
    if (use.users != 0 && !port->IsOpen()) {
        // Another station's device is live on this port (the host lost its
        // handle). The device is not to be shared this way; Windows refuses
        // the second open, but Wine lets it through, and the opening defaults
        // and purge would then hit the live device: refuse before opening.
        // (A port object that is open itself is left to its Open: 1247.)
        status.SetCode(kStatusInitFailed);
        return 0;
    }

    LineSetup setup;
    setup.baudRate = BaudRateOf(line.baudCode);
    setup.dataBits = line.eightDataBits != 0 ? 8 : 7;
    setup.parity = ParityOf(line.parityCode);
    setup.stopBits = line.twoStopBits != 0 ? 2 : 0;
    uint32_t refused = 0;
    if (OpenPortDevice(*port, portIndex, setup, &refused) != 0) {
        status.SetCode(kStatusInitFailed);
        return 0;
    }

    // Published even when the settings were refused: the device stays open.
    config->sharedHandle = static_cast<uint32_t>(port->device);
    sharedEventTable[portIndex] = port->ioEvent;
    use = SharedPortUse{};
    use.device = port->device;
    use.published = port->device;
    use.users = 1;
    use.setup = setup;
    lineKeeper_.Bind(portIndex);

    if (refused != 0) {
        status.SetCode(kStatusInitFailed);
        return 0;
    }
    return 1;
}

bool DriverBase::LineReady() { return lineKeeper_.Ready(Line()); }

int32_t STDMETHODCALLTYPE DriverBase::Close(int32_t /*unused*/) {
    ReleasePort();
    status.SetCode(kStatusOk);
    if (trace.on()) trace.Emit("close: status 0 (OK)");
    return 1;
}

void DriverBase::ReleasePort() {
    if (!port) return;
    if (!lineKeeper_.Bound()) {
        // A port object the host did not open through this driver.
        if (port->IsOpen()) {
            port->SetEventMask(kEventMaskClose);
            port->Close();
        }
        return;
    }
    const int portIndex = lineKeeper_.PortIndex();
    SharedPortUse& use = SharedPortAt(portIndex);
    if (use.users > 1) {
        // Others still use the device: only this station lets go of it.
        --use.users;
        lineKeeper_.Unbind();
        port->device = 0;
        port->ioEvent = 0;
        return;
    }
    // The last user closes the live device, whichever station opened it.
    lineKeeper_.Follow(*port);
    lineKeeper_.Unbind();
    if (port->IsOpen()) {
        port->SetEventMask(kEventMaskClose);
        port->Close();
    }
    use = SharedPortUse{};
    sharedEventTable[portIndex] = 0;
}

}  // namespace kelvora
