// A station's session from the command line to the exit code.
#include "station_command.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "command_line.h"
#include "console_text.h"
#include "driver_text.h"
#include "exit_codes.h"
#include "interruption.h"
#include "key_files.h"
#include "modem_line.h"
#include "platform/trace_file.h"
#include "poll_summary.h"
#include "script.h"
#include "stations/poll_scope.h"

namespace kelvora_host {
namespace {

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
    // A folder opens as a file on POSIX and reads as empty: it would run nothing and succeed.
    std::error_code error;
    if (std::filesystem::is_directory(script, error)) {
        WriteErr("kelvora-host: --script: " + script + " is a folder, not a file of operations\n");
        return false;
    }
    std::ifstream file(script);
    if (!file) {
        WriteErr("kelvora-host: cannot read the script " + script + "\n");
        return false;
    }
    const bool loaded = LoadScript(file, script, operations);
    if (file.bad()) {
        WriteErr("kelvora-host: cannot read the script " + script + " to its end\n");
        return false;
    }
    return loaded;
}

// What the driver did (each poll, what became of a message) is read from its
// trace: the user's file, or a private one, given to the stations as the
// host's own trace (KELVORA_HOST_TRACE), so that whatever KELVORA_TRACE or
// the registry names gets the lines too. A trace the user wants on standard
// error is copied there from the private file as it grows. destination: what
// the stations trace to; false when the user's file cannot be opened.
bool StartTrace(const std::string& userTrace, PollSummaries* polls, std::string* destination) {
    const bool userFile = !userTrace.empty() && userTrace != "stderr" && userTrace != "debug";
    kelvora::TraceFile check;
    std::string whyNot;
    if (userFile && !check.Open(userTrace, &whyNot)) {
        UsageError("--trace: cannot open " + userTrace + " for writing: " + whyNot);
        return false;
    }
    check.Close();
    *destination = userTrace == "debug" ? userTrace : polls->Follow(userFile ? userTrace : "");
    if (!destination->empty()) RequestSetting("KELVORA_HOST_TRACE", *destination);
    return true;
}

// Has the session read what its station traced, or says why it cannot.
void FollowTrace(bool toStderr, const std::string& destination, PollSummaries& polls, Session* session) {
    if (destination.empty() || destination == "debug" || !polls.FileThere()) {
        const std::string why = destination == "debug" ? "--trace=debug"
                                : destination.empty()   ? "no private folder for it could be made in the temporary folder"
                                                        : "the driver did not open " + destination;
        WriteErr("kelvora-host: note: the driver's trace is not followed (" + why +
                 "): a read cannot tell whether the modem answered its poll (CSV and JSON say \"unknown\"), "
                 "nor a failed write why\n");
        return;
    }
    session->takeTraceLines = [&polls, toStderr] {
        std::vector<std::string> every;
        std::vector<std::string> own = polls.Take(&every);
        if (toStderr) {
            for (const std::string& line : every) WriteErr(line + "\n");
        }
        return own;
    };
}

// Opens the station's port; on failure says why, from the port itself.
bool OpenPort(kelvora::IDeviceDriver& driver, const StationOptions& options, const ResolvedPort& port,
              kelvora::PortConfig* config) {
    BindDevicePath(port);
    if (driver.Open(config) == 0) {
        // The driver tells only that it failed; the port itself tells why.
        ModemLine line;
        std::string why = PortOpenHint(port);
        std::string opening;
        if (!line.Open(options.port, port, 0, &opening)) why = opening;
        WriteErr("kelvora-host: cannot open the port " + port.display + ": " +
                 DescribeStatusText(driver.GetStatusText()) + "\n  " + why + "\n");
        return false;
    }
    SetPortForCancel(config->sharedHandle);
    if (options.verbose) WriteErr("kelvora-host: port " + port.display + " open\n");
    return true;
}

// The command line's operations, script and port, checked before anything
// is loaded.
struct StationPlan {
    std::vector<Operation> operations;
    bool prompt = false;      // a person at a terminal gets a prompt after the batch
    bool scriptRead = false;  // false: the script had errors, still checked whole
    ResolvedPort port;
    kelvora::LineSettings lineSettings;
};

// kExitOk, or the usage error already told.
int PlanStation(StationOptions& options, StationPlan* plan) {
    std::string error;
    if (!ParseOperations(options.operations, &plan->operations, &error)) return UsageError(error);
    if (!OutputFormatFromName(options.format, &options.session.format)) {
        return UsageError("--format: '" + options.format + "' is not one of text, csv, json");
    }
    // A person at a terminal gets a prompt; any other script (a file, or
    // standard input from a pipe) is read whole, and one with errors is still
    // checked whole, so that every error is told at once and nothing runs.
    plan->prompt = options.script == "-" && InputIsTerminal();
    plan->scriptRead = options.script.empty() || plan->prompt || ReadScript(options.script, &plan->operations);
    if (plan->operations.empty() && options.script.empty()) {
        return UsageError("no operations: give some (read M5.120, write M5.120=42, types ...) or --script FILE");
    }
    bool needsPort = false;
    for (const Operation& operation : plan->operations) needsPort = needsPort || NeedsPort(operation);
    if (needsPort && options.port.port.empty()) {
        return UsageError("--port is needed to read and write registers (COM3, or a device path)");
    }
    if (!options.port.port.empty()) {
        if (!ResolvePort(options.port.port, &plan->port, &error)) return UsageError(error);
        if (!MakeLineSettings(options.port, plan->port, &plan->lineSettings, &error)) return UsageError(error);
    }
    if (options.session.intervalMs == 0) return UsageError("--interval must be at least 1 ms");
    options.session.modemTimeoutMs = options.port.timeoutMs;
    return kExitOk;
}

// The settings the station reads from the system when it is created; false
// with the error when a key file is wrong.
bool RequestStationSettings(StationRole role, StationOptions& options, std::string* error) {
    if (!options.pollScope.empty()) RequestSetting("KELVORA_POLL_SCOPE", options.pollScope);
    if (options.holdWrites) RequestSetting("KELVORA_HOLD_WRITES", "1");
    if (options.staleAfterSeconds != 0) {
        RequestSetting("KELVORA_STALE_AFTER", std::to_string(options.staleAfterSeconds));
    }
    // As the station will read it (the option, the environment or the registry).
    options.session.stationWidePoll =
        role == StationRole::kCentral && kelvora::PollScopeFromSystem() == kelvora::PollScope::kStation;
    return RequestKeyFiles(role == StationRole::kCentral, options.keyFiles, error);
}

// The station's device address as the driver reads --device; false when it
// refuses it (already told).
bool ParseDevice(kelvora::IDeviceDriver& driver, const std::string& device, int32_t* address) {
    if (driver.ParseDeviceAddress(device.c_str(), address) != 0) return true;
    WriteErr("kelvora-host: --device '" + device + "' is not a device address of the station (0 to 31): " +
             DescribeStatusText(driver.GetStatusText()) + "\n");
    return false;
}

// Checks every operation, then opens the port and runs them, and the prompt
// after them.
int RunSession(kelvora::IDeviceDriver& driver, StationRole role, int32_t deviceAddress, StationOptions& options,
               StationPlan& plan, PollSummaries& polls, const std::string& trace) {
    options.session.verbose = options.verbose;
    Session session(driver, role, deviceAddress, options.session, !options.port.port.empty());
    polls.SetWriter(RoleName(role), deviceAddress, options.port.port.empty() ? 0 : plan.port.comNumber);
    FollowTrace(options.trace == "stderr", trace, polls, &session);
    // Lines of the driver's trace that no read or write took (opening,
    // parsing) reach a trace on standard error all the same.
    struct TraceFlush {
        Session& session;
        ~TraceFlush() {
            if (session.takeTraceLines) session.takeTraceLines();
        }
    } flushTrace{session};
    int code = session.CheckAll(plan.operations);
    if (!plan.scriptRead) return kExitUsage;
    if (code != kExitOk) return code;

    kelvora::PortConfig config{};
    config.lineSettings = &plan.lineSettings;
    const bool opened = !options.port.port.empty();
    if (opened && !OpenPort(driver, options, plan.port, &config)) return kExitPortFailed;

    code = session.RunBatch(plan.operations);
    if (code == kExitOk && plan.prompt) code = session.RunPrompt();
    SetPortForCancel(0);
    if (opened) driver.Close(0);
    return code;
}

}  // namespace

int RunStation(StationRole role, StationOptions& options) {
    // A station's session stops at its next bound; probe and the modem
    // commands, whose waits are short, end at once on Ctrl-C.
    InstallInterruption();
    StationPlan plan;
    if (const int code = PlanStation(options, &plan); code != kExitOk) return code;

    PollSummaries polls;
    std::string trace;
    if (!StartTrace(options.trace, &polls, &trace)) return kExitUsage;
    std::string error;
    if (!RequestStationSettings(role, options, &error)) return UsageError(error);
    std::unique_ptr<Station> station = LoadStation(role, options.library, &error);
    if (!station) {
        WriteErr("kelvora-host: " + error + "\n");
        return kExitNoDriver;
    }
    kelvora::IDeviceDriver& driver = *station->driver();
    if (options.verbose) WriteErr(std::string("kelvora-host: ") + RoleName(role) + " station from " + station->origin() + "\n");
    int32_t deviceAddress = 0;
    if (!ParseDevice(driver, options.device, &deviceAddress)) return kExitOperationFailed;
    return RunSession(driver, role, deviceAddress, options, plan, polls, trace);
}

}  // namespace kelvora_host
