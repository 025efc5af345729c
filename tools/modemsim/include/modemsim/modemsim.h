// Virtual GSM modems on pseudo-terminals, linked in one SMS network.
//
// A Network starts N modems, each behind the master side of its own pty; a
// client (the driver, gammu, a test) opens the slave path and speaks the AT
// command set in PDU mode as to a real modem. An accepted SMS-SUBMIT becomes
// an SMS-DELIVER in the store of the modem whose number it names.
//
// Everything here is thread-safe: one I/O thread serves all modems, and the
// calls below may come from any thread while it runs. Every wait is bounded.
//
// Typical end-to-end test:
//   modemsim::NetworkOptions options;
//   options.modemCount = 2;
//   modemsim::Network network(options);
//   std::string error;
//   ASSERT_TRUE(network.Start(&error)) << error;
//   auto a = network.modem(0), b = network.modem(1);
//   b.InjectText(a.Number(), "hello", modemsim::Coding::Ucs2);
//   ... open a.DevicePath() with the driver ...
//   ASSERT_TRUE(network.WaitForSubmitted(1, std::chrono::seconds(5)));
//   network.Stop();   // also done by the destructor
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace modemsim {

using SystemTime = std::chrono::system_clock::time_point;
using Millis = std::chrono::milliseconds;

// The alphabets of TP-DCS (TS 23.038, general data coding group, no class).
enum class Coding : uint8_t { Gsm7 = 0x00, EightBit = 0x04, Ucs2 = 0x08 };

// <stat> of +CMGL / +CMGR in PDU mode.
enum class MessageStatus : int { ReceivedUnread = 0, ReceivedRead = 1, StoredUnsent = 2, StoredSent = 3 };

struct NetworkOptions {
    size_t modemCount = 2;
    // Country code used to turn national numbers ("0139...", "139...") into
    // international ones when routing.
    std::string countryCode = "86";
    // The service centre the modems report (AT+CSCA?) and put into delivered
    // messages when a submitted PDU names none.
    std::string serviceCentre = "+8613800000000";
    // Modem i gets this number plus i (the digits after "+" counted up).
    std::string firstNumber = "+8613900000001";
    // Explicit numbers for the first modems; overrides firstNumber for them.
    std::vector<std::string> numbers;
    size_t capacity = 30;     // message store size of every modem (indices 1..capacity)
    uint32_t baudRate = 0;    // pacing of what the modems send; 0 = as fast as the pty takes it
    bool cmti = false;        // unsolicited "+CMTI: \"SM\",<index>" on arrival
    // A GSM network takes its time: the answer to a send (+CMGS or +CMS ERROR)
    // leaves the sending modem this long after the PDU, and an accepted
    // message reaches its destination's store this long after it was sent.
    Millis sendAnswerDelay{0};
    Millis deliveryDelay{0};
    // A message for a full store is kept by the network and delivered, in
    // order, once the store has room again, as GSM networks do (within the
    // validity of five minutes); otherwise it is undeliverable at once.
    bool keepWhenFull = false;
};

// One message in a modem's store.
struct StoredMessage {
    int index = 0;
    MessageStatus status = MessageStatus::ReceivedUnread;
    std::string pdu;          // hexadecimal, capitals, service-centre part included
    int tpduLength = 0;       // octets without the service-centre part (the <length> of +CMGL)
};

// An SMS-SUBMIT or SMS-DELIVER read field by field (TS 23.040).
struct DecodedPdu {
    bool ok = false;
    std::string error;                 // why it did not parse
    std::string serviceCentre;         // digits; empty when the PDU carries none
    uint8_t serviceCentreType = 0;
    uint8_t firstOctet = 0;
    bool isSubmit = false;             // TP-MTI 01; false: SMS-DELIVER (00)
    uint8_t messageReference = 0;      // SUBMIT only
    std::string address;               // TP-DA (SUBMIT) or TP-OA (DELIVER): digits, or text when alphanumeric
    uint8_t addressType = 0;
    uint8_t protocolId = 0;
    uint8_t dataCoding = 0;            // TP-DCS as sent
    Coding alphabet = Coding::Gsm7;    // the alphabet TP-DCS selects
    int validityPeriodFormat = 0;      // TP-VPF (SUBMIT): 0 none, 1 enhanced, 2 relative, 3 absolute
    std::vector<uint8_t> validityPeriod;
    std::string timestamp;             // TP-SCTS (DELIVER) as 14 digits YYMMDDhhmmssZZ, octets swapped
    int userDataLength = 0;            // TP-UDL: septets for 7-bit, octets otherwise
    std::vector<uint8_t> userData;     // TP-UD octets as sent (header included)
    std::vector<uint8_t> userDataHeader;  // the UDH without its length octet, when TP-UDHI
    std::string text;                  // the text in UTF-8 (8-bit data: the octets unchanged)
};

DecodedPdu DecodePdu(const std::string& hex);

// An SMS-DELIVER as the network would store it; hexadecimal with service-centre part.
struct DeliverMessage {
    std::string serviceCentre = "+8613800000000";
    std::string sender;                // "+86..." international, otherwise national/unknown
    Coding coding = Coding::Ucs2;
    uint8_t dataCoding = 0xFF;         // 0xFF: take it from coding
    uint8_t protocolId = 0;
    std::string text;                  // UTF-8 (EightBit: raw octets)
    SystemTime time = std::chrono::system_clock::now();
};
// Returns false (and says why) when the text does not fit the coding or one SMS.
bool EncodeDeliver(const DeliverMessage& message, std::string* hex, std::string* error = nullptr);

// Routing form of a number: digits with the country code, no "+".
std::string NormaliseNumber(const std::string& number, const std::string& countryCode);

// Pending: accepted, on its way through the network (see NetworkOptions::deliveryDelay), or held
// back (see Modem::HoldBack).
enum class DeliveryOutcome { Delivered, UnknownNumber, StoreFull, Rejected, Pending };

// Every PDU a modem received after AT+CMGS, whether accepted or not.
struct SubmittedPdu {
    SystemTime time;
    size_t fromModem = 0;
    std::string fromNumber;
    std::string pdu;                   // the hexadecimal text as received, before Ctrl-Z
    int announcedLength = 0;           // the <length> of AT+CMGS
    bool accepted = false;             // answered +CMGS (false: +CMS ERROR, the modem's or the network's)
    int cmsError = 0;                  // when not accepted
    int messageReference = -1;         // the <mr> answered
    DecodedPdu decoded;
    DeliveryOutcome outcome = DeliveryOutcome::Rejected;
    int toModem = -1;
    int storedIndex = -1;
    SystemTime deliveredTime{};        // when it reached the destination's store (or found it full)
    std::string deliverPdu;            // the SMS-DELIVER the destination stores (hexadecimal, capitals)
    struct Copy {
        SystemTime time;               // when a second copy reached the destination's store
        int storedIndex = -1;
    };
    std::vector<Copy> copies;          // second copies delivered (Modem::DeliverTwice)
};

// One command line (or "PDU:<hex><^Z|ESC>") a modem received, and what it answered.
struct LogEntry {
    SystemTime time;
    std::string command;
    std::string response;
    Millis delay{0};        // how long after the command the response began to leave (a Delay fault, the network)
};

// Faults on demand. A fault applies to the next commands whose line starts
// with `command` (case-insensitive; "" = any command; "PDU" = the PDU after
// AT+CMGS), `times` times (negative: until cleared).
enum class FaultKind {
    Silence,      // no answer; no echo either, unless `echo` is set (a modem with echo on whose SIM hangs)
    Delay,        // the answer leaves after `delay`
    Error,        // "ERROR" instead of the answer
    CmsError,     // "+CMS ERROR: <cmsError>" instead of the answer
    Garbage,      // `bytes` sent before the answer
    CutOff,       // only the first `keepBytes` bytes of the answer leave
    Unsolicited,  // `bytes` inserted after the first `afterLines` line ends ("\r\n") of the answer
    CloseLine,    // the modem hangs up: the pty is closed, the line is gone for good
};

struct Fault {
    FaultKind kind = FaultKind::Error;
    std::string command;
    int times = 1;
    Millis delay{0};
    int cmsError = 500;
    std::string bytes;
    size_t keepBytes = 0;
    size_t afterLines = 1;
    bool echo = false;
};

class Network;

// A handle to one modem of a started network; cheap to copy, valid while the network lives.
class Modem {
public:
    size_t id() const { return index_; }
    // The path clients open: a link the network keeps to the modem's pty
    // (/tmp/kelvora-modemsim-XXXXXX/modem0 -> /dev/pts/7), so that the modem
    // is found at the same path after it was unplugged or hung up.
    std::string DevicePath() const;
    std::string Number() const;        // as configured, e.g. +8613900000001
    bool LineOpen() const;             // false after a CloseLine fault or Stop, and while unplugged

    // Stores a message; index 0 = the lowest free one. Returns the index, or -1 (error says why).
    int InjectPdu(const std::string& hex, MessageStatus status = MessageStatus::ReceivedUnread, int index = 0,
                  std::string* error = nullptr);
    int InjectText(const std::string& sender, const std::string& text, Coding coding = Coding::Ucs2,
                   int index = 0, std::string* error = nullptr);
    std::vector<StoredMessage> Stored() const;
    bool ClearStore();
    // Fails when a stored message lies above the new capacity.
    bool SetCapacity(size_t capacity);
    size_t Capacity() const;
    // The most messages the store has held at once since the network started.
    size_t StoreHighWater() const;
    // Bytes leave at most at baud / 10 per second (0 = as fast as the pty takes them); a reader
    // that falls behind is not caught up with a burst.
    void SetBaudRate(uint32_t baud);
    void SetCmti(bool on);
    void SetEcho(bool on);

    // Fills every free place of the store with a message from `sender`; returns how many.
    int FillStore(const std::string& sender, const std::string& text = "storage full");
    // The modem restarts: what it was sending and what it was given half-way
    // (a command line, a PDU) are lost, its settings go back to the factory's
    // (echo on), the store is kept; it hears nothing until `boot` is over.
    void Restart(Millis boot);
    // The modem is unplugged (a USB modem pulled, a power cut): its line is
    // closed and its device path is gone for `away`; then a new pty appears
    // at the same path and the modem starts as after a power cycle (Restart
    // with `boot`: echo on, the store kept). Messages for it reach its store
    // meanwhile, as the network would deliver them once it is back.
    void Unplug(Millis away, Millis boot);
    // The line hangs up (a converter or a pty that goes away): closed, and
    // opened again at once on a new pty at the same path. The modem keeps its
    // settings and store; what it was sending or half-way receiving is lost.
    void HangUp();

    std::vector<SubmittedPdu> Submitted() const;
    std::vector<LogEntry> CommandLog() const;
    void ClearLog();
    // Waits until the log holds an entry whose command starts with `prefix` (case-insensitive).
    bool WaitForCommand(const std::string& prefix, Millis timeout) const;

    // The network's doing rather than the modem's, for the next `times`
    // messages this modem sends (negative: until cleared with 0): held back
    // until `overtakenBy` later messages of this modem to the same
    // destination have reached it, so that a later message of the same
    // sender overtakes it; or delivered at once and a second time (the same
    // SMS-DELIVER, time stamp and all) after `overtakenBy` later ones of this
    // modem to the same destination, as after a lost acknowledgement.
    // Overtaken, a message follows `follow` later (0: at once); nothing is
    // held longer than `longest`.
    void HoldBack(int times, size_t overtakenBy = 1, Millis longest = std::chrono::seconds(60),
                  Millis follow = Millis(0));
    void DeliverTwice(int times, size_t overtakenBy = 1, Millis longest = std::chrono::seconds(60),
                      Millis follow = Millis(0));

    // A place of the store whose record no delete removes (a SIM record gone
    // bad): every AT+CMGD of it is answered "+CMS ERROR: <cmsError>" and
    // whatever is stored there stays, for good (cmsError 0: deletes of it
    // work again). Messages stored there are listed as any other.
    void RefuseDeletes(int index, int cmsError = 321);
    std::vector<int> UndeletablePlaces() const;

    void InjectFault(const Fault& fault);
    void ClearFaults();
    // Queues bytes to the line now (an unsolicited result code, noise).
    void SendRaw(const std::string& bytes);
    // Waits until everything queued has been written to the pty.
    bool WaitForOutputDrained(Millis timeout) const;
    uint64_t BytesSent() const;

private:
    friend class Network;
    Modem(Network* network, size_t index) : network_(network), index_(index) {}
    Network* network_;
    size_t index_;
};

struct NetworkStats {
    size_t submitted = 0;
    size_t delivered = 0;
    size_t undeliverable = 0;   // unknown destination or full store
    size_t rejected = 0;        // +CMS ERROR to the sender
    size_t pending = 0;         // accepted, not yet at their destination
    size_t duplicated = 0;      // second copies delivered
    size_t held = 0;            // messages and second copies held back, or kept for a full store, now
};

class Network {
public:
    explicit Network(NetworkOptions options = {});
    ~Network();
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;

    // Opens the ptys and starts the I/O thread.
    bool Start(std::string* error = nullptr);
    // Stops the thread and closes every pty; idempotent.
    void Stop();
    bool Running() const;

    size_t ModemCount() const;
    Modem modem(size_t index);
    // The modem serving a number in any accepted form, or -1.
    int FindModem(const std::string& number) const;

    std::vector<SubmittedPdu> Submitted() const;   // all modems, in order
    bool WaitForSubmitted(size_t count, Millis timeout) const;
    NetworkStats Stats() const;
    const NetworkOptions& options() const;

    struct Impl;

private:
    friend class Modem;
    std::unique_ptr<Impl> impl_;
};

const char* ToString(DeliveryOutcome outcome);
const char* ToString(FaultKind kind);
bool ParseFaultKind(const std::string& text, FaultKind* kind);

}  // namespace modemsim
