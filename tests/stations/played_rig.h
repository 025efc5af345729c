// PlayedRig: a station on a scripted port that plays a byte-exact station
// transcript (tests/stations/transcripts), on a fake clock.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "modem_fixture.h"
#include "station_fixture.h"
#include "station_transcripts.h"

namespace kelvora::testing {

template <class Station>
struct PlayedRig {
    FakeClock clock{100000};
    StandingAlone<Station> station;
    ScriptedPort* port = nullptr;
    std::unique_ptr<TranscriptPlayer> player;

    explicit PlayedRig(const char* transcript) {
        auto owned = std::make_unique<ScriptedPort>(&clock);
        port = owned.get();
        port->Open("\\\\.\\COM1", 2048, 2048);
        station.SetClock(clock);
        station.SetPort(std::move(owned));
        station.timeoutMs = 1000;
        const std::string text = Transcript(transcript);
        EXPECT_FALSE(text.empty()) << "no transcript " << transcript;
        player = std::make_unique<TranscriptPlayer>(*port, text);
    }
    void ExpectPlayed() {
        EXPECT_TRUE(player->error().empty()) << player->error();
        EXPECT_TRUE(player->Complete()) << "steps done: " << player->StepsDone();
    }
    void WriteText(int16_t type, int32_t site, const std::string& text) {
        RegisterRequest r = Request(type, site, 0, 0, kDataText);
        RegisterValue v = TextValue(text);
        EXPECT_EQ(1, station.Write(nullptr, &r, &v));
    }
    RegisterValue ReadText(int16_t type, int32_t site, int32_t* device = nullptr) {
        RegisterRequest r = Request(type, site, 0, 0, kDataText);
        RegisterValue v = Marked();
        EXPECT_EQ(1, station.Read(device, &r, &v));
        return v;
    }
};

}  // namespace kelvora::testing
