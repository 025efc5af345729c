// answer_message_box TITLE [SECONDS]: waits for a message box of that title
// (another program's, such as the installer's), prints its text in UTF-8 and
// presses its OK button, as a user would. Exit 0 when it answered one, 1
// when none came within the seconds (30 unless given), 2 on a usage error.
// Under Wine the box exists only with a graphics driver, e.g. the null one.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kMessageTextId = 0xFFFF;  // a message box's static text control
constexpr DWORD kPollMs = 100;

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &bytes[0], size, nullptr, nullptr);
    bytes.resize(static_cast<size_t>(size) - 1);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: answer_message_box TITLE [SECONDS]\n");
        return 2;
    }
    const unsigned long seconds = argc == 3 ? std::strtoul(argv[2], nullptr, 10) : 30;
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        // #32770: the window class of dialogs, message boxes among them.
        if (HWND box = FindWindowA("#32770", argv[1])) {
            wchar_t text[2048] = L"";
            GetDlgItemTextW(box, kMessageTextId, text, static_cast<int>(sizeof text / sizeof text[0]));
            std::printf("%s\n", Utf8(text).c_str());
            std::fflush(stdout);
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return 0;
        }
        if (GetTickCount64() - start >= seconds * 1000ull) return 1;
        Sleep(kPollMs);
    }
}
