// The SMS commands of TS 27.005 in PDU mode, one handler a command (see the
// table in at_commands.cpp).
#include "at_arguments.h"
#include "at_modem.h"
#include "pdu_codec.h"

namespace modemsim {
namespace {

constexpr const char* kCmsOperationNotAllowed = "+CMS ERROR: 302";
constexpr const char* kCmsInvalidPduParameter = "+CMS ERROR: 304";
constexpr const char* kCmsInvalidIndex = "+CMS ERROR: 321";

}  // namespace

bool AtModem::MessageFormat(const Call& call) {
    int v;
    if (call.mode == 's') return ParseInt(call.args[0], 0, &v) && v == 0;  // text mode is not offered
    if (call.mode == 'r') call.Info("+CMGF: 0");
    if (call.mode == 't') call.Info("+CMGF: (0)");
    return call.mode != 'a';
}

bool AtModem::MessageService(const Call& call) {
    int v;
    if (call.mode == 's') {
        if (!ParseInt(call.args[0], 0, &v) || v > 1) return false;
        call.Info("+CSMS: 1,1,1");
    }
    if (call.mode == 'r') call.Info("+CSMS: 0,1,1,1");
    if (call.mode == 't') call.Info("+CSMS: (0,1)");
    return call.mode != 'a';
}

bool AtModem::ServiceCentre(const Call& call) {
    if (call.mode == 's') {
        if (call.args[0].empty()) return false;
        serviceCentre_ = call.args[0];
    }
    if (call.mode == 'r') {
        call.Info("+CSCA: " + Quoted(serviceCentre_) + "," + std::to_string(AddressFromText(serviceCentre_).type));
    }
    return call.mode != 'a';
}

bool AtModem::NewMessageIndications(const Call& call) {
    const std::vector<std::string>& args = call.args;
    if (call.mode == 's') {
        int m = 0, mt = 0, bm = 0, ds = 0, bfr = 0;
        if (!ParseInt(args[0], 0, &m) || m > 3) return false;
        if (args.size() > 1 && (!ParseInt(args[1], 0, &mt) || mt > 3)) return false;
        if (args.size() > 2 && (!ParseInt(args[2], 0, &bm) || bm > 3)) return false;
        if (args.size() > 3 && (!ParseInt(args[3], 0, &ds) || ds > 2)) return false;
        if (args.size() > 4 && (!ParseInt(args[4], 0, &bfr) || bfr > 1)) return false;
        if (mt > 1) {  // routing deliveries straight to the line (+CMT) is not offered
            call.answer->final = "+CMS ERROR: 303";
            return true;
        }
        cnmiMode_ = m;
        cnmiMt_ = mt;
    }
    if (call.mode == 'r') call.Info("+CNMI: " + std::to_string(cnmiMode_) + "," + std::to_string(cnmiMt_) + ",0,0,0");
    if (call.mode == 't') call.Info("+CNMI: (0-2),(0,1),(0),(0),(0,1)");
    return call.mode != 'a';
}

// +CSDH and +CSMP: text-mode settings, accepted, of no effect in PDU mode.
bool AtModem::TextModeSettings(const Call& call) {
    const bool header = call.name == "+CSDH";
    if (call.mode == 'r') call.Info(header ? "+CSDH: 0" : "+CSMP: 17,167,0,0");
    if (call.mode == 't' && header) call.Info("+CSDH: (0,1)");
    return true;
}

bool AtModem::PreferredStorage(const Call& call) {
    const std::string usage = std::to_string(store_.used()) + "," + std::to_string(store_.capacity());
    if (call.mode == 'r') {
        const std::string m = "\"SM\"," + usage;
        call.Info("+CPMS: " + m + "," + m + "," + m);
        return true;
    }
    if (call.mode == 't') {
        call.Info("+CPMS: (\"SM\"),(\"SM\"),(\"SM\")");
        return true;
    }
    if (call.mode != 's') return false;
    for (const std::string& memory : call.args) {
        if (!memory.empty() && memory != "SM") {
            call.answer->final = kCmsOperationNotAllowed;
            return true;
        }
    }
    call.Info("+CPMS: " + usage + "," + usage + "," + usage);
    return true;
}

bool AtModem::SendMessage(const Call& call) {
    if (call.mode == 't') return true;
    int length;
    if (call.mode != 's' || !ParseInt(call.args[0], -1, &length) || length < 1 || length > 180) {
        call.answer->final = kCmsInvalidPduParameter;
        return true;
    }
    pduLength_ = length;
    call.answer->prompt = true;
    call.answer->final.clear();
    return true;
}

// Listing marks every received unread message it shows as read.
bool AtModem::ListMessages(const Call& call) {
    if (call.mode == 't') {
        call.Info("+CMGL: (0-4)");
        return true;
    }
    int stat = 0;  // received unread, the default in PDU mode
    if (call.mode == 's' && (!ParseInt(call.args[0], 0, &stat) || stat > 4)) {
        call.answer->final = kCmsInvalidPduParameter;
        return true;
    }
    if (call.mode == 'r') return false;
    for (const StoredMessage& m : store_.All()) {
        if (stat != 4 && static_cast<int>(m.status) != stat) continue;
        call.Info("+CMGL: " + std::to_string(m.index) + "," + std::to_string(static_cast<int>(m.status)) + ",," +
                  std::to_string(m.tpduLength));
        call.Info(m.pdu);
        StoredMessage* stored = store_.Find(m.index);
        if (stored->status == MessageStatus::ReceivedUnread) stored->status = MessageStatus::ReceivedRead;
    }
    return true;
}

bool AtModem::ReadMessage(const Call& call) {
    if (call.mode == 't') return true;
    int index;
    if (call.mode != 's' || !ParseInt(call.args[0], -1, &index) || index < 0) {
        call.answer->final = kCmsInvalidPduParameter;
        return true;
    }
    StoredMessage* m = store_.Find(index);
    if (m == nullptr) {
        call.answer->final = kCmsInvalidIndex;
        return true;
    }
    call.Info("+CMGR: " + std::to_string(static_cast<int>(m->status)) + ",," + std::to_string(m->tpduLength));
    call.Info(m->pdu);
    if (m->status == MessageStatus::ReceivedUnread) m->status = MessageStatus::ReceivedRead;
    return true;
}

bool AtModem::DeleteMessage(const Call& call) {
    if (call.mode == 't') {
        std::string indices;
        for (const StoredMessage& m : store_.All()) indices += (indices.empty() ? "" : ",") + std::to_string(m.index);
        call.Info("+CMGD: (" + indices + "),(0-4)");
        return true;
    }
    int index, flag = 0;
    if (call.mode != 's' || !ParseInt(call.args[0], -1, &index) || index < 0 ||
        (call.args.size() > 1 && (!ParseInt(call.args[1], 0, &flag) || flag > 4))) {
        call.answer->final = kCmsInvalidPduParameter;
        return true;
    }
    if (flag > 0) {
        store_.EraseByFlag(flag);
    } else if (const int refusal = store_.DeleteRefusal(index); refusal != 0) {
        call.answer->final = "+CMS ERROR: " + std::to_string(refusal);
    } else if (!store_.Erase(index)) {
        call.answer->final = kCmsInvalidIndex;
    }
    return true;
}

}  // namespace modemsim
