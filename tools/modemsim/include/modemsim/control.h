// The control protocol of the modem simulator: one JSON object per line over
// a local (Unix domain) stream socket, one JSON reply per line.
//
// Requests: {"cmd": "<name>", ...}; every reply has "ok" (and "error" when false).
//   modems                                     -> "modems": [{index, device, number, line_open, capacity, stored,
//                                                            high_water, undeletable, stuck}]; device is the
//                                                            link clients open
//   inject        modem, text, sender, coding ("gsm7"|"ucs2"|"8bit"), [index]   -> "index"
//   inject_pdu    modem, pdu, [status 0..3], [index]                          -> "index"
//   stored        modem                        -> "messages": [{index, status, length, pdu, decoded}]
//   clear_store   modem
//   submitted     [modem]                      -> "submitted": [{time_ms, from, pdu, accepted, mr, outcome, to,
//                                                 stored_index, delivered_ms, deliver_pdu, copies: [{delivered_ms,
//                                                 stored_index}], decoded, ...}]
//   log           modem                        -> "log": [{time_ms, command, response, delay_ms}]
//   clear_log     modem
//   fault         modem, kind (silence|delay|error|cms_error|garbage|cut_off|unsolicited|close_line),
//                 [command], [times], [delay_ms], [cms_error], [bytes], [keep_bytes], [after_lines],
//                 [echo] (silence: the command is still echoed)
//   clear_faults  modem
//   hold_back     modem, [times], [overtaken_by], [longest_ms], [follow_ms]   the network holds the
//                 next messages it sends until that many later ones of it to the same destination
//                 have arrived (then follow_ms more, default 0), or longest_ms (default 60000) is
//                 over (Modem::HoldBack)
//   deliver_twice modem, [times], [overtaken_by], [longest_ms], [follow_ms]   and delivers them twice,
//                 the second copy after that many later ones (Modem::DeliverTwice); times 0 ends either
//   undeletable   modem, index, [cms_error]    every delete of that place refused with +CMS ERROR
//                 (default 321) for good; cms_error 0 lifts it (Modem::RefuseDeletes)
//   fill_store    modem, [sender], [text]      every free place of the store taken -> "filled"
//   restart       modem, [boot_ms]             the modem restarts (Modem::Restart)
//   unplug        modem, [away_ms], [boot_ms]  the modem is unplugged for away_ms, then starts
//                                              (Modem::Unplug; 5000 and 1000 by default)
//   hang_up       modem                        the line hangs up and comes back at once (Modem::HangUp)
//   echo          modem, on                    command echo on or off (as ATE1 / ATE0)
//   send_raw      modem, bytes
//   baud          [modem], rate                (no modem: all)
//   capacity      modem, capacity
//   cmti          modem, on
//   stats                                      -> submitted, delivered, undeliverable, rejected,
//                                                 pending, duplicated, held
//   quit                                       (the program stops)
// The same protocol is served on a TCP port of 127.0.0.1 when asked for.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "modemsim/modemsim.h"

namespace modemsim {

nlohmann::json HandleControlRequest(Network& network, const nlohmann::json& request, bool* quit = nullptr);
nlohmann::json ToJson(const DecodedPdu& decoded);
nlohmann::json ToJson(const SubmittedPdu& submitted);
nlohmann::json ToJson(const LogEntry& entry);
std::string DumpJson(const nlohmann::json& value);  // invalid UTF-8 replaced, never throws

class ControlServer {
public:
    explicit ControlServer(Network& network) : network_(network) {}
    ~ControlServer() { Stop(); }
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Listens on the Unix socket at socketPath (none when empty) and, when
    // tcp is set, on an ephemeral TCP port of 127.0.0.1 (for clients that
    // cannot reach a Unix socket, such as Win32 programs under Wine).
    bool Start(const std::string& socketPath, std::string* error, bool tcp = false);
    void Stop();
    bool QuitRequested() const { return quit_; }
    uint16_t TcpPort() const { return tcpPort_; }  // 0 when not listening on TCP

private:
    void Loop();
    Network& network_;
    std::string path_;
    int listener_ = -1;
    int tcpListener_ = -1;
    uint16_t tcpPort_ = 0;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<bool> quit_{false};
};

// Sends one request and reads its reply, within `timeout`.
bool SendControlRequest(const std::string& socketPath, const nlohmann::json& request, nlohmann::json* reply,
                        Millis timeout, std::string* error);

}  // namespace modemsim
