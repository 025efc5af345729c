// kelvora_bench_keys: what a key costs per frame, the best of several rounds
// (as the least disturbed):
//   keys_sign_us          a frame signed: the HMAC-SHA-256 and the text
//   keys_check_us         a signed frame read and its code checked
//   keys_counter_write_ms a counter written down (the file replaced and
//                         flushed to the disk), once per frame sent or applied
//   keys_line_extra_ms_*  the extra time on a 9600-baud line of a signed
//                         frame's SMS-SUBMIT against the plain one's
//                         (command, PDU and Ctrl-Z; ten bits a byte)
// Both kinds go as one SMS: the network carries no extra message.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "modem/submit_pdu.h"
#include "platform/secret_file.h"
#include "stations/frame_keys.h"
#include "stations/signed_frame.h"
#include "stations/telemetry_frame.h"

using namespace kelvora;

namespace {

constexpr int kRounds = 9;
constexpr int kFramesPerRound = 20000;
constexpr int kWritesPerRound = 50;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Bytes the station writes for one message: "AT+CMGS=<n>\r", the PDU, Ctrl-Z.
size_t LineBytes(const std::string& text, uint8_t codingScheme) {
    SmsRecord record{};
    std::strcpy(record.serviceCentre, "8613800100500");
    std::strcpy(record.peerNumber, "8613900000005");
    std::memcpy(record.text, text.data(), text.size());
    record.codingScheme = codingScheme;
    char pdu[kSubmitPduCapacity];
    const int n = EncodeSubmitPdu(record, pdu);
    char command[32];
    const int c = std::snprintf(command, sizeof command, "AT+CMGS=%d\r", n / 2 - 9);
    return static_cast<size_t>(n + 1 + c);
}

double LineMs(size_t bytes) { return bytes * 10.0 * 1000.0 / 9600.0; }

}  // namespace

int main() {
    StationKey key;
    key.secret.assign(32, 0x5A);
    key.centre = "13800138000";
    key.site = "13900000005";
    const uint32_t values[kGroupSize] = {1, 2, 3, 4, 5};
    const std::string report = FormatReport(5, 120, values);
    const std::string command = FormatWriteCommand(5, 120, 42);

    double sign = 1e9, check = 1e9, write = 1e9;
    size_t checked = 0;
    const std::string folder = "kelvora_bench_keys.d";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    std::string why;
    WriteSecretFile(folder + "/k.key", "centre 1\nsite 2\nkey " + std::string(64, 'A') + "\n", false, &why);
    for (int round = 0; round < kRounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        std::string text;
        for (int i = 0; i < kFramesPerRound; ++i) text = SignFrame(key, FrameDirection::kSiteToCentre, i, report);
        sign = std::min(sign, Seconds(start) / kFramesPerRound);

        start = std::chrono::steady_clock::now();
        for (int i = 0; i < kFramesPerRound; ++i) {
            SignedFrame parts;
            checked += SplitSignedFrame(text.c_str(), &parts) == SignedShape::kWhole &&
                       MacChecks(key, FrameDirection::kSiteToCentre, parts);
        }
        check = std::min(check, Seconds(start) / kFramesPerRound);

        FrameKeys keys(1, "site");
        keys.Load(0, folder + "/k.key", &why);
        start = std::chrono::steady_clock::now();
        for (int i = 0; i < kWritesPerRound; ++i) keys.Accept(0, static_cast<uint64_t>(round * 1000 + i), &why);
        write = std::min(write, Seconds(start) / kWritesPerRound);
    }
    std::filesystem::remove_all(folder);
    if (checked != static_cast<size_t>(kRounds) * kFramesPerRound) {
        std::printf("a signed frame did not check\n");
        return 1;
    }
    const std::string signedCommand = SignFrame(key, FrameDirection::kCentreToSite, 1, command);
    const std::string signedReport = SignFrame(key, FrameDirection::kSiteToCentre, 1, report);
    const size_t plainCommandBytes = LineBytes(command, 8), signedCommandBytes = LineBytes(signedCommand, 0);
    const size_t plainReportBytes = LineBytes(report, 8), signedReportBytes = LineBytes(signedReport, 0);
    std::printf("write command: %zu bytes on the line plain (UCS2), %zu signed (7-bit)\n", plainCommandBytes,
                signedCommandBytes);
    std::printf("report: %zu bytes on the line plain (UCS2), %zu signed (7-bit)\n", plainReportBytes, signedReportBytes);
    std::printf("keys_sign_us: %.2f\n", sign * 1e6);
    std::printf("keys_check_us: %.2f\n", check * 1e6);
    std::printf("keys_counter_write_ms: %.3f\n", write * 1e3);
    std::printf("keys_line_extra_ms_command: %.1f\n", LineMs(signedCommandBytes) - LineMs(plainCommandBytes));
    std::printf("keys_line_extra_ms_report: %.1f\n", LineMs(signedReportBytes) - LineMs(plainReportBytes));
    return 0;
}
