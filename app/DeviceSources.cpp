#include "app/DeviceSources.h"

#include "platform/D2xxRegistry.h"
#include "platform/D2xxReplayBackend.h"
#include "platform/D2xxSimBackend.h"

CDeviceSources::CDeviceSources(bool bSimulate, const std::string &strReplayPath) {
  if (!strReplayPath.empty()) {
    D2xxEnableBackend(std::make_shared<CD2xxReplayBackend>(strReplayPath, false));
    m_bReplay = true;
  }
  if (bSimulate) {
    m_pSimulator = std::make_shared<CSimulatedReceiver>();
    m_pSimulator->SetDelivery(SimDelivery::wireSpeed);
    m_pSimulator->StartRealTime();
    D2xxEnableBackend(std::make_shared<CD2xxSimBackend>(m_pSimulator));
  }
}

CDeviceSources::~CDeviceSources() {
  if (m_pSimulator) {
    D2xxDisableBackend("sim");
    m_pSimulator->StopRealTime();
  }
  if (m_bReplay) {
    D2xxDisableBackend("replay");
  }
}
