#include "platform/D2xxReplayBackend.h"

#include "platform/Event.h"
#include "platform/UsbIds.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

namespace {

class CReplayPort : public CD2xxDevice {
public:
  CReplayPort(std::shared_ptr<const _recording> pRecording, bool bAsFastAsPossible, _d2xxdeviceinfo info)
      : m_pRecording(std::move(pRecording)), m_info(std::move(info)) {
    if (bAsFastAsPossible || m_pRecording->arrivals.empty()) {
      m_queue.assign(m_pRecording->bytes.begin(), m_pRecording->bytes.end());
      m_bDone = true;
    } else {
      m_player = std::thread([this] { Play(); });
    }
  }
  CReplayPort(const CReplayPort &) = delete;
  CReplayPort &operator=(const CReplayPort &) = delete;
  ~CReplayPort() override { Close(); }

  FT_STATUS GetDeviceInfo(_d2xxdeviceinfo &info) override {
    info = m_info;
    return FT_OK;
  }
  FT_STATUS SetDivisor(uint16_t nDivisor) override { return nDivisor == 0 ? FT_INVALID_PARAMETER : FT_OK; }
  FT_STATUS SetDataCharacteristics(uint8_t, uint8_t, uint8_t) override { return FT_OK; }
  FT_STATUS SetFlowControl(uint16_t, uint8_t, uint8_t) override { return FT_OK; }
  FT_STATUS SetTimeouts(uint32_t nReadTimeoutMs, uint32_t) override {
    std::lock_guard lock(m_mutex);
    m_nReadTimeoutMs = nReadTimeoutMs;
    return FT_OK;
  }
  FT_STATUS SetEventNotification(uint32_t nMask, CEvent *pEvent) override {
    std::lock_guard lock(m_mutex);
    m_pEvent = (nMask & FT_EVENT_RXCHAR) != 0 ? pEvent : nullptr;
    if (m_pEvent != nullptr && !m_queue.empty()) {
      m_pEvent->Set();
    }
    return FT_OK;
  }
  FT_STATUS GetStatus(uint32_t &nRxQueue, uint32_t &nTxQueue, uint32_t &nEventStatus) override {
    std::lock_guard lock(m_mutex);
    nRxQueue = static_cast<uint32_t>(m_queue.size());
    nTxQueue = 0;
    nEventStatus = 0;
    return FT_OK;
  }
  FT_STATUS Read(void *pBuffer, uint32_t nToRead, uint32_t &nRead) override {
    std::unique_lock lock(m_mutex);
    m_cv.wait_for(lock, std::chrono::milliseconds(m_nReadTimeoutMs),
                  [&] { return m_queue.size() >= nToRead || m_bDone; });
    nRead = static_cast<uint32_t>(std::min<size_t>(nToRead, m_queue.size()));
    std::copy_n(m_queue.begin(), nRead, static_cast<uint8_t *>(pBuffer));
    m_queue.erase(m_queue.begin(), m_queue.begin() + nRead);
    return FT_OK;
  }
  FT_STATUS Write(const void *, uint32_t nToWrite, uint32_t &nWritten) override {
    nWritten = nToWrite;
    return FT_OK;
  }
  FT_STATUS Close() override {
    {
      std::lock_guard lock(m_mutex);
      m_bStop = true;
      m_pEvent = nullptr;
      m_cv.notify_all();
    }
    if (m_player.joinable()) {
      m_player.join();
    }
    return FT_OK;
  }

private:
  // Hands each recorded arrival over at its time after the open.
  void Play() {
    const auto start = std::chrono::steady_clock::now();
    size_t nOffset = 0;
    std::unique_lock lock(m_mutex);
    for (const _arrival &arrival : m_pRecording->arrivals) {
      // The parser refuses later times; a recording made in memory is held to the same bound.
      const auto nTimeMs = static_cast<int64_t>(std::min(arrival.nTimeMs, ARRIVAL_MAX_TIME_MS));
      const auto due = start + std::chrono::milliseconds(nTimeMs);
      if (m_cv.wait_until(lock, due, [this] { return m_bStop; })) {
        return;
      }
      const auto first = m_pRecording->bytes.begin() + static_cast<std::ptrdiff_t>(nOffset);
      m_queue.insert(m_queue.end(), first, first + arrival.nCount);
      nOffset += arrival.nCount;
      if (m_pEvent != nullptr) {
        m_pEvent->Set();
      }
      m_cv.notify_all();
    }
    m_bDone = true;
    m_cv.notify_all();
  }

  std::shared_ptr<const _recording> m_pRecording;
  _d2xxdeviceinfo m_info;
  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::deque<uint8_t> m_queue;
  CEvent *m_pEvent = nullptr;
  uint32_t m_nReadTimeoutMs = 0;
  bool m_bStop = false;
  bool m_bDone = false;
  std::thread m_player;
};

} // namespace

CD2xxReplayBackend::CD2xxReplayBackend(const std::string &strPath, bool bAsFastAsPossible)
    : m_pRecording(std::make_shared<const _recording>(LoadRecording(strPath))), m_bAsFastAsPossible(bAsFastAsPossible) {
  m_info.strSerialNumber = REPLAY_SERIAL_NUMBER;
  m_info.strDescription =
      ("Replay of " + std::filesystem::path(strPath).filename().string()).substr(0, FT_DESCRIPTION_SIZE - 1);
  m_info.nDeviceId = static_cast<uint32_t>(USB_VENDOR_VEXLOR) << 16 | USB_PRODUCT_TARVEX;
}

bool CD2xxReplayBackend::ListDevices(std::vector<_d2xxdeviceinfo> &devices) {
  devices.push_back(m_info);
  return true;
}

FT_STATUS CD2xxReplayBackend::Open(const std::string &strSerialNumber, bool bInfoOnly,
                                   std::unique_ptr<CD2xxDevice> &device) {
  if (strSerialNumber != m_info.strSerialNumber) {
    return FT_DEVICE_NOT_FOUND;
  }
  if (bInfoOnly) {
    device = std::make_unique<CD2xxInfoDevice>(m_info);
  } else {
    device = std::make_unique<CReplayPort>(m_pRecording, m_bAsFastAsPossible, m_info);
  }
  return FT_OK;
}
