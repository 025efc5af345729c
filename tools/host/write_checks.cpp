// Checks before a write (see the header).
#include "write_checks.h"

#include <cstring>

#include "modem/send_checks.h"
#include "stations/station_send.h"
#include "stations/telemetry_frame.h"

namespace kelvora_host {
namespace {

// The highest address a write command carries in its three digits.
constexpr int32_t kLastCommandAddress = 999;

// A number as the driver takes it for a destination (DETC) or a service
// centre (SMSC).
kelvora::SendRefusal TakeNumber(const char* number, bool destination, char (&field)[kelvora::kNumberFieldSize]) {
    return destination ? kelvora::CheckDestination(number, field) : kelvora::InternationalDigits(number, field);
}

std::string NumberProblem(const char* number, bool destination, const std::string& typed) {
    char field[kelvora::kNumberFieldSize];
    const kelvora::SendRefusal why = TakeNumber(number, destination, field);
    switch (why) {
        case kelvora::SendRefusal::kNone:
            return std::string();
        case kelvora::SendRefusal::kDestinationTooShort:
            return "'" + typed + "' has " + std::to_string(std::strlen(number)) +
                   " characters: the driver sends only to numbers of 11 or more (13912345678, +8613912345678 or "
                   "008613912345678)";
        case kelvora::SendRefusal::kNumberNotDigits:
            return "'" + typed + "' is not a number the driver can send to: digits only, after an optional + or 00 "
                   "(no spaces, dashes or brackets)";
        case kelvora::SendRefusal::kNumberTooLong:
            return "'" + typed + "' has more than 15 digits with its country code (86 is put in front of a number "
                   "without + or 00)";
        default:
            return std::string("'") + typed + "': " + kelvora::RefusalText(why);
    }
}

}  // namespace

std::string WriteProblem(StationRole role, const std::string& typeName, const kelvora::RegisterRequest& request,
                         const kelvora::RegisterValue& value, const std::string& typed, bool force) {
    const char* text = value.textValue;
    const bool isText = request.dataType == kelvora::kDataText && text[0] != '\0';
    if (isText && typeName == "DETC") return NumberProblem(text, true, typed);
    if (isText && typeName == "SMSC") return NumberProblem(text, false, typed);
    if (isText && typeName == "SEND_MSG") {
        const kelvora::SendRefusal why = kelvora::CheckFreeText(text);
        if (why == kelvora::SendRefusal::kTextTooLong) {
            const kelvora::TextFit fit = kelvora::FitText(text, std::strlen(text));
            return "the text has " + std::to_string(fit.characters) + " characters; one message carries " +
                   std::to_string(kelvora::kMaxSentTextUnits) + ", fewer when some are Chinese (" +
                   std::to_string(kelvora::kMaxSentTextBytes / 2) + " Chinese ones): the first " +
                   std::to_string(fit.fitting) + " of this text fit";
        }
        if (why != kelvora::SendRefusal::kNone) return kelvora::RefusalText(why);
    }
    // A central "M" register: M<site>.<address>.
    if (role == StationRole::kCentral && typeName == "M" && request.address1 > kLastCommandAddress && !force) {
        return "no site applies a write to address " + std::to_string(request.address1) +
               ": its write command would be longer than the " + std::to_string(kelvora::kWriteCommandLength) +
               " characters a site takes (writes reach addresses 0 to " + std::to_string(kLastCommandAddress) +
               "); --force writes it all the same";
    }
    return std::string();
}

std::string NumberAsSent(const char* number, bool destination) {
    char field[kelvora::kNumberFieldSize];
    return TakeNumber(number, destination, field) == kelvora::SendRefusal::kNone ? "+" + std::string(field)
                                                                                 : std::string();
}

std::string WriteNote(StationRole role, const std::string& typeName, const kelvora::RegisterRequest& request,
                      const kelvora::RegisterValue& value) {
    if (request.dataType != kelvora::kDataText || value.textValue[0] == '\0') return std::string();
    const bool destination = typeName == "DETC";
    if (!destination && typeName != "SMSC") return std::string();
    const std::string number = NumberAsSent(value.textValue, destination);
    if (number.empty()) return std::string();
    const std::string whose =
        role == StationRole::kCentral ? "messages to site " + std::to_string(request.address0) : "messages";
    return whose + (destination ? " go to " : " go through the service centre ") + number;
}

}  // namespace kelvora_host
