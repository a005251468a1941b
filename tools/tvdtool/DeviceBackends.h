#pragma once

#include "platform/SimulatedReceiver.h"

#include <memory>
#include <string>

// The device sources a tvdtool command uses besides the serial ports: a simulated receiver or a
// recorded session. They are enabled for the life of this object.
class CDeviceBackends {
public:
  struct _options {
    bool bSimulate = false;
    // The simulated receiver to list; when empty and bSimulate is set, a default one.
    std::shared_ptr<CSimulatedReceiver> pSimulator;
    std::string strReplayPath; // a recording of 'tvdtool monitor --record'
    bool bReplayAsFastAsPossible = false;
  };

  // Raises std::runtime_error (or CFileException) when the recording cannot be loaded.
  explicit CDeviceBackends(const _options &options);
  CDeviceBackends(const CDeviceBackends &) = delete;
  CDeviceBackends &operator=(const CDeviceBackends &) = delete;
  ~CDeviceBackends();

  const std::shared_ptr<CSimulatedReceiver> &GetSimulator() const { return m_pSimulator; }
  // The serial number to use when none is named: the simulated unit's or the recording's.
  std::string PreferredSerialNumber() const;

private:
  std::shared_ptr<CSimulatedReceiver> m_pSimulator;
  bool m_bReplay = false;
};
