#pragma once
#include "classlib/CString.h"
#include "classlib/Platform.h"

// A local date and time, to the second.
class COleDateTime {
 public:
  enum DateTimeStatus { valid = 0, invalid = 1 };

  COleDateTime() = default;  // valid, 1899-12-30 00:00:00 as the class library's zero date
  // An impossible date or time (month 13, February 30, hour 24, years outside 100 to 9999)
  // gives an invalid object.
  COleDateTime(int year, int month, int day, int hour, int minute, int second);

  static COleDateTime GetCurrentTime();  // the local time now

  DateTimeStatus GetStatus() const { return m_status; }
  int GetYear() const { return m_year; }
  int GetMonth() const { return m_month; }
  int GetDay() const { return m_day; }
  int GetHour() const { return m_hour; }
  int GetMinute() const { return m_minute; }
  int GetSecond() const { return m_second; }
  int GetDayOfWeek() const;  // 1 for Sunday to 7 for Saturday

  // strftime conversions (%Y, %m, %d, %H, %M, %S, ...); an invalid object gives "Invalid
  // DateTime" as in the class library.
  CString Format(LPCTSTR format) const;

 private:
  DateTimeStatus m_status = valid;
  int m_year = 1899;
  int m_month = 12;
  int m_day = 30;
  int m_hour = 0;
  int m_minute = 0;
  int m_second = 0;
};
