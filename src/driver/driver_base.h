// DriverBase: the driver object both stations derive from. It answers the
// bookkeeping operations of IDeviceDriver (open and close the line, list and
// parse addresses, status texts), owns the register table, the register list
// handed to the host, the status and the serial port, and offers the
// request/response exchanges on the line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/driver_status.h"
#include "driver/i_device_driver.h"
#include "driver/line_keeper.h"
#include "driver/register_table.h"
#include "driver/serial_line.h"
#include "platform/clock.h"
#include "platform/trace.h"
#include "serial/serial_port.h"

namespace kelvora {

constexpr size_t kMaxRegisterTypeName = 31;  // what fits RegisterInfo's name

class DriverBase : public IDeviceDriver {
public:
    DriverBase();
    DriverBase(const DriverBase&) = delete;
    DriverBase& operator=(const DriverBase&) = delete;

    // IDeviceDriver. The first three forward to the enclosing station object,
    // found GetInterfaceOffset bytes before this one.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    int32_t STDMETHODCALLTYPE Reserved(int32_t unused) override;
    int32_t STDMETHODCALLTYPE Open(PortConfig* config) override;
    int32_t STDMETHODCALLTYPE GetRegisterList(RegisterInfo** list, uint16_t* count) override;
    int32_t STDMETHODCALLTYPE ParseAddress(const char* text, RegisterRequest* request) override;
    int32_t STDMETHODCALLTYPE ParseDeviceAddress(const char* text, int32_t* number) override;
    int32_t STDMETHODCALLTYPE Read(int32_t* deviceAddress, RegisterRequest* request, RegisterValue* value) override;
    int32_t STDMETHODCALLTYPE Write(int32_t* deviceAddress, RegisterRequest* request, RegisterValue* value) override;
    int32_t STDMETHODCALLTYPE Close(int32_t unused) override;
    const char* STDMETHODCALLTYPE GetStatusText() override;

    // Slots after the twelve: answered by the station object.
    virtual int32_t STDMETHODCALLTYPE GetInterfaceOffset() = 0;
    virtual ~DriverBase();

    // Request/response exchanges. buffer holds count bytes to send on entry and
    // the bytes received on return. 1 on success, 0 with status 5 or 6.
    int32_t ExchangeOnEvent(std::string& buffer, uint32_t& count, const uint32_t* waitTimeoutMs,
                            const uint32_t* writeTimeoutMs);
    int32_t ExchangePolled(std::string& buffer, uint32_t& count, int32_t unused1 = 0, int32_t unused2 = 0);
    int32_t ExchangeQueued(std::string& buffer, uint32_t& count, int32_t unused1 = 0, int32_t unused2 = 0);

    // Offers a register type: adds it to the table and to the host's list.
    // 0 when the table refuses it or the name is longer than 31 characters.
    int AddRegisterType(const char* name, int32_t dataTypeMask, int32_t accessCode);

    // Spins on the tick count for the given milliseconds, without sleeping.
    void BusyWait(uint32_t milliseconds);

    // timeoutMs as an exchange uses it: unsigned, at most kMaxTimeoutMs.
    uint32_t EffectiveTimeoutMs() const { return kelvora::EffectiveTimeoutMs(timeoutMs); }

    // The line as the exchanges (and the modem layer) work on it: this
    // driver's port, clock, line type, reply time-out, trace and keeper, as
    // they are now. The driver's other fields stay its own.
    SerialLine Line() { return SerialLine{port.get(), clock_, lineType, EffectiveTimeoutMs(), &trace, &lineKeeper_}; }

    // Whether the modem can be reached now: a line that broke is reopened
    // when its time has come (see LineKeeper). A station asks before it
    // pauses for the modem, so that it does not wait for a line that is down.
    bool LineReady();

    // Seams for tests; the station object sets the port at creation.
    void SetClock(Clock& clock) { clock_ = &clock; }
    Clock& clock() { return *clock_; }
    void SetPort(std::unique_ptr<SerialPort> newPort) { port = std::move(newPort); }

    RegisterTable registerTable;
    std::vector<RegisterInfo> registerInfos;
    int32_t lineType = 0;
    std::unique_ptr<SerialPort> port;
    DriverStatus status;
    int32_t timeoutMs = -1;
    // The dialogue trace; off unless the station attached a sink.
    Trace trace;

private:
    // Open's steps; Open traces their result.
    int32_t OpenLine(PortConfig* config);
    void TraceParse(const char* what, const char* text, uint32_t code) const;
    // Detaches from the port: closes the device when this station is its last
    // user on the port, else only forgets the shared handles. Close and the
    // destructor use it.
    void ReleasePort();

    Clock* clock_;
    LineKeeper lineKeeper_;
};

}  // namespace kelvora
