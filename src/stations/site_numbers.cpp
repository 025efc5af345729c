// SiteNumbers: presetting and bounded storing of the stations' numbers.
#include "stations/site_numbers.h"

#include <cstring>

#include "modem/gsm_modem.h"

namespace kelvora {

void CopyBoundedText(char* out, size_t outSize, const char* text, size_t textCapacity) {
    if (outSize == 0) return;
    size_t n = 0;
    if (text != nullptr) {
        while (n < textCapacity && n + 1 < outSize && text[n] != '\0') ++n;
        std::memcpy(out, text, n);
    }
    std::memset(out + n, 0, outSize - n);
}

void StoreNumberText(char (&field)[kNumberTextSize], const char* text, size_t textCapacity) {
    CopyBoundedText(field, kNumberTextSize, text, textCapacity);
}

void PresetSiteNumbers(SiteNumbers& numbers) {
    StoreNumberText(numbers.smsc, kDefaultServiceCentre, kNumberTextSize);
    std::memset(numbers.detc, 0, sizeof numbers.detc);
}

}  // namespace kelvora
