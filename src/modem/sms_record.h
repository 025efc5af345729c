// SmsRecord: one SMS message, the input of the SMS-SUBMIT encoder and the
// output of the SMS-DELIVER decoder. Text fields are NUL-terminated bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace kelvora {

constexpr size_t kNumberFieldSize = 16;     // 15 digits and the NUL
constexpr size_t kTimestampFieldSize = 16;  // 14 digits and the NUL
constexpr size_t kTextFieldSize = 161;      // 160 bytes and the NUL
constexpr size_t kMaxListedRecords = 128;   // records a listing fills at most

// The <stat> of a stored message (TS 27.005, PDU mode) by its number: 0
// received unread, 1 received read, 2 stored unsent, 3 stored sent.
constexpr const char* kStatNames[] = {"unread", "read", "unsent", "sent"};
constexpr size_t kStatCount = sizeof kStatNames / sizeof kStatNames[0];
inline const char* StatName(int32_t stat) {
    return stat >= 0 && static_cast<size_t>(stat) < kStatCount ? kStatNames[stat] : "?";
}

// TP-OA type of number 101 (alphanumeric), as in the type octet 0xD0.
constexpr uint8_t kTypeOfNumberAlphanumeric = 5;

struct SmsRecord {
    char serviceCentre[kNumberFieldSize];
    char peerNumber[kNumberFieldSize];
    uint8_t protocolId;
    uint8_t codingScheme;
    char timestamp[kTimestampFieldSize];
    char text[kTextFieldSize];
    // The storage index, kept whole from the listing to the delete.
    int32_t index;
    // The originating address's type-of-address octet (0 when sending), so
    // callers can tell an alphanumeric sender from a telephone number.
    uint8_t peerTypeOfAddress;

    uint8_t PeerTypeOfNumber() const { return static_cast<uint8_t>((peerTypeOfAddress >> 4) & 0x07); }
};

// A NUL-terminated field of a record as a string, never read past the field.
inline std::string FieldText(const char* field, size_t size) {
    const void* end = std::memchr(field, '\0', size);
    return std::string(field, end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - field) : size);
}

}  // namespace kelvora
