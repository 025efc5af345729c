// probe, modem at|storage|clear and keygen on the command line: their
// options, and the callback of each that checks the port and runs it.
#include <CLI/CLI.hpp>

#include <memory>

#include "command_line.h"
#include "key_files.h"
#include "modem_care.h"
#include "modem_probe.h"

namespace kelvora_host {
namespace {

struct ModemCommand {
    PortOptions port;
    ModemCareSettings settings;
    std::string command;
};

using ModemRun = int (*)(const ModemCommand& m, const ResolvedPort& port);

// A modem subcommand with the options they all take; its callback checks the
// port and runs.
CLI::App* AddModemSubcommand(CLI::App* modem, const char* name, const char* description,
                             std::shared_ptr<ModemCommand> m, ModemRun run, CommandOutcome& outcome) {
    CLI::App* command = modem->add_subcommand(name, description);
    command->footer(kModemFooter);
    AddPortOptions(command, &m->port, true);
    command->add_option("--answer-timeout", m->settings.answerMs, "reply time-out of each command in ms (default 3000)");
    command->callback([m, run, &outcome] {
        ResolvedPort port;
        if (CheckPort(m->port, &port, &outcome.code)) outcome.code = run(*m, port);
    });
    return command;
}

void AddProbe(CLI::App& app, CommandOutcome& outcome) {
    struct Probe {
        PortOptions port;
        ProbeSettings settings;
    };
    auto probe = std::make_shared<Probe>();
    CLI::App* command = app.add_subcommand("probe", "check the modem on a port: what the driver needs of it");
    command->footer(kModemFooter);
    AddPortOptions(command, &probe->port, true);
    command->add_flag("--fix", probe->settings.fix, "first send ATQ0, ATE0, ATV1, AT+CMGF=0 and save them with AT&W");
    command->add_option("--answer-timeout", probe->settings.answerMs,
                        "reply time-out of each command in ms (default 3000)");
    command->add_option("--send-test", probe->settings.testNumber, "send one test message to this number");
    command->add_flag("-v,--verbose", probe->settings.showDialogue, "show every command and answer");
    command->callback([probe, &outcome] {
        ResolvedPort port;
        probe->settings.showDialogue = probe->settings.showDialogue || outcome.verbose;
        if (CheckPort(probe->port, &port, &outcome.code)) outcome.code = ProbeModem(probe->port, port, probe->settings);
    });
}

void AddModem(CLI::App& app, CommandOutcome& outcome) {
    CLI::App* modem = app.add_subcommand("modem", "look after the modem on a port (the port must be free)");
    modem->require_subcommand(1);
    modem->footer(kModemFooter);
    auto at = std::make_shared<ModemCommand>();
    AddModemSubcommand(modem, "at", "send one AT command and print the answer", at,
                       [](const ModemCommand& m, const ResolvedPort& port) {
                           return RunModemAt(m.port, port, m.command, m.settings);
                       },
                       outcome)
        ->add_option("command", at->command, "the command, e.g. AT+CSQ or +CPMS?")
        ->required();
    auto storage = std::make_shared<ModemCommand>();
    AddModemSubcommand(modem, "storage", "list the stored messages, decoded", storage,
                       [](const ModemCommand& m, const ResolvedPort& port) {
                           return RunModemStorage(m.port, port, m.settings);
                       },
                       outcome)
        ->add_option("--key-file", storage->settings.keyFiles,
                     "FILE or SITE=FILE: check each signed frame with this key (repeatable)")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    auto clear = std::make_shared<ModemCommand>();
    AddModemSubcommand(modem, "clear", "delete every stored message", clear,
                       [](const ModemCommand& m, const ResolvedPort& port) {
                           return RunModemClear(m.port, port, m.settings);
                       },
                       outcome)
        ->add_flag("-y,--yes", clear->settings.yes, "do not ask for a confirmation");
}

void AddKeygen(CLI::App& app, CommandOutcome& outcome) {
    struct Keygen {
        std::string path, centre, site;
    };
    auto key = std::make_shared<Keygen>();
    CLI::App* command = app.add_subcommand("keygen", "write a new key for one site and its centre (owner-only)");
    command->add_option("file", key->path, "the key file to write (never over one that is there)")->required();
    command->add_option("--centre", key->centre, "the centre's telephone number (its DETC at the site)")->required();
    command->add_option("--site", key->site, "the site's telephone number (DETC<n> at the centre)")->required();
    command->footer("\nGive the same file to both stations: remote --key-file FILE, central --key-file N=FILE.");
    command->callback([key, &outcome] { outcome.code = RunKeygen(key->path, key->centre, key->site); });
}

}  // namespace

void AddModemCommands(CLI::App& app, CommandOutcome& outcome) {
    AddProbe(app, outcome);
    AddModem(app, outcome);
    AddKeygen(app, outcome);
}

}  // namespace kelvora_host
