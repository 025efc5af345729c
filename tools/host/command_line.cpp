// What the console's subcommands share on the command line (see the header).
#include "command_line.h"

#include <CLI/CLI.hpp>

#include "console_text.h"
#include "exit_codes.h"
#include "operations.h"

namespace kelvora_host {
namespace {

const char kUsageFooter[] = R"(
Examples:
  kelvora-host central --port COM3 write DETC5=+8613912345678 M5.120=42
  kelvora-host remote --device 5 --port /dev/ttyUSB0 write DETC=+8613800000001 COMFLAG=1 watch M120
  kelvora-host central --port COM3 --script commands.txt      (or --script - for stdin)
  kelvora-host probe --port COM3 --baud 9600
  kelvora-host modem storage --port COM3
  kelvora-host keygen site5.key --centre +8613800000001 --site +8613900000005

Exit codes: 0 done; 1 an address, value, read or write refused, or the output
not written; 2 usage error; 3 driver not loadable; 4 port cannot be opened;
5 await timed out, the modem did not answer or refused a poll or a read failed
for --stale-after (values from the station's copy), or probe found the modem
not ready; 130 stopped by Ctrl-C.)";

}  // namespace

const char kModemFooter[] = R"(
Through the serial port with the driver's modem code, no station: the port must
be free, so stop the host's program first.
Exit codes: 0 done; 1 the modem refused, or the output not written; 2 usage
error; 4 port cannot be opened; 5 no answer, or (probe) the modem is not ready.)";

int UsageError(const std::string& message) {
    WriteErr("kelvora-host: " + message + "\nrun 'kelvora-host --help' for the usage\n");
    return kExitUsage;
}

std::string UsageFooter() { return std::string("\n") + OperationsHelp() + "\n" + kUsageFooter; }

void AddPortOptions(CLI::App* command, PortOptions* port, bool required) {
    auto* option = command->add_option("-p,--port", port->port,
                                       "serial port: COM1..COM64, or a device path such as /dev/ttyUSB0 (POSIX)");
    if (required) option->required();
    command->add_option("-b,--baud", port->baud, "baud rate (default 9600)");
    command->add_option("--data-bits", port->dataBits, "7 or 8 (default 8)");
    command->add_option("--parity", port->parity, "none, odd, even, mark or space (default none)");
    command->add_option("--stop-bits", port->stopBits, "1 or 2 (default 1)");
    command->add_option("--line-type", port->lineType, "0 plain; 1 or 2 raise RTS while sending (default 0)");
    command->add_option("--timeout", port->timeoutMs, "modem reply time-out in ms, up to 60000 (default 10000)");
}

bool CheckPort(const PortOptions& options, ResolvedPort* port, int* code) {
    kelvora::LineSettings unused;
    std::string error;
    if (ResolvePort(options.port, port, &error) && MakeLineSettings(options, *port, &unused, &error)) return true;
    *code = UsageError(error);
    return false;
}

}  // namespace kelvora_host
