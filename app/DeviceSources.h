#pragma once

#include "platform/SimulatedReceiver.h"

#include <memory>
#include <string>

// The receivers the collector finds besides those on the serial ports: a simulated receiver
// (--simulate), running in real time, and a recorded session (--replay). They are listed by the
// device layer for the life of this object.
class CDeviceSources {
public:
  // Raises std::runtime_error (or CFileException) naming the file when the recording cannot be
  // loaded; nothing is then enabled.
  CDeviceSources(bool bSimulate, const std::string &strReplayPath);
  ~CDeviceSources();
  CDeviceSources(const CDeviceSources &) = delete;
  CDeviceSources &operator=(const CDeviceSources &) = delete;

  // The simulated receiver, for a panel that plays its front panel; null without --simulate.
  const std::shared_ptr<CSimulatedReceiver> &GetSimulator() const { return m_pSimulator; }

private:
  std::shared_ptr<CSimulatedReceiver> m_pSimulator;
  bool m_bReplay = false;
};
