#pragma once
// FILETIME, DOS and Unix time conversions in place of the Win32 calls.
// FILETIME counts 100-ns ticks since 1601-01-01 00:00 UTC. Local time comes
// from the C library (TZ), taken at the instant being converted.
#include <cstdint>

namespace vantor {

struct SystemTime {
    uint16_t year;
    uint16_t month;      // 1-12
    uint16_t dayOfWeek;  // 0 = Sunday
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint16_t milliseconds;
};

// DOS date: bits 15-9 year - 1980, 8-5 month, 4-0 day.
// DOS time: bits 15-11 hour, 10-5 minute, 4-0 second / 2.
struct DosDateTime {
    uint16_t date;
    uint16_t time;
};

inline constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ull;  // 1970-01-01
inline constexpr uint64_t kFileTimeTicksPerSecond = 10000000ull;

// Fails, as Windows does, for values with the top bit set.
bool FileTimeToSystemTime(uint64_t fileTime, SystemTime& out);
// Adds the local offset in force at that instant; saturates at the range ends.
uint64_t FileTimeToLocalFileTime(uint64_t utc);
// Whole seconds, rounded towards the past.
int64_t FileTimeToUnix(uint64_t fileTime);
// Instants before 1601 give 0; ones past the FILETIME range give its maximum.
uint64_t UnixToFileTime(int64_t unixTime);

// False (fields still filled) when the month or day is 0 or the month > 12.
bool DecodeDosDate(uint16_t date, int& year, int& month, int& day);
// False (fields still filled) when hour > 23, minute > 59 or second > 59.
bool DecodeDosTime(uint16_t time, int& hour, int& minute, int& second);
// Years outside 1980-2107 are clamped to the first or last representable day.
uint16_t EncodeDosDate(int year, int month, int day);
uint16_t EncodeDosTime(int hour, int minute, int second);
// Local date of the instant; 0 when it has none.
uint16_t DosDateFromFileTime(uint64_t fileTime);
uint16_t DosDateFromUnix(int64_t unixTime);

int CurrentYear();

}  // namespace vantor
