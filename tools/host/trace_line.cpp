// Reading the driver's trace lines back (see the header); where the event
// begins is the trace's own reading of its lines.
#include "trace_line.h"

#include <cstdio>
#include <ctime>

#include "platform/trace.h"

namespace kelvora_host {
namespace {

constexpr size_t kTimeLength = 23;  // "2024-05-01 14:03:07.412"
constexpr char kMessage[] = "message ";
constexpr char kFrom[] = " from ";
constexpr char kSent[] = " sent ";

int64_t LocalTimeMs(const std::string& text) {
    std::tm local{};
    int millis = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d.%3d", &local.tm_year, &local.tm_mon, &local.tm_mday,
                    &local.tm_hour, &local.tm_min, &local.tm_sec, &millis) != 7) {
        return 0;
    }
    local.tm_year -= 1900;
    local.tm_mon -= 1;
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    return seconds == static_cast<std::time_t>(-1) ? 0 : static_cast<int64_t>(seconds) * 1000 + millis;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A quoted text as the trace writes it (\r, \n, \", \\, \xHH), from the
// opening quote at `at`; the bytes, and where the text after it begins.
bool Unquote(const std::string& text, size_t at, std::string* bytes, size_t* after) {
    if (at >= text.size() || text[at] != '"') return false;
    for (size_t i = at + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            *after = i + 1;
            return true;
        }
        if (c != '\\' || i + 1 >= text.size()) {
            bytes->push_back(c);
            continue;
        }
        const char e = text[++i];
        if (e == 'r') {
            bytes->push_back('\r');
        } else if (e == 'n') {
            bytes->push_back('\n');
        } else if (e == 'x' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            bytes->push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            bytes->push_back(e);
        }
    }
    return false;
}

}  // namespace

bool ReadTraceLine(const std::string& line, TraceLine* parsed) {
    kelvora::TraceWriter writer;
    if (!kelvora::ReadTraceLine(line, &writer, &parsed->event)) return false;
    parsed->timeMs = LocalTimeMs(line.substr(0, kTimeLength));
    return true;
}

bool ReadTraceMessage(const std::string& tagged, TraceMessage* message) {
    std::string event;
    if (!kelvora::ReadOutcomeEvent(tagged, &message->fate, &event) || event.rfind(kMessage, 0) != 0) return false;
    const size_t from = event.find(kFrom);
    const size_t sent = from == std::string::npos ? from : event.find(kSent, from);
    if (sent == std::string::npos) return false;
    const size_t stamp = sent + sizeof kSent - 1;
    const size_t space = event.find(' ', stamp);
    if (space == std::string::npos) return false;
    message->sender = event.substr(from + sizeof kFrom - 1, sent - from - (sizeof kFrom - 1));
    message->timestamp = event.substr(stamp, space - stamp);
    message->text.clear();
    size_t after = 0;
    if (!Unquote(event, space + 1, &message->text, &after) || event.compare(after, 2, ": ") != 0) return false;
    message->detail = event.substr(after + 2);
    return true;
}

}  // namespace kelvora_host
