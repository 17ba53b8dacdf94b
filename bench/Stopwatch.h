#pragma once
#include <windows.h>

// Wall time from the performance counter (under Wine, the host's monotonic clock): the tick count
// the program itself uses steps in milliseconds at best, too coarse to compare short runs.
class Stopwatch {
 public:
  Stopwatch() { Restart(); }
  void Restart() { QueryPerformanceCounter(&start_); }
  double Seconds() const {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start_.QuadPart) / double(frequency.QuadPart);
  }

 private:
  LARGE_INTEGER start_;
};
