// termios2 access, kept apart because the kernel's termios header cannot
// share a translation unit with the C library's.
#include "serial/tty_settings_posix.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace kelvora {

static_assert(sizeof(termios2{}.c_cc) == sizeof(TtySettings{}.cc), "control characters differ in number");

int ReadTtySettings(int fd, TtySettings* settings) {
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0) return errno;
    settings->iflag = t.c_iflag;
    settings->oflag = t.c_oflag;
    settings->cflag = t.c_cflag;
    settings->lflag = t.c_lflag;
    settings->line = t.c_line;
    std::memcpy(settings->cc, t.c_cc, sizeof settings->cc);
    settings->ispeed = t.c_ispeed;
    settings->ospeed = t.c_ospeed;
    return 0;
}

int WriteTtySettings(int fd, const TtySettings& settings) {
    termios2 t{};
    t.c_iflag = settings.iflag;
    t.c_oflag = settings.oflag;
    // BOTHER: the rate is the number in c_ospeed, whatever it is.
    t.c_cflag = (settings.cflag & ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT))) | BOTHER | (BOTHER << IBSHIFT);
    t.c_lflag = settings.lflag;
    t.c_line = settings.line;
    std::memcpy(t.c_cc, settings.cc, sizeof settings.cc);
    t.c_ispeed = settings.ospeed;
    t.c_ospeed = settings.ospeed;
    if (ioctl(fd, TCSETS2, &t) != 0) return errno;
    return 0;
}

}  // namespace kelvora
