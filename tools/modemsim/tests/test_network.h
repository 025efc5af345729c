// A started network of modems and a pty client on each, for the tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "modemsim/modemsim.h"
#include "pty_client.h"

namespace modemsim_test {

using namespace std::chrono_literals;

class ModemTest : public ::testing::Test {
protected:
    void StartNetwork(modemsim::NetworkOptions options = {}) {
        network_ = std::make_unique<modemsim::Network>(options);
        std::string error;
        ASSERT_TRUE(network_->Start(&error)) << error;
        for (size_t i = 0; i < network_->ModemCount(); ++i) {
            clients_.push_back(std::make_unique<PtyClient>(network_->modem(i).DevicePath()));
            ASSERT_TRUE(clients_.back()->ok());
        }
    }
    void SetUp() override { StartNetwork(); }
    void TearDown() override {
        clients_.clear();
        if (network_) network_->Stop();
    }
    modemsim::Modem modem(size_t i) { return network_->modem(i); }
    PtyClient& line(size_t i) { return *clients_[i]; }

    // Sends a PDU with AT+CMGS and returns the answer to the PDU.
    std::string Send(size_t from, const std::string& pdu, int length = -1) {
        if (length < 0) length = static_cast<int>(pdu.size() / 2) - 1 - std::stoi(pdu.substr(0, 2), nullptr, 16);
        const std::string prompt = line(from).Command("AT+CMGS=" + std::to_string(length) + "\r");
        if (prompt.find("> ") == std::string::npos) return "no prompt: " + prompt;
        return line(from).Command(pdu + "\x1A");
    }

    std::unique_ptr<modemsim::Network> network_;
    std::vector<std::unique_ptr<PtyClient>> clients_;
};

// An SMS-SUBMIT like the driver's: UCS2, relative validity, to `digits` (international).
inline std::string SubmitPdu(const std::string& digits, const std::string& ucs2Hex, const std::string& sc = "") {
    std::string out;
    if (sc.empty()) {
        out = "00";
    } else {
        std::string swapped;
        std::string d = sc + (sc.size() % 2 ? "F" : "");
        for (size_t i = 0; i < d.size(); i += 2) swapped += std::string{d[i + 1], d[i]};
        char len[3];
        std::snprintf(len, sizeof len, "%02X", static_cast<unsigned>(swapped.size() / 2 + 1));
        out = std::string(len) + "91" + swapped;
    }
    std::string da = digits + (digits.size() % 2 ? "F" : "");
    std::string swapped;
    for (size_t i = 0; i < da.size(); i += 2) swapped += std::string{da[i + 1], da[i]};
    char head[16];
    std::snprintf(head, sizeof head, "1100%02X91", static_cast<unsigned>(digits.size()));
    char udl[3];
    std::snprintf(udl, sizeof udl, "%02X", static_cast<unsigned>(ucs2Hex.size() / 2));
    return out + head + swapped + "000800" + udl + ucs2Hex;
}

}  // namespace modemsim_test
