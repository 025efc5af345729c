// Terminal text on Windows: GBK through code page 936, wide text to a
// console, UTF-8 bytes to pipes and files, arguments from the wide command
// line so that any character the user types arrives.
#include <windows.h>
#include <shellapi.h>
#include <fcntl.h>
#include <io.h>

#include <csignal>
#include <cstdio>
#include <iostream>

#include "console_text.h"
#include "driver_text.h"
#include "platform/utf8_text.h"

namespace kelvora_host {
namespace {

void WriteTo(DWORD which, FILE* stream, const std::string& utf8) {
    HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode)) {
        std::u16string wide;
        if (!kelvora::Utf8ToUtf16(utf8, &wide)) wide.assign(utf8.begin(), utf8.end());
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

}  // namespace

std::u16string GbkToUtf16(const char* gbk) {
    const int length = static_cast<int>(std::string(gbk).size());
    if (length == 0) return std::u16string();
    const int n = MultiByteToWideChar(936, 0, gbk, length, nullptr, 0);
    if (n <= 0) return std::u16string(u"?");
    std::u16string out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(936, 0, gbk, length, reinterpret_cast<wchar_t*>(&out[0]), n);
    return out;
}

void WriteOut(const std::string& utf8) { WriteTo(STD_OUTPUT_HANDLE, stdout, utf8); }

void WriteErr(const std::string& utf8) {
    std::fflush(stdout);
    WriteTo(STD_ERROR_HANDLE, stderr, utf8);
}

std::vector<std::string> CommandLineUtf8(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) {
        const wchar_t* w = wide[i];
        args.push_back(kelvora::Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(w))));
    }
    LocalFree(wide);
    return args;
}

bool InputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

namespace {

void (*interruptHandler)(int) = nullptr;
void (*endingNowHandler)() = nullptr;

// The console calls this on a thread of its own; the CRT's signal() would
// fall back to the default action after the first press.
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (interruptHandler == nullptr) return FALSE;
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        interruptHandler(SIGINT);
        return TRUE;
    }
    // The window closes or the user logs off: the program is ended anyway;
    // say so to the session, then let the default handling end it.
    interruptHandler(SIGTERM);
    if (endingNowHandler != nullptr) endingNowHandler();
    return FALSE;
}

}  // namespace

void InstallInterruptHandler(void (*handler)(int), void (*endingNow)()) {
    interruptHandler = handler;
    endingNowHandler = endingNow;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void WriteErrFromHandler(const char* text) { WriteErr(text); }

InputLine ReadInputLine(std::string* line, bool (*interrupted)()) {
    line->clear();
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || input == nullptr || !GetConsoleMode(input, &mode)) {
        if (std::getline(std::cin, *line)) return InputLine::kLine;
        std::cin.clear();
        return InputLine::kEnd;
    }
    // A console: wide characters, so that any character typed arrives. Ctrl-C
    // ends the read with nothing and ERROR_OPERATION_ABORTED, before the
    // control handler may have run on its thread.
    std::u16string wide;
    // Wait in slices, looking at the flag between them: the control handler
    // runs on a thread of its own and may come just before the wait.
    while (wide.empty() && WaitForSingleObject(input, 100) == WAIT_TIMEOUT) {
        if (interrupted()) return InputLine::kInterrupted;
    }
    if (interrupted()) return InputLine::kInterrupted;
    for (;;) {
        wchar_t buffer[256];
        DWORD count = 0;
        SetLastError(0);
        if (!ReadConsoleW(input, buffer, 256, &count, nullptr) || count == 0) {
            return GetLastError() == ERROR_OPERATION_ABORTED ? InputLine::kInterrupted : InputLine::kEnd;
        }
        wide.append(reinterpret_cast<const char16_t*>(buffer), count);
        const size_t end = wide.find(u'\n');
        if (end == std::u16string::npos) continue;
        wide.resize(end);
        if (!wide.empty() && wide.back() == u'\r') wide.pop_back();
        if (wide.size() == 1 && wide[0] == u'\x1A') return InputLine::kEnd;  // Ctrl-Z, Enter
        *line = kelvora::Utf16ToUtf8(wide);
        return InputLine::kLine;
    }
}

void PrepareConsole() {
    // Lines end in "\n" on pipes, as scripts expect.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace kelvora_host
