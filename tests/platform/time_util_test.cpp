#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <random>
#include <string>

#include "platform/time_util.h"

namespace vantor {
namespace {

// Sets TZ for one test and puts the previous value back.
class ScopedTz {
public:
    explicit ScopedTz(const char* tz) {
        if (const char* old = std::getenv("TZ")) {
            had_ = true;
            old_ = old;
        }
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTz() {
        if (had_) setenv("TZ", old_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    bool had_ = false;
    std::string old_;
};

SystemTime sys(uint64_t ft) {
    SystemTime st{};
    EXPECT_TRUE(FileTimeToSystemTime(ft, st));
    return st;
}

TEST(FileTime, KnownInstants) {
    SystemTime st = sys(116444736000000000ull);
    EXPECT_EQ(st.year, 1970);
    EXPECT_EQ(st.month, 1);
    EXPECT_EQ(st.day, 1);
    EXPECT_EQ(st.dayOfWeek, 4);  // Thursday
    EXPECT_EQ(st.hour + st.minute + st.second + st.milliseconds, 0);

    st = sys(0);
    EXPECT_EQ(st.year, 1601);
    EXPECT_EQ(st.dayOfWeek, 1);  // Monday

    // 2000-12-31 23:59:59.999: last day of a 400-year cycle.
    st = sys(UnixToFileTime(978220800 + 86399) + 9999999);
    EXPECT_EQ(st.year, 2000);
    EXPECT_EQ(st.month, 12);
    EXPECT_EQ(st.day, 31);
    EXPECT_EQ(st.hour, 23);
    EXPECT_EQ(st.minute, 59);
    EXPECT_EQ(st.second, 59);
    EXPECT_EQ(st.milliseconds, 999);
    EXPECT_EQ(st.dayOfWeek, 0);  // Sunday

    st = sys(UnixToFileTime(951782400));  // 2000-02-29
    EXPECT_EQ(st.month, 2);
    EXPECT_EQ(st.day, 29);
    st = sys(UnixToFileTime(4107542400));  // 2100-03-01: 2100 is no leap year
    EXPECT_EQ(st.month, 3);
    EXPECT_EQ(st.day, 1);

    st = sys(0x7FFFFFFFFFFFFFFFull);  // the largest value Windows converts
    EXPECT_EQ(st.year, 30828);
    EXPECT_EQ(st.month, 9);
    EXPECT_EQ(st.day, 14);
    EXPECT_EQ(st.hour, 2);
    EXPECT_EQ(st.minute, 48);
    EXPECT_EQ(st.second, 5);
    EXPECT_EQ(st.milliseconds, 477);
    EXPECT_FALSE(FileTimeToSystemTime(0x8000000000000000ull, st));
}

TEST(FileTime, AgreesWithTheCLibraryOverTheRange) {
    std::mt19937_64 rng(3);
    for (int i = 0; i < 20000; ++i) {
        // 1601 .. 9999
        const int64_t t = -11644473600LL + static_cast<int64_t>(rng() % 265046774400ULL);
        const time_t tt = static_cast<time_t>(t);
        struct tm tm {};
        ASSERT_NE(gmtime_r(&tt, &tm), nullptr);
        const SystemTime st = sys(UnixToFileTime(t));
        ASSERT_EQ(st.year, tm.tm_year + 1900) << t;
        ASSERT_EQ(st.month, tm.tm_mon + 1) << t;
        ASSERT_EQ(st.day, tm.tm_mday) << t;
        ASSERT_EQ(st.dayOfWeek, tm.tm_wday) << t;
        ASSERT_EQ(st.hour * 3600 + st.minute * 60 + st.second, tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec);
    }
}

TEST(FileTime, UnixConversionsRoundDownAndSaturate) {
    EXPECT_EQ(FileTimeToUnix(116444736000000000ull), 0);
    EXPECT_EQ(FileTimeToUnix(116444736000000000ull - 1), -1);
    EXPECT_EQ(FileTimeToUnix(0), -11644473600LL);
    EXPECT_EQ(UnixToFileTime(1241136000), 116444736000000000ull + 1241136000ull * 10000000ull);
    EXPECT_EQ(UnixToFileTime(-11644473601LL), 0u);
    EXPECT_EQ(UnixToFileTime(INT64_MAX), UINT64_MAX);
    EXPECT_EQ(FileTimeToUnix(UnixToFileTime(-5)), -5);
}

TEST(FileTime, LocalOffsetIsTheOneInForceAtThatInstant) {
    {
        ScopedTz tz("UTC");
        EXPECT_EQ(FileTimeToLocalFileTime(123456789012345ull), 123456789012345ull);
    }
    ScopedTz tz("CET-1CEST,M3.5.0,M10.5.0/3");
    const uint64_t hour = 3600ull * 10000000ull;
    const uint64_t winter = UnixToFileTime(1704067200);  // 2024-01-01 00:00 UTC
    const uint64_t summer = UnixToFileTime(1719792000);  // 2024-07-01 00:00 UTC
    EXPECT_EQ(FileTimeToLocalFileTime(winter + 7), winter + 7 + hour);
    EXPECT_EQ(FileTimeToLocalFileTime(summer), summer + 2 * hour);
    // 2024-01-01 23:30 UTC is already the 2nd locally.
    EXPECT_EQ(DosDateFromFileTime(winter + 23 * hour + hour / 2), EncodeDosDate(2024, 1, 2));
    EXPECT_EQ(DosDateFromUnix(1704067200 + 23 * 3600 + 1800), EncodeDosDate(2024, 1, 2));
    EXPECT_EQ(FileTimeToLocalFileTime(UINT64_MAX - 5), UINT64_MAX);
}

TEST(DosTime, DateFieldsAndKnownBytes) {
    const uint16_t d = EncodeDosDate(2009, 5, 1);
    EXPECT_EQ(d, 0x3AA1);  // stored as A1 3A
    int y = 0, m = 0, day = 0;
    EXPECT_TRUE(DecodeDosDate(d, y, m, day));
    EXPECT_EQ(y, 2009);
    EXPECT_EQ(m, 5);
    EXPECT_EQ(day, 1);
    EXPECT_FALSE(DecodeDosDate(0, y, m, day));
    EXPECT_FALSE(DecodeDosDate(static_cast<uint16_t>((29 << 9) | (13 << 5) | 1), y, m, day));
    EXPECT_FALSE(DecodeDosDate(static_cast<uint16_t>((29 << 9) | (5 << 5)), y, m, day));
    EXPECT_TRUE(DecodeDosDate(0xFF9F, y, m, day));
    EXPECT_EQ(y, 2107);
    EXPECT_EQ(EncodeDosDate(1975, 6, 6), EncodeDosDate(1980, 1, 1));
    EXPECT_EQ(EncodeDosDate(2200, 6, 6), 0xFF9F);
}

TEST(DosTime, TimeFieldsUseTwoSecondSteps) {
    EXPECT_EQ(EncodeDosTime(23, 59, 58), 0xBF7D);
    EXPECT_EQ(EncodeDosTime(23, 59, 59), 0xBF7D);
    int h = 0, m = 0, s = 0;
    EXPECT_TRUE(DecodeDosTime(0xBF7D, h, m, s));
    EXPECT_EQ(h, 23);
    EXPECT_EQ(m, 59);
    EXPECT_EQ(s, 58);
    EXPECT_FALSE(DecodeDosTime(0x7BBF, h, m, s));  // 15:29:62
    EXPECT_EQ(s, 62);
    EXPECT_FALSE(DecodeDosTime(static_cast<uint16_t>(24 << 11), h, m, s));
}

TEST(DosTime, DatesFromInstantsUseLocalTime) {
    {
        ScopedTz tz("UTC");
        EXPECT_EQ(DosDateFromUnix(1241136000), 0x3AA1);
        EXPECT_EQ(DosDateFromFileTime(UnixToFileTime(1241136000)), 0x3AA1);
        EXPECT_EQ(DosDateFromFileTime(0x8000000000000000ull), 0);
        const time_t now = std::time(nullptr);
        struct tm tm {};
        gmtime_r(&now, &tm);
        EXPECT_EQ(CurrentYear(), tm.tm_year + 1900);
    }
    ScopedTz tz("EST5");
    EXPECT_EQ(DosDateFromUnix(1241136000), EncodeDosDate(2009, 4, 30));
}

}  // namespace
}  // namespace vantor
