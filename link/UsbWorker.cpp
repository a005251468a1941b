#include "link/Usb.h"

#include <algorithm>
#include <chrono>
#include <cstring>

CUSB::~CUSB() {
  StopWorker();
  // A worker that did not end in time still uses this link: wait for it, however long.
  m_lateWorkers.clear();
}

void CUSB::SetWaits(const _usbwaits &waits) {
  m_nMailboxWaitMs = waits.nMailboxMs;
  m_nResultWaitMs = waits.nResultMs;
  m_nStopWaitMs = waits.nStopMs;
  m_nIdleWaitMs = waits.nIdleMs;
}

_usbwaits CUSB::GetWaits() const { return {m_nMailboxWaitMs, m_nResultWaitMs, m_nStopWaitMs, m_nIdleWaitMs}; }

void CUSB::StartWorker() {
  StopWorker();
  m_lateWorkers.clear();
  // Commands still in the mailbox were given up by their callers; a new worker does not take them.
  m_hRequestEvent.Reset();
  auto pWorker = std::make_unique<_usbworker>();
  _usbworker *pRunning = pWorker.get();
  m_pWorker = std::move(pWorker);
  pRunning->thread = std::jthread([this, pRunning](std::stop_token stop) {
    WorkerThread(stop);
    pRunning->ended.Set();
  });
}

bool CUSB::StopWorker() {
  if (!m_pWorker) {
    return true;
  }
  PostCommand({USB_QUIT, 0, nullptr});
  // Should the quit not reach the worker (it is busy with a command whose caller gave up), the
  // worker ends as soon as it looks at its loop again.
  m_pWorker->thread.request_stop();
  const bool bEnded = m_pWorker->ended.Wait(m_nStopWaitMs);
  if (bEnded) {
    m_pWorker->thread.join();
  } else {
    m_lateWorkers.push_back(std::move(m_pWorker));
  }
  m_pWorker.reset();
  return bEnded;
}

int32_t CUSB::PostCommand(const _usbcommand &command) {
  if (command.nLength < 0 || (command.nLength > 0 && command.pData == nullptr)) {
    return -1;
  }
  if (!m_hMailboxMutex.Lock(m_nMailboxWaitMs)) {
    return -1;
  }
  uint64_t nNumber = 0;
  {
    std::lock_guard slot(m_slotMutex);
    m_nCommand = command.nCommand;
    m_nCommandLength = command.nLength;
    const auto *pData = static_cast<const uint8_t *>(command.pData);
    m_CommandData.assign(pData, pData + command.nLength);
    nNumber = ++m_nPostedNumber;
  }
  m_hDoneEvent.Reset();
  m_hRequestEvent.Set();

  int32_t nResult = -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_nResultWaitMs);
  for (auto now = std::chrono::steady_clock::now(); now < deadline; now = std::chrono::steady_clock::now()) {
    const auto nLeft = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    if (!m_hDoneEvent.Wait(static_cast<uint32_t>(nLeft))) {
      continue;
    }
    std::lock_guard slot(m_slotMutex);
    if (m_nDoneNumber == nNumber) {
      nResult = m_nCommandResult;
      break;
    }
    // The late completion of a command whose caller gave up: keep waiting for this one.
  }
  m_hMailboxMutex.Unlock();
  return nResult;
}

bool CUSB::Open(const std::string &strSerialNumber, uint32_t nBaudRate) {
  _usbopen open;
  if (strSerialNumber.size() >= sizeof open.szSerialNumber) {
    return false; // no listed serial number is that long; a cut one would name another device
  }
  std::memcpy(open.szSerialNumber, strSerialNumber.c_str(), strSerialNumber.size() + 1);
  open.nBaudRate = nBaudRate;
  return PostCommand({USB_OPEN, static_cast<int32_t>(sizeof open), &open}) == 0;
}

bool CUSB::SendCommandByte(uint8_t c) {
  const uint8_t frame[5] = {FRAME_SYNC, 0x02, 0x00, c, c};
  return PostCommand({USB_WRITE, static_cast<int32_t>(sizeof frame), frame}) == 0;
}

uint16_t CUSB::BaudDivisor(uint32_t nBaudRate) {
  if (nBaudRate == 0) {
    return DEFAULT_DIVISOR;
  }
  return static_cast<uint16_t>(static_cast<uint32_t>(3000000.0 / nBaudRate + 0.5));
}

void CUSB::WorkerThread(std::stop_token stop) {
  FT_HANDLE hDevice = nullptr;
  bool bQuit = false;
  ResetReceive();
  std::vector<uint8_t> buffer;
  while (!bQuit && !stop.stop_requested()) {
    switch (WaitForTwoEvents(m_hRequestEvent, m_hRxEvent, m_nIdleWaitMs)) {
    case WaitResult::first:
      if (stop.stop_requested()) {
        m_hRequestEvent.Set(); // not this worker's to serve any more
        bQuit = true;
        break;
      }
      ServeRequest(hDevice, bQuit);
      break;
    case WaitResult::second:
      ReadReceived(hDevice, buffer);
      break;
    case WaitResult::timeout:
      break;
    }
  }
  if (hDevice != nullptr) {
    FT_Close(hDevice);
  }
}

// The worker does not reset the request event after a command: a request posted while it was
// busy with a command whose caller gave up must not be lost.
void CUSB::ServeRequest(FT_HANDLE &hDevice, bool &bQuit) {
  int32_t nCommand = 0;
  std::vector<uint8_t> data;
  uint64_t nNumber = 0;
  {
    std::lock_guard slot(m_slotMutex);
    nCommand = m_nCommand;
    data = m_CommandData;
    nNumber = m_nPostedNumber;
  }

  bool bHasResult = true;
  int32_t nResult = -1;
  switch (nCommand) {
  case USB_QUIT:
    bQuit = true;
    bHasResult = false;
    break;
  case USB_OPEN:
    nResult = OpenDevice(hDevice, data);
    break;
  case USB_CLOSE:
    if (hDevice != nullptr) {
      CloseDevice(hDevice);
      nResult = 0;
    }
    break;
  case USB_WRITE:
    if (hDevice != nullptr) {
      uint32_t nWritten = 0;
      nResult = FT_Write(hDevice, data.data(), static_cast<uint32_t>(data.size()), &nWritten) == FT_OK ? 0 : -1;
    }
    break;
  default:
    bHasResult = false;
    break;
  }

  {
    std::lock_guard slot(m_slotMutex);
    if (bHasResult) {
      m_nCommandResult = nResult;
    }
    m_nDoneNumber = nNumber;
  }
  m_hDoneEvent.Set();
}

int32_t CUSB::OpenDevice(FT_HANDLE &hDevice, const std::vector<uint8_t> &data) {
  _usbopen open;
  if (data.size() != sizeof open) {
    return -1;
  }
  std::memcpy(&open, data.data(), sizeof open);
  open.szSerialNumber[sizeof open.szSerialNumber - 1] = '\0';
  if (hDevice != nullptr) {
    // Opening again replaces the connection instead of leaving the old device open for good.
    CloseDevice(hDevice);
  }
  if (FT_OpenEx(open.szSerialNumber, FT_OPEN_BY_SERIAL_NUMBER, &hDevice) != FT_OK) {
    hDevice = nullptr;
    return -1;
  }
  const uint16_t nDivisor = BaudDivisor(open.nBaudRate);
  m_hRxEvent.Reset();
  // A setting that fails goes unnoticed: the open still succeeds.
  FT_SetDivisor(hDevice, nDivisor);
  FT_SetDataCharacteristics(hDevice, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE);
  FT_SetFlowControl(hDevice, FT_FLOW_NONE, 0, 0);
  FT_SetTimeouts(hDevice, 5000, 5000);
  FT_SetEventNotification(hDevice, FT_EVENT_RXCHAR, &m_hRxEvent);
  return 0;
}

void CUSB::CloseDevice(FT_HANDLE &hDevice) {
  FT_SetEventNotification(hDevice, 0, &m_hRxEvent);
  FT_Close(hDevice);
  hDevice = nullptr;
}

void CUSB::ReadReceived(FT_HANDLE hDevice, std::vector<uint8_t> &buffer) {
  if (hDevice == nullptr) {
    return; // a notification that came in as the device was closed
  }
  uint32_t nRxQueue = 0;
  uint32_t nTxQueue = 0;
  uint32_t nEventStatus = 0;
  if (FT_GetStatus(hDevice, &nRxQueue, &nTxQueue, &nEventStatus) != FT_OK || nRxQueue == 0) {
    return;
  }
  buffer.resize(nRxQueue);
  uint32_t nRead = 0;
  if (FT_Read(hDevice, buffer.data(), nRxQueue, &nRead) != FT_OK) {
    return;
  }
  ProcessBytes(buffer.data(), nRead);
}
