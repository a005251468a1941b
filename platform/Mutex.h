#pragma once

#include "platform/WaitClock.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

// A mutex whose caller may give up waiting for it. Built on a plain mutex and a condition
// variable rather than a timed mutex, whose clock-based lock not every thread checker follows.
class CMutex {
public:
  CMutex() = default;
  CMutex(const CMutex &) = delete;
  CMutex &operator=(const CMutex &) = delete;

  // Waits at most nMilliseconds of clock's time to own the mutex. Returns false when it was not
  // obtained.
  bool Lock(uint32_t nMilliseconds, CWaitClock &clock = CWaitClock::Steady()) {
    std::unique_lock lock(m_mutex);
    if (!clock.WaitUntil(m_cv, lock, clock.After(nMilliseconds), [this] { return !m_bOwned; })) {
      return false;
    }
    m_bOwned = true;
    return true;
  }

  // Gives the mutex up; called by its owner.
  void Unlock() {
    {
      std::lock_guard lock(m_mutex);
      m_bOwned = false;
    }
    m_cv.notify_one();
  }

private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_bOwned = false;
};
