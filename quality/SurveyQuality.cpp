#include "quality/SurveyQuality.h"

#include "platform/File.h"
#include "platform/FileException.h"
#include "quality/QualityFile.h"
#include "survey/SiteData.h"

#include <cctype>

namespace {

std::string SegmentText(uint32_t nSegment) { return "Segment " + std::to_string(nSegment); }

bool SamePoints(const _segmentheader &a, const _segmentheader &b) {
  return a.nStartX == b.nStartX && a.nStartY == b.nStartY && a.nStopX == b.nStopX && a.nStopY == b.nStopY;
}

_walkresult Refused(std::string strReason) {
  _walkresult result;
  result.bDone = false;
  result.strReason = std::move(strReason);
  return result;
}

// The survey at strPath as a reader finds it now, with its levels. It is read without shutting
// out its writer, which is the session itself.
_surveycontents ReadSurvey(const std::string &strPath) {
  const std::vector<uint8_t> bytes = LoadSurveyFile(strPath, CFile::shareDenyNone);
  return ParseSurvey(bytes.data(), bytes.size());
}

} // namespace

CSurveyQuality::CSurveyQuality(CSurveySession &session, const _qualitysettings &settings)
    : m_session(session), m_settings(settings), m_pWatch(std::make_unique<CGapWatch>(settings)) {
  _sessionlistener listener;
  listener.pfnOpened = [this](const _sessionlistener::_opened &opened) { OnOpened(opened); };
  listener.pfnClosed = [this](const std::string &) { OnClosed(); };
  listener.pfnBegun = [this](int32_t nSegment) { OnBegun(nSegment); };
  listener.pfnLevels = [this](const _sessionlistener::_levels &levels) {
    m_pWatch->Levels(static_cast<uint16_t>(levels.nChannel), static_cast<uint32_t>(levels.levels.size()),
                     levels.nArrivalMs);
  };
  listener.pfnStopped = [this](const _sessionlistener::_stopped &stopped) { OnStopped(stopped); };
  listener.pfnCopied = [this](const _sessionlistener::_copied &copied) { return OnCopied(copied); };
  listener.pfnCheckOutput = [](const std::string &strPath) {
    const std::string problem = QualityFileNameProblem(strPath);
    return problem.empty() ? problem : problem + ".";
  };
  m_nListener = m_session.AddListener(std::move(listener));
  if (const CSiteData *pSurvey = m_session.SiteData()) {
    OnOpened({pSurvey->m_strPath, pSurvey->GetSegmentsRead(), false}); // made for a survey open already
  }
}

CSurveyQuality::~CSurveyQuality() { m_session.RemoveListener(m_nListener); }

const _segmentquality *CSurveyQuality::Checks(uint32_t nSegment) const {
  if (nSegment == 0 || nSegment > m_quality.segments.size()) {
    return nullptr;
  }
  return &m_quality.segments[nSegment - 1];
}

SegmentStanding CSurveyQuality::Standing(uint32_t nSegment) const {
  const auto it = m_record.entries.find(nSegment);
  if (it != m_record.entries.end() && it->second.nReplacedBy != 0) {
    return SegmentStanding::replaced;
  }
  if (it != m_record.entries.end() && it->second.bExcluded) {
    return SegmentStanding::excluded;
  }
  const _segmentquality *pChecks = Checks(nSegment);
  return pChecks != nullptr && !pChecks->Passed() ? SegmentStanding::flagged : SegmentStanding::passed;
}

void CSurveyQuality::OnOpened(const _sessionlistener::_opened &opened) {
  OnClosed();
  m_strPath = opened.strPath;
  if (opened.bCreated) {
    // A new survey never inherits what was said of an old one of the same name.
    try {
      (void)RemoveQualityFile(m_strPath);
    } catch (const CFileException &failure) {
      m_notes.push_back(failure.GetErrorMessage());
    }
  }
  std::string strWhy;
  if (!Reread(strWhy)) {
    m_notes.push_back(strWhy);
    return;
  }
  const _qualityload load = LoadQualityFile(m_strPath, m_contents);
  m_record = load.record;
  m_notes.insert(m_notes.end(), load.notes.begin(), load.notes.end());
  Check();
  Changed();
}

void CSurveyQuality::OnClosed() {
  const bool bWasOpen = IsOpen();
  m_strPath.clear();
  m_contents = {};
  m_record = {};
  m_quality = {};
  m_notes.clear();
  m_lastStop = {};
  m_nAgainOld = m_nAgainNew = 0;
  m_bUnsaved = false;
  m_pWatch = std::make_unique<CGapWatch>(m_settings); // nothing of the last survey's walks
  if (bWasOpen) {
    Changed();
  }
}

void CSurveyQuality::OnBegun(int32_t nSegment) {
  m_pWatch->Begin(m_session.Clock().NowMs());
  if (static_cast<uint32_t>(nSegment) != m_nAgainNew) {
    m_nAgainOld = m_nAgainNew = 0; // a segment of its own, not one walked again
  }
}

void CSurveyQuality::OnStopped(const _sessionlistener::_stopped &stopped) {
  const auto nSegment = static_cast<uint32_t>(stopped.nSegment);
  _walkgaps walk;
  if (stopped.nCause == StopCause::retried) {
    if (!m_bUnsaved || m_nUnsaved != nSegment) {
      return;
    }
    walk = m_unsavedWalk;
  } else {
    walk = m_pWatch->Stop(m_session.Clock().NowMs());
  }
  m_bUnsaved = !stopped.bSaved;
  if (m_bUnsaved) {
    // What was watched waits with the levels for RetrySave.
    m_nUnsaved = nSegment;
    m_unsavedWalk = walk;
    return;
  }
  m_lastStop = Record(nSegment, walk);
  if (m_callbacks.pfnStopChecked) {
    m_callbacks.pfnStopChecked(m_lastStop);
  }
  Changed();
}

_stopcheck CSurveyQuality::Record(uint32_t nSegment, const _walkgaps &walk) {
  _stopcheck stop;
  stop.nSegment = nSegment;
  std::string strWhy;
  if (!Reread(strWhy) || nSegment == 0 || nSegment > m_contents.segments.size()) {
    stop.strSentence =
        SegmentText(nSegment) + " could not be checked: " + (strWhy.empty() ? "it is not in the survey file." : strWhy);
    m_nAgainOld = m_nAgainNew = 0;
    return stop;
  }
  const _segmentheader &header = m_contents.segments[nSegment - 1].header;
  RecordWalk(m_record, nSegment, header, walk);
  if (m_nAgainOld != 0 && m_nAgainNew == nSegment && m_nAgainOld < nSegment) {
    // Walked again over the same points: the new segment takes the old one's place.
    const _segmentheader &old = m_contents.segments[m_nAgainOld - 1].header;
    if (SamePoints(old, header)) {
      RecordReplacement(m_record, m_nAgainOld, old, nSegment, header);
      stop.nReplaced = m_nAgainOld;
    }
  }
  m_nAgainOld = m_nAgainNew = 0;
  stop.strProblem = Write();
  Check();
  const _segmentquality &checks = m_quality.segments[nSegment - 1];
  stop.bChecked = true;
  stop.bPassed = checks.Passed();
  stop.strSentence = QualitySentence(checks);
  return stop;
}

std::string CSurveyQuality::OnCopied(const _sessionlistener::_copied &copied) const {
  try {
    const _qualitycarry carry =
        CarryQualityFile(copied.strFrom, ReadSurvey(copied.strFrom), copied.strTo, ReadSurvey(copied.strTo));
    if (carry.strDone.empty()) {
      return {};
    }
    std::string strDone = carry.strDone;
    strDone[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(strDone[0])));
    return strDone;
  } catch (const CFileException &failure) {
    return "The quality side file did not go along with it: " + failure.GetErrorMessage();
  }
}

_walkresult CSurveyQuality::WalkAgain(uint32_t nSegment) {
  if (!IsOpen() || nSegment == 0 || nSegment > m_contents.segments.size()) {
    return Refused(SegmentText(nSegment) + " is not in the survey file: there is nothing to walk again.");
  }
  if (m_session.IsWalking()) {
    return Refused("A segment is being walked: press STOP ! first, then walk " + SegmentText(nSegment) + " again.");
  }
  const auto entry = m_record.entries.find(nSegment);
  if (entry != m_record.entries.end() && entry->second.nReplacedBy != 0) {
    const std::string strBy = SegmentText(entry->second.nReplacedBy);
    return Refused(SegmentText(nSegment) + " was walked again as " + strBy + ": walk " + strBy + " again instead.");
  }
  const _segmentheader &old = m_contents.segments[nSegment - 1].header;
  _walkresult result = m_session.NewSegment();
  if (result) {
    result = m_session.SetStartPoint({old.nStartX, old.nStartY});
  }
  if (result) {
    result = m_session.SetStopPoint({old.nStopX, old.nStopY});
  }
  if (result) {
    m_nAgainOld = nSegment;
    m_nAgainNew = static_cast<uint32_t>(m_session.Walk()->GetSegment());
  }
  return result;
}

std::string CSurveyQuality::SetExcluded(uint32_t nSegment, bool bExcluded) {
  if (!IsOpen() || nSegment == 0 || nSegment > m_contents.segments.size()) {
    return SegmentText(nSegment) + " is not in the survey file.";
  }
  ::SetExcluded(m_record, nSegment, m_contents.segments[nSegment - 1].header, bExcluded);
  std::string strProblem = Write();
  Check(); // the survey's medians are those of the segments that count
  Changed();
  return strProblem;
}

bool CSurveyQuality::Reread(std::string &strWhy) {
  try {
    m_contents = ReadSurvey(m_strPath);
    return true;
  } catch (const CFileException &failure) {
    strWhy = failure.GetErrorMessage();
    return false;
  }
}

void CSurveyQuality::Check() {
  const CSiteProjection *pProjection = m_session.Run().m_bProjectionLoaded ? &m_session.Projection() : nullptr;
  m_quality = CheckSurvey(m_contents, pProjection, m_record, m_settings);
}

std::string CSurveyQuality::Write() {
  m_record.nSurveyCreated = m_contents.header.nCreated;
  try {
    WriteQualityFile(m_strPath, m_record);
    return {};
  } catch (const CFileException &failure) {
    m_notes.push_back(failure.GetErrorMessage());
    return failure.GetErrorMessage();
  }
}

void CSurveyQuality::Changed() const {
  if (m_callbacks.pfnChanged) {
    m_callbacks.pfnChanged();
  }
}
