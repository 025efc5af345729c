// libFuzzer target: the SMS-SUBMIT encoder on a record of arbitrary bytes
// (numbers, codes and text, terminated or not). It never writes past the PDU
// buffer, and every PDU it produces is one the modem simulator's own reader
// takes as an SMS-SUBMIT with the record's destination, service centre,
// protocol identifier, coding scheme and text (read through the code page).
//
// Input: the bytes of the record, as laid out in memory.
#include <iconv.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "modem/submit_pdu.h"
#include "modemsim/modemsim.h"
#include "support/fuzz_check.h"

namespace {

using kelvora::SmsRecord;

std::string FieldText(const char* field, size_t width) { return std::string(field, strnlen(field, width - 1)); }

// The record's text as UTF-8, by the C library rather than the driver's code
// page; false when it is no GBK text.
bool GbkToUtf8(const std::string& text, std::string* utf8) {
    static const iconv_t converter = iconv_open("UTF-8", "GBK");
    FUZZ_CHECK(converter != reinterpret_cast<iconv_t>(-1), "the C library converts GBK");
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> in(text.begin(), text.end());
    std::vector<char> out(4 * text.size() + 4);
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    if (iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) return false;
    utf8->assign(out.data(), out.size() - outLeft);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SmsRecord record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(&record, data, std::min(size, sizeof record));

    std::vector<char> pdu(kelvora::kSubmitPduCapacity);
    const int n = kelvora::EncodeSubmitPdu(record, pdu.data());
    FUZZ_CHECK(n >= 0 && static_cast<size_t>(n) < pdu.size() && n % 2 == 0, "an even count that fits the buffer");
    FUZZ_CHECK(pdu[static_cast<size_t>(n)] == '\0' && strnlen(pdu.data(), pdu.size()) == static_cast<size_t>(n),
               "the PDU text is as long as the count says and terminated");
    if (n == 0) return 0;

    const modemsim::DecodedPdu read = modemsim::DecodePdu(std::string(pdu.data(), static_cast<size_t>(n)));
    FUZZ_CHECK(read.ok && read.isSubmit, "the simulator reads every PDU the encoder writes as an SMS-SUBMIT");
    FUZZ_CHECK(read.address == FieldText(record.peerNumber, sizeof record.peerNumber),
               "the simulator reads the record's destination");
    FUZZ_CHECK(read.serviceCentre == FieldText(record.serviceCentre, sizeof record.serviceCentre),
               "the simulator reads the record's service centre");
    FUZZ_CHECK(read.protocolId == record.protocolId && read.dataCoding == record.codingScheme,
               "the simulator reads the record's protocol identifier and coding scheme");
    std::string text;
    FUZZ_CHECK(GbkToUtf8(FieldText(record.text, sizeof record.text), &text) && read.text == text,
               "the simulator reads the record's text");
    return 0;
}
