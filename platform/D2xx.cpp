#include "platform/D2xx.h"

#include "platform/D2xxRegistry.h"
#include "platform/D2xxTtyBackend.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

namespace {

class CD2xxRegistry {
public:
  CD2xxRegistry() { m_backends.push_back(std::make_shared<CD2xxTtyBackend>()); }

  static CD2xxRegistry &Get() {
    static CD2xxRegistry registry;
    return registry;
  }

  void Enable(std::shared_ptr<CD2xxBackend> pBackend) {
    std::lock_guard lock(m_mutex);
    const std::string strName = pBackend->GetName();
    auto it =
        std::find_if(m_backends.begin(), m_backends.end(), [&](const auto &p) { return p->GetName() == strName; });
    if (it != m_backends.end()) {
      *it = std::move(pBackend);
    } else {
      m_backends.push_back(std::move(pBackend));
    }
  }

  void Disable(const std::string &strName) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_backends, [&](const auto &p) { return p->GetName() == strName; });
  }

  void DisableAll() {
    std::lock_guard lock(m_mutex);
    m_backends.clear();
  }

  std::vector<std::shared_ptr<CD2xxBackend>> Backends() {
    std::lock_guard lock(m_mutex);
    return m_backends;
  }

  void SetTap(D2xxReadTap tap) {
    std::lock_guard lock(m_mutex);
    m_pTap = tap ? std::make_shared<D2xxReadTap>(std::move(tap)) : nullptr;
  }

  std::shared_ptr<D2xxReadTap> Tap() {
    std::lock_guard lock(m_mutex);
    return m_pTap;
  }

  // Every device of every enabled backend, in listing order. False when a backend cannot tell.
  bool List(std::vector<std::pair<std::shared_ptr<CD2xxBackend>, _d2xxdeviceinfo>> &devices) {
    devices.clear();
    bool bComplete = true;
    for (const auto &pBackend : Backends()) {
      std::vector<_d2xxdeviceinfo> found;
      if (!pBackend->ListDevices(found)) {
        bComplete = false;
      }
      for (auto &info : found) {
        devices.emplace_back(pBackend, std::move(info));
      }
    }
    return bComplete;
  }

  FT_STATUS Open(const std::string &strName, uint32_t nFlags, bool bInfoOnly, FT_HANDLE &hDevice) {
    hDevice = nullptr;
    std::vector<std::pair<std::shared_ptr<CD2xxBackend>, _d2xxdeviceinfo>> devices;
    List(devices);
    for (const auto &[pBackend, info] : devices) {
      const std::string &strKey = (nFlags & FT_OPEN_BY_DESCRIPTION) != 0 ? info.strDescription : info.strSerialNumber;
      if (strKey != strName || info.strSerialNumber.empty()) {
        continue;
      }
      std::unique_ptr<CD2xxDevice> pDevice;
      const FT_STATUS status = pBackend->Open(info.strSerialNumber, bInfoOnly, pDevice);
      if (status != FT_OK || !pDevice) {
        return status != FT_OK ? status : FT_DEVICE_NOT_OPENED;
      }
      std::lock_guard lock(m_mutex);
      const uintptr_t nHandle = ++m_nLastHandle;
      m_handles.emplace(nHandle, std::shared_ptr<CD2xxDevice>(std::move(pDevice)));
      hDevice = reinterpret_cast<FT_HANDLE>(nHandle);
      return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
  }

  std::shared_ptr<CD2xxDevice> Find(FT_HANDLE hDevice) {
    std::lock_guard lock(m_mutex);
    auto it = m_handles.find(reinterpret_cast<uintptr_t>(hDevice));
    return it == m_handles.end() ? nullptr : it->second;
  }

  std::shared_ptr<CD2xxDevice> Remove(FT_HANDLE hDevice) {
    std::lock_guard lock(m_mutex);
    auto it = m_handles.find(reinterpret_cast<uintptr_t>(hDevice));
    if (it == m_handles.end()) {
      return nullptr;
    }
    auto pDevice = std::move(it->second);
    m_handles.erase(it);
    return pDevice;
  }

private:
  std::mutex m_mutex;
  std::vector<std::shared_ptr<CD2xxBackend>> m_backends;
  std::map<uintptr_t, std::shared_ptr<CD2xxDevice>> m_handles;
  uintptr_t m_nLastHandle = 0;
  std::shared_ptr<D2xxReadTap> m_pTap;
};

// Copies text into a buffer of nSize bytes, cutting it short and always ending it with a zero.
void CopyText(const std::string &text, char *pBuffer, size_t nSize) {
  const size_t nLength = std::min(text.size(), nSize - 1);
  std::memcpy(pBuffer, text.data(), nLength);
  pBuffer[nLength] = '\0';
}

template <class Call> FT_STATUS OnDevice(FT_HANDLE hDevice, Call call) {
  auto pDevice = CD2xxRegistry::Get().Find(hDevice);
  return pDevice ? call(*pDevice) : FT_INVALID_HANDLE;
}

} // namespace

void D2xxEnableBackend(std::shared_ptr<CD2xxBackend> pBackend) { CD2xxRegistry::Get().Enable(std::move(pBackend)); }

void D2xxDisableBackend(const std::string &strName) { CD2xxRegistry::Get().Disable(strName); }

void D2xxDisableAllBackends() { CD2xxRegistry::Get().DisableAll(); }

std::vector<std::string> D2xxEnabledBackends() {
  std::vector<std::string> names;
  for (const auto &pBackend : CD2xxRegistry::Get().Backends()) {
    names.push_back(pBackend->GetName());
  }
  return names;
}

void D2xxSetReadTap(D2xxReadTap tap) { CD2xxRegistry::Get().SetTap(std::move(tap)); }

FT_STATUS FT_OpenEx(const void *pArg, uint32_t nFlags, FT_HANDLE *pHandle) {
  if (pHandle == nullptr) {
    return FT_INVALID_PARAMETER;
  }
  *pHandle = nullptr;
  if (pArg == nullptr || (nFlags != FT_OPEN_BY_SERIAL_NUMBER && nFlags != FT_OPEN_BY_DESCRIPTION)) {
    return FT_INVALID_PARAMETER;
  }
  return CD2xxRegistry::Get().Open(static_cast<const char *>(pArg), nFlags, false, *pHandle);
}

FT_STATUS FT_SetDivisor(FT_HANDLE hDevice, uint16_t nDivisor) {
  return OnDevice(hDevice, [&](CD2xxDevice &device) { return device.SetDivisor(nDivisor); });
}

FT_STATUS FT_SetDataCharacteristics(FT_HANDLE hDevice, uint8_t nWordLength, uint8_t nStopBits, uint8_t nParity) {
  return OnDevice(hDevice,
                  [&](CD2xxDevice &device) { return device.SetDataCharacteristics(nWordLength, nStopBits, nParity); });
}

FT_STATUS FT_SetFlowControl(FT_HANDLE hDevice, uint16_t nFlowControl, uint8_t nXon, uint8_t nXoff) {
  return OnDevice(hDevice, [&](CD2xxDevice &device) { return device.SetFlowControl(nFlowControl, nXon, nXoff); });
}

FT_STATUS FT_SetTimeouts(FT_HANDLE hDevice, uint32_t nReadTimeoutMs, uint32_t nWriteTimeoutMs) {
  return OnDevice(hDevice, [&](CD2xxDevice &device) { return device.SetTimeouts(nReadTimeoutMs, nWriteTimeoutMs); });
}

FT_STATUS FT_SetEventNotification(FT_HANDLE hDevice, uint32_t nMask, CEvent *pEvent) {
  if (nMask != 0 && pEvent == nullptr) {
    return FT_INVALID_PARAMETER;
  }
  return OnDevice(hDevice, [&](CD2xxDevice &device) { return device.SetEventNotification(nMask, pEvent); });
}

FT_STATUS FT_GetStatus(FT_HANDLE hDevice, uint32_t *pRxQueue, uint32_t *pTxQueue, uint32_t *pEventStatus) {
  if (pRxQueue == nullptr || pTxQueue == nullptr || pEventStatus == nullptr) {
    return FT_INVALID_PARAMETER;
  }
  return OnDevice(hDevice, [&](CD2xxDevice &device) { return device.GetStatus(*pRxQueue, *pTxQueue, *pEventStatus); });
}

FT_STATUS FT_Read(FT_HANDLE hDevice, void *pBuffer, uint32_t nToRead, uint32_t *pRead) {
  if (pRead == nullptr || (pBuffer == nullptr && nToRead != 0)) {
    return FT_INVALID_PARAMETER;
  }
  *pRead = 0;
  const FT_STATUS status =
      OnDevice(hDevice, [&](CD2xxDevice &device) { return device.Read(pBuffer, nToRead, *pRead); });
  if (status == FT_OK && *pRead > 0) {
    if (auto pTap = CD2xxRegistry::Get().Tap()) {
      (*pTap)(static_cast<const uint8_t *>(pBuffer), *pRead);
    }
  }
  return status;
}

FT_STATUS FT_Write(FT_HANDLE hDevice, const void *pBuffer, uint32_t nToWrite, uint32_t *pWritten) {
  if (pWritten == nullptr || (pBuffer == nullptr && nToWrite != 0)) {
    return FT_INVALID_PARAMETER;
  }
  *pWritten = 0;
  return OnDevice(hDevice, [&](CD2xxDevice &device) { return device.Write(pBuffer, nToWrite, *pWritten); });
}

FT_STATUS FT_Close(FT_HANDLE hDevice) {
  auto pDevice = CD2xxRegistry::Get().Remove(hDevice);
  return pDevice ? pDevice->Close() : FT_INVALID_HANDLE;
}

FT_STATUS FT_ListDevices(void *pArg1, void *pArg2, uint32_t nFlags) {
  std::vector<std::pair<std::shared_ptr<CD2xxBackend>, _d2xxdeviceinfo>> devices;
  if (nFlags == FT_LIST_NUMBER_ONLY) {
    if (pArg1 == nullptr) {
      return FT_INVALID_PARAMETER;
    }
    const bool bComplete = CD2xxRegistry::Get().List(devices);
    *static_cast<uint32_t *>(pArg1) = static_cast<uint32_t>(devices.size());
    return bComplete ? FT_OK : FT_IO_ERROR;
  }
  const uint32_t nWhat = nFlags & ~FT_LIST_BY_INDEX;
  if ((nFlags & FT_LIST_BY_INDEX) == 0 || pArg2 == nullptr ||
      (nWhat != FT_OPEN_BY_SERIAL_NUMBER && nWhat != FT_OPEN_BY_DESCRIPTION)) {
    return FT_INVALID_PARAMETER;
  }
  CD2xxRegistry::Get().List(devices);
  const auto nIndex = reinterpret_cast<uintptr_t>(pArg1);
  if (nIndex >= devices.size()) {
    return FT_DEVICE_NOT_FOUND;
  }
  const _d2xxdeviceinfo &info = devices[nIndex].second;
  CopyText(nWhat == FT_OPEN_BY_SERIAL_NUMBER ? info.strSerialNumber : info.strDescription, static_cast<char *>(pArg2),
           FT_DESCRIPTION_SIZE);
  return FT_OK;
}

FT_HANDLE FT_W32_CreateFile(const char *pName, uint32_t /*nAccess*/, uint32_t /*nShareMode*/,
                            void * /*pSecurityAttributes*/, uint32_t nCreate, uint32_t nFlagsAndAttributes,
                            FT_HANDLE /*hTemplate*/) {
  const uint32_t nOpenBy = nFlagsAndAttributes & (FT_OPEN_BY_SERIAL_NUMBER | FT_OPEN_BY_DESCRIPTION);
  if (pName == nullptr || nCreate != OPEN_EXISTING ||
      (nOpenBy != FT_OPEN_BY_SERIAL_NUMBER && nOpenBy != FT_OPEN_BY_DESCRIPTION)) {
    return FT_INVALID_HANDLE_VALUE;
  }
  FT_HANDLE hDevice = nullptr;
  if (CD2xxRegistry::Get().Open(pName, nOpenBy, true, hDevice) != FT_OK) {
    return FT_INVALID_HANDLE_VALUE;
  }
  return hDevice;
}

FT_STATUS FT_GetDeviceInfo(FT_HANDLE hDevice, FT_DEVICE *pType, uint32_t *pDeviceId, char *pSerialNumber,
                           char *pDescription, void * /*pReserved*/) {
  _d2xxdeviceinfo info;
  const FT_STATUS status = OnDevice(hDevice, [&](CD2xxDevice &device) { return device.GetDeviceInfo(info); });
  if (status != FT_OK) {
    return status;
  }
  if (pType != nullptr) {
    *pType = info.nType;
  }
  if (pDeviceId != nullptr) {
    *pDeviceId = info.nDeviceId;
  }
  if (pSerialNumber != nullptr) {
    CopyText(info.strSerialNumber, pSerialNumber, FT_SERIAL_NUMBER_SIZE);
  }
  if (pDescription != nullptr) {
    CopyText(info.strDescription, pDescription, FT_DESCRIPTION_SIZE);
  }
  return FT_OK;
}
