#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

// A mutex whose owner may give up waiting for it. Unlock must be called on the thread that
// obtained it.
class CMutex {
public:
  CMutex() = default;
  CMutex(const CMutex &) = delete;
  CMutex &operator=(const CMutex &) = delete;

  // Waits at most nMilliseconds to own the mutex. Returns false when it was not obtained.
  bool Lock(uint32_t nMilliseconds) { return m_mutex.try_lock_for(std::chrono::milliseconds(nMilliseconds)); }
  void Unlock() { m_mutex.unlock(); }

private:
  std::timed_mutex m_mutex;
};
