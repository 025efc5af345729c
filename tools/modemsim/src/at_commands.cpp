// The extended commands of one modem: identification, network status and the
// SMS commands of TS 27.005 in PDU mode (see at_modem.h).
#include <cctype>
#include <cstdlib>

#include "at_modem.h"
#include "pdu_codec.h"

namespace modemsim {
namespace {

std::vector<std::string> SplitArgs(const std::string& args) {
    std::vector<std::string> out;
    std::string current;
    bool quoted = false;
    for (char c : args) {
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (c == ',' && !quoted) {
            out.push_back(current);
            current.clear();
            continue;
        }
        if (!quoted && (c == ' ' || c == '\t')) continue;
        current += c;
    }
    out.push_back(current);
    return out;
}

// A decimal parameter; an empty one takes `fallback`.
bool ParseInt(const std::string& text, int fallback, int* value) {
    if (text.empty()) {
        *value = fallback;
        return true;
    }
    if (text.size() > 6) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    *value = std::atoi(text.c_str());
    return true;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

constexpr const char* kCmsInvalidPduParameter = "+CMS ERROR: 304";
constexpr const char* kCmsInvalidIndex = "+CMS ERROR: 321";
constexpr const char* kCmsOperationNotAllowed = "+CMS ERROR: 302";

}  // namespace

bool AtModem::ExecuteExtended(const std::string& name, char mode, const std::string& rawArgs, Answer* answer) {
    const std::vector<std::string> args = SplitArgs(rawArgs);
    auto info = [answer](const std::string& line) { answer->info.push_back(line); };
    const std::string digits = NormaliseNumber(number_, options_.countryCode);

    if (name == "+CGMI" || name == "+GMI") {
        if (mode == 'a') info("Kelvora");
        return mode == 'a' || mode == 't';
    }
    if (name == "+CGMM" || name == "+GMM") {
        if (mode == 'a') info("ModemSim");
        return mode == 'a' || mode == 't';
    }
    if (name == "+CGMR" || name == "+GMR") {
        if (mode == 'a') info("1.0");
        return mode == 'a' || mode == 't';
    }
    if (name == "+CGSN" || name == "+GSN") {
        char imei[32];
        std::snprintf(imei, sizeof imei, "35%013zu", 4200000000000 + id_);
        if (mode == 'a') info(imei);
        return mode == 'a' || mode == 't';
    }
    if (name == "+CIMI") {
        char imsi[32];
        std::snprintf(imsi, sizeof imsi, "460%012zu", 7000000000 + id_);
        if (mode == 'a') info(imsi);
        return mode == 'a' || mode == 't';
    }
    if (name == "+CNUM") {
        if (mode == 'a') {
            const Address a = AddressFromText(number_);
            info("+CNUM: \"\"," + Quoted(number_) + "," + std::to_string(a.type));
        }
        return mode == 'a' || mode == 't';
    }
    if (name == "+GCAP") {
        if (mode == 'a') info("+GCAP: +CGSM");
        return mode == 'a';
    }
    if (name == "+CPIN") {
        if (mode == 'r') info("+CPIN: READY");
        if (mode == 's') answer->final = cmee_ ? "+CME ERROR: 3" : "ERROR";  // no PIN asked for
        return true;
    }
    if (name == "+CSQ") {
        if (mode == 'a') info("+CSQ: 24,99");
        if (mode == 't') info("+CSQ: (0-31,99),(0-7,99)");
        return mode == 'a' || mode == 't';
    }
    if (name == "+CREG" || name == "+CGREG") {
        if (mode == 'r') info(name + ": 0,1");
        if (mode == 't') info(name + ": (0-2)");
        return true;
    }
    if (name == "+COPS") {
        if (mode == 'r') info("+COPS: 0,0,\"Kelvora Net\"");
        if (mode == 't') info("+COPS: (2,\"Kelvora Net\",\"KNet\",\"46099\"),,(0-4),(0-2)");
        return true;
    }
    if (name == "+CFUN") {
        if (mode == 'r') info("+CFUN: 1");
        if (mode == 't') info("+CFUN: (0,1,4),(0-1)");
        return true;
    }
    if (name == "+CBC") {
        if (mode == 'a') info("+CBC: 0,100");
        return mode == 'a' || mode == 't';
    }
    if (name == "+CMEE") {
        int v;
        if (mode == 's' && (!ParseInt(args[0], 0, &v) || v > 2)) return false;
        if (mode == 's') cmee_ = v;
        if (mode == 'r') info("+CMEE: " + std::to_string(cmee_));
        if (mode == 't') info("+CMEE: (0-2)");
        return mode != 'a';
    }
    if (name == "+CSCS") {
        static const char* const kSets[] = {"IRA", "GSM", "UCS2", "HEX", "PCCP437", "8859-1"};
        if (mode == 's') {
            for (const char* set : kSets) {
                if (args[0] == set) {
                    charset_ = set;
                    return true;
                }
            }
            return false;
        }
        if (mode == 'r') info("+CSCS: " + Quoted(charset_));
        if (mode == 't') info("+CSCS: (\"IRA\",\"GSM\",\"UCS2\",\"HEX\",\"PCCP437\",\"8859-1\")");
        return mode != 'a';
    }
    if (name == "+CLAC" || name == "+CRES" || name == "+CSAS" || name == "+CNMA" || name == "+CMMS") {
        return true;
    }
    return SmsCommand(name, mode, args, answer);
}

bool AtModem::SmsCommand(const std::string& name, char mode, const std::vector<std::string>& args, Answer* answer) {
    auto info = [answer](const std::string& line) { answer->info.push_back(line); };
    const std::string used = std::to_string(store_.used());
    const std::string total = std::to_string(store_.capacity());

    if (name == "+CMGF") {
        int v;
        if (mode == 's') return ParseInt(args[0], 0, &v) && v == 0;  // text mode is not offered
        if (mode == 'r') info("+CMGF: 0");
        if (mode == 't') info("+CMGF: (0)");
        return mode != 'a';
    }
    if (name == "+CSMS") {
        int v;
        if (mode == 's') {
            if (!ParseInt(args[0], 0, &v) || v > 1) return false;
            info("+CSMS: 1,1,1");
        }
        if (mode == 'r') info("+CSMS: 0,1,1,1");
        if (mode == 't') info("+CSMS: (0,1)");
        return mode != 'a';
    }
    if (name == "+CSCA") {
        if (mode == 's') {
            if (args[0].empty()) return false;
            serviceCentre_ = args[0];
        }
        if (mode == 'r') info("+CSCA: " + Quoted(serviceCentre_) + "," + std::to_string(AddressFromText(serviceCentre_).type));
        return mode != 'a';
    }
    if (name == "+CNMI") {
        if (mode == 's') {
            int m = 0, mt = 0, bm = 0, ds = 0, bfr = 0;
            if (!ParseInt(args[0], 0, &m) || m > 3) return false;
            if (args.size() > 1 && (!ParseInt(args[1], 0, &mt) || mt > 3)) return false;
            if (args.size() > 2 && (!ParseInt(args[2], 0, &bm) || bm > 3)) return false;
            if (args.size() > 3 && (!ParseInt(args[3], 0, &ds) || ds > 2)) return false;
            if (args.size() > 4 && (!ParseInt(args[4], 0, &bfr) || bfr > 1)) return false;
            if (mt > 1) {  // routing deliveries straight to the line (+CMT) is not offered
                answer->final = "+CMS ERROR: 303";
                return true;
            }
            cnmiMode_ = m;
            cnmiMt_ = mt;
        }
        if (mode == 'r') info("+CNMI: " + std::to_string(cnmiMode_) + "," + std::to_string(cnmiMt_) + ",0,0,0");
        if (mode == 't') info("+CNMI: (0-2),(0,1),(0),(0),(0,1)");
        return mode != 'a';
    }
    if (name == "+CSDH" || name == "+CSMP") {  // text-mode settings: accepted, of no effect in PDU mode
        if (mode == 'r') info(name == "+CSDH" ? "+CSDH: 0" : "+CSMP: 17,167,0,0");
        if (mode == 't' && name == "+CSDH") info("+CSDH: (0,1)");
        return true;
    }
    if (name == "+CPMS") {
        if (mode == 'r') {
            const std::string m = "\"SM\"," + used + "," + total;
            info("+CPMS: " + m + "," + m + "," + m);
            return true;
        }
        if (mode == 't') {
            info("+CPMS: (\"SM\"),(\"SM\"),(\"SM\")");
            return true;
        }
        if (mode == 's') {
            for (const std::string& memory : args) {
                if (!memory.empty() && memory != "SM") {
                    answer->final = kCmsOperationNotAllowed;
                    return true;
                }
            }
            const std::string m = used + "," + total;
            info("+CPMS: " + m + "," + m + "," + m);
            return true;
        }
        return false;
    }
    if (name == "+CMGS") {
        if (mode == 't') return true;
        int length;
        if (mode != 's' || !ParseInt(args[0], -1, &length) || length < 1 || length > 180) {
            answer->final = kCmsInvalidPduParameter;
            return true;
        }
        pduLength_ = length;
        answer->prompt = true;
        answer->final.clear();
        return true;
    }
    if (name == "+CMGL") {
        if (mode == 't') {
            info("+CMGL: (0-4)");
            return true;
        }
        int stat = 0;  // received unread, the default in PDU mode
        if (mode == 's' && (!ParseInt(args[0], 0, &stat) || stat > 4)) {
            answer->final = kCmsInvalidPduParameter;
            return true;
        }
        if (mode == 'r') return false;
        for (const StoredMessage& m : store_.All()) {
            if (stat != 4 && static_cast<int>(m.status) != stat) continue;
            info("+CMGL: " + std::to_string(m.index) + "," + std::to_string(static_cast<int>(m.status)) + ",," +
                 std::to_string(m.tpduLength));
            info(m.pdu);
            StoredMessage* stored = store_.Find(m.index);
            if (stored->status == MessageStatus::ReceivedUnread) stored->status = MessageStatus::ReceivedRead;
        }
        return true;
    }
    if (name == "+CMGR") {
        if (mode == 't') return true;
        int index;
        if (mode != 's' || !ParseInt(args[0], -1, &index) || index < 0) {
            answer->final = kCmsInvalidPduParameter;
            return true;
        }
        StoredMessage* m = store_.Find(index);
        if (m == nullptr) {
            answer->final = kCmsInvalidIndex;
            return true;
        }
        info("+CMGR: " + std::to_string(static_cast<int>(m->status)) + ",," + std::to_string(m->tpduLength));
        info(m->pdu);
        if (m->status == MessageStatus::ReceivedUnread) m->status = MessageStatus::ReceivedRead;
        return true;
    }
    if (name == "+CMGD") {
        if (mode == 't') {
            std::string indices;
            for (const StoredMessage& m : store_.All()) indices += (indices.empty() ? "" : ",") + std::to_string(m.index);
            info("+CMGD: (" + indices + "),(0-4)");
            return true;
        }
        int index, flag = 0;
        if (mode != 's' || !ParseInt(args[0], -1, &index) || index < 0 ||
            (args.size() > 1 && (!ParseInt(args[1], 0, &flag) || flag > 4))) {
            answer->final = kCmsInvalidPduParameter;
            return true;
        }
        if (flag > 0) {
            store_.EraseByFlag(flag);
        } else if (const int refusal = store_.DeleteRefusal(index); refusal != 0) {
            answer->final = "+CMS ERROR: " + std::to_string(refusal);
        } else if (!store_.Erase(index)) {
            answer->final = kCmsInvalidIndex;
        }
        return true;
    }
    return false;
}

}  // namespace modemsim
