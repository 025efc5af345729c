// Service-centre time stamps as points in time (see the header).
#include "stations/sending_time.h"

namespace kelvora {

namespace {

int Digit(char c) { return c >= '0' && c <= '9' ? c - '0' : -1; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Days from 2000-01-01 to the given date of the proleptic Gregorian calendar.
int64_t DaysSince2000(int year, int month, int day) {
    const int y = month <= 2 ? year - 1 : year;
    const int era = y / 400;  // years here are 2000 to 2099
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<int64_t>(era) * 146097 + dayOfEra - 730425;  // 730425: 0000-03-01 to 2000-01-01
}

}  // namespace

bool SendingTime(const char* timestamp, int64_t* secondsUtc) {
    if (timestamp == nullptr) return false;
    int fields[6];
    for (int i = 0; i < 6; ++i) {
        const int high = Digit(timestamp[2 * i]);
        if (high < 0) return false;
        const int low = Digit(timestamp[2 * i + 1]);
        if (low < 0) return false;
        fields[i] = high * 10 + low;
    }
    const int month = fields[1], day = fields[2];
    if (month < 1 || month > 12 || day < 1 || day > 31 || fields[3] > 23 || fields[4] > 59 || fields[5] > 59) {
        return false;
    }
    int64_t seconds = (DaysSince2000(2000 + fields[0], month, day) * 24 + fields[3]) * 3600 + fields[4] * 60 + fields[5];
    // The time zone; a stamp without it (or with filler there) is taken as UTC.
    const int first = timestamp[12] != '\0' ? HexDigit(timestamp[12]) : -1;
    const int second = first >= 0 ? Digit(timestamp[13]) : -1;
    if (first >= 0 && second >= 0) {
        const int quarters = (first & 7) * 10 + second;
        const int64_t offset = static_cast<int64_t>(quarters) * 15 * 60;
        seconds += (first & 8) != 0 ? offset : -offset;  // local time ahead of UTC comes back
    }
    *secondsUtc = seconds;
    return true;
}

}  // namespace kelvora
