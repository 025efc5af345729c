// Shared set-up of the station tests: a station with a fake clock and a fake
// modem on a scripted port, and small builders for the host's records.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "driver/host_records.h"
#include "driver/standing_alone.h"
#include "fake_modem.h"
#include "stations/station_registers.h"
#include "support/fake_clock.h"
#include "support/scripted_port.h"

namespace kelvora::testing {

template <class Station>
struct StationRig {
    FakeClock clock{100000};
    ScriptedPort* port = nullptr;  // owned by the station
    std::unique_ptr<StandingAlone<Station>> station = std::make_unique<StandingAlone<Station>>();
    std::unique_ptr<FakeModem> modem;

    StationRig() {
        auto owned = std::make_unique<ScriptedPort>(&clock);
        port = owned.get();
        port->Open("\\\\.\\COM1", 1024, 1024);
        station->SetClock(clock);
        station->SetPort(std::move(owned));
        station->timeoutMs = 200;  // a silent modem ends each exchange soon
        modem = std::make_unique<FakeModem>(*port, clock);
    }

    Station& operator*() { return *station; }
    Station* operator->() { return station.get(); }
};

inline RegisterRequest Request(int16_t typeIndex, int32_t address0, int16_t address1 = 0, int16_t address2 = 0,
                               int16_t dataType = kDataInt) {
    RegisterRequest r{};
    r.typeIndex = typeIndex;
    r.address0 = address0;
    r.address1 = address1;
    r.address2 = address2;
    r.dataType = dataType;
    return r;
}

inline RegisterValue IntValue(int32_t v) {
    RegisterValue value{};
    value.intValue = v;
    return value;
}

inline RegisterValue TextValue(const std::string& text) {
    RegisterValue value{};
    // Up to the whole field, with no NUL when the text fills it (as a host may).
    std::memcpy(value.textValue, text.data(), std::min(text.size(), sizeof value.textValue));
    return value;
}

// A value record filled with a marker, to see which fields a call touched.
inline RegisterValue Marked() {
    RegisterValue value;
    std::memset(&value, 0x5A, sizeof value);
    return value;
}

}  // namespace kelvora::testing
