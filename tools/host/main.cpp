// kelvora-host: a host for the Kelvora driver on the command line. It loads
// the driver as a data-acquisition host does, creates a central or remote
// station, opens its port and reads and writes registers; probe checks the
// modem itself, and the modem commands look after it.
#include <CLI/CLI.hpp>

#include <memory>

#include "console_text.h"
#include "kelvora_version.h"
#include "exit_codes.h"
#include "key_files.h"
#include "modem_care.h"
#include "modem_probe.h"
#include "operations.h"
#include "port_options.h"
#include "station_command.h"
#include "stations/view_options.h"

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

const char kModemFooter[] = R"(
Through the serial port with the driver's modem code, no station: the port must
be free, so stop the host's program first.
Exit codes: 0 done; 1 the modem refused, or the output not written; 2 usage
error; 4 port cannot be opened; 5 no answer, or (probe) the modem is not ready.)";

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

// "--trace FILE" as "--trace=FILE": a word after --trace is its destination
// unless it is an option or an operation (then the trace goes to stderr).
std::vector<std::string> TraceWithSpace(std::vector<std::string> args) {
    for (size_t i = 1; i + 1 < args.size(); ++i) {
        const std::string& next = args[i + 1];
        if (args[i] != "--trace" || next.empty() || next[0] == '-' || IsOperationName(next)) continue;
        args[i] += "=" + next;
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
    return args;
}

int UsageError(const std::string& message) {
    WriteErr("kelvora-host: " + message + "\nrun 'kelvora-host --help' for the usage\n");
    return kExitUsage;
}

bool CheckPort(const PortOptions& options, ResolvedPort* port, int* code) {
    kelvora::LineSettings unused;
    std::string error;
    if (ResolvePort(options.port, port, &error) && MakeLineSettings(options, *port, &unused, &error)) return true;
    *code = UsageError(error);
    return false;
}

CLI::App* AddStationCommand(CLI::App& app, const char* name, const char* description, StationOptions& o,
                            bool remote) {
    CLI::App* command = app.add_subcommand(name, description);
    AddPortOptions(command, &o.port, false);
    auto* device = command->add_option("-d,--device", o.device, std::string("device address: the site number, 0 to 31") +
                                                                    (remote ? "" : " (default 0)"));
    if (remote) device->required();
    command->add_option("--library", o.library,
                        "the driver library to load (default: the registered COM class on Windows, else the "
                        "library beside this program)");
    command->add_option("-s,--script", o.script,
                        "run operations from a file, read whole and checked before anything runs ('-': standard "
                        "input, the same way; a prompt on a terminal)");
    command->add_flag("-k,--keep-going", o.session.keepGoing, "run on after a failed operation");
    if (!remote) {
        command->add_flag("--force", o.session.force,
                          "write M<site>.1000 all the same (no site applies a write command for it)");
    }
    command->add_option("-i,--interval", o.session.intervalMs, "watch and await: ms between reads (default 1000)");
    command->add_option("-n,--count", o.session.watchCount, "watch: rounds, 0 until interrupted (default 0)");
    command->add_option("--await-timeout", o.session.awaitTimeoutMs, "await: give up after ms (default 60000)");
    command->add_option("--format", o.format, "values read: text (default), csv or json (one object a line)");
    command->add_flag("-T,--timestamps", o.session.timestamps, "prefix each line with the date and time");
    command->add_flag("-v,--verbose", o.verbose, "say how the driver was loaded and the port opened");
    command->add_flag("--trace{stderr}", o.trace,
                      "trace the driver's modem dialogue: --trace (to stderr), --trace FILE or --trace=FILE (or "
                      "debug on Windows)");
    if (!remote) {
        command->add_option("--poll-scope", o.pollScope,
                            "group (default): a poll time for each site and group of five registers; station: one "
                            "for the whole station, so a scan of many groups pays one pause and listing every 3 s "
                            "(as KELVORA_POLL_SCOPE)")
            ->check(CLI::IsMember({"group", "station"}));
        command->add_flag("--hold-writes", o.holdWrites,
                          "a written value stands against the site's reports until one shows it (as "
                          "KELVORA_HOLD_WRITES)");
        command->add_option("--key-file", o.keyFiles,
                            "SITE=FILE: site SITE is keyed with the key file FILE (kelvora-host keygen): its frames "
                            "are signed both ways and unsigned ones refused; once per keyed site (as "
                            "KELVORA_KEY_FILES)")
            ->expected(1)
            ->allow_extra_args(false)
            ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
        command->add_option("--stale-after", o.staleAfterSeconds,
                            "seconds: a site's reads fail (exit 5, the value marked as the station's copy) once no "
                            "report of it has come for that long, or their poll failed (as KELVORA_STALE_AFTER)")
            ->check(CLI::Range(1u, kelvora::kMaxStaleAfterSeconds));
    }
    if (remote) {
        command->add_option("--key-file", o.keyFiles,
                            "FILE: the key this site shares with its centre (kelvora-host keygen): frames are signed "
                            "both ways and unsigned ones refused (as KELVORA_KEY_FILE)")
            ->expected(1)
            ->allow_extra_args(false)
            ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    }
    command->add_option("operations", o.operations, "operations, see below")->take_all();
    command->footer(std::string("\n") + OperationsHelp() + "\n" + kUsageFooter);
    return command;
}

struct ModemCommand {
    PortOptions port;
    ModemCareSettings settings;
    std::string command;
};

CLI::App* AddModemSubcommand(CLI::App* modem, const char* name, const char* description, ModemCommand& m) {
    CLI::App* command = modem->add_subcommand(name, description);
    command->footer(kModemFooter);
    AddPortOptions(command, &m.port, true);
    command->add_option("--answer-timeout", m.settings.answerMs,
                        "reply time-out of each command in ms (default 3000)");
    return command;
}

int Main(int argc, char** argv) {
    PrepareConsole();

    CLI::App app("kelvora-host: a host for the Kelvora SMS telemetry driver. It loads the driver as a\n"
                 "data-acquisition host does, creates a central or remote station and reads and\n"
                 "writes its registers; 'probe' checks a modem, 'modem' looks after it.",
                 "kelvora-host");
    app.require_subcommand(1);
    app.footer(std::string("\n") + OperationsHelp() + "\n" + kUsageFooter);
    bool verbose = false;
    app.add_flag("-v,--verbose", verbose, "say more (before or after the command)");
    app.set_version_flag("--version", "kelvora-host " KELVORA_VERSION, "print the version and exit");

    StationOptions central;
    StationOptions remote;
    central.device = "0";
    CLI::App* centralCommand =
        AddStationCommand(app, "central", "the central station (CSMSClient): serves sites 0-31", central, false);
    CLI::App* remoteCommand =
        AddStationCommand(app, "remote", "the remote station of one site (CSMSServer)", remote, true);

    PortOptions probePort;
    ProbeSettings probeSettings;
    CLI::App* probe = app.add_subcommand("probe", "check the modem on a port: what the driver needs of it");
    probe->footer(kModemFooter);
    AddPortOptions(probe, &probePort, true);
    probe->add_flag("--fix", probeSettings.fix, "first send ATQ0, ATE0, ATV1, AT+CMGF=0 and save them with AT&W");
    probe->add_option("--answer-timeout", probeSettings.answerMs, "reply time-out of each command in ms (default 3000)");
    probe->add_option("--send-test", probeSettings.testNumber, "send one test message to this number");
    probe->add_flag("-v,--verbose", probeSettings.showDialogue, "show every command and answer");

    ModemCommand modemAt;
    ModemCommand modemStorage;
    ModemCommand modemClear;
    CLI::App* modem = app.add_subcommand("modem", "look after the modem on a port (the port must be free)");
    modem->require_subcommand(1);
    modem->footer(kModemFooter);
    CLI::App* at = AddModemSubcommand(modem, "at", "send one AT command and print the answer", modemAt);
    at->add_option("command", modemAt.command, "the command, e.g. AT+CSQ or +CPMS?")->required();
    CLI::App* storage = AddModemSubcommand(modem, "storage", "list the stored messages, decoded", modemStorage);
    storage->add_option("--key-file", modemStorage.settings.keyFiles,
                        "FILE or SITE=FILE: check each signed frame with this key (repeatable)")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);

    std::string keyPath, keyCentre, keySite;
    CLI::App* keygen = app.add_subcommand("keygen", "write a new key for one site and its centre (owner-only)");
    keygen->add_option("file", keyPath, "the key file to write (never over one that is there)")->required();
    keygen->add_option("--centre", keyCentre, "the centre's telephone number (its DETC at the site)")->required();
    keygen->add_option("--site", keySite, "the site's telephone number (DETC<n> at the centre)")->required();
    keygen->footer("\nGive the same file to both stations: remote --key-file FILE, central --key-file N=FILE.");
    CLI::App* clear = AddModemSubcommand(modem, "clear", "delete every stored message", modemClear);
    clear->add_flag("-y,--yes", modemClear.settings.yes, "do not ask for a confirmation");

    const std::vector<std::string> args = TraceWithSpace(CommandLineUtf8(argc, argv));
    std::vector<const char*> pointers;
    for (const std::string& arg : args) pointers.push_back(arg.c_str());
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return UsageError(e.what());
    }

    int code = kExitOk;
    if (keygen->parsed()) return RunKeygen(keyPath, keyCentre, keySite);
    if (probe->parsed()) {
        ResolvedPort port;
        probeSettings.showDialogue = probeSettings.showDialogue || verbose;
        return CheckPort(probePort, &port, &code) ? ProbeModem(probePort, port, probeSettings) : code;
    }
    const struct {
        CLI::App* command;
        ModemCommand* options;
    } modemCommands[] = {{at, &modemAt}, {storage, &modemStorage}, {clear, &modemClear}};
    for (const auto& m : modemCommands) {
        if (!m.command->parsed()) continue;
        ResolvedPort port;
        if (!CheckPort(m.options->port, &port, &code)) return code;
        if (m.command == at) return RunModemAt(m.options->port, port, m.options->command, m.options->settings);
        if (m.command == storage) return RunModemStorage(m.options->port, port, m.options->settings);
        return RunModemClear(m.options->port, port, m.options->settings);
    }
    if (centralCommand->parsed()) {
        central.verbose = central.verbose || verbose;
        return RunStation(StationRole::kCentral, central);
    }
    if (remoteCommand->parsed()) {
        remote.verbose = remote.verbose || verbose;
        return RunStation(StationRole::kRemote, remote);
    }
    return UsageError("choose central, remote, probe or modem");
}

}  // namespace
}  // namespace kelvora_host

int main(int argc, char** argv) {
    int code = kelvora_host::Main(argc, argv);
    std::fflush(stdout);
    if (kelvora_host::OutputFailed()) {
        // Values that never reached their file are no success.
        kelvora_host::WriteErr("kelvora-host: standard output could not be written to its end (a full disk?): "
                               "what it shows is not whole\n");
        if (code == kelvora_host::kExitOk) code = kelvora_host::kExitOperationFailed;
    }
    return code;
}
