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

int main(int argc, char** argv) {
    // Everything after "--" is the command to run once the modems are up.
    std::vector<std::string> command;
    int ownArgc = argc;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--") {
            ownArgc = i;
            for (int k = i + 1; k < argc; ++k) command.emplace_back(argv[k]);
            break;
        }
    }

    NetworkOptions options;
    std::string infoFile, controlPath, winePrefix, request;
    int comBase = 1;
    bool trace = false;
    bool controlTcp = false;
    CLI::App app{
        "Virtual GSM modems on pseudo-terminals, linked in one SMS network.\n"
        "Each modem speaks the AT command set with SMS in PDU mode (TS 27.005) on its own pty;\n"
        "a message sent with AT+CMGS lands in the store of the modem whose number it names.\n\n"
        "  kelvora-modemsim [options]                 run until SIGINT/SIGTERM or a \"quit\" request\n"
        "  kelvora-modemsim [options] -- CMD ARGS...  run CMD once the modems are up, exit with its code;\n"
        "      CMD sees KELVORA_MODEM_COUNT, KELVORA_MODEM<i>_DEVICE, KELVORA_MODEM<i>_NUMBER,\n"
        "      KELVORA_MODEM<i>_COM, KELVORA_COM<n>=<device>, KELVORA_MODEMSIM_CONTROL and\n"
        "      (with --control-tcp) KELVORA_MODEMSIM_CONTROL_PORT\n"
        "  kelvora-modemsim --control SOCKET --request JSON   send one control request, print the reply\n\n"
        "Each modem is printed as: modem <i> <device> <number> COM<n>",
        "kelvora-modemsim"};
    app.set_version_flag("--version", "kelvora-modemsim " KELVORA_VERSION, "Print the version and exit");
    app.add_option("-n,--modems", options.modemCount, "Number of modems")->capture_default_str()->check(CLI::Range(1, 64));
    app.add_option("--first-number", options.firstNumber, "Number of modem 0; the next ones count up")
        ->capture_default_str();
    app.add_option("--number", options.numbers, "Number of modem 0, 1, ... in turn (repeatable)");
    app.add_option("--country-code", options.countryCode, "Country code for national numbers")->capture_default_str();
    app.add_option("--service-centre", options.serviceCentre, "Service-centre number the network reports")
        ->capture_default_str();
    app.add_option("--capacity", options.capacity, "Message store size of each modem")
        ->capture_default_str()
        ->check(CLI::Range(1, 1000));
    app.add_option("--baud", options.baudRate, "Pace what the modems send at this line rate (0: no pacing)")
        ->capture_default_str();
    uint32_t sendDelayMs = 0, deliveryDelayMs = 0;
    app.add_option("--send-delay", sendDelayMs, "ms the network takes to answer a send (+CMGS), as GSM networks do")
        ->capture_default_str()
        ->check(CLI::Range(0, 120000));
    app.add_option("--delivery-delay", deliveryDelayMs, "ms from a send to the message's arrival in its destination's store")
        ->capture_default_str()
        ->check(CLI::Range(0, 600000));
    app.add_flag("--keep-when-full", options.keepWhenFull,
                 "The network keeps a message for a full store and delivers it once there is room (5 min at most)");
    app.add_flag("--cmti", options.cmti, "Announce arrivals with +CMTI (as after AT+CNMI=2,1)");
    app.add_option("--info-file", infoFile, "Write the modems (device, number, COM port) to this JSON file");
    app.add_option("--control", controlPath, "Unix socket of the JSON control protocol (see modemsim/control.h)");
    app.add_flag("--control-tcp", controlTcp,
                 "Also serve the control protocol on a TCP port of 127.0.0.1 (printed as \"control-port <n>\")");
    app.add_option("--wine-prefix", winePrefix, "Link modem i into this Wine prefix as dosdevices/com<base+i>");
    app.add_option("--com-base", comBase, "COM port number of modem 0")->capture_default_str()->check(CLI::Range(1, 255));
    app.add_flag("--trace", trace, "Print every command the modems receive, and their answers, to stderr");
    app.add_option("--request", request, "Client mode: send this JSON request to --control and print the reply");
    try {
        app.parse(ownArgc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }

    options.sendAnswerDelay = Millis(sendDelayMs);
    options.deliveryDelay = Millis(deliveryDelayMs);

    if (!request.empty()) {
        if (controlPath.empty()) {
            std::cerr << "kelvora-modemsim: --request needs --control\n";
            return 2;
        }
        const nlohmann::json body = nlohmann::json::parse(request, nullptr, false);
        if (body.is_discarded()) {
            std::cerr << "kelvora-modemsim: the request is not JSON\n";
            return 2;
        }
        nlohmann::json reply;
        std::string error;
        if (!SendControlRequest(controlPath, body, &reply, std::chrono::seconds(10), &error)) {
            std::cerr << "kelvora-modemsim: " << error << "\n";
            return 1;
        }
        std::cout << reply.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        return reply.value("ok", false) ? 0 : 1;
    }

    BlockStopSignals();
    Network network(options);
    std::string error;
    if (!network.Start(&error)) {
        std::cerr << "kelvora-modemsim: " << error << "\n";
        return 1;
    }
    std::vector<ModemInfo> modems;
    for (size_t i = 0; i < network.ModemCount(); ++i) {
        Modem m = network.modem(i);
        modems.push_back({i, m.DevicePath(), m.Number(), comBase + static_cast<int>(i)});
    }

    ControlServer control(network);
    std::vector<std::string> links;
    int code = 0;
    bool ready = true;
    if ((!controlPath.empty() || controlTcp) && !control.Start(controlPath, &error, controlTcp)) ready = false;
    if (ready && !winePrefix.empty() && !LinkIntoWinePrefix(winePrefix, modems, &links, &error)) ready = false;
    if (ready && !infoFile.empty() && !WriteFileAtomically(infoFile, InfoJson(modems, controlPath), &error))
        ready = false;
    if (!ready) {
        std::cerr << "kelvora-modemsim: " << error << "\n";
        code = 1;
    } else {
        // When wrapping, stdout belongs to the command: our lines go to stderr.
        FILE* out = command.empty() ? stdout : stderr;
        for (const ModemInfo& m : modems) {
            std::fprintf(out, "modem %zu %s %s COM%d\n", m.index, m.device.c_str(), m.number.c_str(), m.com);
        }
        if (control.TcpPort() != 0) std::fprintf(out, "control-port %u\n", static_cast<unsigned>(control.TcpPort()));
        std::fflush(out);
        Tracer tracer(&network);
        Tracer* tracing = trace ? &tracer : nullptr;
        code = command.empty() ? WaitForStop(&control, tracing)
                               : RunWrapped(command, modems, controlPath, &control, tracing);
        if (tracing) tracer.Turn();
    }
    control.Stop();
    RemoveLinks(links);
    if (!infoFile.empty() && ready) std::remove(infoFile.c_str());
    network.Stop();
    return code;
}
