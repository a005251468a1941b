#include "tests/link/LinkTestSupport.h"

#include <algorithm>
#include <chrono>
#include <thread>

void CPacketLink::TakeWaiting() {
  for (_linkitem &item : Queue().TakeAll()) {
    if (item.nKind == LinkItemKind::packet) {
      m_packets.push_back(std::move(item.payload));
      m_strKinds += 'p';
    } else if (item.nKind == LinkItemKind::lost) {
      m_lost.push_back(std::move(item.strReason));
      m_strKinds += 'L';
    } else {
      m_failed.push_back(std::move(item.strReason));
      m_strKinds += 'F';
    }
  }
}

bool CPacketLink::WaitFor(const std::function<bool()> &pfnDone, uint32_t nMilliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMilliseconds);
  for (;;) {
    TakeWaiting();
    if (pfnDone()) {
      return true;
    }
    if (!Queue().WaitForItem(deadline)) {
      TakeWaiting();
      return pfnDone();
    }
  }
}

bool CPacketLink::WaitForPackets(size_t nCount, uint32_t nMilliseconds) {
  return WaitFor([&] { return m_packets.size() >= nCount; }, nMilliseconds);
}

bool CPacketLink::WaitUntil(const std::function<bool(const std::vector<std::vector<uint8_t>> &)> &pfnDone,
                            uint32_t nMilliseconds) {
  return WaitFor([&] { return pfnDone(m_packets); }, nMilliseconds);
}

bool CPacketLink::WaitForLost(size_t nCount, uint32_t nMilliseconds) {
  return WaitFor([&] { return m_lost.size() >= nCount; }, nMilliseconds);
}

bool CPacketLink::WaitForFailed(size_t nCount, uint32_t nMilliseconds) {
  return WaitFor([&] { return m_failed.size() >= nCount; }, nMilliseconds);
}

std::vector<std::string> CPacketLink::FailedCommands() {
  TakeWaiting();
  return m_failed;
}

std::vector<std::vector<uint8_t>> CPacketLink::Packets() {
  TakeWaiting();
  return m_packets;
}

std::vector<std::string> CPacketLink::LostReasons() {
  TakeWaiting();
  return m_lost;
}

std::string CPacketLink::Kinds() {
  TakeWaiting();
  return m_strKinds;
}

void CPacketLink::WaitForRequest() const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(LONG_WAIT_MS);
  while (!RequestPending() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
}

void CPacketLink::WaitUntilArrivalHandled() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(LONG_WAIT_MS);
  while (m_hRxEvent.IsSignalled() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  // An unknown command code: answered without touching the device.
  PostCommand({0, 0, nullptr});
}

void CGate::Close() {
  std::lock_guard lock(m_mutex);
  m_bClosed = true;
  m_nReached = 0;
}

void CGate::Open() {
  std::lock_guard lock(m_mutex);
  m_bClosed = false;
  m_cv.notify_all();
}

void CGate::Pass() {
  std::unique_lock lock(m_mutex);
  if (m_bClosed) {
    ++m_nReached;
    m_cv.notify_all();
    m_cv.wait(lock, [this] { return !m_bClosed; });
  }
}

bool CGate::WaitReached(uint32_t nMilliseconds) {
  std::unique_lock lock(m_mutex);
  return m_cv.wait_for(lock, std::chrono::milliseconds(nMilliseconds), [this] { return m_nReached > 0; });
}

class CScriptedDevice : public CD2xxDevice {
public:
  CScriptedDevice(CScriptedBackend &backend, _d2xxdeviceinfo info) : m_backend(backend), m_info(std::move(info)) {}

  FT_STATUS GetDeviceInfo(_d2xxdeviceinfo &info) override {
    info = m_info;
    return FT_OK;
  }
  FT_STATUS SetDivisor(uint16_t nDivisor) override { return Setting("SetDivisor " + std::to_string(nDivisor)); }
  FT_STATUS SetDataCharacteristics(uint8_t nWordLength, uint8_t nStopBits, uint8_t nParity) override {
    return Setting("SetDataCharacteristics " + std::to_string(nWordLength) + " " + std::to_string(nStopBits) + " " +
                   std::to_string(nParity));
  }
  FT_STATUS SetFlowControl(uint16_t nFlowControl, uint8_t nXon, uint8_t nXoff) override {
    return Setting("SetFlowControl " + std::to_string(nFlowControl) + " " + std::to_string(nXon) + " " +
                   std::to_string(nXoff));
  }
  FT_STATUS SetTimeouts(uint32_t nReadTimeoutMs, uint32_t nWriteTimeoutMs) override {
    return Setting("SetTimeouts " + std::to_string(nReadTimeoutMs) + " " + std::to_string(nWriteTimeoutMs));
  }
  FT_STATUS SetEventNotification(uint32_t nMask, CEvent *pEvent) override {
    const std::string strCall = "SetEventNotification " + std::to_string(nMask);
    std::lock_guard lock(m_backend.m_mutex);
    m_backend.m_calls.push_back(strCall);
    if (m_backend.IsRefused(strCall)) {
      return FT_IO_ERROR;
    }
    m_backend.m_pEvent = nMask != 0 ? pEvent : nullptr;
    return FT_OK;
  }
  FT_STATUS GetStatus(uint32_t &nRxQueue, uint32_t &nTxQueue, uint32_t &nEventStatus) override {
    std::lock_guard lock(m_backend.m_mutex);
    m_backend.m_calls.push_back("GetStatus");
    nRxQueue = static_cast<uint32_t>(m_backend.m_rx.size());
    nTxQueue = 0;
    nEventStatus = 0;
    if (m_backend.m_nStatusFailures > 0) {
      --m_backend.m_nStatusFailures;
      return FT_IO_ERROR;
    }
    return m_backend.m_nStatusStatus;
  }
  FT_STATUS Read(void *pBuffer, uint32_t nToRead, uint32_t &nRead) override {
    m_backend.Log("Read " + std::to_string(nToRead));
    m_backend.m_readGate.Pass();
    std::lock_guard lock(m_backend.m_mutex);
    nRead = static_cast<uint32_t>(std::min<size_t>(nToRead, m_backend.m_rx.size()));
    std::copy_n(m_backend.m_rx.begin(), nRead, static_cast<uint8_t *>(pBuffer));
    m_backend.m_rx.erase(m_backend.m_rx.begin(), m_backend.m_rx.begin() + nRead);
    return FT_OK;
  }
  FT_STATUS Write(const void *pBuffer, uint32_t nToWrite, uint32_t &nWritten) override {
    m_backend.Log("Write " + std::to_string(nToWrite));
    m_backend.m_writeGate.Pass();
    std::lock_guard lock(m_backend.m_mutex);
    const auto *pBytes = static_cast<const uint8_t *>(pBuffer);
    m_backend.m_written.insert(m_backend.m_written.end(), pBytes, pBytes + nToWrite);
    nWritten = nToWrite;
    return m_backend.m_nWriteStatus;
  }
  FT_STATUS Close() override {
    std::lock_guard lock(m_backend.m_mutex);
    m_backend.m_calls.emplace_back("Close");
    m_backend.m_pEvent = nullptr;
    return FT_OK;
  }

private:
  FT_STATUS Setting(const std::string &strCall) {
    std::lock_guard lock(m_backend.m_mutex);
    m_backend.m_calls.push_back(strCall);
    return m_backend.IsRefused(strCall) ? FT_IO_ERROR : FT_OK;
  }

  CScriptedBackend &m_backend;
  _d2xxdeviceinfo m_info;
};

bool CScriptedBackend::ListDevices(std::vector<_d2xxdeviceinfo> &devices) {
  for (const _device &device : m_devices) {
    devices.push_back({device.strSerialNumber, device.strDescription, device.nDeviceId, FT_DEVICE_UNKNOWN});
  }
  return !m_bListFails;
}

FT_STATUS CScriptedBackend::Open(const std::string &strSerialNumber, bool bInfoOnly,
                                 std::unique_ptr<CD2xxDevice> &device) {
  for (const _device &known : m_devices) {
    if (known.strSerialNumber != strSerialNumber) {
      continue;
    }
    if (bInfoOnly) {
      Log("Query " + strSerialNumber);
      if (known.bQueryFails) {
        return FT_DEVICE_NOT_OPENED;
      }
    } else {
      Log("OpenEx " + strSerialNumber);
      if (m_nOpenStatus != FT_OK) {
        return m_nOpenStatus;
      }
    }
    device = std::make_unique<CScriptedDevice>(
        *this, _d2xxdeviceinfo{known.strSerialNumber, known.strDescription, known.nDeviceId, FT_DEVICE_UNKNOWN});
    return FT_OK;
  }
  return FT_DEVICE_NOT_FOUND;
}

void CScriptedBackend::Arrive(const std::vector<uint8_t> &bytes) {
  std::lock_guard lock(m_mutex);
  m_rx.insert(m_rx.end(), bytes.begin(), bytes.end());
  if (m_pEvent != nullptr) {
    m_pEvent->Set();
  }
}

std::vector<std::string> CScriptedBackend::Calls() {
  std::lock_guard lock(m_mutex);
  return m_calls;
}

void CScriptedBackend::ClearCalls() {
  std::lock_guard lock(m_mutex);
  m_calls.clear();
}

std::vector<uint8_t> CScriptedBackend::Written() {
  std::lock_guard lock(m_mutex);
  return m_written;
}

int CScriptedBackend::CountCalls(const std::string &strPrefix) {
  std::lock_guard lock(m_mutex);
  return static_cast<int>(
      std::count_if(m_calls.begin(), m_calls.end(), [&](const std::string &s) { return s.starts_with(strPrefix); }));
}

CEvent *CScriptedBackend::NotifiedEvent() {
  std::lock_guard lock(m_mutex);
  return m_pEvent;
}

void CScriptedBackend::RefuseSetting(const std::string &strPrefix) {
  std::lock_guard lock(m_mutex);
  m_strRefusedSetting = strPrefix;
}

bool CScriptedBackend::IsRefused(const std::string &strCall) const {
  return !m_strRefusedSetting.empty() && strCall.starts_with(m_strRefusedSetting);
}

void CScriptedBackend::Log(const std::string &strCall) {
  std::lock_guard lock(m_mutex);
  m_calls.push_back(strCall);
}
