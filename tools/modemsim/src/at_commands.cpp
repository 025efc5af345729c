// The extended commands of one modem as a table, one row a command name, and
// the handlers of identification and network status (see at_modem.h); the
// SMS commands are in sms_commands.cpp.
#include <cstdio>

#include "at_arguments.h"
#include "at_modem.h"
#include "pdu_codec.h"

namespace modemsim {

const AtModem::CommandRow AtModem::kCommands[] = {
    {"+CGMI", &AtModem::Manufacturer},
    {"+GMI", &AtModem::Manufacturer},
    {"+CGMM", &AtModem::Model},
    {"+GMM", &AtModem::Model},
    {"+CGMR", &AtModem::Revision},
    {"+GMR", &AtModem::Revision},
    {"+CGSN", &AtModem::SerialNumber},
    {"+GSN", &AtModem::SerialNumber},
    {"+CIMI", &AtModem::SubscriberIdentity},
    {"+CNUM", &AtModem::OwnNumber},
    {"+GCAP", &AtModem::Capabilities},
    {"+CPIN", &AtModem::Pin},
    {"+CSQ", &AtModem::SignalQuality},
    {"+CREG", &AtModem::Registration},
    {"+CGREG", &AtModem::Registration},
    {"+COPS", &AtModem::Operator},
    {"+CFUN", &AtModem::Functionality},
    {"+CBC", &AtModem::Battery},
    {"+CMEE", &AtModem::ErrorReports},
    {"+CSCS", &AtModem::CharacterSet},
    {"+CLAC", &AtModem::Accepted},
    {"+CRES", &AtModem::Accepted},
    {"+CSAS", &AtModem::Accepted},
    {"+CNMA", &AtModem::Accepted},
    {"+CMMS", &AtModem::Accepted},
    {"+CMGF", &AtModem::MessageFormat},
    {"+CSMS", &AtModem::MessageService},
    {"+CSCA", &AtModem::ServiceCentre},
    {"+CNMI", &AtModem::NewMessageIndications},
    {"+CSDH", &AtModem::TextModeSettings},
    {"+CSMP", &AtModem::TextModeSettings},
    {"+CPMS", &AtModem::PreferredStorage},
    {"+CMGS", &AtModem::SendMessage},
    {"+CMGL", &AtModem::ListMessages},
    {"+CMGR", &AtModem::ReadMessage},
    {"+CMGD", &AtModem::DeleteMessage},
};

// An unknown command is a plain ERROR.
bool AtModem::ExecuteExtended(const std::string& name, char mode, const std::string& rawArgs, Answer* answer) {
    const std::vector<std::string> args = SplitArgs(rawArgs);
    for (const CommandRow& row : kCommands) {
        if (name == row.name) return (this->*row.handler)(Call{name, mode, args, answer});
    }
    return false;
}

// A fixed text, the answer to the action form; the test form is accepted
// with no text.
bool AtModem::Identify(const Call& call, const std::string& text) {
    if (call.mode == 'a') call.Info(text);
    return call.mode == 'a' || call.mode == 't';
}

bool AtModem::Manufacturer(const Call& call) { return Identify(call, "Kelvora"); }

bool AtModem::Model(const Call& call) { return Identify(call, "ModemSim"); }

bool AtModem::Revision(const Call& call) { return Identify(call, "1.0"); }

bool AtModem::SerialNumber(const Call& call) {
    char imei[32];
    std::snprintf(imei, sizeof imei, "35%013zu", 4200000000000 + id_);
    return Identify(call, imei);
}

bool AtModem::SubscriberIdentity(const Call& call) {
    char imsi[32];
    std::snprintf(imsi, sizeof imsi, "460%012zu", 7000000000 + id_);
    return Identify(call, imsi);
}

bool AtModem::OwnNumber(const Call& call) {
    return Identify(call, "+CNUM: \"\"," + Quoted(number_) + "," + std::to_string(AddressFromText(number_).type));
}

bool AtModem::Capabilities(const Call& call) {
    if (call.mode == 'a') call.Info("+GCAP: +CGSM");
    return call.mode == 'a';
}

bool AtModem::Pin(const Call& call) {
    if (call.mode == 'r') call.Info("+CPIN: READY");
    if (call.mode == 's') call.answer->final = cmee_ ? "+CME ERROR: 3" : "ERROR";  // no PIN asked for
    return true;
}

bool AtModem::SignalQuality(const Call& call) {
    if (call.mode == 'a') call.Info("+CSQ: 24,99");
    if (call.mode == 't') call.Info("+CSQ: (0-31,99),(0-7,99)");
    return call.mode == 'a' || call.mode == 't';
}

bool AtModem::Registration(const Call& call) {
    if (call.mode == 'r') call.Info(call.name + ": 0,1");
    if (call.mode == 't') call.Info(call.name + ": (0-2)");
    return true;
}

bool AtModem::Operator(const Call& call) {
    if (call.mode == 'r') call.Info("+COPS: 0,0,\"Kelvora Net\"");
    if (call.mode == 't') call.Info("+COPS: (2,\"Kelvora Net\",\"KNet\",\"46099\"),,(0-4),(0-2)");
    return true;
}

bool AtModem::Functionality(const Call& call) {
    if (call.mode == 'r') call.Info("+CFUN: 1");
    if (call.mode == 't') call.Info("+CFUN: (0,1,4),(0-1)");
    return true;
}

bool AtModem::Battery(const Call& call) { return Identify(call, "+CBC: 0,100"); }

bool AtModem::ErrorReports(const Call& call) {
    int v;
    if (call.mode == 's' && (!ParseInt(call.args[0], 0, &v) || v > 2)) return false;
    if (call.mode == 's') cmee_ = v;
    if (call.mode == 'r') call.Info("+CMEE: " + std::to_string(cmee_));
    if (call.mode == 't') call.Info("+CMEE: (0-2)");
    return call.mode != 'a';
}

bool AtModem::CharacterSet(const Call& call) {
    static const char* const kSets[] = {"IRA", "GSM", "UCS2", "HEX", "PCCP437", "8859-1"};
    if (call.mode == 's') {
        for (const char* set : kSets) {
            if (call.args[0] == set) {
                charset_ = set;
                return true;
            }
        }
        return false;
    }
    if (call.mode == 'r') call.Info("+CSCS: " + Quoted(charset_));
    if (call.mode == 't') call.Info("+CSCS: (\"IRA\",\"GSM\",\"UCS2\",\"HEX\",\"PCCP437\",\"8859-1\")");
    return call.mode != 'a';
}

// Accepted in every form, of no effect here.
bool AtModem::Accepted(const Call&) { return true; }

}  // namespace modemsim
