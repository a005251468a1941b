#pragma once

#include "platform/D2xxBackend.h"
#include "platform/SimulatedReceiver.h"

#include <memory>
#include <mutex>
#include <vector>

// The backend "sim": simulated receivers, listed in the order they were added while they are
// plugged in.
class CD2xxSimBackend : public CD2xxBackend {
public:
  CD2xxSimBackend() = default;
  explicit CD2xxSimBackend(std::shared_ptr<CSimulatedReceiver> pReceiver) { AddReceiver(std::move(pReceiver)); }

  void AddReceiver(std::shared_ptr<CSimulatedReceiver> pReceiver);

  std::string GetName() const override { return "sim"; }
  bool ListDevices(std::vector<_d2xxdeviceinfo> &devices) override;
  FT_STATUS Open(const std::string &strSerialNumber, bool bInfoOnly, std::unique_ptr<CD2xxDevice> &device) override;

private:
  std::mutex m_mutex;
  std::vector<std::shared_ptr<CSimulatedReceiver>> m_receivers;
};
