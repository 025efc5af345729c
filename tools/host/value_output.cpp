// Session output in text, CSV and JSON.
#include "value_output.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include <nlohmann/json.hpp>

#include "console_text.h"
#include "driver_text.h"
#include "register_value_text.h"

namespace kelvora_host {
namespace {

const char* Source(const ValueRead& read) {
    switch (read.source) {
        case ValueSource::kCopy: return "copy";
        case ValueSource::kUnknown: return "unknown";
        default: return "reading";
    }
}

// The value alone, unquoted: numbers as text, a text as the driver's code
// page gives it back in UTF-8.
std::string PlainValue(const ValueRead& read) {
    if (read.dataType == kelvora::kDataText) {
        return DriverTextToUtf8(read.value.textValue, kelvora::kTextValueSize);
    }
    return FormatRegisterValue(read.dataType, read.value);
}

// One JSON line: the keys in the order people read them.
std::string JsonLine(const std::string& time, const ValueRead& read) {
    nlohmann::ordered_json line;
    line["time"] = time;
    line["address"] = read.address;
    line["type"] = DataTypeName(read.dataType);
    switch (read.dataType) {
        case kelvora::kDataText: line["value"] = PlainValue(read); break;
        case kelvora::kDataFloat:
            if (std::isfinite(read.value.floatValue)) {
                line["value"] = nlohmann::ordered_json::parse(PlainValue(read));  // as the text output shows it
            } else {
                line["value"] = nullptr;
            }
            break;
        case kelvora::kDataWord: line["value"] = read.value.wordValue; break;
        case kelvora::kDataBit: line["value"] = read.value.bitValue; break;
        default: line["value"] = read.value.intValue; break;
    }
    line["source"] = Source(read);
    return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

bool OutputFormatFromName(const std::string& name, OutputFormat* format) {
    if (name == "text") {
        *format = OutputFormat::kText;
    } else if (name == "csv") {
        *format = OutputFormat::kCsv;
    } else if (name == "json") {
        *format = OutputFormat::kJson;
    } else {
        return false;
    }
    return true;
}

std::string DateTimeNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const int millis = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    char text[48] = "";
    // One thread asks for the time; std::localtime's shared result is safe here.
    if (const std::tm* local = std::localtime(&seconds)) {
        std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d.%03d", local->tm_year + 1900,
                      local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec, millis);
    }
    return text;
}

std::string Output::Stamp() const { return timestamps_ ? DateTimeNow() + "  " : std::string(); }

void Output::Line(const std::string& text) {
    if (format_ == OutputFormat::kText) {
        WriteOut(Stamp() + text + "\n");
    } else {
        WriteErr(Stamp() + text + "\n");
    }
}

void Output::Values(const std::vector<ValueRead>& values, const std::string& suffix, const std::string& note) {
    if (format_ == OutputFormat::kText) {
        std::string line;
        for (const ValueRead& read : values) {
            if (!line.empty()) line += "   ";
            line += read.label + " = " + FormatRegisterValue(read.dataType, read.value);
        }
        WriteOut(Stamp() + line + suffix + (note.empty() ? "" : "  " + note) + "\n");
        return;
    }
    if (!note.empty()) Line(note);
    const std::string time = DateTimeNow();
    std::string out;
    if (format_ == OutputFormat::kCsv && !csvHeaderDone_) {
        out += "time,address,type,value,source\n";
        csvHeaderDone_ = true;
    }
    for (const ValueRead& read : values) {
        const std::string type = DataTypeName(read.dataType);
        if (format_ == OutputFormat::kCsv) {
            out += time + "," + CsvField(read.address) + "," + type + "," + CsvField(PlainValue(read)) + "," +
                   Source(read) + "\n";
        } else {
            out += JsonLine(time, read);
        }
    }
    WriteOut(out);
}

}  // namespace kelvora_host
