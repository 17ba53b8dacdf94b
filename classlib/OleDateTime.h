#pragma once
#include "classlib/CString.h"
#include "classlib/Platform.h"

// A local date and time, to the second.
class COleDateTime {
 public:
  COleDateTime() = default;  // valid, 1899-12-30 00:00:00 as the class library's zero date
  // An impossible date or time (month 13, February 30, hour 24, years outside 100 to 9999)
  // gives an invalid object.
  COleDateTime(int year, int month, int day, int hour, int minute, int second);

  static COleDateTime GetCurrentTime();  // the local time now

  // strftime conversions (%Y, %m, %d, %H, %M, %S, ...); an invalid object gives "Invalid
  // DateTime" as in the class library.
  CString Format(LPCTSTR format) const;

 private:
  bool m_valid = true;
  int m_year = 1899;
  int m_month = 12;
  int m_day = 30;
  int m_hour = 0;
  int m_minute = 0;
  int m_second = 0;
};
