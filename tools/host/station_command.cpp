// A station's session from the command line to the exit code.
#include "station_command.h"

#include <fstream>
#include <memory>
#include <sstream>

#include "console_text.h"
#include "driver_text.h"
#include "exit_codes.h"
#include "interruption.h"
#include "modem_line.h"
#include "platform/trace_file.h"
#include "poll_summary.h"
#include "script.h"
#include "stations/poll_scope.h"

namespace kelvora_host {
namespace {

int UsageError(const std::string& message) {
    WriteErr("kelvora-host: " + message + "\nrun 'kelvora-host --help' for the usage\n");
    return kExitUsage;
}

// Reads the script whole into operations ("-": standard input, to its end).
// false when it cannot be read or has errors (each already reported with its
// file and line).
bool ReadScript(const std::string& script, std::vector<Operation>* operations) {
    if (script == "-") {
        std::string text;
        std::string line;
        InputLine got;
        while ((got = ReadInputLine(&line, Interrupted)) == InputLine::kLine) text += line + "\n";
        if (got == InputLine::kInterrupted) return false;
        std::istringstream input(text);
        return LoadScript(input, "stdin", operations);
    }
    std::ifstream file(script);
    if (!file) {
        WriteErr("kelvora-host: cannot read the script " + script + "\n");
        return false;
    }
    return LoadScript(file, script, operations);
}

}  // namespace

int RunStation(StationRole role, StationOptions& options) {
    // A station's session stops at its next bound; probe and the modem
    // commands, whose waits are short, end at once on Ctrl-C.
    InstallInterruption();
    std::vector<Operation> operations;
    std::string error;
    if (!ParseOperations(options.operations, &operations, &error)) return UsageError(error);
    if (!OutputFormatFromName(options.format, &options.session.format)) {
        return UsageError("--format: '" + options.format + "' is not one of text, csv, json");
    }
    // A person at a terminal gets a prompt; any other script (a file, or
    // standard input from a pipe) is read whole, and one with errors is still
    // checked whole, so that every error is told at once and nothing runs.
    const bool prompt = options.script == "-" && InputIsTerminal();
    const bool scriptRead = options.script.empty() || prompt || ReadScript(options.script, &operations);
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
    options.session.modemTimeoutMs = options.port.timeoutMs;

    // What the driver did (each poll, what became of a message) is read from
    // its trace: the user's file, or a private one. A trace the user wants on
    // standard error is copied there from the private file as it grows.
    const bool traceToStderr = options.trace == "stderr";
    const bool traceFile = !options.trace.empty() && !traceToStderr && options.trace != "debug";
    kelvora::TraceFile traceCheck;
    std::string whyNot;
    if (traceFile && !traceCheck.Open(options.trace, &whyNot)) {
        return UsageError("--trace: cannot open " + options.trace + " for writing: " + whyNot);
    }
    traceCheck.Close();
    PollSummaries polls;
    const std::string trace = options.trace == "debug" ? options.trace : polls.Follow(traceFile ? options.trace : "");
    if (!trace.empty()) RequestSetting("KELVORA_TRACE", trace);
    if (!options.pollScope.empty()) RequestSetting("KELVORA_POLL_SCOPE", options.pollScope);
    if (options.holdWrites) RequestSetting("KELVORA_HOLD_WRITES", "1");
    if (options.staleAfterSeconds != 0) {
        RequestSetting("KELVORA_STALE_AFTER", std::to_string(options.staleAfterSeconds));
    }
    // As the station will read it (the option, the environment or the registry).
    options.session.stationWidePoll =
        role == StationRole::kCentral && kelvora::PollScopeFromSystem() == kelvora::PollScope::kStation;
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

    options.session.verbose = options.verbose;
    Session session(driver, role, deviceAddress, options.session, !options.port.port.empty());
    if (!trace.empty() && trace != "debug") {
        session.takeTraceLines = [&polls, traceToStderr] {
            std::vector<std::string> lines = polls.Take();
            if (traceToStderr) {
                for (const std::string& line : lines) WriteErr(line + "\n");
            }
            return lines;
        };
    }
    // Lines of the driver's trace that no read or write took (opening,
    // parsing) reach a trace on standard error all the same.
    struct TraceFlush {
        Session& session;
        ~TraceFlush() {
            if (session.takeTraceLines) session.takeTraceLines();
        }
    } flushTrace{session};
    int code = session.CheckAll(operations);
    if (!scriptRead) return kExitUsage;
    if (code != kExitOk) return code;

    kelvora::PortConfig config{};
    config.lineSettings = &lineSettings;
    bool opened = false;
    if (!options.port.port.empty()) {
        BindDevicePath(port);
        if (driver.Open(&config) == 0) {
            // The driver tells only that it failed; the port itself tells why.
            ModemLine line;
            std::string why = PortOpenHint(port);
            std::string opening;
            if (!line.Open(options.port, port, 0, &opening)) why = opening;
            WriteErr("kelvora-host: cannot open the port " + port.display + ": " +
                     DescribeStatusText(driver.GetStatusText()) + "\n  " + why + "\n");
            return kExitPortFailed;
        }
        opened = true;
        SetPortForCancel(config.sharedHandle);
        if (options.verbose) WriteErr("kelvora-host: port " + port.display + " open\n");
    }

    code = session.RunBatch(operations);
    if (code == kExitOk && prompt) code = session.RunPrompt();
    SetPortForCancel(0);
    if (opened) driver.Close(0);
    return code;
}

}  // namespace kelvora_host
