// The fuzzed modem (see the header).
#include "support/modem_script.h"

#include <algorithm>

#include "driver/line_transaction.h"

namespace kelvora::fuzz {

namespace {

constexpr uint8_t kEndAnswer = 0x00;
constexpr uint8_t kPause = 0x01;
constexpr uint8_t kBabble = 0x02;
constexpr uint8_t kLiteral = 0x03;
constexpr uint32_t kPauseUnitMs = 10;
// Babble is noise that every scanner passes over quickly: what matters is
// where the piece after it meets the response bound.
constexpr char kFiller = 'x';
// Babble arrives in slices, as a port's input queue hands it on.
constexpr size_t kSliceBytes = 4096;

}  // namespace

std::vector<ScriptAnswer> ParseScript(const uint8_t* data, size_t size) {
    std::vector<ScriptAnswer> answers(1);
    std::string piece;
    size_t noise = 0;
    uint32_t at = 0;
    bool babbled = false;  // one babbling piece per script
    auto flush = [&] {
        if (!piece.empty() || noise != 0) answers.back().push_back(ScriptPiece{piece, at, noise});
        piece.clear();
        noise = 0;
    };
    for (size_t i = 0; i < size; ++i) {
        const uint8_t c = data[i];
        const bool hasArgument = i + 1 < size;
        if (c == kEndAnswer) {
            flush();
            answers.emplace_back();
            at = 0;
        } else if (c == kPause && hasArgument) {
            flush();
            at += kPauseUnitMs * data[++i];
        } else if (c == kBabble && hasArgument) {
            const size_t before = data[++i];
            if (babbled) continue;
            babbled = true;
            noise = kMaxResponseBytes - before;
        } else if (c == kLiteral && hasArgument) {
            piece += static_cast<char>(data[++i]);
        } else {
            piece += static_cast<char>(c);
        }
    }
    flush();
    return answers;
}

// One log for every run: a babbling modem then costs no fresh pages each run.
std::string& ReceivedLog() {
    static std::string log;
    log.clear();
    return log;
}

ScriptedModem::ScriptedModem(testing::FakeClock& clock, std::vector<ScriptAnswer> answers)
    : ScriptedPort(&clock), received(ReceivedLog()), clock_(clock), answers_(std::move(answers)) {
    Open("\\\\.\\COM1", 2048, 2048);
    lastArrival = clock_.Now();
    Schedule(answers_[0]);
    onWrite = [this](ScriptedPort&, const std::string& chunk) {
        commands.push_back(WrittenCommand{chunk, clock_.Now(), received.size(), readsWithBytes});
        if (commands.size() < answers_.size()) Schedule(answers_[commands.size()]);
    };
}

void ScriptedModem::Schedule(const ScriptAnswer& answer) {
    static const std::string noiseSlice(kSliceBytes, kFiller);
    for (const ScriptPiece& piece : answer) {
        for (size_t n = 0; n < piece.noise; n += kSliceBytes) {
            Arrive(piece.noise - n >= kSliceBytes ? noiseSlice : noiseSlice.substr(0, piece.noise - n), piece.delayMs);
        }
        Arrive(piece.bytes, piece.delayMs);
        lastArrival = std::max(lastArrival, clock_.Now() + piece.delayMs);
    }
}

uint32_t ScriptedModem::Read(void* buffer, uint32_t capacity, uint32_t* count, AsyncRequest* request,
                             uint32_t timeoutMs) {
    uint32_t got = 0;
    const uint32_t result = ScriptedPort::Read(buffer, capacity, &got, request, timeoutMs);
    if (count != nullptr) *count = got;
    if (got != 0) {
        received.append(static_cast<const char*>(buffer), got);
        ++readsWithBytes;
    }
    return result;
}

}  // namespace kelvora::fuzz
