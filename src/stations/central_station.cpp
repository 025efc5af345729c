// CentralStation: Read and Write of the central station (see the header).
#include "stations/central_station.h"

#include <cstring>

#include "modem/gsm_modem.h"
#include "modem/send_event.h"
#include "stations/operation_trace.h"
#include "stations/sender_check.h"
#include "stations/sending_time.h"
#include "stations/station_mailbox.h"
#include "stations/station_send.h"
#include "stations/station_registers.h"
#include "stations/view_events.h"

namespace kelvora {

namespace {

bool ValidSite(int32_t site) { return site >= 0 && site < kSiteCount; }
bool ValidAddress(int32_t address) { return address >= 0 && address < kSiteRegisters; }

}  // namespace

CentralStation::CentralStation() {
    trace.SetRole("central");
    trace.Attach(SystemTraceSink(), HostTraceSink());
    std::string setting;
    pollScope = PollScopeFromSystem(&setting);
    if (trace.on()) trace.Emit(DescribePollScope(pollScope, setting));
    std::string hold, stale;
    view.SetOptions(ViewOptionsFromSystem(&hold, &stale));
    if (trace.on()) {
        trace.Emit(DescribeHoldWrites(view.options(), hold));
        trace.Emit(DescribeStaleAfter(view.options(), stale));
    }
    view.Start(clock().TickCount());
    for (const std::string& line : LoadKeysFromSystem(true, &keys)) {
        if (trace.on()) trace.Emit(line);
    }
    AddCentralRegisterTypes(*this);
    for (SiteNumbers& site : numbers) PresetSiteNumbers(site);
}

CentralStation::~CentralStation() = default;

int32_t STDMETHODCALLTYPE CentralStation::Read(int32_t* deviceAddress, RegisterRequest* request,
                                               RegisterValue* value) {
    const uint32_t now = clock().TickCount();
    if (trace.on() && deviceAddress != nullptr) trace.SetDevice(*deviceAddress);
    bool filled = false;
    uint32_t code = kStatusOk;
    if (request != nullptr && value != nullptr && ValidSite(request->address0)) {
        const int32_t site = request->address0;
        filled = request->typeIndex == kTypeM ||
                 ((request->typeIndex == kTypeSmsc || request->typeIndex == kTypeDetc) && request->dataType == kDataText);
        switch (request->typeIndex) {
            case kTypeM: {
                const int32_t address = request->address1;
                if (!ValidAddress(address)) break;
                const bool stationWide = pollScope == PollScope::kStation;
                uint32_t& lastPoll = stationWide ? stationPollTick : image[site][GroupStart(address)].lastPollTick;
                const size_t slot = stationWide ? CentreView::kStationSlot : CentreView::GroupSlot(site, address);
                uint32_t at = now;
                // A line that is down and not to be reopened yet is not
                // polled: the read answers from the image at once, and the
                // first read once the line is back polls.
                if (PollDue(now, lastPoll) && LineReady()) {
                    lastPoll = now;  // before anything: a poll that finds nothing counts
                    bool failed = false;
                    const uint32_t listed = Poll(*request, &failed);
                    if (stationWide) stationPollTick = listed;
                    view.PollEnded(slot, failed);
                    at = clock().TickCount();  // a report the poll applied counts
                }
                FillValue(site, *request, value);  // after the poll, so that a report just received shows
                // A failed read still carries the image's value: the host may show it, marked bad.
                if (view.JudgesReads() && view.ReadFails(site, slot, at, trace)) code = kStatusReadError;
                break;
            }
            case kTypeSendMsg:
                if (request->dataType != kDataText) break;
                filled = freeTexts_[site].CopyTo(value->textValue, sizeof value->textValue);
                if (filled && trace.on()) {
                    trace.Emit("SEND_MSG" + std::to_string(site) + ": the last free text from site " +
                               std::to_string(site) + ", sent " + freeTexts_[site].timestamp());
                }
                break;
            case kTypeSmsc:
                if (request->dataType == kDataText) std::memcpy(value->textValue, numbers[site].smsc, kNumberTextSize);
                break;
            case kTypeDetc:
                if (request->dataType == kDataText) std::memcpy(value->textValue, numbers[site].detc, kNumberTextSize);
                break;
            default:  // unknown types fill nothing
                break;
        }
    }
    status.SetCode(code);
    if (trace.on()) trace.Emit(DescribeOperation("read", registerTable, request, filled ? value : nullptr, code));
    return code == kStatusOk ? 1 : 0;
}

void CentralStation::FillValue(int32_t site, const RegisterRequest& request, RegisterValue* value) const {
    const uint32_t v = image[site][request.address1].value;
    const uint32_t bit = static_cast<uint32_t>(request.address2) & 31u;
    value->bitValue = static_cast<int32_t>((v >> bit) & 1u);
    value->intValue = static_cast<int32_t>(v);
    value->wordValue = static_cast<uint16_t>(v & 0xFFFFu);
    std::memcpy(&value->floatValue, &v, sizeof v);  // the bit pattern, unchanged
}

uint32_t CentralStation::Poll(const RegisterRequest& request, bool* failed) {
    if (trace.on()) {
        const int32_t first = GroupStart(request.address1);
        trace.Emit("poll for the read of " + RegisterText(registerTable, request) + " (site " +
                   std::to_string(request.address0) + ", group " + std::to_string(first) + ".." +
                   std::to_string(first + kGroupSize - 1) + "), after the pause");
    }
    clock().Sleep(kModemPauseMs);
    const uint32_t listing = clock().TickCount();
    view.PollBegins(listing, trace);
    GsmModem modem(Line());
    const PollCounts counts = mailbox.Poll(modem, trace, [this](const SmsRecord& record, std::string* detail) {
        return TakeMessage(record, detail);
    });
    *failed = counts.modemSilent || counts.listingRefused;
    return listing;
}

MessageFate CentralStation::TakeMessage(const SmsRecord& record, std::string* detail) {
    SignedFrame signedFrame;
    const SignedShape shape = SplitSignedFrame(record.text, &signedFrame);
    Report report{};
    if (!ParseReport(shape == SignedShape::kNone ? record.text : signedFrame.frame.c_str(), &report)) {
        if (shape == SignedShape::kNone) return TakeFreeText(record, detail);
        // A signed write command (sent the other way) or a garbled frame.
        if (!keys.AnyKeyed()) {
            if (detail != nullptr) *detail = "not a report: an authenticated frame, and this station has no key";
            return MessageFate::kNotAFrame;
        }
        if (detail != nullptr) *detail = DescribeKeyRefusal(KeyRefusal::kMalformed, "no report");
        return MessageFate::kRefusedByKey;
    }
    // The five values must all fall inside the site's registers: a report
    // starting above 996 comes only from a foreign text and is dropped whole.
    if (!ValidSite(report.site) || report.firstAddress < 0 || report.firstAddress > kSiteRegisters - kGroupSize) {
        if (detail != nullptr) {
            *detail = std::string(view_events::kReportForNoSite) + " or registers of this station: dropped";
        }
        return MessageFate::kNotForStation;
    }
    const size_t site = static_cast<size_t>(report.site);
    const std::string what = std::to_string(report.site) + ", addresses " +
                             std::to_string(report.firstAddress) + ".." +
                             std::to_string(report.firstAddress + kGroupSize - 1);
    bool noKey = false;
    const KeyRefusal refusal = keys.Gate(site, FrameDirection::kSiteToCentre, shape, signedFrame, &noKey);
    if (noKey) {
        if (detail != nullptr) *detail = "an authenticated report for site " + what + ", and no key for it: ignored";
        return MessageFate::kNotAFrame;
    }
    if (refusal != KeyRefusal::kNone) {
        if (detail != nullptr) *detail = DescribeKeyRefusal(refusal, "report for site " + what, keys.Problem(site));
        return MessageFate::kRefusedByKey;
    }
    if (!SenderAccepted(numbers[site].detc, record)) {
        if (detail != nullptr) {
            *detail = view_events::kReportRefusedBySender + std::to_string(report.site) + " is " +
                      Printable(FieldText(numbers[site].detc, sizeof numbers[site].detc));
        }
        return MessageFate::kRefusedBySender;
    }
    const bool keyed = shape == SignedShape::kWhole;
    std::string why;
    if (keyed && keys.Accept(site, signedFrame.counter, &why) != KeyRefusal::kNone) {
        if (detail != nullptr) *detail = DescribeKeyRefusal(KeyRefusal::kNotKept, "report for site " + what, why);
        return MessageFate::kRefusedByKey;
    }
    return ApplyReport(record, report, keyed ? &signedFrame.counter : nullptr, what, detail);
}

MessageFate CentralStation::ApplyReport(const SmsRecord& record, const Report& report, const uint64_t* counter,
                                        const std::string& what, std::string* detail) {
    const uint32_t tick = clock().TickCount();
    const uint64_t nowMs = view.Now(tick);
    int64_t sentSeconds = 0;
    const int64_t* sent = SendingTime(record.timestamp, &sentSeconds) ? &sentSeconds : nullptr;
    // A site reports one group; a foreign text starting elsewhere covers two.
    const size_t site = static_cast<size_t>(report.site);
    const size_t firstGroup = static_cast<size_t>(report.firstAddress / kGroupSize);
    const size_t lastGroup = static_cast<size_t>((report.firstAddress + kGroupSize - 1) / kGroupSize);
    SendingVerdict verdict = SendingVerdict::kInOrder;
    int64_t before = 0;
    for (size_t g = firstGroup; g <= lastGroup && verdict != SendingVerdict::kSentBefore; ++g) {
        int64_t b = 0;
        const size_t slot = site * kGroupsPerSite + g;
        // A keyed site's counters give the order; its stamps are not signed.
        const SendingVerdict v = counter != nullptr ? reportCounterOrder_.JudgeCounter(slot, *counter)
                                                    : reportOrder_.Judge(slot, record.timestamp, &b);
        if (v != SendingVerdict::kInOrder) {
            verdict = v;
            before = b;
        }
    }
    if (verdict == SendingVerdict::kSentBefore) {
        view.ReportHeard(report.site, sent, nowMs);
        if (detail != nullptr) {
            *detail = view_events::kReportSentBefore + what + " " +
                      (counter != nullptr ? std::string("sent before the report applied last to these registers (by "
                                                        "its counter): not applied")
                                          : DescribeVerdict(verdict, before));
        }
        return MessageFate::kSentBeforeApplied;
    }
    // Judged by what the centre knew of the network's clock before this
    // report: a report delayed long would otherwise pass for one sent late.
    const uint32_t held =
        view.HeldInReport(report.site, report.firstAddress, report.values, sent, trace);
    view.ReportHeard(report.site, sent, nowMs);
    for (int i = 0; i < kGroupSize; ++i) {
        if ((held >> i) & 1u) continue;  // a written value the site has not confirmed stands
        image[site][static_cast<size_t>(report.firstAddress + i)].value = report.values[i];
        known_[site].set(static_cast<size_t>(report.firstAddress + i));
    }
    for (size_t g = firstGroup; g <= lastGroup; ++g) {
        if (counter != nullptr) reportCounterOrder_.AppliedCounter(site * kGroupsPerSite + g, *counter);
        else reportOrder_.Applied(site * kGroupsPerSite + g, record.timestamp);
    }
    view.ReportApplied(report.site, nowMs, tick);
    if (detail != nullptr) {
        *detail = view_events::kReportApplied + what + (counter != nullptr ? ", authenticated" : "");
        if (verdict != SendingVerdict::kInOrder) *detail += " (" + DescribeVerdict(verdict, before) + ")";
    }
    return MessageFate::kApplied;
}

MessageFate CentralStation::TakeFreeText(const SmsRecord& record, std::string* detail) {
    if (!IsFreeText(record.text)) {
        if (detail != nullptr) *detail = "not a report";
        return MessageFate::kNotAFrame;
    }
    // No site field: the sender is the site whose DETC holds its number.
    std::string kept;
    bool anyTaken = false;
    for (int32_t site = 0; site < kSiteCount; ++site) {
        const char* detc = numbers[site].detc;
        if (detc[0] == '\0' || !SenderAccepted(detc, record)) continue;
        // Free texts are not signed: one from a keyed site is marked, for
        // anyone could have sent it.
        const bool keyed = keys.Keyed(static_cast<size_t>(site));
        const bool taken = freeTexts_[site].Keep(record, keyed);
        anyTaken = anyTaken || taken;
        if (detail == nullptr) continue;
        kept += std::string(kept.empty() ? "" : "; ") +
                FreeTextPart("site " + std::to_string(site), keyed, taken, "SEND_MSG" + std::to_string(site));
    }
    if (detail != nullptr) {
        *detail = kept.empty() ? "not a report; a free text from a number no DETC holds"
                               : OutcomeEvent(anyTaken ? ViewEvent::kFreeTextKept : ViewEvent::kFreeTextNotKept, kept);
    }
    return MessageFate::kNotAFrame;
}

uint32_t CentralStation::WriteRegister(int32_t site, int32_t address, int32_t bit, const RegisterValue& value,
                                       int16_t dataType) {
    ImageEntry& entry = image[site][address];
    uint32_t v = 0;
    switch (dataType) {
        case kDataBit: {
            // The whole register goes to the site: without its other bits it
            // would clear them there.
            if (!known_[static_cast<size_t>(site)].test(static_cast<size_t>(address))) {
                if (trace.on()) {
                    const std::string m = "M" + std::to_string(site) + "." + std::to_string(address);
                    trace.Emit(SendEvent(SendOutcome::kNotSent, "bit write of " + m,
                                         "the value of " + m +
                                             " is not known yet (no report has covered it, nor has the host written "
                                             "it whole): the whole register goes to the site, and the other bits "
                                             "would be lost"));
                }
                return kStatusWriteError;
            }
            const uint32_t mask = 1u << (static_cast<uint32_t>(bit) & 31u);
            v = (value.bitValue == 1) ? (entry.value | mask) : (entry.value & ~mask);
            break;
        }
        case kDataInt:
            v = static_cast<uint32_t>(value.intValue);
            break;
        case kDataWord:
            v = value.wordValue;
            break;
        case kDataFloat:
            std::memcpy(&v, &value.floatValue, sizeof v);
            break;
        default:  // no register type of this station takes another data type
            return kStatusOk;
    }

    std::string command = FormatWriteCommand(site, address, v);
    const bool keyed = keys.Keyed(static_cast<size_t>(site));
    std::string why;
    if (keyed && !keys.Sign(static_cast<size_t>(site), FrameDirection::kCentreToSite, command, &command, &why)) {
        if (trace.on()) {
            trace.Emit(SendEvent(SendOutcome::kNotSent, "send " + command + " to site " + std::to_string(site), why));
        }
        return kStatusWriteError;
    }
    const SiteNumbers copy = numbers[site];
    // A line that is down fails the send at once: no pause for it.
    const bool lineUp = LineReady();
    if (trace.on()) {
        trace.Emit("write command " + command + " for site " + std::to_string(site) +
                   (lineUp ? " after the pause" : ": the line is down"));
    }
    if (lineUp) clock().Sleep(kModemPauseMs);
    SendResult sent;
    GsmModem(Line()).SendSms(copy.smsc, copy.detc, command.c_str(), &sent,
                             keyed ? SmsCoding::kSevenBit : SmsCoding::kUcs2);
    // The image shows what the site has been told: a value that never left
    // does not stand in it.
    if (sent.outcome == SendOutcome::kAccepted) {
        entry.value = v;
        known_[static_cast<size_t>(site)].set(static_cast<size_t>(address));
        view.WriteAccepted(site, address, v, view.Now(clock().TickCount()), trace);
    }
    return SendStatus(sent);
}

int32_t STDMETHODCALLTYPE CentralStation::Write(int32_t* deviceAddress, RegisterRequest* request,
                                                RegisterValue* value) {
    if (trace.on() && deviceAddress != nullptr) trace.SetDevice(*deviceAddress);
    uint32_t code = kStatusOk;
    if (request != nullptr && value != nullptr && ValidSite(request->address0)) {
        const int32_t site = request->address0;
        switch (request->typeIndex) {
            case kTypeM:
                if (ValidAddress(request->address1))
                    code = WriteRegister(site, request->address1, request->address2, *value, request->dataType);
                break;
            case kTypeSendMsg: {
                GsmModem modem(Line());
                code = SendFreeText(modem, numbers[site], value->textValue, kTextValueSize);
                break;
            }
            case kTypeSmsc:
                if (request->dataType == kDataText)
                    StoreNumberText(numbers[site].smsc, value->textValue, kTextValueSize);
                break;
            case kTypeDetc:
                if (request->dataType == kDataText)
                    StoreNumberText(numbers[site].detc, value->textValue, kTextValueSize);
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
