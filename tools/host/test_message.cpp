// The test message: AT+CMGS, the prompt, the PDU and Ctrl-Z, the network's answer.
#include "test_message.h"

#include <cstring>

#include "modem/gsm_modem.h"
#include "modem/submit_pdu.h"

namespace kelvora_host {
namespace {

// A network may take this long to accept a message.
constexpr uint32_t kNetworkAnswerMs = 60000;
constexpr size_t kMaxDigits = 15;

}  // namespace

bool InternationalNumber(const std::string& number, std::string* digits) {
    std::string d = number;
    if (!d.empty() && d[0] == '+') {
        d.erase(0, 1);
    } else if (d.rfind("00", 0) == 0) {
        d.erase(0, 2);
    } else if (d.rfind("86", 0) != 0) {
        if (!d.empty() && d[0] == '0') d.erase(0, 1);  // a trunk prefix
        d = "86" + d;
    }
    if (d.size() < 5 || d.size() > kMaxDigits || d.find_first_not_of("0123456789") != std::string::npos) return false;
    *digits = d;
    return true;
}

void SendTestMessage(ModemLine& line, ProbeFindings& findings, const std::string& number,
                     const std::string& serviceCentre, uint32_t answerMs) {
    kelvora::SmsRecord record;
    std::memset(&record, 0, sizeof(record));
    std::string to;
    std::string centre;
    if (!InternationalNumber(number, &to)) {
        findings.Problem("test message: '" + number + "' is not a telephone number");
        return;
    }
    if (!InternationalNumber(serviceCentre.empty() ? kelvora::kDefaultServiceCentre : serviceCentre, &centre)) {
        centre.clear();
    }
    std::memcpy(record.peerNumber, to.data(), to.size());
    std::memcpy(record.serviceCentre, centre.data(), centre.size());
    const char text[] = "Kelvora probe: test message";
    std::memcpy(record.text, text, sizeof(text));
    record.codingScheme = 8;  // UCS2, as the driver sends
    char pdu[kelvora::kSubmitPduCapacity];
    const int length = kelvora::EncodeSubmitPdu(record, pdu);
    // AT+CMGS counts the octets after the service-centre part.
    const int centreOctets = 1 + static_cast<int>((centre.size() + 1) / 2) + 1;
    const int announced = length / 2 - centreOctets;

    const Answer prompt = line.Ask("AT+CMGS=" + std::to_string(announced), answerMs);
    if (prompt.kind != AnswerKind::kPrompt) {
        if (prompt.kind != AnswerKind::kError) line.Send("\x1B", answerMs);  // leave no half-begun message
        findings.Problem("test message: no prompt for the message after AT+CMGS (" +
                         (prompt.final.empty() ? "\"" + Printable(prompt.raw) + "\"" : prompt.final) + ")");
        return;
    }
    const Answer sent = line.Send(std::string(pdu, static_cast<size_t>(length)) + "\x1A", kNetworkAnswerMs);
    std::string reference;
    if (sent.ok() && sent.Field("+CMGS:", &reference)) {
        findings.Ok("test message to +" + to + " accepted by the network (message reference " + reference + ")");
    } else if (sent.kind == AnswerKind::kError) {
        findings.Problem("test message to +" + to + " refused: " + sent.final);
    } else {
        findings.Problem("test message to +" + to + ": no answer from the network within " +
                         std::to_string(kNetworkAnswerMs / 1000) + " s");
    }
}

}  // namespace kelvora_host
