// The rows of the outcome table (see the header). A row's name is what
// traces already written carry: it never changes once released.
#include "driver/outcome_table.h"

namespace kelvora {
namespace {

constexpr OutcomeRow kExchangeRows[] = {
    {"exchange-answered", "answered"},
    {"exchange-refused", "refused"},
    {"exchange-no-answer", "no answer"},
    {"exchange-port-failure", "port failure"},
};

constexpr OutcomeRow kSendRows[] = {
    {"send-accepted", "accepted"},
    {"send-not-sent", "not sent"},
    {"send-refused", "refused by the modem or the network"},
    {"send-no-answer", "no answer by the time-out"},
    {"send-port-failure", "port failure"},
    {"send-cut-off", "cut off by a port failure after the message was handed to the modem, not confirmed"},
};

constexpr OutcomeRow kFateRows[] = {
    {"message-applied", "applied"},
    {"message-refused-by-sender", "refused by the sender check"},
    {"message-not-a-frame", "not a frame"},
    {"message-not-for-station", "not for this station"},
    {"message-seen-before", "taken before"},
    {"message-sent-before-applied", "sent before one already applied"},
    {"message-refused-by-key", "refused by the key check"},
};

constexpr OutcomeRow kLineRows[] = {
    {"line-broken", "line broken"},
    {"line-reopen-failed", "line reopen failed"},
    {"line-back", "line back"},
};

static_assert(sizeof kExchangeRows / sizeof kExchangeRows[0] == size_t(ExchangeOutcome::kPortFailed) + 1);
static_assert(sizeof kSendRows / sizeof kSendRows[0] == size_t(SendOutcome::kCutOff) + 1);
static_assert(sizeof kFateRows / sizeof kFateRows[0] == size_t(MessageFate::kRefusedByKey) + 1);
static_assert(sizeof kLineRows / sizeof kLineRows[0] == size_t(LineEvent::kBack) + 1);

const struct {
    int32_t number;
    const char* meaning;
} kSmsErrors[] = {
    {1, "unassigned number"},
    {8, "operator determined barring"},
    {10, "call barred"},
    {21, "short message transfer rejected"},
    {27, "destination out of service"},
    {28, "unidentified subscriber"},
    {29, "facility rejected"},
    {30, "unknown subscriber"},
    {38, "network out of order"},
    {41, "temporary failure"},
    {42, "congestion"},
    {47, "resources unavailable"},
    {50, "requested facility not subscribed"},
    {69, "requested facility not implemented"},
    {96, "invalid mandatory information"},
    {300, "modem failure"},
    {302, "operation not allowed"},
    {303, "operation not supported"},
    {304, "invalid PDU mode parameter"},
    {310, "SIM not inserted"},
    {311, "SIM PIN required"},
    {313, "SIM failure"},
    {322, "memory full"},
    {330, "service centre address unknown"},
    {331, "no network service"},
    {332, "network time-out"},
    {500, "unknown error"},
};

// An out-of-range value (never made by the driver) reads as the last row.
template <class Outcome, size_t N>
const OutcomeRow& Row(const OutcomeRow (&rows)[N], Outcome outcome) {
    const size_t i = static_cast<size_t>(outcome);
    return rows[i < N ? i : N - 1];
}

template <class Outcome, size_t N>
bool Find(const OutcomeRow (&rows)[N], const std::string& event, Outcome* outcome, std::string* sentence) {
    size_t i = 0;
    if (!FindOutcomeRow(rows, N, event, &i, sentence)) return false;
    *outcome = static_cast<Outcome>(i);
    return true;
}

}  // namespace

// The sentence may hold anything (a message's text): the name is the last
// bracketed word.
bool FindOutcomeRow(const OutcomeRow* rows, size_t count, const std::string& event, size_t* index,
                    std::string* sentence) {
    const size_t open = event.rfind(" [");
    if (open == std::string::npos || event.back() != ']') return false;
    const std::string name = event.substr(open + 2, event.size() - open - 3);
    for (size_t i = 0; i < count; ++i) {
        if (name != rows[i].name) continue;
        *index = i;
        if (sentence != nullptr) *sentence = event.substr(0, open);
        return true;
    }
    return false;
}

const OutcomeRow& RowOf(ExchangeOutcome outcome) { return Row(kExchangeRows, outcome); }
const OutcomeRow& RowOf(SendOutcome outcome) { return Row(kSendRows, outcome); }
const OutcomeRow& RowOf(MessageFate fate) { return Row(kFateRows, fate); }
const OutcomeRow& RowOf(LineEvent event) { return Row(kLineRows, event); }

bool ReadOutcomeEvent(const std::string& event, ExchangeOutcome* outcome, std::string* sentence) {
    return Find(kExchangeRows, event, outcome, sentence);
}
bool ReadOutcomeEvent(const std::string& event, SendOutcome* outcome, std::string* sentence) {
    return Find(kSendRows, event, outcome, sentence);
}
bool ReadOutcomeEvent(const std::string& event, MessageFate* fate, std::string* sentence) {
    return Find(kFateRows, event, fate, sentence);
}
bool ReadOutcomeEvent(const std::string& event, LineEvent* lineEvent, std::string* sentence) {
    return Find(kLineRows, event, lineEvent, sentence);
}

const char* SmsErrorMeaning(int32_t number) {
    for (const auto& error : kSmsErrors) {
        if (error.number == number) return error.meaning;
    }
    return nullptr;
}

std::string DescribeSmsError(int32_t number) {
    const std::string text = "error " + std::to_string(number);
    const char* meaning = SmsErrorMeaning(number);
    return meaning != nullptr ? text + " (" + meaning + ")" : text;
}

}  // namespace kelvora
