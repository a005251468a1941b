#pragma once

#include "quality/GapWatch.h"
#include "quality/QualityRecord.h"
#include "quality/QualitySettings.h"
#include "quality/SegmentChecks.h"
#include "survey/SegmentWalk.h"
#include "survey/SurveyReader.h"
#include "survey/SurveySession.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What STOP found of the segment just walked.
struct _stopcheck {
  uint32_t nSegment = 0;
  bool bChecked = false;   // the segment was read back from the file and checked
  bool bPassed = false;    // and passed every check
  std::string strSentence; // "Segment 7 passed", "Segment 7: 6.2 s without levels ...", or why it was not checked
  std::string strProblem;  // the side file could not be written: why; empty otherwise
  uint32_t nReplaced = 0;  // the segment it was walked again for and now replaces; 0 when none
};

// How a segment of the open survey stands.
enum class SegmentStanding {
  passed,   // it counts and passed its checks
  flagged,  // it counts, and a check flagged it
  replaced, // walked again: another segment takes its place
  excluded, // the surveyor left it out
};

// The checks of the open survey, following its session: the one place where the gap watch is fed
// (BEGIN, every level message recorded, STOP, all on the survey clock), where each segment is
// checked at STOP, and where the quality side file is kept in step with the survey:
//   - a survey opened: its side file is read (ignored, with a note, when it belongs to another
//     survey) and every segment checked;
//   - a survey created: the side file left by an old survey of that name is removed;
//   - STOP: the gaps watched are recorded, a segment walked again replaces the old one, the side
//     file is written and the segment checked (LastStop);
//   - a copy saved (Save a Copy, the rescue): the side file goes along with it;
//   - a new survey or a copy named as a side file is refused.
// The window and tvdtool simulate each make one for their session; it removes itself from the
// session when it goes. Not thread-safe: it runs on the session's thread.
class CSurveyQuality {
public:
  explicit CSurveyQuality(CSurveySession &session, const _qualitysettings &settings = {});
  ~CSurveyQuality();
  CSurveyQuality(const CSurveyQuality &) = delete;
  CSurveyQuality &operator=(const CSurveyQuality &) = delete;

  // Called after what is known changed: a survey opened or closed, a segment stopped and checked
  // (pfnStopChecked, then pfnChanged), a segment excluded or included.
  struct _callbacks {
    std::function<void()> pfnChanged;
    std::function<void(const _stopcheck &)> pfnStopChecked;
  };
  void SetCallbacks(_callbacks callbacks) { m_callbacks = std::move(callbacks); }

  // ---- What is known of the open survey (nothing while none is open) ----
  bool IsOpen() const { return !m_strPath.empty(); }
  const std::string &SurveyPath() const { return m_strPath; }
  // The survey as it was read last (at its opening and after each STOP), with its levels.
  const _surveycontents &Contents() const { return m_contents; }
  const _qualityrecord &Record() const { return m_record; }
  const _surveyquality &Quality() const { return m_quality; }
  // What was noted of the side file since the survey was opened: ignored, not found again,
  // could not be written. Each a sentence naming the file.
  const std::vector<std::string> &Notes() const { return m_notes; }
  const _stopcheck &LastStop() const { return m_lastStop; }
  // The segments read, and the checks of segment nSegment (1-based); nullptr when it is not read.
  uint32_t SegmentCount() const { return static_cast<uint32_t>(m_contents.segments.size()); }
  const _segmentquality *Checks(uint32_t nSegment) const;
  SegmentStanding Standing(uint32_t nSegment) const;
  // The segment the announced one is walked again for; 0 when it is a new segment.
  uint32_t WalkingAgainFor() const { return m_nAgainOld; }

  // ---- The surveyor's decisions ----
  // Walk again: announces a new segment (New Segment) with segment nSegment's start and stop
  // points; after its STOP it replaces nSegment. Refused, saying why, while walking, for a
  // segment that is not in the survey, or for one already walked again.
  _walkresult WalkAgain(uint32_t nSegment);
  // Exclude (bExcluded) or Include segment nSegment: the side file says so. Returns why it could
  // not be written, or an empty string.
  std::string SetExcluded(uint32_t nSegment, bool bExcluded);

private:
  void OnOpened(const _sessionlistener::_opened &opened);
  void OnClosed();
  void OnBegun(int32_t nSegment);
  void OnStopped(const _sessionlistener::_stopped &stopped);
  std::string OnCopied(const _sessionlistener::_copied &copied) const;
  // Reads the open survey again and checks every segment; false, with why in strWhy, when it
  // cannot be read.
  bool Reread(std::string &strWhy);
  void Check();
  // Records the walk of segment nSegment that STOP saved, and what it replaces; writes the side file.
  _stopcheck Record(uint32_t nSegment, const _walkgaps &walk);
  // Writes the side file; why it could not be, or empty (noted as well).
  std::string Write();
  void Changed() const;

  CSurveySession &m_session;
  _qualitysettings m_settings;
  int m_nListener = 0;
  _callbacks m_callbacks;
  std::unique_ptr<CGapWatch> m_pWatch; // a new one for each survey: it remembers the channels it heard
  std::string m_strPath;               // of the open survey; empty while none is open
  _surveycontents m_contents;
  _qualityrecord m_record;
  _surveyquality m_quality;
  std::vector<std::string> m_notes;
  _stopcheck m_lastStop;
  uint32_t m_nAgainOld = 0; // Walk again: the segment to be replaced ...
  uint32_t m_nAgainNew = 0; // ... by the segment announced for it
  bool m_bUnsaved = false;  // STOP could not save the segment: its gaps wait for RetrySave
  uint32_t m_nUnsaved = 0;
  _walkgaps m_unsavedWalk;
};
