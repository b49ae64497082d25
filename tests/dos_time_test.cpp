#include "database/dos_time.hpp"

#include <gtest/gtest.h>

namespace ormidal {
namespace {

constexpr std::uint32_t k1904To1970 = 2082844800u;  // seconds

std::uint32_t Pack(int year, int month, int day, int hour, int minute, int second) {
  return (static_cast<std::uint32_t>(year - 1980) << 25) | (month << 21) | (day << 16) |
         (hour << 11) | (minute << 5) | (second / 2);
}

TEST(DosTime, ZeroIsTheFirstMomentOf1980) {
  EXPECT_EQ(DatabaseTimeToDosTime(0), Pack(1980, 1, 1, 0, 0, 0));
}

TEST(DosTime, DatesBefore1980KeepMonthDayAndTimeIn1980) {
  EXPECT_EQ(DatabaseTimeToDosTime(31 * 86400), Pack(1980, 2, 1, 0, 0, 0));
  EXPECT_EQ(DatabaseTimeToDosTime(59 * 86400), Pack(1980, 3, 1, 0, 0, 0));
  // 1975-07-14 13:45:30
  EXPECT_EQ(DatabaseTimeToDosTime(174577530u), Pack(1980, 7, 14, 13, 45, 30));
  // 1976-02-29 is a real date, and 1980 has one too.
  EXPECT_EQ(DatabaseTimeToDosTime(194400000u), Pack(1980, 2, 29, 0, 0, 0));
}

TEST(DosTime, SecondsSince1970AreTheTrueCalendarDate) {
  // 2020-12-31 23:59:59, 2021-01-01 00:00:00, 2000-02-29 12:00:00, 2024-03-01 00:00:00
  EXPECT_EQ(DatabaseTimeToDosTime(1609459199u), Pack(2020, 12, 31, 23, 59, 58));
  EXPECT_EQ(DatabaseTimeToDosTime(1609459200u), Pack(2021, 1, 1, 0, 0, 0));
  EXPECT_EQ(DatabaseTimeToDosTime(951825600u), Pack(2000, 2, 29, 12, 0, 0));
  EXPECT_EQ(DatabaseTimeToDosTime(1709251200u), Pack(2024, 3, 1, 0, 0, 0));
  // The largest count with the top bit clear: 2038-01-19 03:14:07.
  EXPECT_EQ(DatabaseTimeToDosTime(0x7FFFFFFFu), Pack(2038, 1, 19, 3, 14, 6));
}

TEST(DosTime, TopBitSetCountsFrom1904) {
  // 2008-01-04 10:20:30 as the handheld writes it.
  EXPECT_EQ(DatabaseTimeToDosTime(1199442030u + k1904To1970), Pack(2008, 1, 4, 10, 20, 30));
  // 2001-03-01, the day after a common year's February.
  EXPECT_EQ(DatabaseTimeToDosTime(983404800u + k1904To1970), Pack(2001, 3, 1, 0, 0, 0));
  EXPECT_EQ(DatabaseTimeToDosTime(0xFFFFFFFFu), Pack(2040, 2, 6, 6, 28, 15));
  // The smallest 1904 count, 0x80000000, is 1972-01-19 03:14:08: before 1980.
  EXPECT_EQ(DatabaseTimeToDosTime(0x80000000u), Pack(1980, 1, 19, 3, 14, 8));
}

TEST(DosTime, SecondsAreStoredHalved) {
  EXPECT_EQ(DatabaseTimeToDosTime(29) & 0x1F, 14u);
  EXPECT_EQ(DatabaseTimeToDosTime(30) & 0x1F, 15u);
}

TEST(DosTime, LeapYears) {
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2023));
}

TEST(DosTime, UnpacksWhatItPacks) {
  CalendarTime time = DosTimeToCalendar(Pack(2008, 1, 4, 10, 20, 30));
  EXPECT_EQ(time.year, 2008);
  EXPECT_EQ(time.month, 1);
  EXPECT_EQ(time.day, 4);
  EXPECT_EQ(time.hour, 10);
  EXPECT_EQ(time.minute, 20);
  EXPECT_EQ(time.second, 30);
}

}  // namespace
}  // namespace ormidal
