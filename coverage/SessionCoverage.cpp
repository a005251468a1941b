#include "coverage/SessionCoverage.h"

#include "coverage/CoverageSurvey.h"
#include "platform/FileException.h"
#include "projection/TransformCheck.h"
#include "quality/QualityFile.h"
#include "survey/SurveySession.h"

#include <algorithm>
#include <cstdint>
#include <exception>

CSessionCoverage::CSessionCoverage(CSurveySession &session) : m_session(session) {
  _sessionlistener listener;
  listener.pfnOpened = [this](const _sessionlistener::_opened &opened) { OnOpened(opened.strPath); };
  listener.pfnClosed = [this](const std::string &) { OnClosed(); };
  listener.pfnBegun = [this](int32_t nSegment) { OnBegun(nSegment); };
  listener.pfnLevels = [this](const _sessionlistener::_levels &levels) {
    OnLevels(levels.nSegment, levels.nChannel, levels.levels.data(), levels.levels.size(), levels.nArrivalMs);
  };
  listener.pfnStopped = [this](const _sessionlistener::_stopped &stopped) {
    OnStopped(stopped.nSegment, stopped.bSaved);
  };
  m_nListener = m_session.AddListener(std::move(listener));
  if (m_session.IsOpen()) {
    m_strSurvey = m_session.SiteData()->m_strPath;
  }
}

CSessionCoverage::~CSessionCoverage() { m_session.RemoveListener(m_nListener); }

void CSessionCoverage::Show(uint16_t nChannel) {
  if (nChannel != m_nShown) {
    m_nShown = nChannel;
    Compute();
  }
}

void CSessionCoverage::UseSettings(const _coveragesettings &settings) {
  m_settings = settings;
  Compute();
}

void CSessionCoverage::UsePlan(int nWidth, int nHeight) {
  m_nPlanWidth = nWidth;
  m_nPlanHeight = nHeight;
  Compute();
}

std::string CSessionCoverage::PlanProblem(const _coveragesettings &settings) const {
  if (m_nPlanWidth <= 0 || m_nPlanHeight <= 0) {
    return "";
  }
  const CSiteProjection &p = m_session.Projection();
  if (std::string problem = TransformProblem(p.m_nKind, {p.m_dA, p.m_dB, p.m_dC, p.m_dD, p.m_dE, p.m_dF});
      !problem.empty()) {
    return "the projection places nothing: " + problem;
  }
  return CoverageGridProblem(settings, PlanMetricOf(p, m_nPlanWidth, m_nPlanHeight), m_nPlanWidth, m_nPlanHeight);
}

void CSessionCoverage::FollowQuality(const _qualityrecord &record) {
  m_quality = record;
  if (m_pCoverage) {
    FollowQualityRecord(*m_pCoverage, m_quality, m_nSegments);
    Changed();
  }
}

std::vector<_cellrect> CSessionCoverage::Update() {
  if (!m_pCoverage) {
    return {};
  }
  m_pCoverage->Update();
  return m_pCoverage->TakeChangedCells(m_nShown);
}

uint32_t CSessionCoverage::FrequencyOf(uint16_t nChannel) const {
  if (nChannel != 1 && nChannel != 2) {
    return 0;
  }
  const CSiteData *pSurvey = m_session.SiteData();
  if (pSurvey != nullptr && nChannel <= pSurvey->GetChannelCount()) {
    if (const uint32_t nCode = pSurvey->m_pChannels[nChannel - 1U].nFrequency; nCode != 0) {
      return nCode;
    }
  }
  return m_fileFrequencies[nChannel - 1U];
}

std::vector<std::string> CSessionCoverage::TakeNotes() {
  std::vector<std::string> notes;
  notes.swap(m_notes);
  return notes;
}

void CSessionCoverage::OnOpened(const std::string &strPath) {
  m_strSurvey = strPath;
  m_walk = {};
  m_fileFrequencies = {};
  Compute();
}

void CSessionCoverage::OnClosed() {
  m_strSurvey.clear();
  m_walk = {};
  m_fileFrequencies = {};
  Compute();
}

void CSessionCoverage::OnBegun(int32_t nSegment) {
  const CSiteData *pSurvey = m_session.SiteData();
  if (pSurvey == nullptr || nSegment <= 0) {
    return;
  }
  const _segmentheader &h = pSurvey->m_segment;
  m_walk = {};
  m_walk.nSegment = static_cast<uint32_t>(nSegment);
  m_walk.start = {static_cast<double>(h.nStartX), static_cast<double>(h.nStartY)};
  m_walk.stop = {static_cast<double>(h.nStopX), static_cast<double>(h.nStopY)};
  m_walk.nBeginMs = m_session.Clock().NowMs();
  if (m_pCoverage) {
    m_pCoverage->BeginSegment(m_walk.nSegment, m_walk.start, m_walk.stop, m_walk.nBeginMs);
  }
}

void CSessionCoverage::OnLevels(int32_t nSegment, int nChannel, const int8_t *pLevels, size_t nCount,
                                int64_t nArrivalMs) {
  if (m_walk.nSegment == 0 || m_walk.bStopped || static_cast<uint32_t>(nSegment) != m_walk.nSegment ||
      (nChannel != 1 && nChannel != 2) || nCount == 0) {
    return;
  }
  m_walk.levels.Append(pLevels, nCount);
  const int64_t nAfterBeginMs = std::clamp<int64_t>(nArrivalMs - m_walk.nBeginMs, INT32_MIN, INT32_MAX);
  for (size_t nKept = 0; nKept < nCount; nKept += UINT16_MAX) {
    const auto nPart = static_cast<uint16_t>(std::min<size_t>(nCount - nKept, UINT16_MAX));
    m_walk.messages.Append({static_cast<int32_t>(nAfterBeginMs), nPart, static_cast<uint8_t>(nChannel)});
  }
  if (m_pCoverage) {
    m_messageLevels.assign(pLevels, pLevels + nCount);
    m_pCoverage->AddLevels(m_walk.nSegment, static_cast<uint16_t>(nChannel), m_messageLevels.data(), nCount,
                           nArrivalMs);
    Changed();
  }
}

// A walk whose segment could not be saved keeps its levels here until RetrySave saves them: the
// file does not hold them yet.
void CSessionCoverage::OnStopped(int32_t nSegment, bool bSaved) {
  if (m_walk.nSegment == 0 || static_cast<uint32_t>(nSegment) != m_walk.nSegment) {
    return;
  }
  if (!m_walk.bStopped) {
    m_walk.bStopped = true;
    m_walk.nStopMs = m_session.Clock().NowMs();
    if (const CSiteData *pSurvey = m_session.SiteData(); pSurvey != nullptr) {
      m_walk.header = pSurvey->m_segment;
    }
    if (m_pCoverage) {
      m_pCoverage->StopSegment(m_walk.nSegment, m_walk.header, m_walk.nStopMs);
      m_nSegments = std::max(m_nSegments, m_walk.nSegment);
      Changed();
    }
  }
  if (bSaved) {
    m_walk = {}; // the file holds it now
  }
}

void CSessionCoverage::Compute() {
  m_pCoverage.reset();
  m_nSegments = 0;
  ++m_nGeneration;
  if (m_nShown == 0 || m_strSurvey.empty() || m_nPlanWidth <= 0 || m_nPlanHeight <= 0) {
    Changed();
    return;
  }
  if (const std::string problem = PlanProblem(m_settings); !problem.empty()) {
    m_notes.push_back("The coverage cannot be shown: " + problem + ".");
    Changed();
    return;
  }
  const _planmetric metric = PlanMetricOf(m_session.Projection(), m_nPlanWidth, m_nPlanHeight);
  auto pCoverage =
      std::make_unique<CCoverage>(m_settings, metric, m_nPlanWidth, m_nPlanHeight, std::vector<uint16_t>{m_nShown});
  ReadSurveyFile(*pCoverage);
  Replay(*pCoverage);
  if (m_walk.bStopped) {
    m_nSegments = std::max(m_nSegments, m_walk.nSegment);
  }
  pCoverage->Update();
  pCoverage->TakeChangedCells(m_nShown); // all of it is drawn afresh
  m_pCoverage = std::move(pCoverage);
  Changed();
}

// The segments before the one walked (all of them when none is), then what the side file says.
void CSessionCoverage::ReadSurveyFile(CCoverage &coverage) {
  const uint32_t nLast = m_walk.nSegment != 0 ? m_walk.nSegment - 1 : UINT32_MAX;
  try {
    const CSurveySource source(m_strSurvey, CFile::shareDenyNone);
    const _coveragesurvey survey = AddSurveyToCoverage(source, coverage, nLast);
    m_fileFrequencies = survey.frequencies;
    m_nSegments = static_cast<uint32_t>(std::min<size_t>(survey.contents.segments.size(), nLast));
    for (const auto &error : survey.contents.errors) {
      if (error.kind != SurveyProblem::unwrittenSegments) {
        m_notes.push_back("The coverage shows what could be read: " + DescribeSurveyError(m_strSurvey, error));
      }
    }
    const _qualityload side = LoadQualityFile(m_strSurvey, survey.contents);
    m_notes.insert(m_notes.end(), side.notes.begin(), side.notes.end());
    m_quality = side.record;
    FollowQualityRecord(coverage, m_quality, m_nSegments);
  } catch (const CFileException &failure) {
    m_notes.push_back("The coverage could not read the survey: " + failure.GetErrorMessage());
  } catch (const std::exception &failure) {
    m_notes.push_back("The coverage could not read the survey \"" + m_strSurvey + "\": " + failure.what());
  }
}

// The segment being walked, as the session told it.
void CSessionCoverage::Replay(CCoverage &coverage) const {
  if (m_walk.nSegment == 0) {
    return;
  }
  coverage.BeginSegment(m_walk.nSegment, m_walk.start, m_walk.stop, m_walk.nBeginMs);
  std::vector<int16_t> levels;
  m_walk.levels.AppendTo(levels);
  size_t nFirst = 0;
  m_walk.messages.ForEach([&](const _message &message) {
    coverage.AddLevels(m_walk.nSegment, message.nChannel, levels.data() + nFirst, message.nCount,
                       m_walk.nBeginMs + message.nArrivalMs);
    nFirst += message.nCount;
  });
  if (m_walk.bStopped) {
    coverage.StopSegment(m_walk.nSegment, m_walk.header, m_walk.nStopMs);
  }
}

void CSessionCoverage::Changed() {
  if (m_pfnChanged) {
    m_pfnChanged();
  }
}
