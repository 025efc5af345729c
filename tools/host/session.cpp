// Running the operations of a session against the station.
#include "session.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <thread>

#include "console_text.h"
#include "driver/driver_status.h"
#include "driver_text.h"
#include "exit_codes.h"
#include "interruption.h"
#include "register_value_text.h"
#include "station_facts.h"
#include "write_checks.h"

namespace kelvora_host {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr char kPortFailedNote[] = "(the port failed; reopening)";
constexpr char kPortBackNote[] = "(the port is back)";

uint32_t ElapsedMs(SteadyClock::time_point since) {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - since).count());
}

std::string Seconds(uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f s", ms / 1000.0);
    return text;
}

std::string Duration(uint32_t ms) { return ms < 100 ? std::string() : "  (" + Seconds(ms) + ")"; }

}  // namespace

void Session::Fail(const std::string& message) {
    WriteErr("kelvora-host: " + (origin_.empty() ? std::string() : origin_ + ": ") + message + "\n");
}

DriverEvents Session::TakeEvents() {
    if (!takeTraceLines) return DriverEvents();
    const std::vector<std::string> lines = takeTraceLines();
    FollowView(lines);
    DriverEvents events = ReadDriverEvents(lines);
    if (events.lineEvent) portDown_ = events.lineDown;
    portBack_ = portBack_ || events.lineBack;
    if (settings_.verbose) {
        for (const std::string& summary : events.polls) WriteErr("kelvora-host: poll: " + summary + "\n");
    }
    return events;
}

std::string Session::WithPortNote(std::string notes) {
    if (portDown_) {
        // A poll unanswered is the port's doing: the port's note says it.
        const size_t at = notes.find(kUnansweredNote);
        if (at != std::string::npos) notes.erase(at, sizeof kUnansweredNote - 1);
        while (!notes.empty() && notes.front() == ' ') notes.erase(0, 1);
    }
    const char* port = portDown_ ? kPortFailedNote : portBack_ ? kPortBackNote : nullptr;
    portBack_ = false;
    if (port == nullptr) return notes;
    return notes.empty() ? port : std::string(port) + " " + notes;
}

bool Session::ReadOne(Resolved& resolved, ValueRead* read, std::string* note) {
    *read = ValueRead{resolved.label, resolved.address, resolved.dataType, {}, ValueSource::kReading};
    readFailure_.clear();
    const bool done = driver_.Read(&deviceAddress_, &resolved.request, &read->value) != 0;
    const DriverEvents events = TakeEvents();
    read->source = sources_.After(resolved.request, resolved.typeName, takeTraceLines ? &events : nullptr, note);
    // A site that reports sends its group at the read's poll: a report that
    // did not go is told, though the read itself succeeded.
    if (events.send != SendFate::kUnknown && events.send != SendFate::kAccepted) {
        Fail(resolved.label + ": the report of its group " + SendFailure(events, ""));
    }
    if (done) return true;
    const char* status = driver_.GetStatusText();
    // The centre fails a read of M only for its view (--stale-after): the
    // value it filled is its copy, and the run goes on to end with exit 5.
    if (role_ == StationRole::kCentral && resolved.typeName == "M" &&
        StatusCodeOfText(status) == static_cast<int>(kelvora::kStatusReadError)) {
        readFailed_ = true;
        *note = "(read failed: " + (readFailure_.empty() ? DescribeStatusText(status) : readFailure_) +
                "; value from the station's copy)";
        read->source = ValueSource::kCopy;
        return true;
    }
    Fail("read " + resolved.label + " failed: " + DescribeStatusText(status));
    return false;
}

int Session::Read(const Operation& operation) {
    Resolved resolved;
    if (!Resolve(operation.targets.front(), &resolved)) return kExitOperationFailed;
    const auto start = SteadyClock::now();
    ValueRead read;
    std::string note;
    if (!ReadOne(resolved, &read, &note)) return kExitOperationFailed;
    output_.Values({read}, Duration(ElapsedMs(start)), note);
    return kExitOk;
}

std::string& Session::Destination(int32_t site) {
    return destinations_[role_ == StationRole::kCentral ? site : 0];
}

std::string Session::SendFailure(const DriverEvents& events, const char* statusText) const {
    switch (events.send) {
        case SendFate::kNotSent:
            return "NOT sent: the driver refused it: " + events.sendDetail;
        case SendFate::kRefused:
            return "NOT sent: refused by the modem or the network: " +
                   (events.errorNumber >= 0 ? DescribeSmsError(events.errorNumber)
                                            : std::string("no error number (ERROR, or OK without a message reference)"));
        case SendFate::kNoAnswer:
            return "NOT confirmed: the modem did not answer within " + std::to_string(settings_.modemTimeoutMs) +
                   " ms (--timeout); the message may have gone out";
        case SendFate::kPortFailed:
            return "NOT sent: the serial port failed (a write or a read on the port did not go through)";
        case SendFate::kCutOff:
            return "NOT confirmed: the serial port failed after the message was handed to the modem; it may have "
                   "gone out";
        default:
            // No send line of this station's: nothing says the message did not go.
            return "NOT confirmed: the driver reports " + DescribeStatusText(statusText) +
                   (takeTraceLines ? "; its trace does not say what became of the message"
                                   : "; what became of the message is in its trace, which the console does not "
                                     "follow with --trace=debug") +
                   ": it may have gone out";
    }
}

void Session::WarnOfReportCost(const std::vector<Resolved>& registers) {
    // Without a destination no report leaves.
    const std::string name = ReportSwitchRegister(role_);
    if (name.empty() || !reportsOn_ || Destination(deviceAddress_).empty()) return;
    std::set<int32_t> groups;
    for (const Resolved& resolved : registers) {
        if (resolved.typeName == "M") groups.insert(resolved.request.address0 / kGroupSize);
    }
    if (groups.empty()) return;
    const uint32_t periodMs = std::max(kGroupPollMs, settings_.intervalMs);
    const uint64_t perHour = groups.size() * (3600000ull / periodMs);
    output_.Line("note: " + name + " is on: each poll sends its group to the centre by SMS: " +
         std::to_string(groups.size()) + " message(s) every " + Seconds(periodMs) + ", about " +
         std::to_string(perHour) + " an hour while this runs (write " + name + "=0, or a longer --interval)");
}

int Session::Write(const Operation& operation) {
    const Target& target = operation.targets.front();
    Resolved resolved;
    kelvora::RegisterValue value;
    if (!Resolve(target, &resolved) || !ParseValue(resolved, target.value, true, &value)) return kExitOperationFailed;
    const bool empty = resolved.dataType == kelvora::kDataText && value.textValue[0] == '\0';
    const bool sends = WriteSendsMessage(role_, resolved.typeName) && !empty;
    const std::string shown = resolved.label + " <- " + FormatRegisterValue(resolved.dataType, value);
    const std::string detc = DestinationRegister(role_, resolved.request.address0);
    if (sends && Destination(resolved.request.address0).empty()) {
        Fail(shown + "  NOT sent: " + detc + " is empty: the message has no destination; write " + detc + " first");
        return kExitOperationFailed;
    }
    const auto start = SteadyClock::now();
    SetSendUnderWay(sends);
    const bool written = driver_.Write(&deviceAddress_, &resolved.request, &value) != 0;
    SetSendUnderWay(false);
    const DriverEvents events = TakeEvents();
    if (written) {
        if (resolved.typeName == "DETC") Destination(resolved.request.address0) = target.value;
        if (resolved.typeName == "COMFLAG") reportsOn_ = value.bitValue != 0;
        const char* note = sends ? "  sent" : WriteSendsMessage(role_, resolved.typeName) ? "  (empty: nothing sent)" : "";
        const std::string where = WriteNote(role_, resolved.typeName, resolved.request, value);
        output_.Line(shown + note + (where.empty() ? "" : "  (" + where + ")") + Duration(ElapsedMs(start)));
        return kExitOk;
    }
    const char* status = driver_.GetStatusText();
    if (sends) {
        Fail(shown + "  " + SendFailure(events, status) + Duration(ElapsedMs(start)));
    } else {
        Fail("write " + resolved.label + " failed: " + DescribeStatusText(status));
    }
    return kExitOperationFailed;
}

int Session::Sleep(uint32_t milliseconds) {
    const auto start = SteadyClock::now();
    while (ElapsedMs(start) < milliseconds) {
        if (Interrupted()) return kExitInterrupted;
        const uint32_t left = milliseconds - ElapsedMs(start);
        std::this_thread::sleep_for(std::chrono::milliseconds(left < 50 ? left : 50));
    }
    return kExitOk;
}

int Session::Watch(const Operation& operation) {
    std::vector<Resolved> registers(operation.targets.size());
    for (size_t i = 0; i < operation.targets.size(); ++i) {
        if (!Resolve(operation.targets[i], &registers[i])) return kExitOperationFailed;
    }
    WarnOfReportCost(registers);
    // Rounds keep to a grid of intervals; a round that overran (a poll takes
    // a second or more) skips the slots it missed rather than bunching up.
    const auto start = SteadyClock::now();
    uint64_t nextMs = 0;
    for (uint32_t round = 0; settings_.watchCount == 0 || round < settings_.watchCount; ++round) {
        std::vector<ValueRead> values(registers.size());
        std::string notes;
        for (size_t i = 0; i < registers.size(); ++i) {
            if (Interrupted()) {
                stopNote_ = "after " + std::to_string(round) + " round(s)";
                return kExitInterrupted;
            }
            std::string note;
            if (!ReadOne(registers[i], &values[i], &note)) return kExitOperationFailed;
            if (!note.empty() && notes.find(note) == std::string::npos) notes += (notes.empty() ? "" : " ") + note;
        }
        output_.Values(values, std::string(), WithPortNote(notes));
        if (settings_.watchCount != 0 && round + 1 == settings_.watchCount) break;
        const uint64_t nowMs = ElapsedMs(start);
        do {
            nextMs += settings_.intervalMs;
        } while (nextMs <= nowMs);
        if (Sleep(static_cast<uint32_t>(nextMs - nowMs)) == kExitInterrupted) {
            stopNote_ = "after " + std::to_string(round + 1) + " round(s)";
            return kExitInterrupted;
        }
    }
    return kExitOk;
}

int Session::Await(const Operation& operation) {
    const Target& target = operation.targets.front();
    Resolved resolved;
    kelvora::RegisterValue expected;
    if (!Resolve(target, &resolved) || !ParseValue(resolved, target.value, false, &expected)) {
        return kExitOperationFailed;
    }
    WarnOfReportCost({resolved});
    const auto start = SteadyClock::now();
    ValueRead read;
    for (;;) {
        const auto roundStart = SteadyClock::now();
        std::string note;
        if (!ReadOne(resolved, &read, &note)) return kExitOperationFailed;
        if (SameRegisterValue(resolved.dataType, read.value, expected)) {
            output_.Values({read}, Duration(ElapsedMs(start)), note);
            return kExitOk;
        }
        const uint32_t spent = ElapsedMs(roundStart);
        const bool timeUp = ElapsedMs(start) >= settings_.awaitTimeoutMs;
        if (Interrupted() || (!timeUp && spent < settings_.intervalMs &&
                              Sleep(settings_.intervalMs - spent) == kExitInterrupted)) {
            stopNote_ = "after " + Seconds(ElapsedMs(start)) + ", last read " +
                        FormatRegisterValue(resolved.dataType, read.value);
            return kExitInterrupted;
        }
        if (timeUp) break;
    }
    Fail(resolved.label + " did not become " + FormatRegisterValue(resolved.dataType, expected) + " within " +
         Seconds(ElapsedMs(start)) + " (last read " + FormatRegisterValue(resolved.dataType, read.value) + ")");
    return kExitNotReached;
}

int Session::Pause(const Operation& operation) { return Sleep(operation.milliseconds); }

int Session::Echo(const Operation& operation) {
    output_.Line(operation.text);
    return kExitOk;
}

int Session::Types(const Operation&) {
    kelvora::RegisterInfo* list = nullptr;
    uint16_t count = 0;
    driver_.GetRegisterList(&list, &count);
    output_.Line(std::string("register types of the ") + RoleName(role_) + " station:");
    for (uint16_t i = 0; list != nullptr && i < count; ++i) {
        const std::string name = RegisterTypeName(list[i]);
        const int32_t access = list[i].accessCode;
        const char* accessText = access == 3 ? "read/write" : access == 2 ? "write" : access == 1 ? "read" : "?";
        char line[160];
        std::snprintf(line, sizeof(line), "  %u  %-9s access %d (%s), data types %s", static_cast<unsigned>(i),
                      name.c_str(), static_cast<int>(access), accessText, DataTypeNames(list[i].dataTypeMask).c_str());
        output_.Line(line);
        const std::string syntax = AddressSyntax(role_, name);
        if (!syntax.empty()) output_.Line("       address: " + syntax);
    }
    return kExitOk;
}

int Session::Check(const Operation& operation) {
    Resolved resolved;
    if (!Resolve(operation.targets.front(), &resolved)) return kExitOperationFailed;
    const kelvora::RegisterRequest& r = resolved.request;
    char line[200];
    std::snprintf(line, sizeof(line), "%s: type index %d, fields %d %d %d %d, data type %s", resolved.label.c_str(),
                  r.typeIndex, static_cast<int>(r.address0), r.address1, r.address2, r.address3,
                  DataTypeName(resolved.dataType).c_str());
    output_.Line(line);
    return kExitOk;
}

int Session::Run(const Operation& operation) {
    origin_ = operation.origin;
    stopNote_.clear();
    if (NeedsPort(operation) && !hasPort_) {
        Fail(std::string(OperationName(operation.kind)) + " needs a port: start the session with --port");
        return kExitUsage;
    }
    return (this->*RowOf(operation.kind).run)(operation);
}

int Session::RunBatch(const std::vector<Operation>& operations) {
    int firstFailure = kExitOk;
    sources_.Restart();
    readFailed_ = false;
    for (size_t i = 0; i < operations.size(); ++i) {
        if (Interrupted()) {
            ReportInterrupted(operations, i, false);
            return InterruptedExitCode();
        }
        const int code = Run(operations[i]);
        if (code == kExitInterrupted) {
            ReportInterrupted(operations, i, true);
            return InterruptedExitCode();
        }
        if (code == kExitOk) continue;
        if (!settings_.keepGoing) return code;
        if (firstFailure == kExitOk) firstFailure = code;
    }
    origin_.clear();
    if (firstFailure == kExitOk && (!sources_.firstFailure().empty() || readFailed_)) {
        Fail((!sources_.firstFailure().empty() ? sources_.firstFailure() : std::string("a read failed (--stale-after)")) +
             ": values shown with a note are the station's copy");
        return kExitNotReached;
    }
    return firstFailure;
}

void Session::ReportInterrupted(const std::vector<Operation>& operations, size_t stoppedAt, bool startedStopped) {
    constexpr size_t kListed = 8;  // a long script's rest is counted, not listed
    origin_.clear();
    const auto item = [](const Operation& operation) {
        return (operation.origin.empty() ? std::string() : operation.origin + " ") + Describe(operation);
    };
    std::string text = std::string(Terminating() ? "stopped (terminated): " : "stopped by Ctrl-C: ") + std::to_string(stoppedAt) + " of " +
                       std::to_string(operations.size()) + " operation(s) done";
    size_t next = stoppedAt;
    if (startedStopped) {
        text += "\n  stopped: " + item(operations[next]) + (stopNote_.empty() ? "" : " (" + stopNote_ + ")");
        ++next;
    }
    if (next < operations.size()) {
        text += "\n  not done:";
        for (size_t i = next; i < operations.size() && i < next + kListed; ++i) text += "\n    " + item(operations[i]);
        if (operations.size() - next > kListed) {
            text += "\n    ... and " + std::to_string(operations.size() - next - kListed) + " more";
        }
    }
    Fail(text);
}

}  // namespace kelvora_host
