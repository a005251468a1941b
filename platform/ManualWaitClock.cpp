#include "platform/ManualWaitClock.h"

#include <algorithm>

CManualWaitClock::CManualWaitClock() : m_nNow(time_point{}.time_since_epoch().count()) {}

CWaitClock::time_point CManualWaitClock::Now() const { return time_point(time_point::duration(m_nNow.load())); }

bool CManualWaitClock::WaitUntil(std::condition_variable &cv, std::unique_lock<std::mutex> &lock, time_point deadline,
                                 const std::function<bool()> &pfnReady) {
  if (pfnReady()) {
    return true;
  }
  _wait wait{lock.mutex(), &cv, deadline};
  while (Now() < deadline) {
    // The waiter's mutex is never held while the clock's is taken (see the lock order above).
    lock.unlock();
    Register(&wait);
    lock.lock();
    while (!pfnReady() && Now() < deadline) {
      cv.wait(lock);
    }
    lock.unlock();
    Unregister(&wait);
    lock.lock();
    if (pfnReady()) {
      return true;
    }
  }
  return false;
}

void CManualWaitClock::Advance(std::chrono::milliseconds duration) {
  std::lock_guard lock(m_mutex);
  m_nNow += std::chrono::duration_cast<time_point::duration>(duration).count();
  for (_wait *pWait : m_waits) {
    std::lock_guard waiter(*pWait->pMutex);
    pWait->pCv->notify_all();
  }
}

bool CManualWaitClock::WaitForDeadline(time_point deadline, uint32_t nGuardMs) {
  std::unique_lock lock(m_mutex);
  return m_cvWaits.wait_for(lock, std::chrono::milliseconds(nGuardMs), [&] {
    return std::any_of(m_waits.begin(), m_waits.end(), [&](const _wait *pWait) { return pWait->deadline == deadline; });
  });
}

bool CManualWaitClock::WaitForWaits(size_t nCount, uint32_t nGuardMs) {
  std::unique_lock lock(m_mutex);
  return m_cvWaits.wait_for(lock, std::chrono::milliseconds(nGuardMs), [&] { return m_waits.size() >= nCount; });
}

size_t CManualWaitClock::CountWaits() const {
  std::lock_guard lock(m_mutex);
  return m_waits.size();
}

void CManualWaitClock::Register(_wait *pWait) {
  std::lock_guard lock(m_mutex);
  m_waits.push_back(pWait);
  m_cvWaits.notify_all();
}

void CManualWaitClock::Unregister(_wait *pWait) {
  std::lock_guard lock(m_mutex);
  std::erase(m_waits, pWait);
  m_cvWaits.notify_all();
}
