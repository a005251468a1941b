#include "link/PacketQueue.h"

#include <utility>

void CPacketQueue::PushPacket(const uint8_t *pPayload, uint32_t nLength) {
  _linkitem item;
  item.payload.assign(pPayload, pPayload + nLength);
  Push(std::move(item));
}

void CPacketQueue::PushLost(std::string strReason) {
  _linkitem item;
  item.nKind = LinkItemKind::lost;
  item.strReason = std::move(strReason);
  Push(std::move(item));
}

void CPacketQueue::PushCommandFailed(int32_t nCommand, std::vector<uint8_t> data, std::string strReason) {
  _linkitem item;
  item.nKind = LinkItemKind::commandFailed;
  item.nCommand = nCommand;
  item.payload = std::move(data);
  item.strReason = std::move(strReason);
  Push(std::move(item));
}

void CPacketQueue::Push(_linkitem item) {
  item.arrived = std::chrono::steady_clock::now();
  {
    std::lock_guard lock(m_mutex);
    m_items.push_back(std::move(item));
  }
  m_cv.notify_all();
  // The owner's takes are not held up by a wake-up; only detaching waits for it.
  std::lock_guard wake(m_wakeMutex);
  if (m_pfnWake) {
    m_pfnWake();
  }
}

std::optional<_linkitem> CPacketQueue::TakeOne() {
  std::lock_guard lock(m_mutex);
  if (m_items.empty()) {
    return std::nullopt;
  }
  _linkitem item = std::move(m_items.front());
  m_items.pop_front();
  return item;
}

std::deque<_linkitem> CPacketQueue::TakeAll() {
  std::lock_guard lock(m_mutex);
  return std::exchange(m_items, {});
}

size_t CPacketQueue::Size() const {
  std::lock_guard lock(m_mutex);
  return m_items.size();
}

bool CPacketQueue::WaitForItem(CWaitClock::time_point deadline, CWaitClock &clock) {
  std::unique_lock lock(m_mutex);
  return clock.WaitUntil(m_cv, lock, deadline, [this] { return !m_items.empty(); });
}

void CPacketQueue::SetWake(WakeFunction pfnWake) {
  std::lock_guard wake(m_wakeMutex);
  m_pfnWake = std::move(pfnWake);
}
