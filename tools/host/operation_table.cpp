// The operations, one row each: what the parser, the help, the port check
// and the session's dispatch all read.
#include "operations.h"
#include "session.h"

namespace kelvora_host {
namespace {

const OperationRow kOperations[] = {
    {"read", OperationKind::kRead, Arguments::kEachAddress, true, "read ADDR[:TYPE]...",
     "read registers and print their values", &Session::Read},
    {"write", OperationKind::kWrite, Arguments::kEachValue, true, "write ADDR[:TYPE]=VALUE...",
     "write registers (ADDR=VALUE:TYPE works too); a write\n"
     "                               that sends a message says \"sent\" or why not",
     &Session::Write},
    {"watch", OperationKind::kWatch, Arguments::kAddresses, true, "watch ADDR[:TYPE]...",
     "read every --interval ms, --count times (0: until Ctrl-C)", &Session::Watch},
    {"await", OperationKind::kAwait, Arguments::kOneValue, true, "await ADDR[:TYPE]=VALUE",
     "read every --interval ms until the value is there,\n"
     "                               at most --await-timeout ms",
     &Session::Await},
    {"sleep", OperationKind::kSleep, Arguments::kDuration, false, "sleep MS", "pause (sleep 1500, sleep 3s)",
     &Session::Pause},
    {"types", OperationKind::kTypes, Arguments::kNone, false, "types",
     "list the station's register types and address syntax", &Session::Types},
    {"check", OperationKind::kCheck, Arguments::kEachAddress, false, "check ADDR[:TYPE]...",
     "parse addresses without touching the modem", &Session::Check},
    {"echo", OperationKind::kEcho, Arguments::kText, false, "echo TEXT...", "print a line (marks in scripts)",
     &Session::Echo},
    {"status", OperationKind::kStatus, Arguments::kNone, false, "status",
     "central: each site's last report, reports applied and\n"
     "                               refused, writes held, silent or not",
     &Session::Status},
};

}  // namespace

const OperationRow* OperationTable(size_t* count) {
    *count = sizeof kOperations / sizeof kOperations[0];
    return kOperations;
}

const OperationRow* FindOperation(const std::string& name) {
    for (const OperationRow& row : kOperations) {
        if (name == row.name) return &row;
    }
    return nullptr;
}

const OperationRow& RowOf(OperationKind kind) {
    for (const OperationRow& row : kOperations) {
        if (row.kind == kind) return row;
    }
    return kOperations[0];  // every kind has its row
}

}  // namespace kelvora_host
