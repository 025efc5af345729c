// kelvora_bench_modem_pdu: PDUs per second of our SMS-DELIVER decoder and
// SMS-SUBMIT encoder beside libgammu's on the same messages in the same run.
// Decoding starts from the hexadecimal text of a listing and ends with the
// text in the ANSI code page (ours) or in gammu's UCS2 (libgammu); encoding
// starts from a record (ours) or a GSM_SMSMessage (libgammu) and ends with
// hexadecimal text. Run with TZ=UTC: libgammu looks the zone up otherwise.
#include <gammu.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <string>
#include <vector>

#include "modem/deliver_pdu.h"
#include "modem/pdu_codecs.h"
#include "modem/submit_pdu.h"

using namespace kelvora;
using SteadyClock = std::chrono::steady_clock;

namespace {

std::string Semi(std::string digits) {
    if (digits.size() % 2) digits += 'F';
    for (size_t i = 0; i < digits.size(); i += 2) std::swap(digits[i], digits[i + 1]);
    return digits;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string out(2 * bytes.size() + 1, '\0');
    BytesToHex(bytes.data(), static_cast<int>(bytes.size()), out.data());
    out.pop_back();
    return out;
}

std::string DeliverPdu(uint8_t dcs, int udl, const std::vector<uint8_t>& userData) {
    char udlHex[3];
    std::snprintf(udlHex, sizeof udlHex, "%02X", udl);
    char dcsHex[3];
    std::snprintf(dcsHex, sizeof dcsHex, "%02X", dcs);
    return "0891" + Semi("8613800100500") + "04" + "0D91" + Semi("8613900000001") + "00" + dcsHex +
           "32116021430500" + udlHex + Hex(userData);
}

// The fixed set: 160 septets of 7-bit text, 70 Chinese characters in UCS2, 140 octets of 8-bit data.
std::vector<std::string> DeliverSet() {
    std::vector<uint8_t> packed;
    unsigned bits = 0, n = 0;
    for (int i = 0; i < 160; ++i) {
        bits |= static_cast<unsigned>('A' + i % 26) << n;
        n += 7;
        while (n >= 8) {
            packed.push_back(static_cast<uint8_t>(bits & 0xFF));
            bits >>= 8;
            n -= 8;
        }
    }
    if (n) packed.push_back(static_cast<uint8_t>(bits));
    std::vector<uint8_t> ucs2;
    for (int i = 0; i < 70; ++i) {
        const uint16_t unit = static_cast<uint16_t>(0x4E2D + (i * 37) % 512);
        ucs2.push_back(static_cast<uint8_t>(unit >> 8));
        ucs2.push_back(static_cast<uint8_t>(unit));
    }
    std::vector<uint8_t> octets;
    for (int i = 0; i < 140; ++i) octets.push_back(static_cast<uint8_t>(1 + i));
    return {DeliverPdu(0x00, 160, packed), DeliverPdu(0x08, 140, ucs2), DeliverPdu(0x04, 140, octets)};
}

// What the driver sends: UCS2 SUBMITs. 70 Chinese characters, a report
// frame and a write command.
struct SubmitText {
    std::vector<uint16_t> units;
};

std::vector<SubmitText> SubmitSet() {
    std::vector<SubmitText> set(3);
    for (int i = 0; i < 70; ++i) set[0].units.push_back(static_cast<uint16_t>(0x4E2D + (i * 37) % 512));
    for (char c : std::string("BEGINRM05120000000010000000200000003000000040000000500END")) set[1].units.push_back(static_cast<uint8_t>(c));
    for (char c : std::string("BEGINWM0512000000002AEND")) set[2].units.push_back(static_cast<uint8_t>(c));
    return set;
}

template <typename F>
double PerSecond(int rounds, int perRound, F&& body) {
    double best = 0;
    for (int r = 0; r < 5; ++r) {
        const auto start = SteadyClock::now();
        for (int i = 0; i < rounds; ++i) body();
        const double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
        const double rate = rounds * perRound / seconds;
        if (rate > best) best = rate;
    }
    return best;
}

}  // namespace

int main() {
    const std::vector<std::string> deliver = DeliverSet();
    const std::vector<SubmitText> submit = SubmitSet();
    GSM_Debug_Info* debug = GSM_GetGlobalDebug();
    const int rounds = 20000;
    volatile unsigned sink = 0;

    // Decoding.
    SmsRecord record;
    const double oursDecode = PerSecond(rounds, 3, [&] {
        for (const std::string& pdu : deliver) {
            DecodeDeliverPdu(pdu.c_str(), pdu.size(), record);
            sink = sink + static_cast<unsigned char>(record.text[0]);
        }
    });
    GSM_SMSMessage sms;
    unsigned char binary[400];
    const double gammuDecode = PerSecond(rounds, 3, [&] {
        for (const std::string& pdu : deliver) {
            DecodeHexBin(binary, reinterpret_cast<const unsigned char*>(pdu.c_str()), pdu.size());
            size_t pos = 0;
            GSM_SetDefaultSMSData(&sms);
            if (GSM_DecodePDUFrame(debug, &sms, binary, pdu.size() / 2, &pos, TRUE) != ERR_NONE) {
                std::fprintf(stderr, "libgammu refused %s\n", pdu.c_str());
            }
            sink = sink + sms.Text[1];
        }
    });

    // Encoding.
    std::vector<SmsRecord> records(submit.size());
    for (size_t i = 0; i < submit.size(); ++i) {
        std::memset(&records[i], 0, sizeof records[i]);
        std::strcpy(records[i].serviceCentre, "8613800100500");
        std::strcpy(records[i].peerNumber, "8613900000001");
        records[i].codingScheme = 8;
        char gbk[kTextFieldSize] = {};
        // The texts in the ANSI code page, as SendSms hands them over.
        int n = 0;
        for (uint16_t unit : submit[i].units) {
            if (unit < 0x80) {
                gbk[n++] = static_cast<char>(unit);
            } else {
                const uint8_t be[2] = {static_cast<uint8_t>(unit >> 8), static_cast<uint8_t>(unit)};
                char two[kMaxTextBytes + 1];
                const int m = Ucs2ToText(be, 2, two);
                std::memcpy(gbk + n, two, static_cast<size_t>(m));
                n += m;
            }
        }
        std::memcpy(records[i].text, gbk, static_cast<size_t>(n));
    }
    char pdu[kSubmitPduCapacity];
    const double oursEncode = PerSecond(rounds, 3, [&] {
        for (const SmsRecord& r : records) sink = sink + static_cast<unsigned>(EncodeSubmitPdu(r, pdu));
    });

    std::vector<GSM_SMSMessage> messages(submit.size());
    for (size_t i = 0; i < submit.size(); ++i) {
        GSM_SMSMessage& m = messages[i];
        GSM_SetDefaultSMSData(&m);
        m.PDU = SMS_Submit;
        m.Coding = SMS_Coding_Unicode_No_Compression;
        m.SMSC.Location = 0;
        EncodeUnicode(m.SMSC.Number, "+8613800100500", 14);
        EncodeUnicode(m.Number, "+8613900000001", 14);
        m.UDH.Type = UDH_NoUDH;
        m.Class = -1;
        m.SMSC.Validity.Format = SMS_Validity_RelativeFormat;
        m.SMSC.Validity.Relative = static_cast<GSM_ValidityPeriod>(0);
        size_t k = 0;
        for (uint16_t unit : submit[i].units) {
            m.Text[k++] = static_cast<unsigned char>(unit >> 8);
            m.Text[k++] = static_cast<unsigned char>(unit);
        }
        m.Text[k++] = 0;
        m.Text[k++] = 0;
    }
    // A layout in PDU order for these numbers (9 octets of service centre, 9 of
    // destination), so that libgammu writes the very PDU the modem gets.
    GSM_SMSMessageLayout pduLayout;
    pduLayout.SMSCNumber = 0;
    pduLayout.firstbyte = 9;
    pduLayout.TPMR = 10;
    pduLayout.Number = 11;
    pduLayout.TPPID = 20;
    pduLayout.TPDCS = 21;
    pduLayout.TPVP = 22;
    pduLayout.TPUDL = 23;
    pduLayout.Text = 24;
    pduLayout.DateTime = 255;
    pduLayout.SMSCTime = 255;
    pduLayout.TPStatus = 255;
    char hex[1024];
    const double gammuEncode = PerSecond(rounds, 3, [&] {
        for (GSM_SMSMessage& m : messages) {
            int length = 0;
            GSM_EncodeSMSFrame(debug, &m, binary, pduLayout, &length, TRUE);
            EncodeHexBin(hex, binary, static_cast<size_t>(length));
            sink = sink + static_cast<unsigned>(length);
        }
    });

    // Both sides must have done the same work: the same PDUs, the same texts.
    int agree = 0;
    for (size_t i = 0; i < messages.size(); ++i) {
        int length = 0;
        GSM_EncodeSMSFrame(debug, &messages[i], binary, pduLayout, &length, TRUE);
        EncodeHexBin(hex, binary, static_cast<size_t>(length));
        EncodeSubmitPdu(records[i], pdu);
        agree += strcasecmp(hex, pdu) == 0 ? 1 : 0;
    }
    for (const std::string& d : deliver) {
        DecodeHexBin(binary, reinterpret_cast<const unsigned char*>(d.c_str()), d.size());
        size_t pos = 0;
        GSM_SetDefaultSMSData(&sms);
        agree += GSM_DecodePDUFrame(debug, &sms, binary, d.size() / 2, &pos, TRUE) == ERR_NONE ? 1 : 0;
    }
    std::printf("libgammu agrees on %d of %zu PDUs\n", agree, messages.size() + deliver.size());
    std::printf("set: DELIVER 7-bit 160 septets, UCS2 70 Chinese characters, 8-bit 140 octets; "
                "SUBMIT UCS2 70 Chinese characters, a report frame, a write command\n");
    std::printf("decode_pdus_per_s: %.0f\n", oursDecode);
    std::printf("libgammu_decode_pdus_per_s: %.0f\n", gammuDecode);
    std::printf("encode_pdus_per_s: %.0f\n", oursEncode);
    std::printf("libgammu_encode_pdus_per_s: %.0f\n", gammuEncode);
    std::printf("decode_vs_libgammu: %.2f\n", oursDecode / gammuDecode);
    std::printf("encode_vs_libgammu: %.2f\n", oursEncode / gammuEncode);
    return sink == 0xFFFFFFFFu ? 1 : 0;
}
