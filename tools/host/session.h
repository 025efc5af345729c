// A session: one station, kept alive across any number of operations (its
// register image and numbers live only in memory), driven only through its
// IDeviceDriver table. Operations come from the command line, a script read
// whole, or a person at the prompt.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "driver/i_device_driver.h"
#include "driver_events.h"
#include "operations.h"
#include "read_sources.h"
#include "station_loader.h"
#include "station_view.h"
#include "value_output.h"

namespace kelvora_host {

struct SessionSettings {
    uint32_t intervalMs = 1000;       // watch and await: time between reads
    uint32_t watchCount = 0;          // watch: rounds, 0 until interrupted
    uint32_t awaitTimeoutMs = 60000;  // await: give up after this
    int32_t modemTimeoutMs = 10000;   // the port's reply time-out, for messages
    bool timestamps = false;          // prefix every line with the date and time
    bool keepGoing = false;           // run on after a failed operation
    bool force = false;               // write what no site would apply all the same
    bool verbose = false;             // a line for each poll the driver made
    bool stationWidePoll = false;     // the central station keeps one poll time for all its registers
    OutputFormat format = OutputFormat::kText;
};

class Session {
public:
    // hasPort: whether the station's port is opened (operations that reach
    // the modem are refused without one).
    Session(kelvora::IDeviceDriver& driver, StationRole role, int32_t deviceAddress, const SessionSettings& settings,
            bool hasPort)
        : driver_(driver),
          role_(role),
          deviceAddress_(deviceAddress),
          settings_(settings),
          hasPort_(hasPort),
          output_(settings.format, settings.timestamps),
          sources_(role, settings.stationWidePoll) {}

    // Checks every address and value with the driver before anything runs,
    // so that a typing error sends no message; reports each error found.
    // Returns an exit code.
    int CheckAll(const std::vector<Operation>& operations);
    // Runs the operations in order: stops at the first failure unless
    // keepGoing (the exit code is then the first failure's). Ctrl-C stops
    // before the next operation: the program says what was done and what
    // was not, and the result is InterruptedExitCode(). A value read from
    // the station's copy (the modem did not answer the poll, or refused it)
    // fails no operation, but the batch then ends with kExitNotReached.
    int RunBatch(const std::vector<Operation>& operations);
    // A person at the prompt: each line checked whole and run as it comes;
    // Ctrl-C returns to the prompt, and the session ends with "quit" or the
    // end of input (exit 0).
    int RunPrompt();

    // The lines this session's station traced since the last call; the
    // session asks after every read and write. Unset: the trace is not
    // followed, and what the driver did is known only from its status.
    std::function<std::vector<std::string>()> takeTraceLines;

    // The operations' handlers (operation_table.cpp): each returns an exit code.
    int Read(const Operation& operation);
    int Write(const Operation& operation);
    int Watch(const Operation& operation);
    int Await(const Operation& operation);
    int Pause(const Operation& operation);
    int Types(const Operation& operation);
    int Check(const Operation& operation);
    int Echo(const Operation& operation);
    int Status(const Operation& operation);  // session_status.cpp

private:
    struct Resolved {
        kelvora::RegisterRequest request;
        int16_t dataType = 0;
        std::string typeName;  // the register type the driver took
        std::string address;   // as typed
        std::string label;     // as typed, with ":type" when the user named one
    };

    int Run(const Operation& operation);
    // Each address is parsed by the driver once; later uses take the result.
    bool Resolve(const Target& target, Resolved* resolved);
    // writing: also what the driver would refuse to send, or no site apply.
    bool ParseValue(const Resolved& resolved, const std::string& text, bool writing, kelvora::RegisterValue* value);
    int Sleep(uint32_t milliseconds);

    // Reads one register into read; on failure reports it and returns false.
    // note: why the value is the station's copy (see ReadSources), or empty.
    bool ReadOne(Resolved& resolved, ValueRead* read, std::string* note);
    // What the driver's trace tells of the operation just run; with -v its
    // polls are shown, and a free text a poll took is shown always.
    DriverEvents TakeEvents();
    // A watch row's notes with the port's first, while the line is down or on
    // the round it came back.
    std::string WithPortNote(std::string notes);
    // The station's view in the lines just taken (session_status.cpp).
    void FollowView(const std::vector<std::string>& lines);
    // Repeated reads at a site that reports cost an SMS per group and poll:
    // says how many, before they begin.
    void WarnOfReportCost(const std::vector<Resolved>& registers);
    // Why a message did not go, in the driver's words.
    std::string SendFailure(const DriverEvents& events, const char* statusText) const;
    // The destination number written in this session for the site's messages.
    std::string& Destination(int32_t site);
    // The work of a batch that Ctrl-C cut: done, stopped, not started.
    void ReportInterrupted(const std::vector<Operation>& operations, size_t stoppedAt, bool startedStopped);
    void Fail(const std::string& message);

    kelvora::IDeviceDriver& driver_;
    StationRole role_;
    int32_t deviceAddress_;
    SessionSettings settings_;
    bool hasPort_;
    Output output_;
    std::string origin_;     // the running operation's "file:line", for messages
    std::string stopNote_;   // how far an interrupted operation got
    std::map<std::string, Resolved> resolved_;      // by address and type as typed
    // The station's numbers and report switch live only in this session:
    // what was written is what they hold (a new station has no DETC and
    // COMFLAG off), so the console never reads them back behind the host.
    std::map<int32_t, std::string> destinations_;
    bool reportsOn_ = false;
    bool readFailed_ = false;  // a read the centre failed (StaleAfter)
    StationView view_;
    std::string readFailure_;  // the driver's reason for the last read it failed
    // The driver's serial line as its trace last told: down until a reopen
    // brought it back; portBack_ until a row said so.
    bool portDown_ = false;
    bool portBack_ = false;
    ReadSources sources_;
};

}  // namespace kelvora_host
