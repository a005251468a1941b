#include "link/Usb.h"
#include "link/UsbReasons.h"

#include <cstring>
#include <utility>

namespace {

// Set on a link's worker thread for its whole life.
thread_local bool t_bLinkWorker = false;

// The settings USB_OPEN makes, as a refusal names them.
constexpr const char *USB_SETTING_DIVISOR = "the baud rate divisor %1";
constexpr const char *USB_SETTING_DATA = "8 data bits, 1 stop bit, no parity";
constexpr const char *USB_SETTING_FLOW = "no flow control";
constexpr const char *USB_SETTING_TIMEOUTS = "read and write time-outs of 5000 ms";
constexpr const char *USB_SETTING_NOTIFICATION = "the notification of arriving bytes";

// What the worker was doing when the device failed, as the lost report names it.
constexpr const char *USB_DOING_STATUS = "asking its port for arrived bytes";
constexpr const char *USB_DOING_READ = "reading from its port";
constexpr const char *USB_DOING_WRITE = "writing to its port";

} // namespace

bool CUSB::IsWorkerThread() { return t_bLinkWorker; }

void CUSB::OnPacket(const uint8_t *payload, uint32_t length) { m_Queue.PushPacket(payload, length); }

void CUSB::WorkerThread(std::stop_token stop) {
  t_bLinkWorker = true;
  _usbconnection device;
  bool bQuit = false;
  ResetReceive();
  std::vector<uint8_t> buffer;
  while (!bQuit && !stop.stop_requested()) {
    switch (WaitForTwoEvents(m_hRequestEvent, m_hRxEvent, m_nIdleWaitMs, m_clock)) {
    case WaitResult::first:
      if (stop.stop_requested()) {
        m_hRequestEvent.Set(); // not this worker's to serve any more
        bQuit = true;
        break;
      }
      ServeRequest(device, bQuit);
      break;
    case WaitResult::second:
      ReadReceived(device, buffer);
      break;
    case WaitResult::timeout:
      break;
    }
  }
  if (device.hDevice != nullptr) {
    FT_Close(device.hDevice);
  }
  FailQueued(USB_WHY_WORKER_ENDED);
}

// The worker does not reset the request event after a command: a request posted while it was
// busy with a command whose caller gave up must not be lost. One wake serves everything waiting:
// the queued commands, then the mailbox when it holds a command not taken yet.
void CUSB::ServeRequest(_usbconnection &device, bool &bQuit) {
  ServeQueued(device);
  int32_t nCommand = 0;
  std::vector<uint8_t> data;
  uint64_t nNumber = 0;
  {
    std::lock_guard slot(m_slotMutex);
    if (m_nTakenNumber == m_nPostedNumber) {
      return; // only queued commands were waiting
    }
    nCommand = m_nCommand;
    data = m_CommandData;
    nNumber = m_nTakenNumber = m_nPostedNumber;
  }

  int32_t nResult = -1;
  std::string strWhy;
  const bool bHasResult = Carry(device, nCommand, data, nResult, strWhy, bQuit);
  {
    std::lock_guard slot(m_slotMutex);
    if (bHasResult) {
      m_nCommandResult = nResult;
      m_strCommandWhy = strWhy;
    }
    m_nDoneNumber = nNumber;
  }
  m_hDoneEvent.Set();
}

bool CUSB::Carry(_usbconnection &device, int32_t nCommand, const std::vector<uint8_t> &data, int32_t &nResult,
                 std::string &strWhy, bool &bQuit) {
  switch (nCommand) {
  case USB_QUIT:
    bQuit = true;
    return false;
  case USB_OPEN:
    nResult = OpenDevice(device, data, strWhy);
    return true;
  case USB_CLOSE:
    if (device.hDevice != nullptr) {
      CloseDevice(device);
      nResult = 0;
    } else {
      strWhy = USB_WHY_NO_DEVICE;
    }
    return true;
  case USB_WRITE:
    nResult = WriteDevice(device, data, strWhy);
    return true;
  default:
    return false;
  }
}

void CUSB::ServeQueued(_usbconnection &device) {
  for (;;) {
    _queuedcommand command;
    {
      std::lock_guard slot(m_slotMutex);
      if (m_queued.empty()) {
        return;
      }
      command = std::move(m_queued.front());
      m_queued.erase(m_queued.begin());
    }
    int32_t nResult = -1;
    std::string strWhy;
    bool bQuit = false; // never queued
    if (Carry(device, command.nCommand, command.data, nResult, strWhy, bQuit) && nResult != 0) {
      std::string strReason = UsbQueuedFailure(command.nCommand, command.data, strWhy);
      m_Queue.PushCommandFailed(command.nCommand, std::move(command.data), std::move(strReason));
    }
  }
}

void CUSB::FailQueued(const std::string &strWhy) {
  std::vector<_queuedcommand> left;
  {
    std::lock_guard slot(m_slotMutex);
    left = std::exchange(m_queued, {});
  }
  for (_queuedcommand &command : left) {
    std::string strReason = UsbQueuedFailure(command.nCommand, command.data, strWhy);
    m_Queue.PushCommandFailed(command.nCommand, std::move(command.data), std::move(strReason));
  }
}

// A setting the device refuses fails the open: a port at another rate or framing than the
// receiver's, or one that never announces arriving bytes, would only look connected.
int32_t CUSB::OpenDevice(_usbconnection &device, const std::vector<uint8_t> &data, std::string &strWhy) {
  _usbopen open;
  if (data.size() != sizeof open) {
    strWhy = USB_WHY_MALFORMED;
    return -1;
  }
  std::memcpy(&open, data.data(), sizeof open);
  open.szSerialNumber[sizeof open.szSerialNumber - 1] = '\0';
  if (device.hDevice != nullptr) {
    // Opening again replaces the connection instead of leaving the old device open for good.
    CloseDevice(device);
  }
  const FT_STATUS status = FT_OpenEx(open.szSerialNumber, FT_OPEN_BY_SERIAL_NUMBER, &device.hDevice);
  if (status != FT_OK) {
    device.hDevice = nullptr;
    strWhy = UsbOpenFailure(open.szSerialNumber, status);
    return -1;
  }
  device.bLost = false;
  device.strLostReason.clear();
  const uint16_t nDivisor = BaudDivisor(open.nBaudRate);
  m_hRxEvent.Reset();
  const FT_HANDLE h = device.hDevice;
  FT_STATUS refused = FT_OK;
  std::string strSetting;
  if ((refused = FT_SetDivisor(h, nDivisor)) != FT_OK) {
    strSetting = UsbFillReason(USB_SETTING_DIVISOR, std::to_string(nDivisor));
  } else if ((refused = FT_SetDataCharacteristics(h, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE)) != FT_OK) {
    strSetting = USB_SETTING_DATA;
  } else if ((refused = FT_SetFlowControl(h, FT_FLOW_NONE, 0, 0)) != FT_OK) {
    strSetting = USB_SETTING_FLOW;
  } else if ((refused = FT_SetTimeouts(h, 5000, 5000)) != FT_OK) {
    strSetting = USB_SETTING_TIMEOUTS;
  } else if ((refused = FT_SetEventNotification(h, FT_EVENT_RXCHAR, &m_hRxEvent)) != FT_OK) {
    strSetting = USB_SETTING_NOTIFICATION;
  }
  if (refused != FT_OK) {
    CloseDevice(device);
    strWhy = UsbFillReason(USB_WHY_SETTINGS_REFUSED, open.szSerialNumber, strSetting + ": " + UsbStatusText(refused));
    return -1;
  }
  return 0;
}

int32_t CUSB::WriteDevice(_usbconnection &device, const std::vector<uint8_t> &data, std::string &strWhy) {
  if (device.hDevice == nullptr) {
    strWhy = USB_WHY_NO_DEVICE;
    return -1;
  }
  if (device.bLost) {
    strWhy = device.strLostReason;
    return -1;
  }
  uint32_t nWritten = 0;
  const FT_STATUS status = FT_Write(device.hDevice, data.data(), static_cast<uint32_t>(data.size()), &nWritten);
  if (status == FT_OK) {
    return 0;
  }
  CheckLost(device, USB_DOING_WRITE, status);
  strWhy = device.bLost ? device.strLostReason : UsbFillReason(USB_WHY_WRITE_FAILED, UsbStatusText(status));
  return -1;
}

void CUSB::CloseDevice(_usbconnection &device) {
  FT_SetEventNotification(device.hDevice, 0, &m_hRxEvent);
  FT_Close(device.hDevice);
  device.hDevice = nullptr;
  device.bLost = false;
}

void CUSB::ReadReceived(_usbconnection &device, std::vector<uint8_t> &buffer) {
  if (device.hDevice == nullptr || device.bLost) {
    return; // a notification that came in as the device was closed, or from a device given up
  }
  uint32_t nRxQueue = 0;
  uint32_t nTxQueue = 0;
  uint32_t nEventStatus = 0;
  FT_STATUS status = FT_GetStatus(device.hDevice, &nRxQueue, &nTxQueue, &nEventStatus);
  if (status != FT_OK) {
    CheckLost(device, USB_DOING_STATUS, status);
    return;
  }
  if (nRxQueue == 0) {
    return;
  }
  buffer.resize(nRxQueue);
  uint32_t nRead = 0;
  status = FT_Read(device.hDevice, buffer.data(), nRxQueue, &nRead);
  if (status != FT_OK) {
    CheckLost(device, USB_DOING_READ, status);
    return;
  }
  ProcessBytes(buffer.data(), nRead);
}

// A call may fail once and the device still be there; the device is lost when its status cannot
// be read either.
void CUSB::CheckLost(_usbconnection &device, const char *pDoing, FT_STATUS status) {
  if (device.hDevice == nullptr || device.bLost) {
    return;
  }
  uint32_t nRxQueue = 0;
  uint32_t nTxQueue = 0;
  uint32_t nEventStatus = 0;
  if (FT_GetStatus(device.hDevice, &nRxQueue, &nTxQueue, &nEventStatus) == FT_OK) {
    return;
  }
  device.bLost = true;
  device.strLostReason = UsbFillReason(USB_WHY_LOST, pDoing, UsbStatusText(status));
  m_Queue.PushLost(device.strLostReason);
}
