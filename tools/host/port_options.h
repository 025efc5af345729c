// The serial line as the user names it on the command line, and its
// translation into the host records the driver reads (LineSettings) and into
// the device path the serial port opens.
#pragma once

#include <cstdint>
#include <string>

#include "driver/host_records.h"

namespace kelvora_host {

struct PortOptions {
    std::string port;             // "COM3", "3", "\\.\COM3" or (POSIX) a device path
    uint32_t baud = 9600;
    int dataBits = 8;             // 7 or 8
    std::string parity = "none";  // none, odd, even, mark, space
    int stopBits = 1;             // 1 or 2
    int lineType = 0;             // 1 and 2 raise RTS while sending
    int32_t timeoutMs = 10000;    // reply time-out of the modem dialogue
};

// The port the driver will open: its 1-based COM number, the device path when
// the user named one, and the text to show in messages.
struct ResolvedPort {
    int comNumber = 0;            // 1 to 64
    std::string devicePath;       // empty unless a path was given (POSIX)
    std::string display;
};

// Each returns false and sets error to a message for the user.
bool ResolvePort(const std::string& text, ResolvedPort* port, std::string* error);
bool BaudCode(uint32_t baud, uint32_t* code);
bool ParityCode(const std::string& name, int16_t* driverCode, uint8_t* platformCode);
bool MakeLineSettings(const PortOptions& options, const ResolvedPort& port, kelvora::LineSettings* settings,
                      std::string* error);

// "110, 300, ... 256000": the rates the driver knows.
std::string KnownBaudRates();

// Platform part of ResolvePort: a name that is not a COM port.
bool ResolveDevicePath(const std::string& text, ResolvedPort* port, std::string* error);

// Makes "\\.\COM<n>" reach the device path inside this process (the POSIX
// serial binding reads KELVORA_COM<n>); nothing to do on Windows.
void BindDevicePath(const ResolvedPort& port);

// What to check when the port does not open.
std::string PortOpenHint(const ResolvedPort& port);

// Why the serial port did not open (its error code), for the user: a port
// that another program holds is named busy.
std::string DescribePortError(uint32_t error);

// Other programs that have the port open, "process 1234 (minicom)", where
// the platform can tell; empty when none is known. A program that opened the
// port without locking it takes the modem's answers unseen.
std::string OtherPortUsers(const ResolvedPort& port);

// Writes ESC to an open port (its platform handle, as PortConfig publishes
// it): a modem waiting for a message's text drops it. Callable from the
// Ctrl-C handler (a signal handler on POSIX).
void CancelMessageInput(uint32_t handle);

// The device path SerialPort::Open takes for this port.
std::string SerialDevicePath(const ResolvedPort& port);

}  // namespace kelvora_host
