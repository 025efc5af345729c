// Checks before a write (see the header).
#include "write_checks.h"

#include <cstring>

#include "modem/send_checks.h"
#include "stations/telemetry_frame.h"

namespace kelvora_host {
namespace {

// The highest address a write command carries in its three digits.
constexpr int32_t kLastCommandAddress = 999;

std::string NumberProblem(const char* number, bool destination, const std::string& typed) {
    char field[kelvora::kNumberFieldSize];
    const kelvora::SendRefusal why =
        destination ? kelvora::CheckDestination(number, field) : kelvora::InternationalDigits(number, field);
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
        int units = 0;
        const kelvora::SendRefusal why = kelvora::CheckMessageText(text, &units);
        if (why == kelvora::SendRefusal::kTextTooLong) {
            return "the text is " + (units > 0 ? std::to_string(units) + " characters long" : std::string("too long")) +
                   " as the driver counts them (UTF-16 units): one message carries at most " +
                   std::to_string(kelvora::kMaxTextUnits);
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
    const kelvora::SendRefusal why =
        destination ? kelvora::CheckDestination(number, field) : kelvora::InternationalDigits(number, field);
    return why == kelvora::SendRefusal::kNone ? "+" + std::string(field) : std::string();
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
