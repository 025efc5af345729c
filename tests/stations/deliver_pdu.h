// Test helpers that speak SMS PDUs on their own, independent of the driver's
// codecs: SMS-DELIVER PDUs for the fake modem's store, and a reader of the
// SMS-SUBMIT PDUs the stations send.
#pragma once

#include <string>

namespace kelvora::testing {

// An SMS-DELIVER PDU in capital hexadecimal: service centre +8613800100500,
// the sender as an international number (digits) or, when alphanumeric is
// set, as a GSM 7-bit alphanumeric address; the text in UCS2 (ASCII only),
// or in 7-bit when it has more than 70 characters (a signed report);
// the service-centre time stamp as 14 digits YYMMDDhhmmssZZ (ZZ: quarter
// hours ahead of UTC).
std::string DeliverPdu(const std::string& sender, const std::string& text, bool alphanumeric = false,
                       const std::string& timestamp = "23110612345032");

// The parts of an SMS-SUBMIT PDU a test checks.
struct SubmittedSms {
    bool ok = false;
    std::string serviceCentre;  // digits
    std::string destination;    // digits
    std::string text;           // UCS2 (ASCII only) or 7-bit user data
};
SubmittedSms ReadSubmitPdu(const std::string& hex);

}  // namespace kelvora::testing
