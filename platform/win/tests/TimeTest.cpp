// FAT entry dates through file times to system times: the round trip of a
// good stamp and the refusal of packed fields out of range.
#include "win/Time.h"
#include <gtest/gtest.h>

namespace {

constexpr Word DosDate(int Year, int Month, int Day)
{
    return Word((Year - 1980) << 9 | Month << 5 | Day);
}
constexpr Word DosTime(int Hour, int Minute, int Second)
{
    return Word(Hour << 11 | Minute << 5 | Second / 2);
}

TEST(DosTime, GoodStampsConvertThroughFileTime)
{
    struct TCase {
        Word Date, Time;
        SYSTEMTIME Expected;
    };
    const TCase Cases[] = {
        { DosDate(1980, 1, 1), DosTime(0, 0, 0), { 1980, 1, 2, 1, 0, 0, 0, 0 } }, // a Tuesday
        { DosDate(2024, 2, 29), DosTime(23, 59, 58), { 2024, 2, 4, 29, 23, 59, 58, 0 } },
        { DosDate(2107, 12, 31), DosTime(12, 30, 10), { 2107, 12, 6, 31, 12, 30, 10, 0 } },
    };
    for (const TCase& C : Cases) {
        FILETIME File;
        SYSTEMTIME Got;
        ASSERT_TRUE(DosDateTimeToFileTime(C.Date, C.Time, File));
        ASSERT_TRUE(FileTimeToSystemTime(File, Got));
        EXPECT_EQ(Got.wYear, C.Expected.wYear);
        EXPECT_EQ(Got.wMonth, C.Expected.wMonth);
        EXPECT_EQ(Got.wDay, C.Expected.wDay);
        EXPECT_EQ(Got.wDayOfWeek, C.Expected.wDayOfWeek);
        EXPECT_EQ(Got.wHour, C.Expected.wHour);
        EXPECT_EQ(Got.wMinute, C.Expected.wMinute);
        EXPECT_EQ(Got.wSecond, C.Expected.wSecond);
    }
    // 1980-01-01 00:00 is 11,960,006,400 seconds after 1601-01-01.
    FILETIME File;
    ASSERT_TRUE(DosDateTimeToFileTime(DosDate(1980, 1, 1), 0, File));
    EXPECT_EQ(UInt64(File.dwHighDateTime) << 32 | File.dwLowDateTime, 119600064000000000ull);
}

TEST(DosTime, FieldsOutOfRangeAreRefused)
{
    const std::pair<Word, Word> Bad[] = {
        { 0, 0 }, // month 0, day 0: an entry never stamped
        { DosDate(2023, 2, 29), 0 }, // no leap day
        { DosDate(2024, 13, 1), 0 }, { DosDate(2024, 1, 1), DosTime(24, 0, 0) },
        { DosDate(2024, 1, 1), Word(60 << 5) }, // minute 60
        { DosDate(2024, 1, 1), Word(30) }, // second 60
    };
    for (auto [Date, Time] : Bad) {
        FILETIME File { 7, 7 };
        EXPECT_FALSE(DosDateTimeToFileTime(Date, Time, File)) << Date << " " << Time;
        EXPECT_EQ(File.dwLowDateTime, 7u);
    }
    SYSTEMTIME Out;
    EXPECT_FALSE(FileTimeToSystemTime(FILETIME { 0, 0x80000000u }, Out));
}

}
