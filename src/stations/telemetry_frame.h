// TelemetryFrame: the fixed-length text frames the stations exchange by SMS.
// "BEGINWM%02d%03d%08XEND" (23 characters) is a write command from the
// central station to a site; a report (55 characters) carries the five values
// of one group of a site to the central station.
#pragma once

#include <cstdint>
#include <string>

namespace kelvora {

constexpr int kSiteCount = 32;            // site numbers 0 to 31
constexpr int kSiteRegisters = 1001;      // addresses 0 to 1000
constexpr int kGroupSize = 5;             // a group starts at a multiple of 5
constexpr size_t kWriteCommandLength = 23;
constexpr size_t kReportLength = 55;

struct WriteCommand {
    int32_t site;
    int32_t address;
    uint32_t value;
};

struct Report {
    int32_t site;
    int32_t firstAddress;
    uint32_t values[kGroupSize];
};

inline int32_t GroupStart(int32_t address) { return address / kGroupSize * kGroupSize; }

std::string FormatWriteCommand(int32_t site, int32_t address, uint32_t value);
std::string FormatReport(int32_t site, int32_t firstAddress, const uint32_t values[kGroupSize]);

// Reads a text as a frame of the kind: "BEGIN" and "END" present, exact
// length, type code; site and address as atoi reads them, values as
// sscanf("%X") reads them. The range rules are the receiving station's.
bool ParseWriteCommand(const char* text, WriteCommand* command);
bool ParseReport(const char* text, Report* report);

// The ranges the receiving stations check: site 0 to 31, address 0 to 1000.
bool IsSiteNumber(int32_t site);
bool IsSiteAddress(int32_t address);

}  // namespace kelvora
