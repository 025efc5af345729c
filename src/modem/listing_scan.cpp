// The listing scan (see the header). The header line is read only for its
// index ("%d" after "+CMGL:"); status, alpha and length are not needed since
// the PDU carries its own length fields and ends at its line end.
#include "modem/listing_scan.h"

#include <cstdint>
#include <cstring>

#include "modem/deliver_pdu.h"
#include "modem/pdu_codecs.h"

namespace kelvora {
namespace {

constexpr char kEntryStart[] = "+CMGL:";
constexpr size_t kEntryStartLength = sizeof kEntryStart - 1;

// Position of needle in [from, size), or size when it is not there.
size_t Find(const char* text, size_t size, size_t from, const char* needle, size_t needleLength) {
    if (needleLength > size) return size;
    const char first = needle[0];
    for (size_t i = from; i + needleLength <= size;) {
        const void* hit = std::memchr(text + i, first, size - needleLength + 1 - i);
        if (hit == nullptr) return size;
        i = static_cast<size_t>(static_cast<const char*>(hit) - text);
        if (std::memcmp(text + i, needle, needleLength) == 0) return i;
        ++i;
    }
    return size;
}

// Reads a decimal index as "%d" does (blanks skipped, a sign accepted), never
// past end. false when there are no digits or the value leaves 32 bits.
bool ReadIndex(const char* p, const char* end, int32_t& index) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    int64_t value = 0;
    const char* digits = p;
    while (p < end && *p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
        if (value > INT32_MAX + int64_t{1}) return false;
    }
    if (p == digits) return false;
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return false;
    index = static_cast<int32_t>(value);
    return true;
}

// The <stat> after the index: "+CMGL: <index>,<stat>,...".
int32_t ReadStatus(const char* p, const char* end) {
    while (p < end && *p != ',') ++p;
    int32_t status = -1;
    if (p == end || !ReadIndex(p + 1, end, status) || status < 0 || status > 3) return -1;
    return status;
}

}  // namespace

int ScanListing(const char* response, size_t size, SmsRecord* records, size_t capacity, int32_t* statuses) {
    size_t count = 0;
    size_t pos = 0;
    while (count < capacity) {
        const size_t header = Find(response, size, pos, kEntryStart, kEntryStartLength);
        if (header == size) break;
        const size_t headerEnd = Find(response, size, header + kEntryStartLength, "\r\n", 2);
        if (headerEnd == size) break;  // header line cut off
        const size_t pdu = headerEnd + 2;
        size_t pduEnd = pdu;
        while (pduEnd < size && IsHexDigit(response[pduEnd])) ++pduEnd;
        if (pduEnd + 1 >= size) break;  // PDU line cut off
        pos = pduEnd;
        int32_t index = 0;
        // An empty PDU line is no message received whole: most likely an
        // unsolicited line ("\r\nRING\r\n") stood between the header and its
        // PDU. Deleting it would lose the message; the next listing has it.
        const bool whole = pduEnd > pdu && response[pduEnd] == '\r' && response[pduEnd + 1] == '\n';
        if (!whole || !ReadIndex(response + header + kEntryStartLength, response + headerEnd, index)) {
            continue;  // not an entry we could delete safely: left in the modem
        }
        if (statuses != nullptr) {
            statuses[count] = ReadStatus(response + header + kEntryStartLength, response + headerEnd);
        }
        SmsRecord& record = records[count++];
        record.index = index;
        DecodeDeliverPdu(response + pdu, pduEnd - pdu, record);
    }
    return static_cast<int>(count);
}

}  // namespace kelvora
