// SiteNumbers: the two telephone numbers every message needs, the SMS service
// centre (smsc) and the destination (detc), each a NUL-terminated text of at
// most 130 characters in a 131-byte field.
#pragma once

#include <cstddef>

namespace kelvora {

constexpr size_t kNumberTextSize = 131;
constexpr size_t kMaxNumberTextLength = kNumberTextSize - 1;

struct SiteNumbers {
    char smsc[kNumberTextSize];
    char detc[kNumberTextSize];
};

// smsc holds the default service-centre number, detc is empty, the rest of
// both fields is zero.
void PresetSiteNumbers(SiteNumbers& numbers);

// Stores a host's text: at most 130 characters are kept, the field is always
// NUL-terminated and zero after the text, whatever the host passed (the
// host's 131 bytes need not hold a NUL).
void StoreNumberText(char (&field)[kNumberTextSize], const char* text, size_t textCapacity);

// Copies a host's text field of textCapacity bytes into out as a
// NUL-terminated text of at most outSize - 1 characters.
void CopyBoundedText(char* out, size_t outSize, const char* text, size_t textCapacity);

}  // namespace kelvora
