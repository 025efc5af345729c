// kelvora-modemsim: virtual GSM modems on pseudo-terminals, linked in one SMS
// network, for tests and the demo. Runs until stopped, or around a command.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "kelvora_version.h"
#include "modemsim/control.h"
#include "modemsim/modemsim.h"
#include "wrapper.h"

using namespace modemsim;

namespace {

const char kDescription[] =
    "Virtual GSM modems on pseudo-terminals, linked in one SMS network.\n"
    "Each modem speaks the AT command set with SMS in PDU mode (TS 27.005) on its own pty;\n"
    "a message sent with AT+CMGS lands in the store of the modem whose number it names.\n\n"
    "  kelvora-modemsim [options]                 run until SIGINT/SIGTERM or a \"quit\" request\n"
    "  kelvora-modemsim [options] -- CMD ARGS...  run CMD once the modems are up, exit with its code;\n"
    "      CMD sees KELVORA_MODEM_COUNT, KELVORA_MODEM<i>_DEVICE, KELVORA_MODEM<i>_NUMBER,\n"
    "      KELVORA_MODEM<i>_COM, KELVORA_COM<n>=<device>, KELVORA_MODEMSIM_CONTROL and\n"
    "      (with --control-tcp) KELVORA_MODEMSIM_CONTROL_PORT\n"
    "  kelvora-modemsim --control SOCKET --request JSON   send one control request, print the reply\n\n"
    "Each modem is printed as: modem <i> <device> <number> COM<n>";

struct ProgramOptions {
    NetworkOptions network;
    std::string infoFile, controlPath, winePrefix, request;
    int comBase = 1;
    bool trace = false;
    bool controlTcp = false;
    uint32_t sendDelayMs = 0, deliveryDelayMs = 0;
    std::vector<std::string> command;  // everything after "--"
};

void AddNetworkOptions(CLI::App& app, ProgramOptions* o) {
    NetworkOptions& n = o->network;
    app.add_option("-n,--modems", n.modemCount, "Number of modems")->capture_default_str()->check(CLI::Range(1, 64));
    app.add_option("--first-number", n.firstNumber, "Number of modem 0; the next ones count up")->capture_default_str();
    app.add_option("--number", n.numbers, "Number of modem 0, 1, ... in turn (repeatable)");
    app.add_option("--country-code", n.countryCode, "Country code for national numbers")->capture_default_str();
    app.add_option("--service-centre", n.serviceCentre, "Service-centre number the network reports")
        ->capture_default_str();
    app.add_option("--capacity", n.capacity, "Message store size of each modem")
        ->capture_default_str()
        ->check(CLI::Range(1, 1000));
    app.add_option("--baud", n.baudRate, "Pace what the modems send at this line rate (0: no pacing)")
        ->capture_default_str();
    app.add_option("--send-delay", o->sendDelayMs, "ms the network takes to answer a send (+CMGS), as GSM networks do")
        ->capture_default_str()
        ->check(CLI::Range(0, 120000));
    app.add_option("--delivery-delay", o->deliveryDelayMs,
                   "ms from a send to the message's arrival in its destination's store")
        ->capture_default_str()
        ->check(CLI::Range(0, 600000));
    app.add_flag("--keep-when-full", n.keepWhenFull,
                 "The network keeps a message for a full store and delivers it once there is room (5 min at most)");
    app.add_flag("--cmti", n.cmti, "Announce arrivals with +CMTI (as after AT+CNMI=2,1)");
}

void AddProgramOptions(CLI::App& app, ProgramOptions* o) {
    app.add_option("--info-file", o->infoFile, "Write the modems (device, number, COM port) to this JSON file");
    app.add_option("--control", o->controlPath, "Unix socket of the JSON control protocol (see modemsim/control.h)");
    app.add_flag("--control-tcp", o->controlTcp,
                 "Also serve the control protocol on a TCP port of 127.0.0.1 (printed as \"control-port <n>\")");
    app.add_option("--wine-prefix", o->winePrefix, "Link modem i into this Wine prefix as dosdevices/com<base+i>");
    app.add_option("--com-base", o->comBase, "COM port number of modem 0")
        ->capture_default_str()
        ->check(CLI::Range(1, 255));
    app.add_flag("--trace", o->trace, "Print every command the modems receive, and their answers, to stderr");
    app.add_option("--request", o->request, "Client mode: send this JSON request to --control and print the reply");
}

// Client mode: one request to a running simulator, its reply printed.
int SendRequest(const ProgramOptions& o) {
    if (o.controlPath.empty()) {
        std::cerr << "kelvora-modemsim: --request needs --control\n";
        return 2;
    }
    const nlohmann::json body = nlohmann::json::parse(o.request, nullptr, false);
    if (body.is_discarded()) {
        std::cerr << "kelvora-modemsim: the request is not JSON\n";
        return 2;
    }
    nlohmann::json reply;
    std::string error;
    if (!SendControlRequest(o.controlPath, body, &reply, std::chrono::seconds(10), &error)) {
        std::cerr << "kelvora-modemsim: " << error << "\n";
        return 1;
    }
    std::cout << reply.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    return reply.value("ok", false) ? 0 : 1;
}

// Prints the modems, then waits for a stop or runs the command.
int Serve(const ProgramOptions& o, Network& network, const std::vector<ModemInfo>& modems, ControlServer& control) {
    // When wrapping, stdout belongs to the command: our lines go to stderr.
    FILE* out = o.command.empty() ? stdout : stderr;
    for (const ModemInfo& m : modems) {
        std::fprintf(out, "modem %zu %s %s COM%d\n", m.index, m.device.c_str(), m.number.c_str(), m.com);
    }
    if (control.TcpPort() != 0) std::fprintf(out, "control-port %u\n", static_cast<unsigned>(control.TcpPort()));
    std::fflush(out);
    Tracer tracer(&network);
    Tracer* tracing = o.trace ? &tracer : nullptr;
    const int code = o.command.empty() ? WaitForStop(&control, tracing)
                                       : RunWrapped(o.command, modems, o.controlPath, &control, tracing);
    if (tracing) tracer.Turn();
    return code;
}

// The network with its control server, Wine links and info file, for as long
// as it serves.
int RunNetwork(const ProgramOptions& o) {
    BlockStopSignals();
    Network network(o.network);
    std::string error;
    if (!network.Start(&error)) {
        std::cerr << "kelvora-modemsim: " << error << "\n";
        return 1;
    }
    std::vector<ModemInfo> modems;
    for (size_t i = 0; i < network.ModemCount(); ++i) {
        Modem m = network.modem(i);
        modems.push_back({i, m.DevicePath(), m.Number(), o.comBase + static_cast<int>(i)});
    }

    ControlServer control(network);
    std::vector<std::string> links;
    int code = 0;
    bool ready = true;
    if ((!o.controlPath.empty() || o.controlTcp) && !control.Start(o.controlPath, &error, o.controlTcp)) ready = false;
    if (ready && !o.winePrefix.empty() && !LinkIntoWinePrefix(o.winePrefix, modems, &links, &error)) ready = false;
    if (ready && !o.infoFile.empty() && !WriteFileAtomically(o.infoFile, InfoJson(modems, o.controlPath), &error))
        ready = false;
    if (!ready) {
        std::cerr << "kelvora-modemsim: " << error << "\n";
        code = 1;
    } else {
        code = Serve(o, network, modems, control);
    }
    control.Stop();
    RemoveLinks(links);
    if (!o.infoFile.empty() && ready) std::remove(o.infoFile.c_str());
    network.Stop();
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    ProgramOptions options;
    int ownArgc = argc;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--") {
            ownArgc = i;
            for (int k = i + 1; k < argc; ++k) options.command.emplace_back(argv[k]);
            break;
        }
    }
    CLI::App app{kDescription, "kelvora-modemsim"};
    app.set_version_flag("--version", "kelvora-modemsim " KELVORA_VERSION, "Print the version and exit");
    AddNetworkOptions(app, &options);
    AddProgramOptions(app, &options);
    try {
        app.parse(ownArgc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    options.network.sendAnswerDelay = Millis(options.sendDelayMs);
    options.network.deliveryDelay = Millis(options.deliveryDelayMs);
    return options.request.empty() ? RunNetwork(options) : SendRequest(options);
}
