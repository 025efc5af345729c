// The operations a session runs, as the user writes them on the command line
// or in a script, one row each in a table (operation_table.cpp): its name,
// what it takes, whether it needs the port, its help and its handler. A new
// operation is a row there and a handler in the session.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvora_host {

enum class OperationKind { kRead, kWrite, kWatch, kAwait, kSleep, kTypes, kCheck, kEcho, kStatus };

// One register named by the user.
struct Target {
    std::string address;        // as typed, without the type suffix
    std::string typeName;       // empty: the register type's default
    std::string value;          // for write and await
    bool hasValue = false;
};

// What an operation takes after its name.
enum class Arguments {
    kNone,          // types, status
    kEachAddress,   // read, check: one operation per address
    kEachValue,     // write: one operation per ADDRESS=VALUE
    kAddresses,     // watch: all together
    kOneValue,      // await: one ADDRESS=VALUE
    kDuration,      // sleep
    kText,          // echo: the words as one text
};

class Session;
struct Operation;

struct OperationRow {
    const char* name;
    OperationKind kind;
    Arguments arguments;
    bool needsPort;     // it reads or writes registers
    const char* usage;  // "read ADDR[:TYPE]..."
    const char* help;   // lines after the first indented to the help's column
    int (Session::*run)(const Operation&);
};

// The row of an operation; nullptr for a word that names none.
const OperationRow* FindOperation(const std::string& name);
const OperationRow& RowOf(OperationKind kind);
// Every row, in the help's order.
const OperationRow* OperationTable(size_t* count);

// One operation. read, write and check name one register each (the user's
// "read A B" becomes two), so that an interrupted batch can say which were
// done; watch and await keep theirs together.
struct Operation {
    OperationKind kind = OperationKind::kRead;
    std::vector<Target> targets;
    uint32_t milliseconds = 0;  // sleep
    std::string text;           // echo
    std::string origin;         // "file:line" for a script's operations
};

// Turns tokens into operations; false with a message for the user.
bool ParseOperations(const std::vector<std::string>& tokens, std::vector<Operation>* operations,
                     std::string* error);

// Splits a script line into tokens: blanks separate, double quotes group
// (\" and \\ inside quotes), '#' outside quotes starts a comment.
bool SplitScriptLine(const std::string& line, std::vector<std::string>* tokens, std::string* error);

// Whether the operation needs an open port (everything that reads or writes).
bool NeedsPort(const Operation& operation);

const char* OperationName(OperationKind kind);
// Whether a word names an operation ("read", "write", ...).
bool IsOperationName(const std::string& word);
// The operation as the user would write it: "write M5.120=42", "sleep 3000ms".
std::string Describe(const Operation& operation);
// The list of operations, for --help and the interactive prompt's help.
const char* OperationsHelp();

}  // namespace kelvora_host
