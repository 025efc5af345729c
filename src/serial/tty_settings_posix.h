// A terminal's settings with its line rate as a plain number (Linux termios2),
// so that rates outside the classic B-constants (14400, 56000, 128000, 256000)
// can be set. Flags use the values of <termios.h>.
#pragma once

#include <cstdint>

namespace kelvora {

struct TtySettings {
    uint32_t iflag = 0;
    uint32_t oflag = 0;
    uint32_t cflag = 0;
    uint32_t lflag = 0;
    uint8_t line = 0;
    uint8_t cc[19] = {};
    uint32_t ispeed = 0;
    uint32_t ospeed = 0;
};

// 0 or the errno of the failed call.
int ReadTtySettings(int fd, TtySettings* settings);
// Writes the settings, both directions at `ospeed` bits per second.
int WriteTtySettings(int fd, const TtySettings& settings);

}  // namespace kelvora
