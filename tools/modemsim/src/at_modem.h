// One modem's command interpreter: V.25ter command lines, the SMS commands of
// TS 27.005 in PDU mode, and the faults tests ask for. Pure logic: bytes in,
// timed chunks out; the network (network.cpp) moves them over the pty.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "message_store.h"
#include "modemsim/modemsim.h"

namespace modemsim {

// What the modem writes: bytes that may leave `delay` after they were made,
// or the hang-up of the line.
struct OutputChunk {
    std::string bytes;
    Millis delay{0};
    bool closeLine = false;
};

// The network side of sending: takes the PDU of an AT+CMGS (`overlong`: cut
// off at the modem's buffer) and answers the message reference, or a +CMS
// ERROR code as a negative number.
class SubmitSink {
public:
    virtual ~SubmitSink() = default;
    virtual int Submit(size_t fromModem, const std::string& pdu, int announcedLength, bool overlong) = 0;
    // The send was refused with +CMS ERROR <cmsError> (a fault): kept in the books all the same.
    virtual void Refused(size_t fromModem, const std::string& pdu, int announcedLength, int cmsError) = 0;
};

class AtModem {
public:
    AtModem(size_t id, std::string number, const NetworkOptions& options, SubmitSink* sink);

    // Feeds bytes from the line; answers are appended to the output.
    void Receive(const char* data, size_t count, SystemTime now);
    std::vector<OutputChunk> TakeOutput();
    size_t TakeOutputPending() const { return output_.size(); }
    void Emit(const std::string& bytes, Millis delay = Millis(0));

    // A message arrived from the network: stores it, raises +CMTI when asked to.
    int Deliver(const std::string& pdu, std::string* error);

    MessageStore& store() { return store_; }
    const MessageStore& store() const { return store_; }
    const std::string& number() const { return number_; }
    std::vector<LogEntry>& log() { return log_; }
    std::vector<Fault>& faults() { return faults_; }
    void SetEcho(bool on) { echo_ = on; }
    // See Modem::Restart: output and half-received input dropped, factory settings, deaf until bootUntil.
    void Restart(SystemTime bootUntil);
    // The line hung up: what was on its way either side is lost (a command
    // line or a PDU half received, answers not yet sent); the settings stay.
    void DropLine();
    void SetCmti(bool on) { cnmiMt_ = on ? 1 : 0; }

private:
    struct Answer {
        std::vector<std::string> info;  // information lines
        std::string final = "OK";       // final result text ("" = none, e.g. after the prompt)
        bool prompt = false;
    };

    void CommandLine(const std::string& raw, const std::string& echoed, SystemTime now);
    void PduDone(bool send, const std::string& echoed, SystemTime now);
    void Respond(const std::string& command, const std::string& echoed, SystemTime now, bool isPdu);
    std::vector<Fault> TakeFaults(const std::string& match);
    std::string AnswerText(const std::string& command, bool isPdu, bool sent, const std::vector<Fault>& applied);
    Answer Execute(const std::string& line);
    bool ExecuteExtended(const std::string& name, char mode, const std::string& args, Answer* answer);
    bool ExecuteBasic(const std::string& text, size_t* pos, Answer* answer);

    // An extended command as its handler gets it. A handler returns false
    // for a plain ERROR; any other refusal it puts in the answer's final.
    struct Call {
        const std::string& name;
        char mode;  // 'a' action, 's' set (=), 'r' read (?), 't' test (=?)
        const std::vector<std::string>& args;
        Answer* answer;
        void Info(const std::string& line) const { answer->info.push_back(line); }
    };
    using Handler = bool (AtModem::*)(const Call& call);
    // The extended commands: one row a name, several names may share a
    // handler (at_commands.cpp).
    struct CommandRow {
        const char* name;
        Handler handler;
    };
    static const CommandRow kCommands[];

    // Identification and network status (at_commands.cpp).
    static bool Identify(const Call& call, const std::string& text);
    bool Manufacturer(const Call& call);
    bool Model(const Call& call);
    bool Revision(const Call& call);
    bool SerialNumber(const Call& call);
    bool SubscriberIdentity(const Call& call);
    bool OwnNumber(const Call& call);
    bool Capabilities(const Call& call);
    bool Pin(const Call& call);
    bool SignalQuality(const Call& call);
    bool Registration(const Call& call);
    bool Operator(const Call& call);
    bool Functionality(const Call& call);
    bool Battery(const Call& call);
    bool ErrorReports(const Call& call);
    bool CharacterSet(const Call& call);
    bool Accepted(const Call& call);
    // The SMS commands of TS 27.005 in PDU mode (sms_commands.cpp).
    bool MessageFormat(const Call& call);
    bool MessageService(const Call& call);
    bool ServiceCentre(const Call& call);
    bool NewMessageIndications(const Call& call);
    bool TextModeSettings(const Call& call);
    bool PreferredStorage(const Call& call);
    bool SendMessage(const Call& call);
    bool ListMessages(const Call& call);
    bool ReadMessage(const Call& call);
    bool DeleteMessage(const Call& call);
    std::string Format(const Answer& answer) const;
    std::string ResultText(const std::string& result) const;
    void ResetProfile();
    void DropInput();  // half-received input and unsent output

    size_t id_;
    std::string number_;
    const NetworkOptions& options_;
    SubmitSink* sink_;
    MessageStore store_;

    // Settings.
    bool echo_ = true;
    bool verbose_ = true;
    bool quiet_ = false;
    int cmee_ = 0;
    int cnmiMode_ = 0;
    int cnmiMt_ = 0;
    std::string serviceCentre_;
    std::string charset_ = "IRA";
    std::array<int, 256> sRegisters_{};

    // Line state.
    enum class Mode { Command, Pdu } mode_ = Mode::Command;
    std::string line_;
    std::string echoPending_;
    int pduLength_ = 0;
    std::string pdu_;
    bool overflow_ = false;

    SystemTime deafUntil_{};

    std::vector<OutputChunk> output_;
    std::vector<LogEntry> log_;
    std::vector<Fault> faults_;
};

}  // namespace modemsim
