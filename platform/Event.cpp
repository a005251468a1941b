#include "platform/Event.h"

#include <algorithm>
#include <chrono>

// A wait on several events. Each event it watches holds a pointer to it while the wait lasts and
// wakes it on every Set; the waiter then looks at the events again in their order. Lock order:
// an event's mutex before a waiter's mutex.
class CEventWaiter {
public:
  CEventWaiter(CEvent &first, CEvent &second) : m_events{&first, &second} {
    for (CEvent *pEvent : m_events) {
      std::lock_guard lock(pEvent->m_mutex);
      pEvent->m_waiters.push_back(this);
    }
  }
  CEventWaiter(const CEventWaiter &) = delete;
  CEventWaiter &operator=(const CEventWaiter &) = delete;
  ~CEventWaiter() {
    for (CEvent *pEvent : m_events) {
      std::lock_guard lock(pEvent->m_mutex);
      std::erase(pEvent->m_waiters, this);
    }
  }

  void Wake() {
    std::lock_guard lock(m_mutex);
    m_bWoken = true;
    m_cv.notify_one();
  }

  WaitResult Wait(CWaitClock::time_point deadline, CWaitClock &clock) {
    for (;;) {
      {
        // Cleared before the events are examined: a Set from now on wakes the wait below.
        std::lock_guard lock(m_mutex);
        m_bWoken = false;
      }
      if (m_events[0]->TryTake()) {
        return WaitResult::first;
      }
      if (m_events[1]->TryTake()) {
        return WaitResult::second;
      }
      std::unique_lock lock(m_mutex);
      if (!clock.WaitUntil(m_cv, lock, deadline, [this] { return m_bWoken; })) {
        lock.unlock();
        // A Set may have come just as the time ran out.
        if (m_events[0]->TryTake()) {
          return WaitResult::first;
        }
        return m_events[1]->TryTake() ? WaitResult::second : WaitResult::timeout;
      }
    }
  }

private:
  CEvent *m_events[2];
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_bWoken = false;
};

CEvent::~CEvent() = default;

void CEvent::Set() {
  std::lock_guard lock(m_mutex);
  m_bSignalled = true;
  m_cv.notify_one();
  for (CEventWaiter *pWaiter : m_waiters) {
    pWaiter->Wake();
  }
}

void CEvent::Reset() {
  std::lock_guard lock(m_mutex);
  m_bSignalled = false;
}

bool CEvent::Wait(uint32_t nMilliseconds, CWaitClock &clock) { return WaitUntil(clock.After(nMilliseconds), clock); }

bool CEvent::WaitUntil(CWaitClock::time_point deadline, CWaitClock &clock) {
  std::unique_lock lock(m_mutex);
  if (!clock.WaitUntil(m_cv, lock, deadline, [this] { return m_bSignalled; })) {
    return false;
  }
  m_bSignalled = false;
  return true;
}

bool CEvent::IsSignalled() const {
  std::lock_guard lock(m_mutex);
  return m_bSignalled;
}

bool CEvent::TryTake() {
  std::lock_guard lock(m_mutex);
  const bool bTaken = m_bSignalled;
  m_bSignalled = false;
  return bTaken;
}

WaitResult WaitForTwoEvents(CEvent &first, CEvent &second, uint32_t nMilliseconds, CWaitClock &clock) {
  const auto deadline = clock.After(nMilliseconds);
  if (&first == &second) {
    return first.WaitUntil(deadline, clock) ? WaitResult::first : WaitResult::timeout;
  }
  CEventWaiter waiter(first, second);
  return waiter.Wait(deadline, clock);
}
