#include "platform/time_util.h"

#include <ctime>
#include <limits>

namespace vantor {
namespace {

constexpr int64_t kUnixEpochSeconds = static_cast<int64_t>(kFileTimeUnixEpoch / kFileTimeTicksPerSecond);
constexpr uint64_t kMaxFileTime = 0x7FFFFFFFFFFFFFFFull;

bool isLeap(uint64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Seconds east of UTC at the given instant, 0 when the C library cannot say.
int64_t localOffset(int64_t unixTime) {
    const auto t = static_cast<time_t>(unixTime);
    struct tm tm {};
    if (localtime_r(&t, &tm) == nullptr) return 0;
    const time_t asUtc = timegm(&tm);
    if (asUtc == static_cast<time_t>(-1)) return 0;
    return static_cast<int64_t>(asUtc) - unixTime;
}

}  // namespace

bool FileTimeToSystemTime(uint64_t fileTime, SystemTime& out) {
    if (fileTime > kMaxFileTime) return false;
    const uint64_t totalMs = fileTime / 10000;
    const uint64_t secs = totalMs / 1000;
    const uint64_t days = secs / 86400;
    const uint64_t rem = secs % 86400;

    // 1601 starts a 400-year Gregorian cycle whose leap century comes last,
    // so the cycle splits evenly into centuries, 4-year groups and years.
    uint64_t d = days % 146097;
    uint64_t n100 = d / 36524;
    if (n100 == 4) n100 = 3;  // 31 Dec of the cycle's last (leap) year
    d -= n100 * 36524;
    const uint64_t n4 = d / 1461;
    d %= 1461;
    uint64_t n1 = d / 365;
    if (n1 == 4) n1 = 3;  // 31 Dec of a leap year
    d -= n1 * 365;
    const uint64_t year = 1601 + 400 * (days / 146097) + 100 * n100 + 4 * n4 + n1;

    static constexpr uint8_t kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    uint16_t month = 0;
    while (month < 11) {
        const uint64_t len = kMonthDays[month] + (month == 1 && isLeap(year) ? 1 : 0);
        if (d < len) break;
        d -= len;
        ++month;
    }
    out.year = static_cast<uint16_t>(year);
    out.month = static_cast<uint16_t>(month + 1);
    out.day = static_cast<uint16_t>(d + 1);
    out.dayOfWeek = static_cast<uint16_t>((days + 1) % 7);  // 1601-01-01 was a Monday
    out.hour = static_cast<uint16_t>(rem / 3600);
    out.minute = static_cast<uint16_t>(rem / 60 % 60);
    out.second = static_cast<uint16_t>(rem % 60);
    out.milliseconds = static_cast<uint16_t>(totalMs % 1000);
    return true;
}

uint64_t FileTimeToLocalFileTime(uint64_t utc) {
    const int64_t offset = localOffset(FileTimeToUnix(utc));
    const uint64_t delta = static_cast<uint64_t>(offset < 0 ? -offset : offset) * kFileTimeTicksPerSecond;
    if (offset < 0) return utc < delta ? 0 : utc - delta;
    return std::numeric_limits<uint64_t>::max() - utc < delta ? std::numeric_limits<uint64_t>::max()
                                                                : utc + delta;
}

int64_t FileTimeToUnix(uint64_t fileTime) {
    // The epoch is a whole second, so dividing first still rounds down.
    return static_cast<int64_t>(fileTime / kFileTimeTicksPerSecond) - kUnixEpochSeconds;
}

uint64_t UnixToFileTime(int64_t unixTime) {
    if (unixTime < -kUnixEpochSeconds) return 0;
    // Unsigned sum: unixTime + epoch would overflow int64 near its maximum.
    const uint64_t secs = static_cast<uint64_t>(unixTime) + static_cast<uint64_t>(kUnixEpochSeconds);
    if (secs > std::numeric_limits<uint64_t>::max() / kFileTimeTicksPerSecond)
        return std::numeric_limits<uint64_t>::max();
    return secs * kFileTimeTicksPerSecond;
}

bool DecodeDosDate(uint16_t date, int& year, int& month, int& day) {
    year = 1980 + (date >> 9);
    month = (date >> 5) & 0x0F;
    day = date & 0x1F;
    return month != 0 && month <= 12 && day != 0;
}

bool DecodeDosTime(uint16_t time, int& hour, int& minute, int& second) {
    hour = time >> 11;
    minute = (time >> 5) & 0x3F;
    second = (time & 0x1F) * 2;
    return hour <= 23 && minute <= 59 && second <= 59;
}

uint16_t EncodeDosDate(int year, int month, int day) {
    if (year < 1980) return EncodeDosDate(1980, 1, 1);
    if (year > 2107) return EncodeDosDate(2107, 12, 31);
    return static_cast<uint16_t>(((year - 1980) << 9) | ((month & 0x0F) << 5) | (day & 0x1F));
}

uint16_t EncodeDosTime(int hour, int minute, int second) {
    return static_cast<uint16_t>(((hour & 0x1F) << 11) | ((minute & 0x3F) << 5) | ((second / 2) & 0x1F));
}

uint16_t DosDateFromFileTime(uint64_t fileTime) {
    SystemTime st{};
    if (!FileTimeToSystemTime(FileTimeToLocalFileTime(fileTime), st)) return 0;
    return EncodeDosDate(st.year, st.month, st.day);
}

uint16_t DosDateFromUnix(int64_t unixTime) {
    const auto t = static_cast<time_t>(unixTime);
    struct tm tm {};
    if (localtime_r(&t, &tm) == nullptr) return 0;
    return EncodeDosDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

int CurrentYear() {
    const time_t now = std::time(nullptr);
    struct tm tm {};
    if (localtime_r(&now, &tm) == nullptr) return 1980;
    return tm.tm_year + 1900;
}

}  // namespace vantor
