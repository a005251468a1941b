#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

// The clock that timed waits count against. The program waits by the steady clock; tests hand a
// clock that moves only when told (CManualWaitClock), so a time-out can be reached, and its
// length checked, without waiting for real time to pass.
class CWaitClock {
public:
  using time_point = std::chrono::steady_clock::time_point;

  CWaitClock() = default;
  CWaitClock(const CWaitClock &) = delete;
  CWaitClock &operator=(const CWaitClock &) = delete;
  virtual ~CWaitClock() = default;

  virtual time_point Now() const = 0;
  // Waits on cv until pfnReady holds or the clock reaches deadline, and returns pfnReady's last
  // answer. lock holds cv's mutex on entry and on return; the wait may let go of it in between,
  // as a condition variable's wait does, so pfnReady is always asked with the lock held.
  virtual bool WaitUntil(std::condition_variable &cv, std::unique_lock<std::mutex> &lock, time_point deadline,
                         const std::function<bool()> &pfnReady) = 0;

  time_point After(uint32_t nMilliseconds) const { return Now() + std::chrono::milliseconds(nMilliseconds); }

  // The steady clock, shared by everything that is given no other clock.
  static CWaitClock &Steady();
};
