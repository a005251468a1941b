#include "link/Usb.h"
#include "link/UsbReasons.h"

#include <cstring>

namespace {

// How long each look at a late worker waits before the next; the looks go on until it has ended.
constexpr uint32_t LATE_WORKER_WAIT_MS = 1000;

} // namespace

CUSB::CUSB(CWaitClock &clock) : m_clock(clock) {}

CUSB::~CUSB() {
  StopWorker();
  // A worker that did not end in time still uses this link: wait for it, however long.
  WaitForLateWorkers();
}

void CUSB::SetWaits(const _usbwaits &waits) {
  m_nMailboxWaitMs = waits.nMailboxMs;
  m_nResultWaitMs = waits.nResultMs;
  m_nStopWaitMs = waits.nStopMs;
  m_nIdleWaitMs = waits.nIdleMs;
}

_usbwaits CUSB::GetWaits() const { return {m_nMailboxWaitMs, m_nResultWaitMs, m_nStopWaitMs, m_nIdleWaitMs}; }

bool CUSB::StartWorker() {
  if (IsWorkerThread()) {
    return false;
  }
  StopWorker();
  WaitForLateWorkers();
  // Commands still in the mailbox were given up by their callers; a new worker does not take them.
  m_hRequestEvent.Reset();
  {
    std::lock_guard slot(m_slotMutex);
    m_nTakenNumber = m_nPostedNumber;
  }
  auto pWorker = std::make_unique<_usbworker>();
  _usbworker *pRunning = pWorker.get();
  m_pWorker = std::move(pWorker);
  pRunning->thread = std::jthread([this, pRunning](std::stop_token stop) {
    WorkerThread(stop);
    pRunning->ended.Set();
  });
  return true;
}

bool CUSB::StopWorker() {
  if (IsWorkerThread()) {
    return false;
  }
  if (!m_pWorker) {
    return true;
  }
  PostCommand({USB_QUIT, 0, nullptr});
  // Should the quit not reach the worker (it is busy with a command whose caller gave up), the
  // worker ends as soon as it looks at its loop again.
  m_pWorker->thread.request_stop();
  const bool bEnded = m_pWorker->ended.Wait(m_nStopWaitMs, m_clock);
  if (bEnded) {
    m_pWorker->thread.join();
  } else {
    m_lateWorkers.push_back(std::move(m_pWorker));
  }
  m_pWorker.reset();
  return bEnded;
}

void CUSB::WaitForLateWorkers() {
  for (const auto &pWorker : m_lateWorkers) {
    while (!pWorker->ended.Wait(LATE_WORKER_WAIT_MS, m_clock)) {
    }
    pWorker->thread.join();
  }
  m_lateWorkers.clear();
}

int32_t CUSB::PostCommand(const _usbcommand &command) { return PostCommand(command, nullptr); }

int32_t CUSB::PostCommand(const _usbcommand &command, std::string *pWhy) {
  auto fail = [pWhy](const std::string &strWhy) {
    if (pWhy != nullptr) {
      *pWhy = strWhy;
    }
    return -1;
  };
  if (IsWorkerThread()) {
    return fail(USB_WHY_ON_WORKER); // the mailbox is served by this very thread: it would never answer
  }
  if (command.nLength < 0 || (command.nLength > 0 && command.pData == nullptr)) {
    return fail(USB_WHY_MALFORMED);
  }
  if (!m_hMailboxMutex.Lock(m_nMailboxWaitMs, m_clock)) {
    return fail(USB_WHY_MAILBOX_BUSY);
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
  std::string strWhy = USB_WHY_NO_ANSWER;
  const auto deadline = m_clock.After(m_nResultWaitMs);
  while (m_hDoneEvent.WaitUntil(deadline, m_clock)) {
    std::lock_guard slot(m_slotMutex);
    if (m_nDoneNumber == nNumber) {
      nResult = m_nCommandResult;
      strWhy = m_strCommandWhy;
      break;
    }
    // The late completion of a command whose caller gave up: keep waiting for this one.
  }
  m_hMailboxMutex.Unlock();
  return nResult == 0 ? 0 : fail(strWhy);
}

bool CUSB::Open(const std::string &strSerialNumber, uint32_t nBaudRate) {
  return Open(strSerialNumber, nBaudRate, nullptr);
}

bool CUSB::Open(const std::string &strSerialNumber, uint32_t nBaudRate, std::string *pWhy) {
  _usbopen open;
  if (strSerialNumber.size() >= sizeof open.szSerialNumber) {
    // No listed serial number is that long; a cut one would name another device.
    if (pWhy != nullptr) {
      *pWhy = USB_WHY_SERIAL_TOO_LONG;
    }
    return false;
  }
  std::memcpy(open.szSerialNumber, strSerialNumber.c_str(), strSerialNumber.size() + 1);
  open.nBaudRate = nBaudRate;
  return PostCommand({USB_OPEN, static_cast<int32_t>(sizeof open), &open}, pWhy) == 0;
}

bool CUSB::SendCommandByte(uint8_t c) { return SendCommandByte(c, nullptr); }

bool CUSB::SendCommandByte(uint8_t c, std::string *pWhy) {
  const uint8_t frame[5] = {FRAME_SYNC, 0x02, 0x00, c, c};
  return PostCommand({USB_WRITE, static_cast<int32_t>(sizeof frame), frame}, pWhy) == 0;
}

void CUSB::QueueCommand(const _usbcommand &command) {
  const bool bMalformed = command.nLength < 0 || (command.nLength > 0 && command.pData == nullptr) ||
                          command.nCommand == USB_QUIT; // the worker's end is StopWorker's
  std::vector<uint8_t> data;
  if (!bMalformed) {
    const auto *pData = static_cast<const uint8_t *>(command.pData);
    data.assign(pData, pData + command.nLength);
  }
  const char *pWhy = nullptr;
  if (IsWorkerThread()) {
    pWhy = USB_WHY_ON_WORKER;
  } else if (bMalformed) {
    pWhy = USB_WHY_MALFORMED;
  } else if (m_pWorker == nullptr) {
    pWhy = USB_WHY_NO_WORKER;
  } else {
    std::lock_guard slot(m_slotMutex);
    if (m_queued.size() < MAX_QUEUED_COMMANDS) {
      m_queued.push_back({command.nCommand, data});
    } else {
      pWhy = USB_WHY_TOO_MANY_QUEUED;
    }
  }
  if (pWhy != nullptr) {
    std::string strReason = UsbQueuedFailure(command.nCommand, data, pWhy);
    m_Queue.PushCommandFailed(command.nCommand, std::move(data), std::move(strReason));
    return;
  }
  m_hRequestEvent.Set();
}

void CUSB::QueueCommandByte(uint8_t c) {
  const uint8_t frame[5] = {FRAME_SYNC, 0x02, 0x00, c, c};
  QueueCommand({USB_WRITE, static_cast<int32_t>(sizeof frame), frame});
}

uint16_t CUSB::BaudDivisor(uint32_t nBaudRate) {
  if (nBaudRate == 0) {
    return DEFAULT_DIVISOR;
  }
  return static_cast<uint16_t>(static_cast<uint32_t>(3000000.0 / nBaudRate + 0.5));
}
