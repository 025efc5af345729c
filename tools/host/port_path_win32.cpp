// Device names on Windows: only COM ports, which the driver opens by number.
#include <windows.h>

#include "port_options.h"

namespace kelvora_host {

bool ResolveDevicePath(const std::string& text, ResolvedPort*, std::string* error) {
    *error = "--port: '" + text + "' is not a port name from COM1 to COM64";
    return false;
}

std::string PortOpenHint(const ResolvedPort&) {
    return "is the port there (Device Manager), and is no other program using it?";
}

std::string DescribePortError(uint32_t error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return "the port is busy: another program holds it (a host, a terminal program, another kelvora-host); "
                   "stop that program first";
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "no such port: is the name right (Device Manager), and is the modem plugged in?";
        default:
            return "error " + std::to_string(error);
    }
}

// Windows refuses a second opening of a COM port: a holder shows as busy.
std::string OtherPortUsers(const ResolvedPort&) { return std::string(); }

void BindDevicePath(const ResolvedPort&) {}

void CancelMessageInput(uint32_t handle) {
    // The control handler runs on a thread of its own; the device was opened
    // for overlapped I/O, so the write needs an event of its own.
    HANDLE device = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle));
    OVERLAPPED request{};
    request.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (request.hEvent == nullptr) return;
    DWORD written = 0;
    if (!WriteFile(device, "\x1B", 1, &written, &request) && GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(request.hEvent, 500) != WAIT_OBJECT_0) CancelIo(device);
        GetOverlappedResult(device, &request, &written, TRUE);
    }
    CloseHandle(request.hEvent);
}

}  // namespace kelvora_host
