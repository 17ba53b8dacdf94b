#pragma once
#include "classlib/CString.h"
#include "classlib/Platform.h"

// A local date and time, to the second.
class COleDateTime {
 public:
  // An impossible date or time (month 13, February 30, hour 24, years outside 100 to 9999)
  // gives an invalid object.
  COleDateTime(int year, int month, int day, int hour, int minute, int second);

  static COleDateTime GetCurrentTime();  // the local time now

  // strftime conversions (%Y, %m, %d, %H, %M, %S, ...); an invalid object gives "Invalid
  // DateTime" as in the class library.
  CString Format(LPCTSTR format) const;

 private:
  bool m_valid;
  int m_year;
  int m_month;
  int m_day;
  int m_hour;
  int m_minute;
  int m_second;
};
