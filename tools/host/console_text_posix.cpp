// Terminal text on POSIX: GBK through iconv, output as UTF-8 bytes.
#include <iconv.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "console_text.h"
#include "driver_text.h"

namespace kelvora_host {

std::u16string GbkToUtf16(const char* gbk) {
    std::u16string out;
    iconv_t cd = iconv_open("UTF-16LE", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) return out;
    std::string in(gbk);
    std::string buffer(in.size() * 2 + 4, '\0');
    char* inPtr = &in[0];
    size_t inLeft = in.size();
    char* outPtr = &buffer[0];
    size_t outLeft = buffer.size();
    while (inLeft > 0) {
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
        // An invalid byte: show a replacement character and go on.
        if (outLeft < 2) break;
        *outPtr++ = static_cast<char>(0xFD);
        *outPtr++ = static_cast<char>(0xFF);
        outLeft -= 2;
        ++inPtr;
        --inLeft;
    }
    iconv_close(cd);
    const size_t bytes = buffer.size() - outLeft;
    for (size_t i = 0; i + 1 < bytes; i += 2) {
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(buffer[i]) |
                                            (static_cast<unsigned char>(buffer[i + 1]) << 8)));
    }
    return out;
}

void WriteOut(const std::string& utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

void WriteErr(const std::string& utf8) {
    std::fflush(stdout);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    std::fflush(stderr);
}

std::vector<std::string> CommandLineUtf8(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void PrepareConsole() {}

void WriteErrFromHandler(const char* text) {
    // write(2) is what a signal handler may call.
    const ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

namespace {

// Standard input is read here alone, unbuffered by stdio, so that a wait for
// it never misses a line already read into a buffer.
std::string pendingInput;
bool inputEnded = false;

}  // namespace

InputLine ReadInputLine(std::string* line, bool (*interrupted)()) {
    for (;;) {
        const size_t end = pendingInput.find('\n');
        if (end != std::string::npos || (inputEnded && !pendingInput.empty())) {
            *line = pendingInput.substr(0, end);
            pendingInput.erase(0, end == std::string::npos ? end : end + 1);
            if (!line->empty() && line->back() == '\r') line->pop_back();
            return InputLine::kLine;
        }
        if (inputEnded) return InputLine::kEnd;
        // Wait in slices, looking at the flag between them: a signal that
        // came just before the wait began interrupts nothing.
        if (pendingInput.empty() && interrupted()) return InputLine::kInterrupted;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&input, 1, 100);
        if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
        char buffer[4096];
        const ssize_t n = ready < 0 ? -1 : read(STDIN_FILENO, buffer, sizeof(buffer));
        if (n > 0) {
            pendingInput.append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            inputEnded = true;
        }
    }
}

bool InputIsTerminal() { return isatty(STDIN_FILENO) != 0; }

void InstallInterruptHandler(void (*handler)(int), void (*)()) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a waiting read of stdin returns
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);  // the terminal went away
}

}  // namespace kelvora_host
