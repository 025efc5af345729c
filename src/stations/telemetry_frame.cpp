// TelemetryFrame: writing and reading the write-command and report texts.
// Reading follows the C library's conversions the peers in the field use:
// site and address as atoi reads them, values as sscanf("%X") reads them,
// each from a zero-filled copy of its field. The conversions are written out
// here so that both platforms read a field alike.
#include "stations/telemetry_frame.h"

#include <cstdio>
#include <cstring>

namespace kelvora {

namespace {

constexpr char kBegin[] = "BEGIN";
constexpr char kEnd[] = "END";
constexpr size_t kTypeCodeOffset = 5;
constexpr size_t kSiteOffset = 7;
constexpr size_t kSiteWidth = 2;
constexpr size_t kAddressOffset = 9;
constexpr size_t kAddressWidth = 3;
constexpr size_t kValueOffset = 12;
constexpr size_t kValueWidth = 8;

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// atoi on a field of at most three characters: blanks, a sign, digits.
int32_t DecimalField(const char* field, size_t width) {
    char copy[4] = {};
    std::memcpy(copy, field, width);
    const char* c = copy;
    while (IsCSpace(*c)) ++c;
    bool negative = false;
    if (*c == '+' || *c == '-') negative = (*c++ == '-');
    int32_t value = 0;
    for (; *c >= '0' && *c <= '9'; ++c) value = value * 10 + (*c - '0');
    return negative ? -value : value;
}

// sscanf("%X") on an eight-character field: blanks, a sign, an optional 0x,
// hexadecimal digits of either case; 0 when nothing converts. A minus sign
// negates modulo 2^32, as the C library's conversion does.
uint32_t HexField(const char* field) {
    char copy[kValueWidth + 1] = {};
    std::memcpy(copy, field, kValueWidth);
    const char* c = copy;
    while (IsCSpace(*c)) ++c;
    bool negative = false;
    if (*c == '+' || *c == '-') negative = (*c++ == '-');
    if (c[0] == '0' && (c[1] == 'x' || c[1] == 'X') && HexDigit(c[2]) >= 0) c += 2;
    uint32_t value = 0;
    for (; HexDigit(*c) >= 0; ++c) value = (value << 4) | static_cast<uint32_t>(HexDigit(*c));
    return negative ? 0u - value : value;
}

// The frame's first character when text is a frame of the given type code
// and length, else null. A frame must begin the text: with anything before
// "BEGIN" its fixed-length fields would run past the text's end.
const char* FindFrame(const char* text, const char* typeCode, size_t length) {
    if (text == nullptr) return nullptr;
    const char* begin = std::strstr(text, kBegin);
    if (begin == nullptr || std::strstr(text, kEnd) == nullptr) return nullptr;
    if (std::strlen(text) != length || begin != text) return nullptr;
    if (std::memcmp(begin + kTypeCodeOffset, typeCode, 2) != 0) return nullptr;
    return begin;
}

}  // namespace

std::string FormatWriteCommand(int32_t site, int32_t address, uint32_t value) {
    char text[64];
    const int n = std::snprintf(text, sizeof text, "BEGINWM%02d%03d%08XEND", static_cast<int>(site),
                                static_cast<int>(address), static_cast<unsigned>(value));
    return std::string(text, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string FormatReport(int32_t site, int32_t firstAddress, const uint32_t values[kGroupSize]) {
    char text[128];
    int n = std::snprintf(text, sizeof text, "BEGINRM%02d%03d", static_cast<int>(site),
                          static_cast<int>(firstAddress));
    std::string report(text, n > 0 ? static_cast<size_t>(n) : 0);
    for (int i = 0; i < kGroupSize; ++i) {
        n = std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(values[i]));
        report.append(text, n > 0 ? static_cast<size_t>(n) : 0);
    }
    report += kEnd;
    return report;
}

bool ParseWriteCommand(const char* text, WriteCommand* command) {
    const char* frame = FindFrame(text, "WM", kWriteCommandLength);
    if (frame == nullptr || command == nullptr) return false;
    command->site = DecimalField(frame + kSiteOffset, kSiteWidth);
    command->address = DecimalField(frame + kAddressOffset, kAddressWidth);
    command->value = HexField(frame + kValueOffset);
    return true;
}

bool ParseReport(const char* text, Report* report) {
    const char* frame = FindFrame(text, "RM", kReportLength);
    if (frame == nullptr || report == nullptr) return false;
    report->site = DecimalField(frame + kSiteOffset, kSiteWidth);
    report->firstAddress = DecimalField(frame + kAddressOffset, kAddressWidth);
    for (int i = 0; i < kGroupSize; ++i) report->values[i] = HexField(frame + kValueOffset + i * kValueWidth);
    return true;
}

bool IsSiteNumber(int32_t site) { return site >= 0 && site < kSiteCount; }

bool IsSiteAddress(int32_t address) { return address >= 0 && address < kSiteRegisters; }

}  // namespace kelvora
