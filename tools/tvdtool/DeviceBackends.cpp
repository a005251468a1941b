#include "tools/tvdtool/DeviceBackends.h"

#include "platform/D2xxRegistry.h"
#include "platform/D2xxReplayBackend.h"
#include "platform/D2xxSimBackend.h"

CDeviceBackends::CDeviceBackends(const _options &options) {
  if (!options.strReplayPath.empty()) {
    D2xxEnableBackend(std::make_shared<CD2xxReplayBackend>(options.strReplayPath, options.bReplayAsFastAsPossible));
    m_bReplay = true;
  }
  if (options.bSimulate) {
    m_pSimulator = options.pSimulator ? options.pSimulator : std::make_shared<CSimulatedReceiver>();
    D2xxEnableBackend(std::make_shared<CD2xxSimBackend>(m_pSimulator));
  }
}

CDeviceBackends::~CDeviceBackends() {
  if (m_pSimulator) {
    D2xxDisableBackend("sim");
  }
  if (m_bReplay) {
    D2xxDisableBackend("replay");
  }
}

std::string CDeviceBackends::PreferredSerialNumber() const {
  if (m_pSimulator) {
    return m_pSimulator->GetDeviceInfo().strSerialNumber;
  }
  return m_bReplay ? CD2xxReplayBackend::REPLAY_SERIAL_NUMBER : "";
}
