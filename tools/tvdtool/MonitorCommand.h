#pragma once

#include "tools/tvdtool/DeviceBackends.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

struct _monitoroptions {
  CDeviceBackends::_options backends;
  std::string strDevice;     // serial number; empty: the simulated unit, the recording, or the first listed
  std::string strRecordPath; // where to record the raw byte stream; empty: no recording
  double dSeconds = 0.0;     // how long to watch after the open; 0: until interrupted
  uint64_t nMaxPackets = 0;  // stop after this many packets; 0: no limit
  bool bJson = false;
  double dSimulatorSpeed = 1.0; // simulated milliseconds per real one
  int nSimulatorChannels = 2;
  std::function<bool()> pfnInterrupted; // polled; true ends the watch
};

// Opens a device through the receiver link at 38400 baud, asks for the serial number, asks for
// the receiver description when the serial number arrives, and prints every message as it comes:
// one readable line (or JSON object) per packet on out, progress and problems on err. With a
// simulated receiver, the unit is put in measurement mode once it has described itself.
// Returns the exit status. An out that fails ends the watch, which then raises COutputFailed.
int RunMonitor(const _monitoroptions &options, std::ostream &out, std::ostream &err);
