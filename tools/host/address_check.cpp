// Addresses as typed: the record the driver parsed, written back in the
// driver's own syntax and walked beside the text the user typed.
#include "address_check.h"

#include <cctype>

#include "driver/standing_alone.h"
#include "stations/station_registers.h"

namespace kelvora_host {
namespace {

constexpr int kMaxFields = 4;

struct AddressShape {
    int fields = 0;
    char separator = '.';
};

uint32_t FieldValue(const kelvora::RegisterRequest& r, int k) {
    // The driver keeps the first field whole and the low 16 bits of the others.
    switch (k) {
        case 0: return static_cast<uint32_t>(r.address0);
        case 1: return static_cast<uint16_t>(r.address1);
        case 2: return static_cast<uint16_t>(r.address2);
        default: return static_cast<uint16_t>(r.address3);
    }
}

bool SameRecord(const kelvora::RegisterRequest& a, const kelvora::RegisterRequest& b) {
    return a.typeIndex == b.typeIndex && a.address0 == b.address0 && a.address1 == b.address1 &&
           a.address2 == b.address2 && a.address3 == b.address3;
}

std::string Rebuild(const std::string& name, const kelvora::RegisterRequest& r, const AddressShape& shape) {
    std::string text = name;
    for (int k = 0; k < shape.fields; ++k) {
        if (k > 0) text += shape.separator;
        text += std::to_string(FieldValue(r, k));
    }
    return text;
}

// A station's register types on a driver object of their own: no port, no
// trace, never seen by the host.
const kelvora::RegisterTable& StationTable(StationRole role) {
    static kelvora::StandingAlone<> central;
    static kelvora::StandingAlone<> remote;
    static const bool made =
        (kelvora::AddCentralRegisterTypes(central), kelvora::AddRemoteRegisterTypes(remote), true);
    (void)made;
    return role == StationRole::kCentral ? central.registerTable : remote.registerTable;
}

std::string TypeName(const kelvora::RegisterTable& table, int16_t typeIndex) {
    if (typeIndex < 0 || static_cast<uint32_t>(typeIndex) >= table.TypeCount()) return std::string();
    return table.Type(static_cast<uint32_t>(typeIndex)).name;
}

// The syntax for this register type and data type is found by asking the
// station's table: the fewest fields, with a separator the text shows (or
// '.'), whose rebuilt address it reads back into the same record.
bool FindShape(const kelvora::RegisterTable& table, const std::string& name, const std::string& text,
               const kelvora::RegisterRequest& parsed, AddressShape* shape) {
    std::string separators = ".";
    for (size_t i = name.size(); i < text.size(); ++i) {
        const char c = text[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && separators.find(c) == std::string::npos) {
            separators += c;
        }
    }
    for (int fields = 0; fields <= kMaxFields; ++fields) {
        // One field or none: the separator plays no part.
        for (size_t s = 0; s < separators.size() && (s == 0 || fields > 1); ++s) {
            const AddressShape candidate{fields, separators[s]};
            kelvora::RegisterRequest probe{};
            probe.dataType = parsed.dataType;
            const std::string rebuilt = Rebuild(name, parsed, candidate);
            if (table.ParseAddress(rebuilt.c_str(), &probe) == 0) continue;
            if (SameRecord(probe, parsed)) {
                *shape = candidate;
                return true;
            }
        }
    }
    return false;
}

bool DigitsEqual(const std::string& digits, uint32_t value) {
    size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return value == 0;
    if (digits.size() - first > 10) return false;
    return std::stoull(digits.substr(first)) == value;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

bool AddressReadAsTyped(StationRole role, const std::string& text, const kelvora::RegisterRequest& parsed,
                        std::string* error) {
    const kelvora::RegisterTable& table = StationTable(role);
    const std::string name = TypeName(table, parsed.typeIndex);
    AddressShape shape;
    if (name.empty() || text.size() < name.size() || !FindShape(table, name, text, parsed, &shape)) {
        *error = "'" + text + "' cannot be checked: the driver's reading of it cannot be written back";
        return false;
    }
    const std::string reads = Rebuild(name, parsed, shape);
    const std::string head = "'" + text + "' is not read as typed: the driver reads " + reads;
    size_t pos = name.size();
    for (int k = 0; k < shape.fields; ++k) {
        if (k > 0) {
            if (pos >= text.size() || text[pos] != shape.separator) {
                // The driver skips to the next separator without looking.
                const size_t next = text.find(shape.separator, pos);
                *error = head + " and ignores " + Quoted(text.substr(pos, next - pos)) + " after " +
                         Quoted(text.substr(0, pos));
                return false;
            }
            ++pos;
        }
        const size_t start = pos;
        while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) ++pos;
        if (!DigitsEqual(text.substr(start, pos - start), FieldValue(parsed, k))) {
            *error = head;
            return false;
        }
    }
    if (pos < text.size()) {
        *error = head + " and ignores " + Quoted(text.substr(pos)) + " at the end";
        return false;
    }
    return true;
}

}  // namespace kelvora_host
