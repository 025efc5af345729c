// The real kernel32 calls behind the CommApi seam.
#include "serial/comm_api_win32.h"

namespace kelvora {
namespace {

class Kernel32CommApi final : public CommApi {
public:
    HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                       DWORD flags, HANDLE templateFile) override {
        return ::CreateFileA(path, access, share, security, disposition, flags, templateFile);
    }
    HANDLE CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name) override {
        return ::CreateEventA(security, manualReset, initialState, name);
    }
    BOOL SetupComm(HANDLE device, DWORD inQueue, DWORD outQueue) override {
        return ::SetupComm(device, inQueue, outQueue);
    }
    BOOL PurgeComm(HANDLE device, DWORD flags) override { return ::PurgeComm(device, flags); }
    BOOL GetCommState(HANDLE device, DCB* dcb) override { return ::GetCommState(device, dcb); }
    BOOL SetCommState(HANDLE device, DCB* dcb) override { return ::SetCommState(device, dcb); }
    BOOL GetCommTimeouts(HANDLE device, COMMTIMEOUTS* timeouts) override {
        return ::GetCommTimeouts(device, timeouts);
    }
    BOOL SetCommTimeouts(HANDLE device, COMMTIMEOUTS* timeouts) override {
        return ::SetCommTimeouts(device, timeouts);
    }
    BOOL SetCommMask(HANDLE device, DWORD mask) override { return ::SetCommMask(device, mask); }
    BOOL GetCommMask(HANDLE device, DWORD* mask) override { return ::GetCommMask(device, mask); }
    BOOL WaitCommEvent(HANDLE device, DWORD* events, OVERLAPPED* overlapped) override {
        return ::WaitCommEvent(device, events, overlapped);
    }
    BOOL WriteFile(HANDLE device, LPCVOID bytes, DWORD length, DWORD* written, OVERLAPPED* overlapped) override {
        return ::WriteFile(device, bytes, length, written, overlapped);
    }
    BOOL ReadFile(HANDLE device, LPVOID buffer, DWORD capacity, DWORD* read, OVERLAPPED* overlapped) override {
        return ::ReadFile(device, buffer, capacity, read, overlapped);
    }
    BOOL GetOverlappedResult(HANDLE device, OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) override {
        return ::GetOverlappedResult(device, overlapped, transferred, wait);
    }
    BOOL CancelIo(HANDLE device) override { return ::CancelIo(device); }
    BOOL SetEvent(HANDLE event) override { return ::SetEvent(event); }
    DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) override {
        return ::WaitForSingleObject(object, milliseconds);
    }
    BOOL CloseHandle(HANDLE object) override { return ::CloseHandle(object); }
    DWORD GetLastError() override { return ::GetLastError(); }
    BOOL EscapeCommFunction(HANDLE device, DWORD function) override { return ::EscapeCommFunction(device, function); }
    BOOL ClearCommError(HANDLE device, DWORD* errors, COMSTAT* status) override {
        return ::ClearCommError(device, errors, status);
    }
};

}  // namespace

CommApi& SystemCommApi() {
    static Kernel32CommApi api;
    return api;
}

}  // namespace kelvora
