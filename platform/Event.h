#pragma once

#include "platform/WaitClock.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

class CEventWaiter;

// An auto-reset event: Set leaves it signalled until one wait takes it, which resets it. Events
// are shared between threads; every operation is thread-safe.
class CEvent {
public:
  CEvent() = default;
  CEvent(const CEvent &) = delete;
  CEvent &operator=(const CEvent &) = delete;
  ~CEvent();

  void Set();
  void Reset();
  // Waits at most nMilliseconds of clock's time for the event and takes it. Returns false on
  // time-out.
  bool Wait(uint32_t nMilliseconds, CWaitClock &clock = CWaitClock::Steady());
  // Waits until clock reaches deadline at the latest.
  bool WaitUntil(CWaitClock::time_point deadline, CWaitClock &clock);
  // Tells whether the event is signalled without taking it (for diagnostics and tests).
  bool IsSignalled() const;

private:
  friend class CEventWaiter;
  // Takes the event if it is signalled.
  bool TryTake();

  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_bSignalled = false;
  // Waiters on more than one event, woken by every Set.
  std::vector<CEventWaiter *> m_waiters;
};

enum class WaitResult { first, second, timeout };

// Waits at most nMilliseconds of clock's time for either event and takes the one it reports. When
// both are signalled the first wins and the second stays signalled for the next wait.
WaitResult WaitForTwoEvents(CEvent &first, CEvent &second, uint32_t nMilliseconds,
                            CWaitClock &clock = CWaitClock::Steady());
