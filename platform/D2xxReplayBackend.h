#pragma once

#include "platform/D2xxBackend.h"
#include "platform/StreamRecording.h"

#include <memory>
#include <string>

// The backend "replay": one listed device that plays back a recorded session (see
// StreamRecording.h) from the moment it is opened, at the recorded pace or as fast as possible.
// Whatever the host writes is accepted and dropped: the answers are in the recording.
class CD2xxReplayBackend : public CD2xxBackend {
public:
  static constexpr const char *REPLAY_SERIAL_NUMBER = "REPLAY";

  // Loads the recording; raises as LoadRecording does. Without arrival times, or with
  // bAsFastAsPossible, every byte is there as soon as the device is opened.
  CD2xxReplayBackend(const std::string &strPath, bool bAsFastAsPossible);

  std::string GetName() const override { return "replay"; }
  bool ListDevices(std::vector<_d2xxdeviceinfo> &devices) override;
  FT_STATUS Open(const std::string &strSerialNumber, bool bInfoOnly, std::unique_ptr<CD2xxDevice> &device) override;

private:
  std::shared_ptr<const _recording> m_pRecording;
  bool m_bAsFastAsPossible;
  _d2xxdeviceinfo m_info;
};
