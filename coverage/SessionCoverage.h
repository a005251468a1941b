#pragma once

#include "coverage/ChunkedList.h"
#include "coverage/Coverage.h"
#include "quality/QualityRecord.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CSurveySession;

// The coverage of the survey a session has open, kept up to date while it is walked: what the
// window shows over the plan.
//
// When a survey is opened (or the channel, the settings or the plan change) the coverage of the
// channel shown is computed afresh from the survey file, leaving out the segments its quality
// side file says do not count. The segment being walked comes from the session's listener as it
// is recorded: its points and the survey clock at BEGIN, each level message with its arrival
// time, its final header at STOP. Its levels are kept until STOP has saved them in the file, so
// that a coverage computed afresh meanwhile (new settings, another channel) still holds them.
//
// Levels only mark their bins: Update recomputes the cells around them, so whoever shows the
// coverage decides how often that happens (pfnChanged says that there is something to update).
// With nothing shown nothing is computed, but the walk is still followed.
class CSessionCoverage {
public:
  explicit CSessionCoverage(CSurveySession &session);
  ~CSessionCoverage();
  CSessionCoverage(const CSessionCoverage &) = delete;
  CSessionCoverage &operator=(const CSessionCoverage &) = delete;

  // The channel shown: 0 (none), 1 or 2. Another channel is computed afresh.
  void Show(uint16_t nChannel);
  uint16_t Shown() const { return m_nShown; }
  // Settings that CoverageSettingsProblem finds sound; the coverage is computed afresh with them.
  void UseSettings(const _coveragesettings &settings);
  const _coveragesettings &Settings() const { return m_settings; }
  // The session's projection now has a plan of nWidth x nHeight pixels (0 x 0: none): computed
  // afresh.
  void UsePlan(int nWidth, int nHeight);
  // Why the coverage of the plan cannot be computed with settings (CoverageGridProblem, or the
  // projection places nothing), or "".
  std::string PlanProblem(const _coveragesettings &settings) const;
  // The segments that do not count by record are left out from now on, the others put back.
  void FollowQuality(const _qualityrecord &record);

  // Called whenever levels, a walk's end or a fresh computation wait for Update.
  void OnChange(std::function<void()> pfnChanged) { m_pfnChanged = std::move(pfnChanged); }
  // Recomputes the cells around what changed; returns them, of the channel shown.
  std::vector<_cellrect> Update();
  // The coverage of the channel shown as of the last Update; null when nothing is shown, no
  // survey is open, no plan is loaded or the plan cannot take the grid.
  const CCoverage *Coverage() const { return m_pCoverage.get(); }
  // Grows each time the coverage is computed afresh: whatever was drawn of it is to be redrawn.
  uint64_t Generation() const { return m_nGeneration; }
  // The frequency code of a channel: the one the survey records now, or the one of its last
  // record in the file; 0 when neither is known.
  uint32_t FrequencyOf(uint16_t nChannel) const;
  // What the operator may be told of the last computation (a damaged survey, a side file that is
  // ignored), one sentence each; taken once.
  std::vector<std::string> TakeNotes();

private:
  // One level message of the segment being walked; its levels follow those of the messages
  // before it in m_walk.levels. Eight bytes: a walk of hours keeps hundreds of thousands.
  struct _message {
    int32_t nArrivalMs = 0; // after BEGIN
    uint16_t nCount = 0;
    uint8_t nChannel = 0;
  };
  // The segment being walked, or walked last and not yet saved. Its levels take a byte each, as
  // the receiver sends them (a walk of 30 minutes at the line's top rate keeps about 1.5 million
  // of them).
  struct _walk {
    uint32_t nSegment = 0; // 0: none
    _planpointd start;
    _planpointd stop;
    int64_t nBeginMs = 0;
    CChunkedList<int8_t> levels;
    CChunkedList<_message> messages;
    bool bStopped = false;
    _segmentheader header; // as STOP left it
    int64_t nStopMs = 0;
  };

  void OnOpened(const std::string &strPath);
  void OnClosed();
  void OnBegun(int32_t nSegment);
  void OnLevels(int32_t nSegment, int nChannel, const int8_t *pLevels, size_t nCount, int64_t nArrivalMs);
  void OnStopped(int32_t nSegment, bool bSaved);
  // Computes the coverage of the channel shown afresh: the survey file, then the walk.
  void Compute();
  void ReadSurveyFile(CCoverage &coverage);
  void Replay(CCoverage &coverage) const;
  void Changed();

  CSurveySession &m_session;
  int m_nListener = 0;
  uint16_t m_nShown = 0;
  _coveragesettings m_settings;
  int m_nPlanWidth = 0;
  int m_nPlanHeight = 0;
  std::string m_strSurvey; // the open survey's file; empty when none is open
  _qualityrecord m_quality;
  uint32_t m_nSegments = 0; // segments the coverage holds from the file
  std::array<uint32_t, 2> m_fileFrequencies{};
  _walk m_walk;
  std::unique_ptr<CCoverage> m_pCoverage;
  uint64_t m_nGeneration = 0;
  std::vector<std::string> m_notes;
  std::function<void()> m_pfnChanged;
  std::vector<int16_t> m_messageLevels; // one message's levels, as the coverage takes them
};
