// The last free text from a peer (see the header).
#include "stations/free_text.h"

#include <cstring>

#include "platform/code_page.h"
#include "stations/sending_time.h"
#include "stations/signed_frame.h"
#include "stations/telemetry_frame.h"

namespace kelvora {

namespace {

// The longest prefix of text of at most limit bytes that ends at a character
// boundary of the code page (a double-byte character is never cut in two).
size_t FittingLength(const std::string& text, size_t limit) {
    if (text.size() <= limit) return text.size();
    uint16_t units[kTextFieldSize];
    for (size_t n = limit; n + 2 > limit && n > 0; --n) {
        if (AnsiToUtf16(text.data(), n, units, kTextFieldSize) > 0) return n;
    }
    return limit;  // text that does not convert at all is cut where it must be
}

}  // namespace

bool IsFreeText(const char* text) {
    Report report{};
    WriteCommand command{};
    return !ParseReport(text, &report) && !ParseWriteCommand(text, &command) &&
           SplitSignedFrame(text, nullptr) == SignedShape::kNone;
}

bool FreeText::Keep(const SmsRecord& record, bool unauthenticated) {
    int64_t sent = INT64_MIN;
    int64_t seconds = 0;
    if (SendingTime(record.timestamp, &seconds)) sent = seconds;
    if (kept_ && sent != INT64_MIN && sent < sent_) return false;
    kept_ = true;
    text_ = (unauthenticated ? kUnauthenticatedMark : "") + FieldText(record.text, sizeof record.text);
    timestamp_ = FieldText(record.timestamp, sizeof record.timestamp);
    if (sent != INT64_MIN) sent_ = sent;
    return true;
}

bool FreeText::CopyTo(char* field, size_t size, bool* cut) const {
    if (!kept_ || size == 0) return false;
    const size_t n = FittingLength(text_, size - 1);
    std::memcpy(field, text_.data(), n);
    std::memset(field + n, 0, size - n);
    if (cut != nullptr) *cut = n < text_.size();
    return true;
}

}  // namespace kelvora
