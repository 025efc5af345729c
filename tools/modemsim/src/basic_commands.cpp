// The basic commands of V.25ter (E, V, Q, Z, I, S registers, D, &F and the
// like) of one modem (see at_modem.h).
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "at_modem.h"

namespace modemsim {

bool AtModem::ExecuteBasic(const std::string& text, size_t* pos, Answer* answer) {
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[*pos])));
    ++*pos;
    bool ampersand = false;
    if (c == '&') {
        if (*pos >= text.size()) return false;
        ampersand = true;
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[*pos])));
        ++*pos;
    }
    if (!ampersand && c == 'D') {  // dial: no data or voice calls on this modem
        *pos = text.size();
        answer->final = "NO CARRIER";
        return true;
    }
    if (!ampersand && c == 'S') {
        size_t end = *pos;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
        if (end == *pos) return false;
        const int reg = std::stoi(text.substr(*pos, std::min<size_t>(end - *pos, 4)));
        if (reg < 0 || reg > 255) return false;
        *pos = end;
        if (*pos < text.size() && text[*pos] == '?') {
            ++*pos;
            char value[8];
            std::snprintf(value, sizeof value, "%03d", sRegisters_[static_cast<size_t>(reg)]);
            answer->info.push_back(value);
            return true;
        }
        if (*pos < text.size() && text[*pos] == '=') {
            ++*pos;
            size_t vend = *pos;
            while (vend < text.size() && std::isdigit(static_cast<unsigned char>(text[vend]))) ++vend;
            const int value = vend == *pos ? 0 : std::stoi(text.substr(*pos, std::min<size_t>(vend - *pos, 4)));
            if (value > 255) return false;
            *pos = vend;
            sRegisters_[static_cast<size_t>(reg)] = value;
            return true;
        }
        return false;
    }
    int value = 0;
    size_t end = *pos;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])) && end - *pos < 3) ++end;
    if (end > *pos) value = std::stoi(text.substr(*pos, end - *pos));
    *pos = end;
    if (ampersand) {
        switch (c) {
            case 'F': ResetProfile(); return value == 0;
            case 'W': case 'C': case 'D': case 'K': case 'Y': return true;
            default: return false;
        }
    }
    switch (c) {
        case 'E': if (value > 1) return false; echo_ = value == 1; return true;
        case 'V': if (value > 1) return false; verbose_ = value == 1; return true;
        case 'Q': if (value > 1) return false; quiet_ = value == 1; return true;
        case 'Z': ResetProfile(); return value == 0;
        case 'H': case 'X': case 'L': case 'M': return true;
        case 'I':
            switch (value) {
                case 0: answer->info.push_back("Kelvora ModemSim"); return true;
                case 3: answer->info.push_back("ModemSim 1.0"); return true;
                default: answer->info.push_back("GSM SMS modem (PDU mode)"); return true;
            }
        default: return false;
    }
}

}  // namespace modemsim
