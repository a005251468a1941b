#pragma once

#include <cstdint>

// A moment broken down as local time.
struct _localtime {
  int nYear = 0;  // full year
  int nMonth = 0; // 1 to 12
  int nDay = 0;   // 1 to 31
  int nHour = 0;
  int nMinute = 0;
  int nSecond = 0;
};

// Where the survey data takes the time from: the system clock in the collector, a fixed or
// stepping clock in tests.
class CSurveyClock {
public:
  virtual ~CSurveyClock() = default;
  // Seconds since 1970-01-01 00:00 UTC.
  virtual int64_t Now() const;
  // Milliseconds since 1970-01-01 00:00 UTC, for timing the synchronisation of the file to the
  // disk. The system clock counts real milliseconds; a clock that counts only seconds gives
  // Now() * 1000.
  virtual int64_t NowMs() const;
  // The moment as local time; false when it cannot be had.
  virtual bool ToLocalTime(int64_t nTime, _localtime &local) const;

  // The system clock.
  static const CSurveyClock &System();
};
