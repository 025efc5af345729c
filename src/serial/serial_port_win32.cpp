// The Win32 binding of SerialPort (see the header).
#include "serial/serial_port_win32.h"

namespace kelvora {

namespace {

constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

static_assert(sizeof(DWORD) == sizeof(uint32_t), "DWORD is 32 bits");

}  // namespace

Win32SerialPort::~Win32SerialPort() {
    if (device != 0) Close();
}

uint32_t Win32SerialPort::Open(const char* path, uint32_t inQueueSize, uint32_t outQueueSize) {
    lastError = 0;
    if (device != 0) return Fail(kPortAlreadyOpen);
    const HANDLE handle = api_.CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                           FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return Fail(LastPlatformError());
    const HANDLE event = api_.CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        const uint32_t error = LastPlatformError();
        api_.CloseHandle(handle);
        return Fail(error);
    }
    device = reinterpret_cast<PlatformHandle>(handle);
    ioEvent = reinterpret_cast<PlatformHandle>(event);
    if (!api_.SetupComm(handle, inQueueSize, outQueueSize)) {
        const uint32_t error = LastPlatformError();
        Close();
        return Fail(error);
    }
    // Each default resets lastError: only the last one's failure is reported.
    SetEventMask(kEventAll);
    SetLineSettings(9600, 8, kParityNone, 0);
    SetReadTimeoutMode(0);
    SetHandshakeMode(kHandshakeNone);
    api_.PurgeComm(handle, kPurgeAll);
    return lastError;
}

uint32_t Win32SerialPort::Close() {
    lastError = 0;
    if (device == 0) return 0;
    if (ioEvent != 0) api_.CloseHandle(Event());
    ioEvent = 0;
    api_.CloseHandle(Device());
    device = 0;
    return 0;
}

bool Win32SerialPort::ReadState(DCB* dcb) {
    *dcb = DCB{};
    dcb->DCBlength = sizeof(DCB);
    if (api_.GetCommState(Device(), dcb)) return true;
    Fail(LastPlatformError());
    return false;
}

uint32_t Win32SerialPort::SetLineSettings(uint32_t baudRate, uint8_t dataBits, uint8_t parity, uint8_t stopBits) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    DCB dcb;
    if (!ReadState(&dcb)) return lastError;
    dcb.BaudRate = baudRate;
    dcb.ByteSize = dataBits;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    dcb.fParity = parity != kParityNone ? TRUE : FALSE;
    if (!api_.SetCommState(Device(), &dcb)) return Fail(LastPlatformError());
    return 0;
}

uint32_t Win32SerialPort::SetEventCharacter(uint8_t character, bool addToMask) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    DCB dcb;
    if (!ReadState(&dcb)) return lastError;
    dcb.EvtChar = static_cast<char>(character);
    if (addToMask) {
        const uint32_t mask = GetEventMask();
        SetEventMask(mask | kEventRxFlag);
    }
    if (!api_.SetCommState(Device(), &dcb)) return Fail(LastPlatformError());
    return lastError;
}

uint32_t Win32SerialPort::SetEventMask(uint32_t mask) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    if (!api_.SetCommMask(Device(), mask)) return Fail(LastPlatformError());
    return 0;
}

bool Win32SerialPort::CancelAndSettle(OVERLAPPED* overlapped, DWORD* transferred) {
    api_.CancelIo(Device());
    *transferred = 0;
    if (api_.GetOverlappedResult(Device(), overlapped, transferred, TRUE)) return true;
    // Wine ends a read by the port's own time-out with ERROR_TIMEOUT: done.
    return api_.GetLastError() == ERROR_TIMEOUT;
}

uint32_t Win32SerialPort::WaitForEvent(AsyncRequest* request, uint32_t timeoutMs) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    if (request != nullptr) {
        // The caller's record: the platform writes the bits into lastEvent
        // whenever the caller's request completes.
        OVERLAPPED* overlapped = reinterpret_cast<OVERLAPPED*>(request);
        if (api_.WaitCommEvent(Device(), reinterpret_cast<DWORD*>(&lastEvent), overlapped)) {
            api_.SetEvent(overlapped->hEvent);
            return 0;
        }
        const uint32_t error = LastPlatformError();
        return error == ERROR_IO_PENDING ? 0u : Fail(error);
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = Event();
    DWORD events = 0;
    if (api_.WaitCommEvent(Device(), &events, &overlapped)) {
        api_.SetEvent(overlapped.hEvent);
        lastEvent = events;
        return 0;
    }
    const uint32_t error = LastPlatformError();
    if (error != ERROR_IO_PENDING) return Fail(error);
    const DWORD waited = api_.WaitForSingleObject(Event(), timeoutMs);
    if (waited == WAIT_OBJECT_0) {
        lastEvent = events;
        return 0;
    }
    const uint32_t waitError = waited == WAIT_TIMEOUT ? kPortTimeout : LastPlatformError();
    DWORD ignored = 0;
    if (CancelAndSettle(&overlapped, &ignored) && waited == WAIT_TIMEOUT) {
        lastEvent = events;  // it came between the wait and the cancel
        return 0;
    }
    return Fail(waitError);
}

uint32_t Win32SerialPort::SetHandshakeMode(int32_t mode) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    if (mode < 0 || mode > 2) return Fail(kPortBadMode);
    DCB dcb;
    if (!ReadState(&dcb)) return lastError;
    switch (mode) {
        case 0:
            dcb.fDtrControl = DTR_CONTROL_DISABLE;
            dcb.fRtsControl = RTS_CONTROL_DISABLE;
            dcb.fOutxCtsFlow = FALSE;
            dcb.fOutxDsrFlow = FALSE;
            break;
        case 1:
            dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
            dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
            dcb.fOutxCtsFlow = TRUE;
            dcb.fOutxDsrFlow = TRUE;
            break;
        default:
            dcb.fDtrControl = DTR_CONTROL_ENABLE;
            dcb.fRtsControl = RTS_CONTROL_ENABLE;
            dcb.fOutxCtsFlow = FALSE;
            dcb.fOutxDsrFlow = FALSE;
            break;
    }
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    if (!api_.SetCommState(Device(), &dcb)) return Fail(LastPlatformError());
    return 0;
}

uint32_t Win32SerialPort::SetReadTimeoutMode(int32_t mode) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    if (mode < 0 || mode > 2) return Fail(kPortBadMode);
    COMMTIMEOUTS timeouts{};
    if (!api_.GetCommTimeouts(Device(), &timeouts)) return Fail(LastPlatformError());
    static const DWORD kModes[3][2] = {{MAXDWORD, 0}, {0, 0}, {MAXDWORD, 30}};
    timeouts.ReadIntervalTimeout = kModes[mode][0];
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = kModes[mode][1];
    if (!api_.SetCommTimeouts(Device(), &timeouts)) return Fail(LastPlatformError());
    return 0;
}

int32_t Win32SerialPort::GetBaudRate() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), -1;
    DCB dcb;
    return ReadState(&dcb) ? static_cast<int32_t>(dcb.BaudRate) : -1;
}

int32_t Win32SerialPort::GetDataBits() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), -1;
    DCB dcb;
    return ReadState(&dcb) ? static_cast<int32_t>(dcb.ByteSize) : -1;
}

int32_t Win32SerialPort::GetParity() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), -1;
    DCB dcb;
    if (!ReadState(&dcb)) return -1;
    return dcb.fParity ? static_cast<int32_t>(dcb.Parity) : 0;
}

int32_t Win32SerialPort::GetStopBits() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), -1;
    DCB dcb;
    return ReadState(&dcb) ? static_cast<int32_t>(dcb.StopBits) : -1;
}

int32_t Win32SerialPort::GetHandshakeMode() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), -1;
    DCB dcb;
    if (!ReadState(&dcb)) return -1;
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE && dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) return 1;
    if (dcb.fOutX && dcb.fInX) return 2;
    return 0;
}

uint32_t Win32SerialPort::GetEventMask() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), 0;
    DWORD mask = 0;
    if (!api_.GetCommMask(Device(), &mask)) return Fail(LastPlatformError()), 0;
    return mask;
}

uint8_t Win32SerialPort::GetEventCharacter() {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen), 0;
    DCB dcb;
    return ReadState(&dcb) ? static_cast<uint8_t>(dcb.EvtChar) : 0;
}

uint32_t Win32SerialPort::Transfer(bool write, void* data, uint32_t length, uint32_t* count, AsyncRequest* request,
                                   uint32_t timeoutMs) {
    uint32_t privateCount = 0;
    uint32_t& done = count != nullptr ? *count : privateCount;
    done = 0;
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);

    // One record per request, on this frame, never reused while pending.
    OVERLAPPED own{};
    own.hEvent = Event();
    OVERLAPPED* overlapped = request != nullptr ? reinterpret_cast<OVERLAPPED*>(request) : &own;
    DWORD transferred = 0;
    const BOOL completed = write ? api_.WriteFile(Device(), data, length, &transferred, overlapped)
                                 : api_.ReadFile(Device(), data, length, &transferred, overlapped);
    uint32_t error = completed ? 0u : LastPlatformError();
    if (completed || error == ERROR_TIMEOUT) {
        api_.SetEvent(overlapped->hEvent);
        done = transferred;
        return 0;
    }
    if (error != ERROR_IO_PENDING) return Fail(error);
    if (request != nullptr) return 0;  // the caller completes it through its record

    const DWORD waited = api_.WaitForSingleObject(Event(), timeoutMs);
    if (waited == WAIT_OBJECT_0) {
        transferred = 0;
        if (!api_.GetOverlappedResult(Device(), overlapped, &transferred, FALSE)) {
            error = LastPlatformError();
            // Wine reports a read ended by the port's own time-out so.
            if (error != ERROR_TIMEOUT) return Fail(error);
        }
        done = transferred;
        return 0;
    }
    const uint32_t waitError = waited == WAIT_TIMEOUT ? kPortTimeout : LastPlatformError();
    if (CancelAndSettle(overlapped, &transferred) && waited == WAIT_TIMEOUT) {
        done = transferred;  // it completed between the wait and the cancel
        return 0;
    }
    return Fail(waitError);
}

uint32_t Win32SerialPort::Write(const void* bytes, uint32_t length, uint32_t* written, AsyncRequest* request,
                                uint32_t timeoutMs) {
    return Transfer(true, const_cast<void*>(bytes), length, written, request, timeoutMs);
}

uint32_t Win32SerialPort::Read(void* buffer, uint32_t capacity, uint32_t* count, AsyncRequest* request,
                               uint32_t timeoutMs) {
    return Transfer(false, buffer, capacity, count, request, timeoutMs);
}

uint32_t Win32SerialPort::SetRts(bool raised) {
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    if (!api_.EscapeCommFunction(Device(), raised ? SETRTS : CLRRTS)) return Fail(LastPlatformError());
    return 0;
}

uint32_t Win32SerialPort::GetInputQueueCount(uint32_t* count) {
    if (count != nullptr) *count = 0;
    lastError = 0;
    if (device == 0) return Fail(kPortNotOpen);
    DWORD errors = 0;
    COMSTAT status{};
    if (!api_.ClearCommError(Device(), &errors, &status)) return Fail(LastPlatformError());
    if (count != nullptr) *count = status.cbInQue;
    return 0;
}

std::unique_ptr<SerialPort> CreateSerialPort() { return std::make_unique<Win32SerialPort>(); }

}  // namespace kelvora
