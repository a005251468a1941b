// The survey session: its parts, and the life of the open survey (open, create, continue,
// replace, close, copy, give up, rescue).
#include "survey/SurveySession.h"

#include "platform/FileException.h"
#include "platform/FileIdentity.h"
#include "survey/SurveyContinue.h"
#include "survey/SurveyFiles.h"
#include "survey/SurveyReader.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>

namespace {

// The operator's sentences of the survey's life.
constexpr const char *SESSION_TEXT_OPEN_NOW = " is the survey open now. Choose another name for the new survey.";
constexpr const char *SESSION_TEXT_IS_PROJECTION = " is the projection loaded now";
constexpr const char *SESSION_TEXT_IS_SIDE_FILE = " is a side file of the projection loaded now, ";
constexpr const char *SESSION_TEXT_IS_BACKUP = " is a backup of the open survey ";
constexpr const char *SESSION_TEXT_WOULD_OVERWRITE =
    ": the new survey would overwrite it. Choose another name for the new survey.";
constexpr const char *SESSION_BACKUP_SUFFIX = ".bak";
constexpr const char *SESSION_TEXT_REPAIRED = " was repaired: ";
constexpr const char *SESSION_TEXT_NOTHING_OPEN = "No survey is open: there is nothing to copy.";
constexpr const char *SESSION_TEXT_COPY_SAVED = "A sound copy of the whole survey was saved as ";
constexpr const char *SESSION_TEXT_NO_COPY = "No copy could be saved either (";
constexpr const char *SESSION_TEXT_LOST = "); what was not written is lost.";
constexpr const char *SESSION_RESCUE_SUFFIX = ".tvd";

_sessionresult Result(_sessionresult::Outcome nOutcome, std::string strSentence = {}) {
  _sessionresult result;
  result.nOutcome = nOutcome;
  result.strSentence = std::move(strSentence);
  return result;
}

// "YYYYMMDD-HHMMSS" of now on clock, for the name of a rescued copy.
std::string Stamp(const CSurveyClock &clock) {
  _localtime local;
  if (!clock.ToLocalTime(clock.Now(), local)) {
    return std::to_string(clock.Now());
  }
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", local.nYear, local.nMonth, local.nDay, local.nHour,
                local.nMinute, local.nSecond);
  return text;
}

std::string Quoted(const std::string &path) { return "\"" + path + "\""; }

// Whether strPath names one of the backups FreeBackupName gives the survey at strSurvey: its
// path + ".bak", + ".2.bak", + ".3.bak", ...
bool IsBackupOf(const std::string &strPath, const std::string &strSurvey) {
  const std::string strFile = ResolvedPath(strPath);
  const std::string strOf = ResolvedPath(strSurvey);
  if (strFile.size() <= strOf.size() || strFile.compare(0, strOf.size(), strOf) != 0) {
    return false;
  }
  const std::string strRest = strFile.substr(strOf.size()); // ".bak", or "." NUMBER ".bak"
  const std::string strSuffix = SESSION_BACKUP_SUFFIX;
  if (strRest == strSuffix) {
    return true;
  }
  if (strRest.size() < strSuffix.size() + 2 || strRest.front() != '.' ||
      strRest.compare(strRest.size() - strSuffix.size(), strSuffix.size(), strSuffix) != 0) {
    return false;
  }
  const std::string strNumber = strRest.substr(1, strRest.size() - 1 - strSuffix.size());
  return std::all_of(strNumber.begin(), strNumber.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

CSurveySession::CSurveySession(_collectioncallbacks callbacks, const CSurveyClock &clock)
    : m_pClock(&clock), m_Run(SessionCallbacks(std::move(callbacks))), m_pfnDecode(DecodeReceiverMessage) {}

CSurveySession::~CSurveySession() { Drop(false); }

bool CSurveySession::HasChannelsToRecord() const {
  return m_pSiteData != nullptr && m_pSiteData->GetChannelCount() > 0 &&
         (m_Run.IsChannelValid(1) || m_Run.IsChannelValid(2));
}

bool CSurveySession::IsOpenSurvey(const std::string &path) const {
  if (m_pSiteData == nullptr) {
    return false;
  }
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path chosen = fs::absolute(path, error).lexically_normal();
  const fs::path open = fs::absolute(m_pSiteData->m_strPath, error).lexically_normal();
  return chosen == open || fs::equivalent(path, m_pSiteData->m_strPath, error);
}

_sessionresult CSurveySession::CheckFree(const std::string &path) const {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    return Result(_sessionresult::done);
  }
  CFile probe;
  CFileException failure(CFileException::none, {}, {});
  if (probe.Open(path, CFile::modeRead | CFile::shareExclusive, &failure)) {
    probe.Abort();
    return Result(_sessionresult::done);
  }
  if (failure.m_cause != CFileException::sharingViolation) {
    return Result(_sessionresult::done); // the open itself says what is wrong
  }
  return Result(_sessionresult::refused, failure.GetErrorMessage());
}

_sessionresult CSurveySession::CheckNewSurveyName(const std::string &path) const {
  if (IsOpenSurvey(path)) {
    return Result(_sessionresult::refused, path + SESSION_TEXT_OPEN_NOW);
  }
  if (const std::string &strProjection = m_Projection.m_strPath; !strProjection.empty()) {
    if (IsSameFile(path, strProjection)) {
      return Result(_sessionresult::refused, Quoted(path) + SESSION_TEXT_IS_PROJECTION + SESSION_TEXT_WOULD_OVERWRITE);
    }
    const std::vector<std::string> sideFiles = {strProjection + "c", strProjection + "b",
                                                m_Projection.SideFilePath(strProjection, 'c'),
                                                m_Projection.SideFilePath(strProjection, 'b')};
    if (FindSameFile(path, sideFiles)) {
      return Result(_sessionresult::refused,
                    Quoted(path) + SESSION_TEXT_IS_SIDE_FILE + Quoted(strProjection) + SESSION_TEXT_WOULD_OVERWRITE);
    }
  }
  if (m_pSiteData != nullptr && IsBackupOf(path, m_pSiteData->m_strPath)) {
    return Result(_sessionresult::refused, Quoted(path) + SESSION_TEXT_IS_BACKUP + Quoted(m_pSiteData->m_strPath) +
                                               SESSION_TEXT_WOULD_OVERWRITE);
  }
  for (const auto &pfnRule : m_nameRules) {
    if (const std::string problem = pfnRule(path); !problem.empty()) {
      return Result(_sessionresult::refused, problem + ".");
    }
  }
  if (std::string problem = OutputProblem(path); !problem.empty()) {
    return Result(_sessionresult::refused, std::move(problem));
  }
  return Result(_sessionresult::done);
}

_sessionresult CSurveySession::Open(const std::string &path, int nMode) {
  if (nMode == CSiteData::modeCreateNew) {
    if (_sessionresult name = CheckNewSurveyName(path); !name) {
      return name;
    }
  }
  const bool bOpenNow = IsOpenSurvey(path);
  // A survey that another program holds is refused before the open one is given up for it.
  if (!bOpenNow) {
    if (_sessionresult free = CheckFree(path); !free) {
      return free;
    }
  }
  if (_sessionresult closed = Close(); !closed) {
    return closed;
  }
  try {
    Adopt(std::make_unique<CSiteData>(path, nMode, m_SitePlan, *m_pClock), nMode == CSiteData::modeCreateNew);
    return Result(_sessionresult::done);
  } catch (const CFileException &failure) {
    const bool bDamaged =
        failure.m_cause == CFileException::invalidFile || failure.m_cause == CFileException::endOfFile;
    _sessionresult result = Result(_sessionresult::failed, failure.GetErrorMessage());
    if (nMode != CSiteData::modeOpenExisting || !bDamaged) {
      return result;
    }
    // A walk cut off by a crash or a flat battery can be repaired; any other damage is refused
    // with the reason, which names the repair tool where a repair can help.
    try {
      const std::vector<uint8_t> bytes = LoadSurveyFile(path, CFile::shareDenyWrite);
      const _surveyassessment assessment = AssessSurvey(bytes.data(), bytes.size());
      if (assessment.state == SurveyState::continuable) {
        result.nOutcome = _sessionresult::continuable;
        result.strInterrupted = assessment.strDescription;
        result.strBackupPath = FreeBackupName(path);
      }
    } catch (const CFileException &) {
      // It cannot even be read: the failure above says why.
    }
    return result;
  }
}

_sessionresult CSurveySession::Continue(const std::string &path) {
  if (_sessionresult closed = Close(); !closed) {
    return closed;
  }
  try {
    const _surveycontinuation continuation = ContinueSurvey(path);
    Adopt(std::make_unique<CSiteData>(path, CSiteData::modeOpenExisting, m_SitePlan, *m_pClock), false);
    return Result(_sessionresult::done, path + SESSION_TEXT_REPAIRED + continuation.strDescription + ".");
  } catch (const CFileException &failure) {
    return Result(_sessionresult::failed, failure.GetErrorMessage());
  }
}

_sessionresult CSurveySession::Close() {
  if (m_pSiteData == nullptr) {
    return Result(_sessionresult::done);
  }
  try {
    m_pSiteData->Close();
  } catch (const CFileException &failure) {
    return Result(_sessionresult::failed, failure.GetErrorMessage());
  }
  Drop(true);
  return Result(_sessionresult::done);
}

void CSurveySession::Discard() { Drop(true); }

_sessionresult CSurveySession::SaveCopy(const std::string &path) const {
  if (m_pSiteData == nullptr) {
    return Result(_sessionresult::refused, SESSION_TEXT_NOTHING_OPEN);
  }
  if (std::string problem = OutputProblem(path); !problem.empty()) {
    return Result(_sessionresult::refused, std::move(problem));
  }
  try {
    m_pSiteData->SaveCopyAs(path);
  } catch (const CFileException &failure) {
    return Result(_sessionresult::failed, failure.GetErrorMessage());
  }
  std::string strSentence = SESSION_TEXT_COPY_SAVED + path + ".";
  // What the listeners keep beside the survey goes along with the copy.
  const _sessionlistener::_copied copied{m_pSiteData->m_strPath, path};
  for (size_t i = 0; i < m_listeners.size(); ++i) {
    const auto pfnCopied = m_listeners[i].second.pfnCopied; // a copy: a listener may add another
    if (pfnCopied) {
      if (const std::string strDone = pfnCopied(copied); !strDone.empty()) {
        strSentence += " " + strDone;
      }
    }
  }
  return Result(_sessionresult::done, std::move(strSentence));
}

std::string CSurveySession::OutputProblem(const std::string &path) const {
  for (size_t i = 0; i < m_listeners.size(); ++i) {
    const auto pfnCheck = m_listeners[i].second.pfnCheckOutput;
    if (pfnCheck) {
      if (std::string problem = pfnCheck(path); !problem.empty()) {
        return problem;
      }
    }
  }
  return {};
}

_sessionresult CSurveySession::Rescue(const std::string &strFolder) {
  if (m_pSiteData == nullptr) {
    return Result(_sessionresult::done);
  }
  // The second try: a file another program held for a moment.
  _sessionresult closed = Close();
  if (!closed) {
    closed = Close();
  }
  if (closed) {
    return closed;
  }
  const std::filesystem::path survey(m_pSiteData->m_strPath);
  const std::string strCopy =
      (std::filesystem::path(strFolder) / (survey.stem().string() + "-" + Stamp(*m_pClock) + SESSION_RESCUE_SUFFIX))
          .string();
  std::error_code error;
  std::filesystem::create_directories(strFolder, error); // a folder that cannot be made fails the copy
  const _sessionresult copy = SaveCopy(strCopy);
  Drop(true);
  if (!copy) {
    return Result(_sessionresult::failed,
                  closed.strSentence + "\n" + SESSION_TEXT_NO_COPY + copy.strSentence + SESSION_TEXT_LOST);
  }
  // The copy's own sentence: where it is, and what went along with it.
  return Result(_sessionresult::done, closed.strSentence + "\n" + copy.strSentence);
}

void CSurveySession::Adopt(std::unique_ptr<CSiteData> pSiteData, bool bCreated) {
  m_pSiteData = std::move(pSiteData);
  m_pWalk = std::make_unique<CSegmentWalk>(*m_pSiteData, m_SitePlan, m_Projection);
  m_Run.m_pSiteData = m_pSiteData.get();
  m_Run.m_pWalk = m_pWalk.get();
  m_Run.m_bCollectionOpen = true;
  m_SitePlan.UpdateScreenPositions(); // the markers of a reopened survey show on the plan
  Tell(&_sessionlistener::pfnOpened,
       _sessionlistener::_opened{m_pSiteData->m_strPath, m_pSiteData->GetSegmentsRead(), bCreated});
}

void CSurveySession::Drop(bool bTell) {
  if (m_pSiteData == nullptr) {
    return;
  }
  const std::string strPath = m_pSiteData->m_strPath;
  m_Run.m_pSiteData = nullptr;
  m_Run.m_pWalk = nullptr;
  m_Run.m_bCollectionOpen = false;
  m_pWalk.reset();
  m_pSiteData.reset();
  std::fill(std::begin(m_SitePlan.m_Start), std::end(m_SitePlan.m_Start), _planpoint{});
  std::fill(std::begin(m_SitePlan.m_Stop), std::end(m_SitePlan.m_Stop), _planpoint{});
  m_SitePlan.m_nSegmentCount = 0;
  if (bTell) {
    Tell(&_sessionlistener::pfnClosed, strPath);
  }
}

int CSurveySession::AddListener(_sessionlistener listener) {
  const int nId = m_nNextListener++;
  m_listeners.emplace_back(nId, std::move(listener));
  return nId;
}

void CSurveySession::RemoveListener(int nId) {
  // Emptied in place, so that a listener may remove itself (or another) while being told.
  for (auto &[nListener, listener] : m_listeners) {
    if (nListener == nId) {
      nListener = 0;
      listener = {};
    }
  }
}
