#include "classlib/OleDateTime.h"

#include <ctime>

namespace {

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Zeller's congruence, counted from Sunday = 0.
int WeekDay(int year, int month, int day) {
  if (month < 3) {
    month += 12;
    --year;
  }
  const int h = (day + 13 * (month + 1) / 5 + year + year / 4 - year / 100 + year / 400) % 7;
  return (h + 6) % 7;
}

}  // namespace

COleDateTime::COleDateTime(int year, int month, int day, int hour, int minute, int second)
    : m_year(year), m_month(month), m_day(day), m_hour(hour), m_minute(minute), m_second(second) {
  const bool dateOk = year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
                      day <= DaysInMonth(year, month);
  const bool timeOk =
      hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
  m_valid = dateOk && timeOk;
}

COleDateTime COleDateTime::GetCurrentTime() {
  const time_t now = time(nullptr);
  struct tm local = {};
#ifdef _WIN32
  if (localtime_s(&local, &now) != 0) return COleDateTime(0, 0, 0, 0, 0, 0);
#else
  if (localtime_r(&now, &local) == nullptr) return COleDateTime(0, 0, 0, 0, 0, 0);
#endif
  return COleDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec);
}

CString COleDateTime::Format(LPCTSTR format) const {
  if (!m_valid) return CString("Invalid DateTime");
  if (format == nullptr || *format == '\0') return CString();
  struct tm fields = {};
  fields.tm_year = m_year - 1900;
  fields.tm_mon = m_month - 1;
  fields.tm_mday = m_day;
  fields.tm_hour = m_hour;
  fields.tm_min = m_minute;
  fields.tm_sec = m_second;
  fields.tm_wday = WeekDay(m_year, m_month, m_day);
  fields.tm_isdst = -1;
  int yearDay = m_day - 1;
  for (int month = 1; month < m_month; ++month) yearDay += DaysInMonth(m_year, month);
  fields.tm_yday = yearDay;

  // strftime gives 0 both for a buffer too small and for an empty result; a few doublings
  // tell them apart for any sensible format.
  CString result;
  for (int size = 256; size <= 65536; size *= 2) {
    char* buffer = result.GetBuffer(size);
    const size_t length = strftime(buffer, static_cast<size_t>(size) + 1, format, &fields);
    if (length > 0) {
      result.ReleaseBuffer(static_cast<int>(length));
      return result;
    }
  }
  result.ReleaseBuffer(0);
  return result;
}
