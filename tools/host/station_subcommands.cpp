// central and remote on the command line: their options, and the callback
// that runs the station's session (RunStation).
#include <CLI/CLI.hpp>

#include <memory>

#include "command_line.h"
#include "station_command.h"
#include "stations/view_options.h"

namespace kelvora_host {
namespace {

// The options both stations take.
void AddSessionOptions(CLI::App* command, StationOptions& o, bool remote) {
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
}

void AddCentralOptions(CLI::App* command, StationOptions& o) {
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
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    command->add_option("--stale-after", o.staleAfterSeconds,
                        "seconds: a site's reads fail (exit 5, the value marked as the station's copy) once no "
                        "report of it has come for that long, or their poll failed (as KELVORA_STALE_AFTER)")
        ->check(CLI::Range(1u, kelvora::kMaxStaleAfterSeconds));
}

void AddRemoteOptions(CLI::App* command, StationOptions& o) {
    command->add_option("--key-file", o.keyFiles,
                        "FILE: the key this site shares with its centre (kelvora-host keygen): frames are signed "
                        "both ways and unsigned ones refused (as KELVORA_KEY_FILE)")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

void AddStationCommand(CLI::App& app, const char* name, const char* description, StationRole role,
                       CommandOutcome& outcome) {
    const bool remote = role == StationRole::kRemote;
    // Bound to the options; lives as long as the callback that holds it.
    auto options = std::make_shared<StationOptions>();
    if (!remote) options->device = "0";
    CLI::App* command = app.add_subcommand(name, description);
    AddSessionOptions(command, *options, remote);
    if (remote) {
        AddRemoteOptions(command, *options);
    } else {
        AddCentralOptions(command, *options);
    }
    command->add_option("operations", options->operations, "operations, see below")->take_all();
    command->footer(UsageFooter());
    command->callback([options, role, &outcome] {
        options->verbose = options->verbose || outcome.verbose;
        outcome.code = RunStation(role, *options);
    });
}

}  // namespace

void AddStationCommands(CLI::App& app, CommandOutcome& outcome) {
    AddStationCommand(app, "central", "the central station (CSMSClient): serves sites 0-31", StationRole::kCentral,
                      outcome);
    AddStationCommand(app, "remote", "the remote station of one site (CSMSServer)", StationRole::kRemote, outcome);
}

}  // namespace kelvora_host
