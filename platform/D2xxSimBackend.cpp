#include "platform/D2xxSimBackend.h"

void CD2xxSimBackend::AddReceiver(std::shared_ptr<CSimulatedReceiver> pReceiver) {
  std::lock_guard lock(m_mutex);
  m_receivers.push_back(std::move(pReceiver));
}

bool CD2xxSimBackend::ListDevices(std::vector<_d2xxdeviceinfo> &devices) {
  std::lock_guard lock(m_mutex);
  for (const auto &pReceiver : m_receivers) {
    if (pReceiver->IsPlugged()) {
      devices.push_back(pReceiver->GetDeviceInfo());
    }
  }
  return true;
}

// The listing's query opens the unit like any other open: a unit that the link holds open
// cannot be queried, as with a real bridge.
FT_STATUS CD2xxSimBackend::Open(const std::string &strSerialNumber, bool /*bInfoOnly*/,
                                std::unique_ptr<CD2xxDevice> &device) {
  std::lock_guard lock(m_mutex);
  for (const auto &pReceiver : m_receivers) {
    if (pReceiver->IsPlugged() && pReceiver->GetDeviceInfo().strSerialNumber == strSerialNumber) {
      return pReceiver->OpenPort(device);
    }
  }
  return FT_DEVICE_NOT_FOUND;
}
