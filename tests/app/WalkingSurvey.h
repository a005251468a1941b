#pragma once

// A survey being walked in a view, and the simulated unit's packets handed to the view's survey
// session, for the tests of the receiver in view and of leaving safely.
#include "app/TarvexCollectorView.h"
#include "link/ReceiverMessages.h"
#include "platform/SimulatedReceiver.h"
#include "survey/SurveyFiles.h"
#include "survey/SurveyReader.h"
#include "tests/app/ViewDialogs.h"

#include <memory>
#include <string>
#include <vector>

// A survey clock that moves one second on each time it is read, from 10:00:00 on 17 May 2024, so
// that a segment's stop time always lies after its start time.
class CTickingSurveyClock : public CSurveyClock {
public:
  int64_t Now() const override { return BASE + m_nTicks++; }
  bool ToLocalTime(int64_t nTime, _localtime &local) const override {
    const int64_t nSeconds = nTime - BASE;
    local = {2024,
             5,
             17,
             10 + static_cast<int>(nSeconds / 3600),
             static_cast<int>(nSeconds / 60 % 60),
             static_cast<int>(nSeconds % 60)};
    return true;
  }

  // Seconds of the day of a segment's start and stop times.
  static int StartOf(const _segmentheader &header) {
    return header.nStartHour * 3600 + header.nStartMinute * 60 + header.nStartSecond;
  }
  static int StopOf(const _segmentheader &header) {
    return header.nStopHour * 3600 + header.nStopMinute * 60 + header.nStopSecond;
  }

private:
  static constexpr int64_t BASE = 1715940000; // 2024-05-17 10:00:00 UTC
  mutable int64_t m_nTicks = 0;
};

inline CTickingSurveyClock &SurveyClock() {
  static CTickingSurveyClock clock;
  return clock;
}

// The survey at strPath as a reader finds it.
inline _surveycontents ReadSurvey(const std::string &strPath) {
  const auto bytes = LoadSurveyFile(strPath, CFile::shareDenyNone);
  return ParseSurvey(bytes.data(), bytes.size());
}

// The unit's receivers as the view learns them from its description.
inline void DescribeUnit(CCollectionRun &run, const _simidentity &identity = {}) {
  run.m_nReceiverPresence = identity.nPresence;
  for (size_t i = 0; i < 2; ++i) {
    const _simreceiver &sim = identity.receivers[i];
    run.m_Receiver[i] = {sim.nMinChannel, sim.nMaxChannel, sim.nStepRaw, sim.nSpare,
                         static_cast<float>(sim.nStepRaw / 256.0)};
  }
}

// A new survey at strPath on two channels, on the ticking survey clock, with a plan of 800 x 600
// loaded, segment 1 announced from (100, 100) to (500, 100), and its walk begun: levels are
// recorded from now on. False when the survey could not be made or a step was refused.
inline bool StartWalking(CTarvexCollectorView &view, const std::string &strPath) {
  CSurveySession &session = view.Session();
  session.Plan().SetPlan(800, 600, {0, 0, 800, 600});
  session.UseClock(SurveyClock());
  if (!session.Open(strPath, CSiteData::modeCreateNew)) {
    return false;
  }
  const uint32_t codes[] = {8500, 10000};
  session.SiteData()->SetChannels(codes, 2);
  session.Run().m_bProjectionLoaded = true;
  if (!(session.NewSegment() && session.SetStartPoint({100, 100}) && session.SetStopPoint({500, 100}) &&
        session.Begin())) {
    return false;
  }
  ViewDialog<CSegmentDataDialog>(view).SetDlgItemText(IDC_BEGIN_STOP,
                                                      QString::fromLatin1(CSegmentDataDialog::TEXT_STOP));
  return true;
}

// The simulated unit, its time moved by hand, its packets handed to the view's survey session as
// the view's packet handling hands them: the session decodes each, the receiver's pane hears it.
class CUnitFeed {
public:
  explicit CUnitFeed(CTarvexCollectorView &view) : m_view(view), m_pUnit(std::make_shared<CSimulatedReceiver>()) {
    m_pUnit->KeepLog(true);
    DescribeUnit(view.Session().Run(), m_pUnit->GetIdentity());
  }

  CSimulatedReceiver &Unit() { return *m_pUnit; }

  // Lets nMs of the unit's time pass and hands every payload sent meanwhile to the view.
  void Advance(uint32_t nMs) {
    m_pUnit->Advance(nMs);
    const std::vector<std::vector<uint8_t>> payloads = m_pUnit->SentPayloads();
    for (; m_nHanded < payloads.size(); ++m_nHanded) {
      const std::vector<uint8_t> &payload = payloads[m_nHanded];
      const auto nLength = static_cast<uint32_t>(payload.size());
      (void)m_view.Session().OnReceiverPacket(payload.data(), nLength, 0);
      if (payload[0] == MSG_CHANNEL1_LEVELS || payload[0] == MSG_CHANNEL2_LEVELS) {
        m_nLevelsHanded += (nLength - 2) / 2 / 2;
      }
    }
  }

  uint64_t LevelsHanded() const { return m_nLevelsHanded; }

private:
  CTarvexCollectorView &m_view;
  std::shared_ptr<CSimulatedReceiver> m_pUnit;
  size_t m_nHanded = 0;
  uint64_t m_nLevelsHanded = 0;
};
