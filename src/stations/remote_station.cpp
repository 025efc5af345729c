// RemoteStation: Read and Write of a site's station (see the header).
#include "stations/remote_station.h"

#include <cmath>
#include <cstring>

#include "modem/gsm_modem.h"
#include "modem/send_event.h"
#include "stations/operation_trace.h"
#include "stations/sender_check.h"
#include "stations/station_mailbox.h"
#include "stations/station_send.h"
#include "stations/station_registers.h"
#include "stations/view_events.h"

namespace kelvora {

namespace {

bool ValidAddress(int32_t address) { return address >= 0 && address < kSiteRegisters; }

// The last group (1000) holds one register; a report of it would name four
// registers beyond the image and the central station refuses its length.
constexpr int32_t kLastReportableGroup = kSiteRegisters - kGroupSize - 1;  // 995

}  // namespace

uint32_t FloatToRegister(float value) {
    // 2^63 is exact in float; anything at or past it, or NaN, has no int64.
    constexpr float kTwoPow63 = 9223372036854775808.0f;
    if (std::isnan(value) || value >= kTwoPow63 || value < -kTwoPow63) return 0;
    const int64_t whole = static_cast<int64_t>(value);  // truncation toward zero
    return static_cast<uint32_t>(static_cast<uint64_t>(whole) & 0xFFFFFFFFu);
}

RemoteStation::RemoteStation() {
    trace.SetRole("remote");
    trace.Attach(SystemTraceSink(), HostTraceSink());
    for (const std::string& line : LoadKeysFromSystem(false, &keys)) {
        if (trace.on()) trace.Emit(line);
    }
    AddRemoteRegisterTypes(*this);
    PresetSiteNumbers(numbers);
}

RemoteStation::~RemoteStation() = default;

int32_t STDMETHODCALLTYPE RemoteStation::Read(int32_t* deviceAddress, RegisterRequest* request,
                                              RegisterValue* value) {
    const uint32_t now = clock().TickCount();
    const int32_t own = deviceAddress != nullptr ? *deviceAddress : -1;
    if (trace.on()) trace.SetDevice(own);
    bool filled = false;
    if (request != nullptr && value != nullptr) {
        filled = request->typeIndex == kTypeM || request->typeIndex == kTypeComFlag ||
                 ((request->typeIndex == kTypeSmsc || request->typeIndex == kTypeDetc) && request->dataType == kDataText);
        switch (request->typeIndex) {
            case kTypeM: {
                const int32_t address = request->address0;
                if (!ValidAddress(address)) break;
                const int32_t first = GroupStart(address);
                // A line that is down and not to be reopened yet is not
                // polled: the first read once it is back polls.
                if (PollDue(now, image[first].lastPollTick) && LineReady()) {
                    image[first].lastPollTick = now;
                    if (trace.on()) {
                        trace.Emit("poll for the read of " + RegisterText(registerTable, *request) + " (group " +
                                   std::to_string(first) + ".." + std::to_string(first + kGroupSize - 1) + ")");
                    }
                    PollAndReport(own, first);
                }
                const uint32_t v = image[address].value;  // after the poll: a command just applied shows
                value->bitValue = static_cast<int32_t>(v);
                value->intValue = static_cast<int32_t>(v);
                value->wordValue = static_cast<uint16_t>(v & 0xFFFFu);
                value->floatValue = static_cast<float>(v);
                break;
            }
            case kTypeSmsc:
                if (request->dataType == kDataText) std::memcpy(value->textValue, numbers.smsc, kNumberTextSize);
                break;
            case kTypeDetc:
                if (request->dataType == kDataText) std::memcpy(value->textValue, numbers.detc, kNumberTextSize);
                break;
            case kTypeComFlag:
                value->bitValue = static_cast<int32_t>(comFlag);
                break;
            case kTypeSendMsg:
                if (request->dataType != kDataText) break;
                filled = freeText_.CopyTo(value->textValue, sizeof value->textValue);
                if (filled && trace.on()) {
                    trace.Emit("SEND_MSG: the last free text from the centre, sent " + freeText_.timestamp());
                }
                break;
            default:  // unknown types fill nothing
                break;
        }
    }
    status.SetCode(kStatusOk);
    if (trace.on()) trace.Emit(DescribeOperation("read", registerTable, request, filled ? value : nullptr, kStatusOk));
    return 1;
}

void RemoteStation::PollAndReport(int32_t own, int32_t first) {
    GsmModem modem(Line());
    const PollCounts counts = mailbox.Poll(modem, trace, [this, own](const SmsRecord& record, std::string* detail) {
        return TakeMessage(record, own, detail);
    });

    if (comFlag == 0) return;
    if (counts.modemSilent) {
        // A report would wait out the time-out twice more; the group is
        // reported at its next poll.
        if (trace.on()) trace.Emit("no report: the modem did not answer");
        return;
    }
    if (first > kLastReportableGroup || !IsSiteNumber(own)) {
        if (trace.on()) trace.Emit("no report: the group cannot be reported, or the station has no site number");
        return;
    }
    uint32_t values[kGroupSize];
    for (int i = 0; i < kGroupSize; ++i) values[i] = image[first + i].value;
    std::string report = FormatReport(own, first, values);
    const bool keyed = keys.Keyed(0);
    std::string why;
    if (keyed && !keys.Sign(0, FrameDirection::kSiteToCentre, report, &report, &why)) {
        if (trace.on()) trace.Emit(SendEvent(SendOutcome::kNotSent, "send " + report, why));
        return;
    }
    const SiteNumbers copy = numbers;
    if (trace.on()) trace.Emit("report of group " + std::to_string(first) + " after the pause");
    clock().Sleep(kModemPauseMs);
    // Not the read's failure when it is not accepted.
    modem.SendSms(copy.smsc, copy.detc, report.c_str(), nullptr, keyed ? SmsCoding::kSevenBit : SmsCoding::kUcs2);
}

MessageFate RemoteStation::TakeMessage(const SmsRecord& record, int32_t own, std::string* detail) {
    SignedFrame signedFrame;
    const SignedShape shape = SplitSignedFrame(record.text, &signedFrame);
    WriteCommand command{};
    if (!ParseWriteCommand(shape == SignedShape::kNone ? record.text : signedFrame.frame.c_str(), &command)) {
        if (shape == SignedShape::kNone) return TakeFreeText(record, detail);
        // A signed report (sent the other way) or a garbled frame.
        if (!keys.Keyed(0)) {
            if (detail != nullptr) *detail = "not a write command: an authenticated frame, and this station has no key";
            return MessageFate::kNotAFrame;
        }
        if (detail != nullptr) *detail = DescribeKeyRefusal(KeyRefusal::kMalformed, "no write command");
        return MessageFate::kRefusedByKey;
    }
    // A station without a site number of 0 to 31 owns no site: a frame's
    // site field can read "-1" or "40" as well.
    if (!IsSiteNumber(own) || command.site != own || !ValidAddress(command.address)) {
        if (detail != nullptr) *detail = "a write command for another site or address: ignored";
        return MessageFate::kNotForStation;
    }
    const std::string what = "write command M" + std::to_string(command.address) + " = " + std::to_string(command.value);
    bool noKey = false;
    const KeyRefusal refusal = keys.Gate(0, FrameDirection::kCentreToSite, shape, signedFrame, &noKey);
    if (noKey) {
        if (detail != nullptr) *detail = "an authenticated " + what + ", and this station has no key: ignored";
        return MessageFate::kNotAFrame;
    }
    if (refusal != KeyRefusal::kNone) {
        if (detail != nullptr) *detail = DescribeKeyRefusal(refusal, what, keys.Problem(0));
        return MessageFate::kRefusedByKey;
    }
    if (!SenderAccepted(numbers.detc, record)) {
        if (detail != nullptr) *detail = "refused by the sender check: DETC is " + Printable(FieldText(numbers.detc, sizeof numbers.detc));
        return MessageFate::kRefusedBySender;
    }
    const bool keyed = shape == SignedShape::kWhole;
    std::string why;
    if (keyed && keys.Accept(0, signedFrame.counter, &why) != KeyRefusal::kNone) {
        if (detail != nullptr) *detail = DescribeKeyRefusal(KeyRefusal::kNotKept, what, why);
        return MessageFate::kRefusedByKey;
    }
    return ApplyCommand(record, command, keyed ? &signedFrame.counter : nullptr, detail);
}

MessageFate RemoteStation::ApplyCommand(const SmsRecord& record, const WriteCommand& command, const uint64_t* counter,
                                        std::string* detail) {
    const size_t address = static_cast<size_t>(command.address);
    int64_t before = 0;
    // A keyed centre's counters give the order; its stamps are not signed.
    const SendingVerdict verdict = counter != nullptr ? commandCounterOrder_.JudgeCounter(address, *counter)
                                                      : commandOrder_.Judge(address, record.timestamp, &before);
    const std::string what = "M" + std::to_string(command.address) + " = " + std::to_string(command.value);
    if (verdict == SendingVerdict::kSentBefore) {
        if (detail != nullptr) {
            *detail = "write command " + what + " " +
                      (counter != nullptr ? std::string("sent before the one applied last to it (by its counter): "
                                                        "not applied")
                                          : DescribeVerdict(verdict, before));
        }
        return MessageFate::kSentBeforeApplied;
    }
    image[address].value = command.value;
    if (counter != nullptr) commandCounterOrder_.AppliedCounter(address, *counter);
    else commandOrder_.Applied(address, record.timestamp);
    if (detail != nullptr) {
        *detail = "write command applied to " + what + (counter != nullptr ? ", authenticated" : "");
        if (verdict != SendingVerdict::kInOrder) *detail += " (" + DescribeVerdict(verdict, before) + ")";
    }
    return MessageFate::kApplied;
}

MessageFate RemoteStation::TakeFreeText(const SmsRecord& record, std::string* detail) {
    if (!IsFreeText(record.text)) {
        if (detail != nullptr) *detail = "not a write command";
        return MessageFate::kNotAFrame;
    }
    if (!SenderAccepted(numbers.detc, record)) {
        if (detail != nullptr) {
            *detail = "a free text refused by the sender check: DETC is " +
                      Printable(FieldText(numbers.detc, sizeof numbers.detc));
        }
        return MessageFate::kNotAFrame;
    }
    // Free texts are not signed: one from a keyed centre is marked, for
    // anyone could have sent it.
    const bool keyed = keys.Keyed(0);
    const bool kept = freeText_.Keep(record, keyed);
    if (detail != nullptr) {
        const char* from = numbers.detc[0] != '\0' ? "the centre" : "anyone (DETC is empty)";
        *detail = OutcomeEvent(kept ? ViewEvent::kFreeTextKept : ViewEvent::kFreeTextNotKept,
                               FreeTextPart(from, keyed, kept, "SEND_MSG"));
    }
    return MessageFate::kNotAFrame;
}

int32_t STDMETHODCALLTYPE RemoteStation::Write(int32_t* deviceAddress, RegisterRequest* request,
                                               RegisterValue* value) {
    if (trace.on() && deviceAddress != nullptr) trace.SetDevice(*deviceAddress);
    uint32_t code = kStatusOk;
    if (request != nullptr && value != nullptr) {
        switch (request->typeIndex) {
            case kTypeM: {
                const int32_t address = request->address0;
                if (!ValidAddress(address)) break;
                uint32_t& v = image[address].value;
                switch (request->dataType) {
                    case kDataBit: v = static_cast<uint32_t>(value->bitValue); break;  // the whole number
                    case kDataInt: v = static_cast<uint32_t>(value->intValue); break;
                    case kDataWord: v = value->wordValue; break;
                    case kDataFloat: v = FloatToRegister(value->floatValue); break;
                    default: break;  // no register type of this station takes another
                }
                break;
            }
            case kTypeSendMsg: {
                GsmModem modem(Line());
                code = SendFreeText(modem, numbers, value->textValue, kTextValueSize);
                break;
            }
            case kTypeSmsc:
                if (request->dataType == kDataText) StoreNumberText(numbers.smsc, value->textValue, kTextValueSize);
                break;
            case kTypeDetc:
                if (request->dataType == kDataText) StoreNumberText(numbers.detc, value->textValue, kTextValueSize);
                break;
            case kTypeComFlag:
                comFlag = static_cast<uint32_t>(value->bitValue);
                break;
            default:
                break;
        }
    }
    status.SetCode(code);
    if (trace.on()) trace.Emit(DescribeOperation("write", registerTable, request, value, code));
    return code == kStatusOk ? 1 : 0;
}

}  // namespace kelvora
