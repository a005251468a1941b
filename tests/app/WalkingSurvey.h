#pragma once

// A survey being walked in a view, and the simulated unit's packets handed to the view, for the
// tests of the receiver in view and of leaving safely.
#include "app/TarvexCollectorView.h"
#include "link/ReceiverMessages.h"
#include "platform/SimulatedReceiver.h"
#include "survey/SurveyFiles.h"
#include "survey/SurveyReader.h"

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

// A new survey at strPath on two channels, with a plan of 800 x 600 loaded, segment 1 announced
// from (100, 100) to (500, 100), and its walk begun: levels are recorded from now on.
inline void StartWalking(CTarvexCollectorView &view, const std::string &strPath) {
  view.m_SitePlan.SetPlan(800, 600, {0, 0, 800, 600});
  view.m_pSiteData = std::make_unique<CSiteData>(strPath, CSiteData::modeCreateNew, view.m_SitePlan, SurveyClock());
  const uint32_t codes[] = {8500, 10000};
  view.m_pSiteData->SetChannels(codes, 2);
  view.m_pWalk =
      std::make_unique<CSegmentWalk>(*view.m_pSiteData, view.m_SitePlan, view.m_Projection, &view.m_Run.m_bWalking);
  view.m_Run.m_pSiteData = view.m_pSiteData.get();
  view.m_Run.m_bCollectionOpen = true;
  view.m_Run.m_bProjectionLoaded = true;
  (void)view.m_pWalk->NewSegment();
  (void)view.m_pWalk->SetStartPoint({100, 100});
  (void)view.m_pWalk->SetStopPoint({500, 100});
  (void)view.m_pWalk->Begin();
  view.m_SegmentDialog.SetDlgItemText(IDC_BEGIN_STOP, QString::fromLatin1(CSegmentDataDialog::TEXT_STOP));
}

// The simulated unit, its time moved by hand, its packets handed to the view as its packet
// handling takes them: the collection run first, then the receiver status.
class CUnitFeed {
public:
  explicit CUnitFeed(CTarvexCollectorView &view) : m_view(view), m_pUnit(std::make_shared<CSimulatedReceiver>()) {
    m_pUnit->KeepLog(true);
    DescribeUnit(view.m_Run, m_pUnit->GetIdentity());
  }

  CSimulatedReceiver &Unit() { return *m_pUnit; }

  // Lets nMs of the unit's time pass and hands every payload sent meanwhile to the view.
  void Advance(uint32_t nMs) {
    m_pUnit->Advance(nMs);
    const std::vector<std::vector<uint8_t>> payloads = m_pUnit->SentPayloads();
    for (; m_nHanded < payloads.size(); ++m_nHanded) {
      const std::vector<uint8_t> &payload = payloads[m_nHanded];
      const auto nLength = static_cast<uint32_t>(payload.size());
      m_view.m_Run.OnReceiverPacket(payload.data(), nLength);
      m_view.m_ReceiverStatus.OnPacket(payload.data(), nLength);
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
