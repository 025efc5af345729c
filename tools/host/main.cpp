// kelvora-host: a host for the Kelvora driver on the command line. It loads
// the driver as a data-acquisition host does, creates a central or remote
// station, opens its port and reads and writes registers; probe checks the
// modem itself, and the modem commands look after it. Each subcommand runs
// as its callback when the command line has been parsed (command_line.h).
#include <CLI/CLI.hpp>

#include "command_line.h"
#include "console_text.h"
#include "exit_codes.h"
#include "kelvora_version.h"
#include "operations.h"

namespace kelvora_host {
namespace {

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

int Main(int argc, char** argv) {
    PrepareConsole();
    CLI::App app("kelvora-host: a host for the Kelvora SMS telemetry driver. It loads the driver as a\n"
                 "data-acquisition host does, creates a central or remote station and reads and\n"
                 "writes its registers; 'probe' checks a modem, 'modem' looks after it.",
                 "kelvora-host");
    app.require_subcommand(1);
    app.footer(UsageFooter());
    CommandOutcome outcome;
    app.add_flag("-v,--verbose", outcome.verbose, "say more (before or after the command)");
    app.set_version_flag("--version", "kelvora-host " KELVORA_VERSION, "print the version and exit");
    AddStationCommands(app, outcome);
    AddModemCommands(app, outcome);

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
    return outcome.code >= 0 ? outcome.code : UsageError("choose central, remote, probe or modem");
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
