// libFuzzer target: the host's address texts through each station's own
// register table, with any data type, as the host calls ParseAddress and
// ParseDeviceAddress. A parsed address names a type that takes the data type,
// with every component inside that type's limits; it touches no field beyond
// its components nor the host's reserved bytes; written back in its plain form
// it parses to the same components. A device address is parsed exactly when
// the text is decimal digits worth 0 to 31 (the empty text is 0), and a
// refused one leaves the host's number alone. Refusals leave status 3 or 2.
//
// Input: byte 0 picks the station (bit 0) and where the data type comes from
// (bit 1: bytes 1 and 2 as any 16-bit value; else one of the nine data-type
// bits by the rest of byte 0); the text follows, up to a NUL.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "stations/central_station.h"
#include "stations/remote_station.h"
#include "support/fuzz_check.h"
#include "support/station_rig.h"

namespace {

using namespace kelvora;

constexpr uint8_t kMarker = 0xA5;
constexpr int32_t kMaxDeviceAddress = 31;

RegisterRequest MarkedRequest(int16_t dataType) {
    RegisterRequest request;
    std::memset(&request, kMarker, sizeof request);
    request.dataType = dataType;
    return request;
}

int32_t Component(const RegisterRequest& request, int k) {
    switch (k) {
        case 0: return request.address0;
        case 1: return request.address1;
        case 2: return request.address2;
        default: return request.address3;
    }
}

bool ReservedUntouched(const RegisterRequest& request, int16_t dataType) {
    using fuzz::BytesAre;
    return BytesAre(&request.reserved0, sizeof request.reserved0, kMarker) &&
           BytesAre(request.reserved1, sizeof request.reserved1, kMarker) &&
           BytesAre(&request.reserved2, sizeof request.reserved2, kMarker) && request.dataType == dataType;
}

void CheckAddress(DriverBase& station, const std::string& text, int16_t dataType) {
    RegisterRequest request = MarkedRequest(dataType);
    const bool parsed = station.ParseAddress(text.c_str(), &request) == 1;
    FUZZ_CHECK(ReservedUntouched(request, dataType), "the host's reserved bytes and data type untouched");
    FUZZ_CHECK(station.status.Code() == (parsed ? kStatusOk : kStatusBadRegister), "a refused address leaves status 3");
    if (!parsed) return;

    const RegisterTable& table = station.registerTable;
    FUZZ_CHECK(request.typeIndex >= 0 && static_cast<uint32_t>(request.typeIndex) < table.TypeCount(),
               "a parsed address names one of the station's types");
    const RegisterType& type = table.Type(static_cast<uint32_t>(request.typeIndex));
    const DataTypeFormat* format = type.FormatFor(dataType);
    FUZZ_CHECK(format != nullptr, "the type takes the data type");
    if (format->fieldCount == 0) {
        FUZZ_CHECK(text == type.name, "a type without fields is its name alone, in its case");
    }
    std::string plain = type.name;
    int16_t* const further[] = {&request.address1, &request.address2, &request.address3};
    for (int k = 0; k < kMaxAddressFields; ++k) {
        if (k >= format->fieldCount) {
            FUZZ_CHECK(k == 0 || fuzz::BytesAre(further[k - 1], sizeof(int16_t), kMarker),
                       "no component beyond the type's fields is written");
            continue;
        }
        const int32_t value = Component(request, k);
        FUZZ_CHECK(value >= format->minimums[k] && value <= format->maximums[k],
                   "every component inside the type's limits");
        if (k > 0) plain += format->separator;
        plain += std::to_string(value);
    }

    RegisterRequest again = MarkedRequest(dataType);
    FUZZ_CHECK(station.ParseAddress(plain.c_str(), &again) == 1 && again.typeIndex == request.typeIndex,
               "the plain form of a parsed address parses to the same type");
    for (int k = 0; k < format->fieldCount; ++k) {
        FUZZ_CHECK(Component(again, k) == Component(request, k), "the plain form parses to the same components");
    }
}

void CheckDeviceAddress(DriverBase& station, const std::string& text) {
    int64_t expected = 0;
    bool decimal = true;
    for (char c : text) {
        decimal = decimal && c >= '0' && c <= '9';
        if (decimal && expected <= kMaxDeviceAddress) expected = expected * 10 + (c - '0');
    }
    const bool valid = decimal && expected <= kMaxDeviceAddress;

    const int32_t marker = -12345;
    int32_t number = marker;
    const bool parsed = station.ParseDeviceAddress(text.c_str(), &number) == 1;
    FUZZ_CHECK(parsed == valid, "a device address exactly when the text is decimal digits worth 0 to 31");
    FUZZ_CHECK(number == (parsed ? expected : marker), "the number read, or the host's left alone");
    FUZZ_CHECK(station.status.Code() == (parsed ? kStatusOk : kStatusBadDeviceAddress),
               "a refused device address leaves status 2");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto* central = new StandingAlone<CentralStation>();
    static auto* remote = new StandingAlone<RemoteStation>();
    if (size == 0) return 0;
    DriverBase& station = (data[0] & 1) != 0 ? static_cast<DriverBase&>(*remote) : *central;
    size_t offset = 1;
    int16_t dataType = 0;
    if ((data[0] & 2) != 0) {
        if (size < 3) return 0;
        uint16_t raw;
        std::memcpy(&raw, data + 1, sizeof raw);
        dataType = static_cast<int16_t>(raw);
        offset = 3;
    } else {
        dataType = static_cast<int16_t>(1 << ((data[0] >> 2) % kDataTypeBits));
    }
    const char* begin = reinterpret_cast<const char*>(data + offset);
    const std::string text(begin, strnlen(begin, size - offset));

    CheckAddress(station, text, dataType);
    CheckDeviceAddress(station, text);
    return 0;
}
