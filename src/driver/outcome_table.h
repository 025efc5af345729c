// The one table of outcomes: what became of an exchange with the modem, of
// a message handed to it, of a message taken from its store, and of the
// serial line; and the meanings of "+CMS ERROR: <n>" / "+CME ERROR: <n>".
// Each row has a stable name, which the trace writes in brackets at the end
// of the event ("send ...: refused by the modem or the network
// [send-refused]"), and a text for people, which the sentence before it
// uses. Whoever reads the trace back (the console) finds the row by its
// name; no one matches the sentence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelvora {

struct OutcomeRow {
    const char* name;  // stable: "send-refused"
    const char* text;  // "refused by the modem or the network"
};

// One exchange with the modem, beside its plain success.
enum class ExchangeOutcome : uint8_t {
    kAnswered,    // the terminator came
    kRefused,     // "ERROR", "+CMS ERROR: <n>" or "+CME ERROR: <n>" came first
    kNoAnswer,    // neither by the time-out (or by the response bound)
    kPortFailed,  // the write or a read failed
};

// One message handed to the modem.
enum class SendOutcome : uint8_t {
    kAccepted,    // "+CMGS: <mr>" and OK
    kNotSent,     // refused before anything was written: number, text, or a PDU too long
    kRefused,     // a final error result to the command or to the PDU
    kNoAnswer,    // neither an acceptance nor an error by the time-out
    kPortFailed,  // the port failed before the message was handed to the modem: not sent
    kCutOff,      // the port failed after the message was handed to the modem: not confirmed, it may have gone out
};

// One message a station took from its modem's store.
enum class MessageFate : uint8_t {
    kApplied,          // its values are in the image
    kRefusedBySender,  // a frame from a number other than DETC
    kNotAFrame,        // any other text
    kNotForStation,    // a frame for another site, or naming registers outside the image
    kSeenBefore,       // listed again after an unconfirmed delete, or a second copy of one
                       // applied: only deleted
    kSentBeforeApplied,  // a frame sent before one the station already applied for the same registers
    kRefusedByKey,     // from or for a keyed peer, and not a signed frame whose code and counter check
};

// The serial line under a station.
enum class LineEvent : uint8_t {
    kBroken,        // a port operation failed: the device is closed
    kReopenFailed,  // a reopen did not succeed
    kBack,          // a reopen brought it back
};

const OutcomeRow& RowOf(ExchangeOutcome outcome);
const OutcomeRow& RowOf(SendOutcome outcome);
const OutcomeRow& RowOf(MessageFate fate);
const OutcomeRow& RowOf(LineEvent event);

// "answered", "refused", "no answer", "port failure".
inline const char* OutcomeText(ExchangeOutcome outcome) { return RowOf(outcome).text; }

// An event of the trace for a row: the sentence, then " [name]".
template <class Outcome>
std::string OutcomeEvent(Outcome outcome, const std::string& sentence) {
    return sentence + " [" + RowOf(outcome).name + "]";
}

// The row of a kind whose name ends event (as OutcomeEvent wrote it); false
// when no row of that kind does. sentence (optional): what comes before.
bool ReadOutcomeEvent(const std::string& event, ExchangeOutcome* outcome, std::string* sentence = nullptr);
bool ReadOutcomeEvent(const std::string& event, SendOutcome* outcome, std::string* sentence = nullptr);
bool ReadOutcomeEvent(const std::string& event, MessageFate* fate, std::string* sentence = nullptr);
bool ReadOutcomeEvent(const std::string& event, LineEvent* lineEvent, std::string* sentence = nullptr);

// The same for any table of rows (the stations keep their view's own):
// the index of the row whose name ends event.
bool FindOutcomeRow(const OutcomeRow* rows, size_t count, const std::string& event, size_t* index,
                    std::string* sentence);

// The meaning 3GPP TS 27.005 or TS 24.011 give an error number, or nullptr.
const char* SmsErrorMeaning(int32_t number);
// "error 322 (memory full)"; "error 7" for a number without a meaning.
std::string DescribeSmsError(int32_t number);

}  // namespace kelvora
