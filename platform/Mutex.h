#pragma once

#include <chrono>
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

  // Waits at most nMilliseconds to own the mutex. Returns false when it was not obtained.
  bool Lock(uint32_t nMilliseconds) {
    std::unique_lock lock(m_mutex);
    if (!m_cv.wait_for(lock, std::chrono::milliseconds(nMilliseconds), [this] { return !m_bOwned; })) {
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
