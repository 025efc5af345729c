// A session: one station, kept alive across any number of operations (its
// register image and numbers live only in memory), driven only through its
// IDeviceDriver table.
#pragma once

#include <atomic>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "driver/i_device_driver.h"
#include "operations.h"
#include "station_loader.h"

namespace kelvora_host {

struct SessionSettings {
    uint32_t intervalMs = 1000;       // watch and await: time between reads
    uint32_t watchCount = 0;          // watch: rounds, 0 until interrupted
    uint32_t awaitTimeoutMs = 60000;  // await: give up after this
    bool timestamps = false;          // prefix every line with the time of day
};

// Set by the interrupt handler; sessions stop at the next step.
extern std::atomic<bool> g_interrupted;

class Session {
public:
    // hasPort: whether the station's port is opened (operations that reach
    // the modem are refused without one).
    Session(kelvora::IDeviceDriver& driver, StationRole role, int32_t deviceAddress, const SessionSettings& settings,
            bool hasPort)
        : driver_(driver), role_(role), deviceAddress_(deviceAddress), settings_(settings), hasPort_(hasPort) {}

    // Parses every address of the operations with the driver before anything
    // runs, so that a typing error sends no message. Returns an exit code.
    int CheckAll(const std::vector<Operation>& operations);
    // Runs the operations in order; stops at the first failure.
    int RunAll(const std::vector<Operation>& operations);
    // Runs a script, one or more operations a line; "quit" ends it. With
    // keepGoing a failing line is reported and the script goes on; the exit
    // code is then the first failure's.
    int RunScript(std::istream& input, const std::string& name, bool keepGoing);

    int Run(const Operation& operation);

private:
    struct Resolved {
        kelvora::RegisterRequest request;
        int16_t dataType = 0;
        std::string label;
    };

    bool Resolve(const Target& target, Resolved* resolved);
    int Read(const Operation& operation);
    int Write(const Operation& operation);
    int Watch(const Operation& operation);
    int Await(const Operation& operation);
    int Types();
    int Check(const Operation& operation);
    int Sleep(uint32_t milliseconds);

    // Reads one register; on failure reports it and returns false.
    bool ReadOne(Resolved& resolved, kelvora::RegisterValue* value);
    void Emit(const std::string& line);
    void Fail(const std::string& message);
    std::string SyntaxHint(const std::string& typeName) const;

    kelvora::IDeviceDriver& driver_;
    StationRole role_;
    int32_t deviceAddress_;
    SessionSettings settings_;
    bool hasPort_;
};

}  // namespace kelvora_host
