#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "classlib/afx.h"
#include "tests/classlib/CStringPrinter.h"

namespace {

struct FormatCase {
  int year, month, day, hour, minute, second;
  const char* format;
  const char* expected;
};

TEST(COleDateTimeFormat, StrftimeConversionsZeroPadded) {
  const FormatCase cases[] = {
      {2019, 12, 20, 0, 0, 0, "%Y-%m-%d", "2019-12-20"},
      {2026, 1, 5, 7, 8, 9, "%Y-%m-%d %H:%M:%S", "2026-01-05 07:08:09"},
      {2024, 2, 29, 23, 59, 59, "%d.%m.%Y", "29.02.2024"},
      {2026, 12, 9, 12, 0, 0, "%A %j", "Wednesday 343"},
      {2026, 12, 9, 12, 0, 0, "no conversions", "no conversions"},
      {2026, 12, 9, 12, 0, 0, "", ""},
  };
  for (const FormatCase& c : cases) {
    const COleDateTime date(c.year, c.month, c.day, c.hour, c.minute, c.second);
    EXPECT_EQ(date.Format(c.format), c.expected) << c.format;
  }
}

TEST(COleDateTimeFormat, LongResults) {
  std::string format, expected;
  for (int i = 0; i < 300; ++i) {
    format += "%Y/";
    expected += "2019/";
  }
  EXPECT_EQ(COleDateTime(2019, 1, 1, 0, 0, 0).Format(format.c_str()), expected.c_str());
}

TEST(COleDateTimeFormat, ImpossibleDatesAreInvalid) {
  const int dates[][3] = {{2023, 2, 29}, {2026, 13, 1}, {2026, 4, 31}, {2026, 0, 10}, {99, 1, 1}};
  for (const auto& d : dates) {
    const COleDateTime date(d[0], d[1], d[2], 0, 0, 0);
    EXPECT_EQ(date.Format("%Y"), "Invalid DateTime");
  }
  EXPECT_EQ(COleDateTime(2026, 1, 1, 24, 0, 0).Format("%Y"), "Invalid DateTime");
}

std::string LocalDate(time_t when) {
  struct tm local = {};
#ifdef _WIN32
  localtime_s(&local, &when);
#else
  localtime_r(&when, &local);
#endif
  char text[32];
  strftime(text, sizeof(text), "%Y-%m-%d %H", &local);
  return text;
}

// The current time is local time: it matches the C library's local time taken around it.
TEST(COleDateTimeCurrent, IsTheLocalTimeNow) {
  const std::string before = LocalDate(time(nullptr));
  const CString now = COleDateTime::GetCurrentTime().Format("%Y-%m-%d %H");
  const std::string after = LocalDate(time(nullptr));
  EXPECT_TRUE(before == static_cast<LPCTSTR>(now) || after == static_cast<LPCTSTR>(now))
      << before << " / " << static_cast<LPCTSTR>(now) << " / " << after;
}

}  // namespace
