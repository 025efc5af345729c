// One modem's line discipline, command lines, result formatting and faults
// (see at_modem.h); the commands themselves are in basic_commands.cpp,
// at_commands.cpp and sms_commands.cpp.
#include "at_modem.h"

#include <algorithm>
#include <cctype>

namespace modemsim {
namespace {

constexpr char kCtrlZ = 0x1A;
constexpr char kEscape = 0x1B;
constexpr char kBackspace = 0x08;
constexpr size_t kMaxLine = 2048;  // longer command lines are refused whole
constexpr size_t kMaxPdu = 2 * 200;

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The first fault of the kind among those that apply; null when none does.
const Fault* FirstOf(const std::vector<Fault>& applied, FaultKind kind) {
    const auto f = std::find_if(applied.begin(), applied.end(), [kind](const Fault& a) { return a.kind == kind; });
    return f == applied.end() ? nullptr : &*f;
}

// What the faults do to an answer on its way out: bytes before it, an
// unsolicited line among its lines, its end cut off.
void Disturb(const std::vector<Fault>& applied, std::string* text) {
    if (const Fault* garbage = FirstOf(applied, FaultKind::Garbage)) *text = garbage->bytes + *text;
    if (const Fault* f = FirstOf(applied, FaultKind::Unsolicited)) {
        size_t pos = 0;
        for (size_t n = 0; n < f->afterLines; ++n) {
            const size_t end = text->find("\r\n", pos);
            if (end == std::string::npos) {
                pos = text->size();
                break;
            }
            pos = end + 2;
        }
        text->insert(pos, f->bytes);
    }
    if (const Fault* cut = FirstOf(applied, FaultKind::CutOff)) *text = text->substr(0, std::min(text->size(), cut->keepBytes));
}

bool EndsWithCtrlZ(const std::string& command) {
    return command.size() >= 2 && command.compare(command.size() - 2, 2, "^Z") == 0;
}

}  // namespace

AtModem::AtModem(size_t id, std::string number, const NetworkOptions& options, SubmitSink* sink)
    : id_(id), number_(std::move(number)), options_(options), sink_(sink), store_(options.capacity) {
    ResetProfile();
    cnmiMt_ = options.cmti ? 1 : 0;
    cnmiMode_ = options.cmti ? 2 : 0;
    serviceCentre_ = options.serviceCentre;
}

void AtModem::ResetProfile() {
    echo_ = true;
    verbose_ = true;
    quiet_ = false;
    cmee_ = 0;
    sRegisters_.fill(0);
    sRegisters_[3] = '\r';
    sRegisters_[4] = '\n';
    sRegisters_[5] = kBackspace;
    sRegisters_[7] = 50;
}

std::vector<OutputChunk> AtModem::TakeOutput() {
    std::vector<OutputChunk> out;
    out.swap(output_);
    return out;
}

void AtModem::Emit(const std::string& bytes, Millis delay) {
    if (!bytes.empty()) output_.push_back({bytes, delay, false});
}

int AtModem::Deliver(const std::string& pdu, std::string* error) {
    const int index = store_.Put(pdu, MessageStatus::ReceivedUnread, 0, error);
    if (index > 0 && cnmiMt_ == 1) {
        const std::string urc = "+CMTI: \"SM\"," + std::to_string(index);
        Emit(verbose_ ? "\r\n" + urc + "\r\n" : urc + "\r\n");
    }
    return index;
}

void AtModem::Restart(SystemTime bootUntil) {
    ResetProfile();
    DropInput();
    deafUntil_ = bootUntil;
    log_.push_back({std::chrono::system_clock::now(), "<restart>", ""});
}

void AtModem::DropLine() {
    DropInput();
    log_.push_back({std::chrono::system_clock::now(), "<hang-up>", ""});
}

void AtModem::DropInput() {
    mode_ = Mode::Command;
    line_.clear();
    echoPending_.clear();
    pdu_.clear();
    overflow_ = false;
    output_.clear();
}

void AtModem::Receive(const char* data, size_t count, SystemTime now) {
    if (now < deafUntil_) return;  // still starting up
    for (size_t i = 0; i < count; ++i) {
        const char c = data[i];
        if (mode_ == Mode::Pdu) {
            if (c == kCtrlZ || c == kEscape) {
                PduDone(c == kCtrlZ, echoPending_, now);
                echoPending_.clear();
                continue;
            }
            echoPending_ += c;
            if (c == '\r' || c == '\n' || c == ' ') continue;
            if (pdu_.size() < kMaxPdu) pdu_ += c; else overflow_ = true;
            continue;
        }
        if (c == static_cast<char>(sRegisters_[3])) {
            echoPending_ += c;
            CommandLine(line_, echoPending_, now);
            line_.clear();
            echoPending_.clear();
            overflow_ = false;
            continue;
        }
        echoPending_ += c;
        if (c == static_cast<char>(sRegisters_[5])) {
            if (!line_.empty()) line_.pop_back();
        } else if (c == '\n' || c == kCtrlZ || c == kEscape || c == '\0') {
            // no part of a command line
        } else if (line_.size() < kMaxLine) {
            line_ += c;
        } else {
            overflow_ = true;
        }
        if (echoPending_.size() > kMaxLine) {  // noise without line ends: echo it and forget it
            if (echo_) Emit(echoPending_);
            echoPending_.clear();
        }
    }
}

void AtModem::CommandLine(const std::string& raw, const std::string& echoed, SystemTime now) {
    // Characters before "AT" are not part of the command (V.25ter 5.2.1).
    const std::string upper = Upper(raw);
    const size_t at = upper.find("AT");
    if (at == std::string::npos) {
        if (echo_) Emit(echoed);
        return;
    }
    if (overflow_) {  // a line longer than the modem's buffer is refused whole
        if (echo_) Emit(echoed);
        Emit(ResultText("ERROR"));
        log_.push_back({std::chrono::system_clock::time_point(now), raw.substr(at, 64) + "...", ResultText("ERROR")});
        return;
    }
    std::string command = raw.substr(at);
    while (!command.empty() && (command.back() == ' ' || command.back() == '\t')) command.pop_back();
    Respond(command, echoed, now, false);
}

void AtModem::PduDone(bool send, const std::string& echoed, SystemTime now) {
    const std::string command = "PDU:" + pdu_ + (send ? "^Z" : "<ESC>");
    Respond(command, echoed, now, true);
}

// The faults set for a command that starts with `match`, each counted once
// more; those used up are gone.
std::vector<Fault> AtModem::TakeFaults(const std::string& match) {
    std::vector<Fault> applied;
    for (Fault& f : faults_) {
        if (f.times == 0) continue;
        if (match.compare(0, f.command.size(), Upper(f.command)) != 0) continue;
        applied.push_back(f);
        if (f.times > 0) --f.times;
    }
    faults_.erase(std::remove_if(faults_.begin(), faults_.end(), [](const Fault& f) { return f.times == 0; }),
                  faults_.end());
    return applied;
}

// The answer to a command line or to the PDU after the prompt, or the error
// a fault gives instead.
std::string AtModem::AnswerText(const std::string& command, bool isPdu, bool sent, const std::vector<Fault>& applied) {
    std::string text;
    if (FirstOf(applied, FaultKind::Error)) {
        text = ResultText("ERROR");
    } else if (const Fault* refusal = FirstOf(applied, FaultKind::CmsError)) {
        text = ResultText("+CMS ERROR: " + std::to_string(refusal->cmsError));
        if (sent) sink_->Refused(id_, pdu_, pduLength_, refusal->cmsError);
    } else if (isPdu) {
        Answer answer;
        if (sent) {
            const int result = sink_->Submit(id_, pdu_, pduLength_, overflow_);
            if (result >= 0) {
                answer.info.push_back("+CMGS: " + std::to_string(result));
            } else {
                answer.final = "+CMS ERROR: " + std::to_string(-result);
            }
        }
        text = Format(answer);
    } else {
        const Answer answer = Execute(command);
        text = Format(answer);
        if (answer.prompt) {
            mode_ = Mode::Pdu;
            pdu_.clear();
            overflow_ = false;
        }
    }
    if (isPdu) {
        pdu_.clear();
        overflow_ = false;
    }
    return text;
}

void AtModem::Respond(const std::string& command, const std::string& echoed, SystemTime now, bool isPdu) {
    const std::vector<Fault> applied = TakeFaults(isPdu ? std::string("PDU") : Upper(command));
    LogEntry entry{std::chrono::system_clock::time_point(now), command, ""};
    if (isPdu) mode_ = Mode::Command;
    if (const Fault* silence = FirstOf(applied, FaultKind::Silence)) {
        if (echo_ && silence->echo) Emit(echoed);
        pdu_.clear();
        log_.push_back(entry);
        return;
    }
    if (echo_) Emit(echoed);
    if (FirstOf(applied, FaultKind::CloseLine)) {
        output_.push_back({"", Millis(0), true});
        log_.push_back(entry);
        return;
    }
    const bool sent = isPdu && EndsWithCtrlZ(command);
    std::string text = AnswerText(command, isPdu, sent, applied);
    Disturb(applied, &text);
    const Fault* delayed = FirstOf(applied, FaultKind::Delay);
    Millis delay = delayed ? delayed->delay : Millis(0);
    if (sent) delay += options_.sendAnswerDelay;  // the network answers a send, not the modem
    if (!text.empty()) output_.push_back({text, delay, false});
    entry.response = text;
    entry.delay = delay;
    log_.push_back(entry);
}

std::string AtModem::ResultText(const std::string& result) const {
    if (quiet_) return "";
    if (verbose_) return "\r\n" + result + "\r\n";
    if (result == "OK") return "0\r";
    if (result == "CONNECT") return "1\r";
    if (result == "NO CARRIER") return "3\r";
    if (result == "ERROR") return "4\r";
    return result + "\r\n";  // +CMS ERROR / +CME ERROR keep their text
}

std::string AtModem::Format(const Answer& answer) const {
    std::string out;
    if (!answer.info.empty()) {
        if (verbose_) out += "\r\n";
        for (size_t i = 0; i < answer.info.size(); ++i) {
            out += answer.info[i];
            if (verbose_ || i + 1 < answer.info.size()) out += "\r\n";
        }
        if (!verbose_) out += "\r\n";
    }
    if (answer.prompt) return out + "\r\n> ";
    if (!answer.final.empty()) out += ResultText(answer.final);
    return out;
}

AtModem::Answer AtModem::Execute(const std::string& line) {
    Answer answer;
    const std::string rest = line.substr(2);
    size_t pos = 0;
    auto refuse = [&answer]() {
        answer.info.clear();
        answer.prompt = false;
        if (answer.final == "OK") answer.final = "ERROR";
        return answer;
    };
    while (pos < rest.size()) {
        const char c = rest[pos];
        if (c == ' ' || c == ';') {
            ++pos;
            continue;
        }
        if (c == '+' || c == '^' || c == '$' || c == '%') {
            size_t end = pos + 1;
            while (end < rest.size() && rest[end] != '=' && rest[end] != '?' && rest[end] != ';') ++end;
            const std::string name = Upper(rest.substr(pos, end - pos));
            char mode = 'a';
            if (end < rest.size() && rest[end] == '?') {
                mode = 'r';
                ++end;
            } else if (end + 1 < rest.size() && rest[end] == '=' && rest[end + 1] == '?') {
                mode = 't';
                end += 2;
            } else if (end < rest.size() && rest[end] == '=') {
                mode = 's';
                ++end;
            }
            size_t argsEnd = end;
            bool quoted = false;
            while (argsEnd < rest.size() && (quoted || rest[argsEnd] != ';')) {
                if (rest[argsEnd] == '"') quoted = !quoted;
                ++argsEnd;
            }
            const std::string args = rest.substr(end, argsEnd - end);
            pos = argsEnd;
            if (!ExecuteExtended(name, mode, args, &answer)) return refuse();
            if (answer.prompt || answer.final != "OK") return answer;
            continue;
        }
        if (!ExecuteBasic(rest, &pos, &answer)) return refuse();
        if (answer.final != "OK") return answer;
    }
    return answer;
}

}  // namespace modemsim
