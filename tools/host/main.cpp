// kelvora-host: a host for the Kelvora driver on the command line. It loads
// the driver as a data-acquisition host does, creates a central or remote
// station, opens its port and reads and writes registers; probe checks the
// modem itself.
#include <CLI/CLI.hpp>

#include <fstream>
#include <iostream>
#include <memory>

#include "console_text.h"
#include "exit_codes.h"
#include "modem_probe.h"
#include "operations.h"
#include "port_options.h"
#include "session.h"
#include "station_loader.h"

namespace kelvora_host {
namespace {

const char kOperationsHelp[] = R"(
Operations (any number, run in order by one station; the station's registers
and numbers live only as long as this program runs):
  read ADDR[:TYPE]...          read registers and print their values
  write ADDR[:TYPE]=VALUE...   write registers (ADDR=VALUE:TYPE works too)
  watch ADDR[:TYPE]...         read every --interval ms, --count times (0: until Ctrl-C)
  await ADDR[:TYPE]=VALUE      read every --interval ms until the value is there,
                               at most --await-timeout ms
  sleep MS                     pause (sleep 1500, sleep 3s)
  types                        list the station's register types and address syntax
  check ADDR[:TYPE]...         parse addresses without touching the modem
  echo TEXT...                 print a line (marks in scripts)
TYPE is bit, int, word, float or text; without it, int where the register type
takes it, else its only type. Texts are UTF-8; quote them for the shell.

Addresses: central station  M<site>.<address> (M5.120), M<site>.<address>.<bit>
  with :bit, SEND_MSG<site>, SMSC<site>, DETC<site>; sites 0-31, addresses 0-1000.
  Remote station  M<address> (M120), SEND_MSG, SMSC, DETC, COMFLAG.

Examples:
  kelvora-host central --port COM3 write DETC5=+8613912345678 M5.120=42
  kelvora-host remote --device 5 --port /dev/ttyUSB0 write DETC=+8613800000001 COMFLAG=1 watch M120
  kelvora-host central --port COM3 --script commands.txt      (or --script - for stdin)
  kelvora-host probe --port COM3 --baud 9600

Exit codes: 0 done; 1 an address, value, read or write refused; 2 usage error;
3 driver not loadable; 4 port cannot be opened; 5 await timed out, or probe
found the modem not ready.)";

extern "C" void OnInterrupt(int) { g_interrupted = true; }

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

int UsageError(const std::string& message) {
    WriteErr("kelvora-host: " + message + "\nrun 'kelvora-host --help' for the usage\n");
    return kExitUsage;
}

struct StationOptions {
    PortOptions port;
    std::string device;
    std::string library;
    std::string script;
    bool keepGoing = false;
    bool verbose = false;
    std::string trace;
    SessionSettings session;
    std::vector<std::string> operations;
};

int RunStation(StationRole role, StationOptions& options) {
    std::vector<Operation> operations;
    std::string error;
    if (!ParseOperations(options.operations, &operations, &error)) return UsageError(error);
    if (operations.empty() && options.script.empty()) {
        return UsageError("no operations: give some (read M5.120, write M5.120=42, types ...) or --script FILE");
    }
    bool needsPort = false;
    for (const Operation& operation : operations) needsPort = needsPort || NeedsPort(operation);
    ResolvedPort port;
    kelvora::LineSettings lineSettings;
    if (needsPort && options.port.port.empty()) {
        return UsageError("--port is needed to read and write registers (COM3, or a device path)");
    }
    if (!options.port.port.empty()) {
        if (!ResolvePort(options.port.port, &port, &error)) return UsageError(error);
        if (!MakeLineSettings(options.port, port, &lineSettings, &error)) return UsageError(error);
    }
    if (options.session.intervalMs == 0) return UsageError("--interval must be at least 1 ms");

    if (!options.trace.empty()) RequestTrace(options.trace);
    std::unique_ptr<Station> station = LoadStation(role, options.library, &error);
    if (!station) {
        WriteErr("kelvora-host: " + error + "\n");
        return kExitNoDriver;
    }
    kelvora::IDeviceDriver& driver = *station->driver();
    if (options.verbose) WriteErr(std::string("kelvora-host: ") + RoleName(role) + " station from " + station->origin() + "\n");

    int32_t deviceAddress = 0;
    if (driver.ParseDeviceAddress(options.device.c_str(), &deviceAddress) == 0) {
        WriteErr("kelvora-host: --device '" + options.device + "' is not a device address of the station (0 to 31): " +
                 DescribeStatusText(driver.GetStatusText()) + "\n");
        return kExitOperationFailed;
    }

    Session session(driver, role, deviceAddress, options.session, !options.port.port.empty());
    int code = session.CheckAll(operations);
    if (code != kExitOk) return code;

    kelvora::PortConfig config{};
    config.lineSettings = &lineSettings;
    bool opened = false;
    if (!options.port.port.empty()) {
        BindDevicePath(port);
        if (driver.Open(&config) == 0) {
            WriteErr("kelvora-host: cannot open the port " + port.display + ": " +
                     DescribeStatusText(driver.GetStatusText()) + "\n  " + PortOpenHint(port) + "\n");
            return kExitPortFailed;
        }
        opened = true;
        if (options.verbose) WriteErr("kelvora-host: port " + port.display + " open\n");
    }

    code = session.RunAll(operations);
    if (code == kExitOk && !options.script.empty()) {
        if (options.script == "-") {
            code = session.RunScript(std::cin, "stdin", options.keepGoing);
        } else {
            std::ifstream file(options.script);
            if (!file) {
                WriteErr("kelvora-host: cannot read the script " + options.script + "\n");
                code = kExitUsage;
            } else {
                code = session.RunScript(file, options.script, options.keepGoing);
            }
        }
    }
    if (opened) driver.Close(0);
    return code;
}

int Main(int argc, char** argv) {
    PrepareConsole();
    InstallInterruptHandler(OnInterrupt);

    CLI::App app("kelvora-host: a host for the Kelvora SMS telemetry driver. It loads the driver as a\n"
                 "data-acquisition host does, creates a central or remote station and reads and\n"
                 "writes its registers; 'probe' checks a modem.",
                 "kelvora-host");
    app.require_subcommand(1);
    app.footer(kOperationsHelp);

    StationOptions central;
    StationOptions remote;
    central.device = "0";
    struct {
        StationOptions* options;
        StationRole role;
        const char* name;
        const char* description;
    } roles[] = {{&central, StationRole::kCentral, "central", "the central station (CSMSClient): serves sites 0-31"},
                 {&remote, StationRole::kRemote, "remote", "the remote station of one site (CSMSServer)"}};
    CLI::App* commands[2] = {nullptr, nullptr};
    for (int i = 0; i < 2; ++i) {
        StationOptions& o = *roles[i].options;
        CLI::App* command = app.add_subcommand(roles[i].name, roles[i].description);
        commands[i] = command;
        AddPortOptions(command, &o.port, false);
        auto* device = command->add_option("-d,--device", o.device, "device address: the site number, 0 to 31" +
                                                                        std::string(i == 0 ? " (default 0)" : ""));
        if (i == 1) device->required();
        command->add_option("--library", o.library,
                            "the driver library to load (default: the registered COM class on Windows, else the "
                            "library beside this program)");
        command->add_option("-s,--script", o.script, "run operations from a file, one or more a line ('-': stdin)");
        command->add_flag("-k,--keep-going", o.keepGoing, "in a script, report a failing line and go on");
        command->add_option("-i,--interval", o.session.intervalMs, "watch and await: ms between reads (default 1000)");
        command->add_option("-n,--count", o.session.watchCount, "watch: rounds, 0 until interrupted (default 0)");
        command->add_option("--await-timeout", o.session.awaitTimeoutMs, "await: give up after ms (default 60000)");
        command->add_flag("-T,--timestamps", o.session.timestamps, "prefix each line with the time of day");
        command->add_flag("-v,--verbose", o.verbose, "say how the driver was loaded and the port opened");
        command->add_flag("--trace{stderr}", o.trace,
                          "trace the driver's modem dialogue: --trace (to stderr) or --trace=FILE (or =debug on "
                          "Windows)");
        command->add_option("operations", o.operations, "operations, see below")->take_all();
        command->footer(kOperationsHelp);
    }

    PortOptions probePort;
    ProbeSettings probeSettings;
    CLI::App* probe = app.add_subcommand("probe", "check the modem on a port: what the driver needs of it");
    AddPortOptions(probe, &probePort, true);
    probe->add_flag("--fix", probeSettings.fix, "first send ATE0, ATV1, AT+CMGF=0 and save them with AT&W");
    probe->add_option("--answer-timeout", probeSettings.answerMs, "ms to wait for each answer (default 3000)");

    const std::vector<std::string> args = CommandLineUtf8(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& arg : args) pointers.push_back(arg.c_str());
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return UsageError(e.what());
    }

    if (probe->parsed()) {
        ResolvedPort port;
        kelvora::LineSettings unused;
        std::string error;
        if (!ResolvePort(probePort.port, &port, &error)) return UsageError(error);
        if (!MakeLineSettings(probePort, port, &unused, &error)) return UsageError(error);
        return ProbeModem(probePort, port, probeSettings);
    }
    for (int i = 0; i < 2; ++i) {
        if (commands[i]->parsed()) return RunStation(roles[i].role, *roles[i].options);
    }
    return UsageError("choose central, remote or probe");
}

}  // namespace
}  // namespace kelvora_host

int main(int argc, char** argv) { return kelvora_host::Main(argc, argv); }
