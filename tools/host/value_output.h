// Where a session's lines go, and values read in the format the user chose:
// text for people, CSV or JSON lines for programs. In CSV and JSON, standard
// output carries only the values; every other line goes to standard error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/host_records.h"

namespace kelvora_host {

enum class OutputFormat { kText, kCsv, kJson };

bool OutputFormatFromName(const std::string& name, OutputFormat* format);

// The local date and time to the millisecond: "2024-05-01 14:03:07.412".
std::string DateTimeNow();
// A CSV field, quoted when it holds a comma, a quote or a line end.
std::string CsvField(const std::string& text);

// Where a value read comes from: a reading (a poll the modem answered, or a
// value the station holds itself), the station's copy (the modem did not
// answer or refused the poll that should have refreshed it), or not known
// (the driver's trace is not followed, so its polls cannot be told).
enum class ValueSource { kReading, kCopy, kUnknown };

struct ValueRead {
    std::string label;    // the address as the user typed it, with ":type" when given (text)
    std::string address;  // the address alone (CSV, JSON: the type has its own column)
    int16_t dataType = 0;
    kelvora::RegisterValue value{};
    ValueSource source = ValueSource::kReading;
};

class Output {
public:
    Output(OutputFormat format, bool timestamps) : format_(format), timestamps_(timestamps) {}

    // A line for people.
    void Line(const std::string& text);
    // Values read at one moment: one line in text ("A = 1   B = 2", then
    // suffix), one record per value in CSV (time,address,type,value,source,
    // after a header) and JSON ({"time", "address", "type", "value",
    // "source"}); the source is "reading", "copy" or "unknown" (ValueSource).
    // A note about them ends the text line; in CSV and JSON it is a line for
    // people.
    void Values(const std::vector<ValueRead>& values, const std::string& suffix = std::string(),
                const std::string& note = std::string());

private:
    std::string Stamp() const;
    OutputFormat format_;
    bool timestamps_;
    bool csvHeaderDone_ = false;
};

}  // namespace kelvora_host
