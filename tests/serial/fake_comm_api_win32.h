// A fake of the kernel32 serial calls: one device whose settings it keeps as
// Windows does, I/O requests whose outcome each test scripts, and a log of
// the calls. It also tracks the request record it holds while a request is
// pending, so that tests see the port never leaves one behind.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "serial/comm_api_win32.h"
#include "support/fake_clock.h"

namespace kelvora::testing {

class FakeCommApi : public CommApi {
public:
    enum class Outcome { Complete, Pending, Fail };

    FakeCommApi() {
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = 19200;
        dcb.ByteSize = 7;
        dcb.Parity = EVENPARITY;
        dcb.fParity = TRUE;
        dcb.StopBits = TWOSTOPBITS;
        dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
        dcb.fRtsControl = RTS_CONTROL_TOGGLE;
        dcb.fOutxCtsFlow = TRUE;
        dcb.fOutX = TRUE;
        dcb.fInX = TRUE;
        dcb.fDsrSensitivity = TRUE;
        dcb.XonChar = 0x11;
        timeouts.WriteTotalTimeoutConstant = 777;
    }

    // The device.
    DCB dcb{};
    COMMTIMEOUTS timeouts{};
    DWORD mask = 0x0100;
    DWORD inQueue = 0;
    bool exists = true;
    DWORD setupError = 0;      // SetupComm fails with it when not 0
    DWORD escapeError = 0;     // EscapeCommFunction fails with it (Wine: 50)
    DWORD maxBaudRate = 256000;  // SetCommState refuses more, as a real UART driver

    // The next transfer or event wait, and how our own wait on the event ends.
    Outcome outcome = Outcome::Complete;
    DWORD failError = ERROR_ACCESS_DENIED;
    DWORD transfer = 0;            // bytes a completed request moved
    DWORD events = EV_RXCHAR;      // bits a completed event wait reports
    DWORD waitResult = WAIT_OBJECT_0;
    DWORD resultError = 0;         // GetOverlappedResult fails with it when not 0
    bool completesOnCancel = false;  // the request ends successfully as it is cancelled

    std::vector<std::string> calls;
    int openHandles = 0;
    OVERLAPPED* held = nullptr;    // the record of the pending request
    DWORD* heldEvents = nullptr;
    FakeClock* clock = nullptr;

    HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD flags,
                       HANDLE) override {
        calls.push_back(std::string("CreateFileA(") + path + "," + std::to_string(access) + "," +
                        std::to_string(share) + "," + std::to_string(disposition) + "," + std::to_string(flags) + ")");
        if (!exists) return Error(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
        ++openHandles;
        return reinterpret_cast<HANDLE>(0x1000);
    }
    HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) override {
        calls.push_back("CreateEventA(" + std::to_string(manualReset) + "," + std::to_string(initialState) + "," +
                        (name ? name : "null") + ")");
        ++openHandles;
        return reinterpret_cast<HANDLE>(0x2000);
    }
    BOOL SetupComm(HANDLE, DWORD in, DWORD out) override {
        calls.push_back("SetupComm(" + std::to_string(in) + "," + std::to_string(out) + ")");
        return setupError ? Error(setupError) : TRUE;
    }
    BOOL PurgeComm(HANDLE, DWORD flags) override {
        calls.push_back("PurgeComm(" + std::to_string(flags) + ")");
        inQueue = 0;
        return TRUE;
    }
    BOOL GetCommState(HANDLE, DCB* out) override {
        *out = dcb;
        return TRUE;
    }
    BOOL SetCommState(HANDLE, DCB* in) override {
        calls.push_back("SetCommState");
        if (in->BaudRate == 0 || in->BaudRate > maxBaudRate || in->ByteSize < 5 || in->ByteSize > 8 || in->Parity > 4 ||
            in->StopBits > 2) {
            return Error(ERROR_INVALID_PARAMETER);
        }
        dcb = *in;
        return TRUE;
    }
    BOOL GetCommTimeouts(HANDLE, COMMTIMEOUTS* out) override {
        *out = timeouts;
        return TRUE;
    }
    BOOL SetCommTimeouts(HANDLE, COMMTIMEOUTS* in) override {
        timeouts = *in;
        return TRUE;
    }
    BOOL SetCommMask(HANDLE, DWORD m) override {
        calls.push_back("SetCommMask(" + std::to_string(m) + ")");
        mask = m;
        return TRUE;
    }
    BOOL GetCommMask(HANDLE, DWORD* m) override {
        *m = mask;
        return TRUE;
    }
    BOOL WaitCommEvent(HANDLE, DWORD* bits, OVERLAPPED* overlapped) override {
        calls.push_back("WaitCommEvent");
        return Start(overlapped, bits, nullptr);
    }
    BOOL WriteFile(HANDLE, LPCVOID, DWORD length, DWORD* written, OVERLAPPED* overlapped) override {
        calls.push_back("WriteFile(" + std::to_string(length) + ")");
        return Start(overlapped, nullptr, written);
    }
    BOOL ReadFile(HANDLE, LPVOID, DWORD capacity, DWORD* read, OVERLAPPED* overlapped) override {
        calls.push_back("ReadFile(" + std::to_string(capacity) + ")");
        return Start(overlapped, nullptr, read);
    }
    BOOL GetOverlappedResult(HANDLE, OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) override {
        calls.push_back(std::string("GetOverlappedResult(") + (wait ? "wait" : "nowait") + ")");
        if (overlapped == held && held != nullptr && !wait) {
            return Error(ERROR_IO_INCOMPLETE);  // still pending: never fetched without waiting
        }
        if (overlapped == held && held != nullptr) {
            // Waiting for a cancelled request: it ends now.
            held = nullptr;
            heldEvents = nullptr;
            if (!completesOnCancel) return *transferred = 0, Error(ERROR_OPERATION_ABORTED);
        }
        *transferred = transfer;
        return resultError ? Error(resultError) : TRUE;
    }
    BOOL CancelIo(HANDLE) override {
        calls.push_back("CancelIo");
        return TRUE;
    }
    BOOL SetEvent(HANDLE) override {
        calls.push_back("SetEvent");
        return TRUE;
    }
    DWORD WaitForSingleObject(HANDLE, DWORD milliseconds) override {
        calls.push_back("WaitForSingleObject(" + std::to_string(milliseconds) + ")");
        if (waitResult == WAIT_OBJECT_0 && held != nullptr) {
            if (heldEvents != nullptr) *heldEvents = events;
            held = nullptr;  // completed: the platform lets go of the record
            heldEvents = nullptr;
        }
        if (waitResult == WAIT_FAILED) lastError_ = ERROR_INVALID_HANDLE;
        return waitResult;
    }
    BOOL CloseHandle(HANDLE) override {
        calls.push_back("CloseHandle");
        --openHandles;
        return TRUE;
    }
    DWORD GetLastError() override { return lastError_; }
    BOOL EscapeCommFunction(HANDLE, DWORD function) override {
        calls.push_back("EscapeCommFunction(" + std::to_string(function) + ")" +
                        (clock ? "@" + std::to_string(clock->Now()) : std::string()));
        return escapeError ? Error(escapeError) : TRUE;
    }
    BOOL ClearCommError(HANDLE, DWORD* errors, COMSTAT* status) override {
        if (errors) *errors = CE_FRAME;  // ignored by the port
        std::memset(status, 0, sizeof *status);
        status->cbInQue = inQueue;
        return TRUE;
    }

    bool Called(const std::string& call) const {
        for (const std::string& c : calls) {
            if (c == call) return true;
        }
        return false;
    }

private:
    BOOL Error(DWORD code) {
        lastError_ = code;
        return FALSE;
    }
    BOOL Start(OVERLAPPED* overlapped, DWORD* bits, DWORD* count) {
        switch (outcome) {
            case Outcome::Complete:
                if (bits) *bits = events;
                if (count) *count = transfer;
                return TRUE;
            case Outcome::Pending:
                held = overlapped;
                heldEvents = bits;
                return Error(ERROR_IO_PENDING);
            case Outcome::Fail:
            default:
                return Error(failError);
        }
    }
    DWORD lastError_ = 0;
};

}  // namespace kelvora::testing
