// The kernel32 calls the Win32 serial port makes, behind one seam: the port
// is built on a CommApi, the real one in production, a fake in the tests for
// what Wine on a pseudo-terminal cannot show (RTS, refused settings, events).
#pragma once

#include <windows.h>

namespace kelvora {

class CommApi {
public:
    virtual ~CommApi() = default;
    virtual HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE templateFile) = 0;
    virtual HANDLE CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState,
                                LPCSTR name) = 0;
    virtual BOOL SetupComm(HANDLE device, DWORD inQueue, DWORD outQueue) = 0;
    virtual BOOL PurgeComm(HANDLE device, DWORD flags) = 0;
    virtual BOOL GetCommState(HANDLE device, DCB* dcb) = 0;
    virtual BOOL SetCommState(HANDLE device, DCB* dcb) = 0;
    virtual BOOL GetCommTimeouts(HANDLE device, COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL SetCommTimeouts(HANDLE device, COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL SetCommMask(HANDLE device, DWORD mask) = 0;
    virtual BOOL GetCommMask(HANDLE device, DWORD* mask) = 0;
    virtual BOOL WaitCommEvent(HANDLE device, DWORD* events, OVERLAPPED* overlapped) = 0;
    virtual BOOL WriteFile(HANDLE device, LPCVOID bytes, DWORD length, DWORD* written, OVERLAPPED* overlapped) = 0;
    virtual BOOL ReadFile(HANDLE device, LPVOID buffer, DWORD capacity, DWORD* read, OVERLAPPED* overlapped) = 0;
    virtual BOOL GetOverlappedResult(HANDLE device, OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) = 0;
    virtual BOOL CancelIo(HANDLE device) = 0;
    virtual BOOL SetEvent(HANDLE event) = 0;
    virtual DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) = 0;
    virtual BOOL CloseHandle(HANDLE object) = 0;
    virtual DWORD GetLastError() = 0;
    virtual BOOL EscapeCommFunction(HANDLE device, DWORD function) = 0;
    virtual BOOL ClearCommError(HANDLE device, DWORD* errors, COMSTAT* status) = 0;
};

// kernel32 itself.
CommApi& SystemCommApi();

}  // namespace kelvora
