#pragma once

#include "platform/WaitClock.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

// A clock that stands still until Advance moves it. Every wait on it ends only when its condition
// holds or Advance has carried the clock to its deadline, so a test reaches a time-out in no real
// time at all, and can first check the deadline a wait was given (WaitForDeadline).
//
// Lock order: a waiter registers and unregisters without holding its own mutex, and reads the
// time without any lock; Advance holds the clock's mutex and takes each waiter's mutex in turn to
// wake it, so a wake can never fall between a waiter's look at the time and its wait.
class CManualWaitClock : public CWaitClock {
public:
  CManualWaitClock();

  time_point Now() const override;
  bool WaitUntil(std::condition_variable &cv, std::unique_lock<std::mutex> &lock, time_point deadline,
                 const std::function<bool()> &pfnReady) override;

  // Moves the clock on and wakes every wait, which ends if its deadline has come.
  void Advance(std::chrono::milliseconds duration);
  // Waits, by real time, at most nGuardMs until a wait with exactly this deadline is under way.
  // The guard is only there so that a failing test ends.
  bool WaitForDeadline(time_point deadline, uint32_t nGuardMs = 10000);
  // Waits, by real time, at most nGuardMs until at least nCount waits are under way.
  bool WaitForWaits(size_t nCount, uint32_t nGuardMs = 10000);
  size_t CountWaits() const;

private:
  struct _wait {
    std::mutex *pMutex;
    std::condition_variable *pCv;
    time_point deadline;
  };
  void Register(_wait *pWait);
  void Unregister(_wait *pWait);

  std::atomic<time_point::rep> m_nNow;
  mutable std::mutex m_mutex;
  std::condition_variable m_cvWaits; // a wait began or ended
  std::vector<_wait *> m_waits;
};
