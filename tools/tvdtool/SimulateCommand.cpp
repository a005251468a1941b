#include "tools/tvdtool/SimulateCommand.h"

#include "link/ReceiverConversions.h"
#include "link/ReceiverMessages.h"
#include "link/Usb.h"
#include "platform/File.h"
#include "platform/FileException.h"
#include "platform/FileLock.h"
#include "projection/BitmapFile.h"
#include "projection/ProjectionHeader.h"
#include "projection/SitePlan.h"
#include "projection/SiteProjection.h"
#include "projection/TransformCheck.h"
#include "quality/QualityFile.h"
#include "quality/SurveyQuality.h"
#include "survey/SurveyFiles.h"
#include "survey/SurveyReader.h"
#include "survey/SurveySession.h"
#include "tools/tvdtool/Commands.h"
#include "tools/tvdtool/DeviceBackends.h"
#include "tools/tvdtool/SimulateRoute.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

// The run's refusals, after the quoted output or projection file.
constexpr const char *SIMULATE_TEXT_OUTPUT_IS_INPUT = ": the survey would overwrite it. Choose another survey file.";
constexpr const char *SIMULATE_TEXT_OUTPUT_EXISTS =
    " exists already: --append continues the survey in it, --force replaces it with a new one.";
constexpr const char *SIMULATE_TEXT_NOT_INVERTIBLE =
    "'s transform cannot be inverted (a * d - b * c is 0, or one of its numbers is not finite), so its plan "
    "pixels have no coordinates: no survey is walked on it.";
constexpr int SIMULATE_EXIT_REFUSED = 2;

// A run refused before anything was written to the survey.
class CRefusal : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

std::string Quoted(const std::string &path) { return "\"" + path + "\""; }

// Whether a and b name the same file, existing or not.
bool SameFile(const std::string &a, const std::string &b) {
  std::error_code error;
  if (std::filesystem::equivalent(a, b, error)) {
    return true;
  }
  const auto canonicalA = std::filesystem::weakly_canonical(a, error);
  const auto canonicalB = std::filesystem::weakly_canonical(b, error);
  return !error && canonicalA == canonicalB;
}

// Refuses an output that would overwrite one of the run's inputs or a file that is there.
void CheckOutput(const _simulateoptions &options) {
  const std::string &out = options.strOutput;
  const std::pair<std::string, std::string> inputs[] = {
      {options.strProjection, "the projection"},
      {options.strProjection + "c", "the projection's side file"},
      {options.strProjection + "b", "the projection's side file"},
      {options.strRoute, "the route"},
  };
  for (const auto &[path, what] : inputs) {
    if (!path.empty() && SameFile(out, path)) {
      throw CRefusal(Quoted(out) + " is " + what + " " + Quoted(path) + SIMULATE_TEXT_OUTPUT_IS_INPUT);
    }
  }
  if (const std::string problem = QualityFileNameProblem(out); !problem.empty()) {
    throw CRefusal(problem + ".");
  }
  if (!std::filesystem::exists(out)) {
    return;
  }
  if (!options.bAppend && !options.bForce) {
    throw CRefusal(Quoted(out) + SIMULATE_TEXT_OUTPUT_EXISTS);
  }
  CFileLock probe;
  if (!probe.Acquire(out, false)) {
    throw CRefusal(SurveyInUseError(out).what());
  }
}

// Refuses a projection whose plan pixels have no coordinates: its transform cannot be inverted.
void CheckTransform(const std::string &strProjection) {
  CSiteProjection projection;
  LoadProjectionTransform(strProjection, projection); // its header only: nothing is written
  const _transform transform{projection.m_dA, projection.m_dB, projection.m_dC,
                             projection.m_dD, projection.m_dE, projection.m_dF};
  if (!TransformProblem(projection.m_nKind, transform).empty()) {
    throw CRefusal(Quoted(strProjection) + SIMULATE_TEXT_NOT_INVERTIBLE);
  }
}

// The survey's clock follows the simulated receiver's time, so the times stamped into the
// segment headers are those of the simulated walk.
class CSimulatedClock : public CSurveyClock {
public:
  CSimulatedClock(const CSimulatedReceiver &receiver, int64_t nStart)
      : m_receiver(receiver), m_nStart(nStart), m_nStartMs(receiver.GetTimeMs()) {}
  int64_t Now() const override { return m_nStart + static_cast<int64_t>((m_receiver.GetTimeMs() - m_nStartMs) / 1000); }
  // The simulated milliseconds: the arrival of every level message, as the gap watch times them.
  int64_t NowMs() const override { return m_nStart * 1000 + static_cast<int64_t>(m_receiver.GetTimeMs() - m_nStartMs); }

private:
  const CSimulatedReceiver &m_receiver;
  int64_t m_nStart;
  uint64_t m_nStartMs;
};

// The size of the floor plan the projection's load has just decoded.
void PlanSize(const CSiteProjection &projection, int32_t &nWidth, int32_t &nHeight) {
  CFile file;
  file.OpenOrThrow(projection.m_strBitmapPath, CFile::modeRead | CFile::shareDenyWrite);
  uint8_t header[BITMAP_FILE_HEADER_SIZE + BITMAP_INFO_HEADER_SIZE] = {};
  const uint32_t nRead = file.Read(header, sizeof header);
  const auto bitmap = ReadBitmapHeader(header, nRead);
  if (!bitmap || bitmap->nWidth <= 0 || bitmap->nHeight == 0) {
    throw std::runtime_error("the floor plan of \"" + projection.m_strPath + "\" (\"" + projection.m_strBitmapPath +
                             "\") is not a bitmap of a usable size.");
  }
  nWidth = bitmap->nWidth;
  nHeight = std::abs(bitmap->nHeight);
}

std::string Point(const _pixelpoint &pt) { return std::to_string(pt.x) + "," + std::to_string(pt.y); }

std::string Seconds(double dSeconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", dSeconds);
  return text;
}

// Where a walk's time comes from without --seconds-per-segment.
std::string PaceText() {
  char text[96];
  std::snprintf(text, sizeof text, "the segment's length at %g m/s, at least %g s", SIMULATE_WALKING_PACE_M_S,
                SIMULATE_WALK_MIN_S);
  return text;
}

// "channel 2 paused 6 s from 3 s": the pauses of the route's segment nSegment, in time order.
std::vector<_simpause> PausesOf(const std::vector<_simpause> &pauses, int nSegment) {
  std::vector<_simpause> found;
  std::copy_if(pauses.begin(), pauses.end(), std::back_inserter(found),
               [&](const _simpause &pause) { return pause.nSegment == nSegment; });
  std::sort(found.begin(), found.end(),
            [](const _simpause &a, const _simpause &b) { return a.dAtSeconds < b.dAtSeconds; });
  return found;
}

std::string PerChannel(const std::array<uint64_t, 2> &counts) {
  return "channel 1 " + std::to_string(counts[0]) + ", channel 2 " + std::to_string(counts[1]);
}

// One run: the receiver, the link, the packet handling and the survey, walked segment by segment.
class CSimulation {
public:
  CSimulation(const _simulateoptions &options, std::ostream &out, std::ostream &err)
      : m_options(options), m_out(out), m_err(err) {}

  int Run(_simulatesummary &summary);

private:
  void Prepare();
  // The session, which the survey, the walk and the receiver's packets go through.
  void MakeSession();
  void OpenSurvey();
  void Connect();
  void WalkSegment(const _pixelpoint &start, const _pixelpoint &stop, int nRouteSegment);
  // The simulated seconds the route's segment nRouteSegment (1 is the first) is walked.
  double WalkSeconds(int nRouteSegment) const;
  // Lets the walk's dSeconds pass, silencing the channels the pauses name when their time comes.
  // Returns what the segment's line says of them.
  std::string WalkWithPauses(int nRouteSegment, double dSeconds);
  // A walk ended; at the record limit the session ended it as STOP ends it: the operator's note
  // is printed.
  void OnStopped(const _sessionlistener::_stopped &stopped);
  std::array<uint64_t, 2> LevelsRecorded() const;
  // Lets simulated time pass in steps, handling the packets as they come.
  void Advance(double dSeconds);
  // Handles every packet waiting in the link's queue; raises when the receiver was lost.
  void HandleWaiting();
  // Handles packets as they come until done holds; raises when the link does not deliver in time.
  void HandleUntil(const std::function<bool()> &pfnDone, const std::string &strWhat);
  // Waits until every level the receiver has sent has been handled.
  void HandleEverythingSent();
  std::array<uint64_t, 2> LevelsSent() const;
  int Summarise(_simulatesummary &summary);

  const _simulateoptions &m_options;
  std::ostream &m_out;
  std::ostream &m_err;

  int32_t m_nWidth = 0;
  int32_t m_nHeight = 0;
  std::vector<_pixelpoint> m_route;
  std::shared_ptr<CSimulatedReceiver> m_pSimulator;
  std::unique_ptr<CSimulatedClock> m_pClock;
  int32_t m_nFirstSegment = 1;
  std::array<uint64_t, 2> m_nSentBefore{};
  std::array<uint64_t, 2> m_nSentDuringWalks{};
  std::array<uint32_t, 2> m_nChannelCodes{};
  int m_nChannelCount = 0;
  std::vector<std::string> m_alerts;
  std::array<uint64_t, 2> m_nRecordedAtLimit{}; // the levels recorded when a walk reached the record limit

  std::unique_ptr<CDeviceBackends> m_pBackends;
  std::unique_ptr<CUSB> m_pLink; // stops its worker itself as it goes
  std::unique_ptr<CSurveySession> m_pSession;
  std::unique_ptr<CSurveyQuality> m_pQuality; // the checks at STOP and the side file; goes before the session
  std::vector<std::string> m_checks;          // each walk's check at STOP
};

// A step of the walk that the walk refused ends the run with its reason.
void Check(const _walkresult &result) {
  if (!result) {
    throw std::runtime_error(result.strReason);
  }
}

void CSimulation::Prepare() {
  if (!m_options.bWalkingPace && !(m_options.dSecondsPerSegment > 0.0 && m_options.dSecondsPerSegment <= 86400.0)) {
    throw std::runtime_error("--seconds-per-segment must be more than 0 and at most 86400.");
  }
  if (!(m_options.dSetupSeconds >= 0.0 && m_options.dSetupSeconds <= 86400.0) || m_options.nStepMs == 0) {
    throw std::runtime_error("the time between the walks must be 0 to 86400 s, in steps of at least 1 ms.");
  }
  if (m_options.nChannels != 1 && m_options.nChannels != 2) {
    throw std::runtime_error("--channels must be 1 or 2.");
  }
  for (const _simpause &pause : m_options.pauses) {
    if (!m_options.bWalkingPace && pause.dAtSeconds >= m_options.dSecondsPerSegment) {
      throw std::runtime_error("--pause " + std::to_string(pause.nChannel) + "," + std::to_string(pause.nSegment) +
                               ",...: it begins after the walk's " + Seconds(m_options.dSecondsPerSegment) +
                               " (--seconds-per-segment).");
    }
  }
  CheckOutput(m_options);
  CheckTransform(m_options.strProjection);
  m_pSimulator = m_options.pSimulator ? m_options.pSimulator : std::make_shared<CSimulatedReceiver>();
  const int64_t nStart = m_options.nStartTime >= 0 ? m_options.nStartTime : static_cast<int64_t>(std::time(nullptr));
  m_pClock = std::make_unique<CSimulatedClock>(*m_pSimulator, nStart);
  MakeSession();
  CSiteProjection &projection = m_pSession->Projection();
  projection.Load(m_options.strProjection);
  if (projection.m_nKind != PROJECTION_GEO && projection.m_nKind != PROJECTION_LINEAR) {
    throw std::runtime_error("\"" + m_options.strProjection + "\" is not a projection file.");
  }
  PlanSize(projection, m_nWidth, m_nHeight);
  m_route = m_options.strRoute.empty() ? DefaultRoute(m_nWidth, m_nHeight)
                                       : LoadRoute(m_options.strRoute, m_nWidth, m_nHeight);
  for (const _simpause &pause : m_options.pauses) {
    if (pause.nSegment >= static_cast<int>(m_route.size())) {
      throw std::runtime_error("--pause names segment " + std::to_string(pause.nSegment) + ", but the route has " +
                               std::to_string(m_route.size() - 1) + " segments.");
    }
    if (const double dWalk = WalkSeconds(pause.nSegment); m_options.bWalkingPace && pause.dAtSeconds >= dWalk) {
      throw std::runtime_error("--pause " + std::to_string(pause.nChannel) + "," + std::to_string(pause.nSegment) +
                               ",...: it begins after the walk's " + Seconds(dWalk) + " (" + PaceText() + ").");
    }
  }
  m_pSession->Plan().SetPlan(m_nWidth, m_nHeight, {0, 0, m_nWidth, m_nHeight});
  m_pSession->Run().m_bProjectionLoaded = true;
  OpenSurvey();
}

void CSimulation::MakeSession() {
  _collectioncallbacks callbacks;
  callbacks.pfnSendCommand = [this](uint8_t nCode) { return m_pLink->SendCommandByte(nCode); };
  callbacks.pfnAlert = [this](const std::string &strText, const std::string &strCaption) {
    m_err << "tvdtool: " << strCaption << ": " << strText << '\n';
    m_alerts.push_back(strText);
  };
  callbacks.pfnShowChannelFrequencies = [this](const uint32_t *pCodes, int nCount) {
    m_nChannelCount = nCount;
    for (int i = 0; i < 2; ++i) {
      m_nChannelCodes[static_cast<size_t>(i)] = i < nCount ? pCodes[i] : 0;
    }
  };
  m_pSession = std::make_unique<CSurveySession>(std::move(callbacks), *m_pClock);
  _sessionlistener listener;
  listener.pfnStopped = [this](const _sessionlistener::_stopped &stopped) { OnStopped(stopped); };
  m_pSession->AddListener(std::move(listener));
  m_pSession->AddListener(m_options.listener);
  m_pQuality = std::make_unique<CSurveyQuality>(*m_pSession);
  m_pQuality->SetCallbacks({{}, [this](const _stopcheck &stop) {
                              m_checks.push_back(stop.strSentence);
                              if (!stop.strProblem.empty()) {
                                m_err << "tvdtool: " << stop.strProblem << '\n';
                              }
                            }});
}

void CSimulation::OpenSurvey() {
  const bool bContinue = m_options.bAppend && std::filesystem::exists(m_options.strOutput);
  const _sessionresult opened =
      m_pSession->Open(m_options.strOutput, bContinue ? CSiteData::modeOpenExisting : CSiteData::modeCreateNew);
  if (opened.nOutcome == _sessionresult::refused) {
    throw CRefusal(opened.strSentence); // another program writes it: nothing was written
  }
  if (!opened) {
    throw std::runtime_error(opened.strSentence);
  }
  const CSiteData &survey = *m_pSession->SiteData();
  m_nFirstSegment = survey.m_nSegmentCount + 1;
  const auto nSegments = static_cast<int32_t>(m_route.size() - 1);
  if (survey.m_nSegmentCount + nSegments > SURVEY_MAX_SEGMENTS) {
    throw std::runtime_error("\"" + m_options.strOutput + "\" holds " + std::to_string(survey.m_nSegmentCount) +
                             " segments; " + std::to_string(nSegments) + " more would pass the " +
                             std::to_string(SURVEY_MAX_SEGMENTS) + " a survey can hold.");
  }
  m_out << "projection " << m_options.strProjection << ": "
        << (m_pSession->Projection().m_nKind == PROJECTION_GEO ? "geo-coded" : "linear") << ", plan " << m_nWidth
        << " x " << m_nHeight << " pixels\n";
  m_out << (bContinue ? "continuing survey " : "new survey ") << m_options.strOutput << " at segment "
        << m_nFirstSegment << '\n';
}

void CSimulation::Connect() {
  CDeviceBackends::_options backends;
  backends.bSimulate = true;
  backends.pSimulator = m_pSimulator;
  m_pBackends = std::make_unique<CDeviceBackends>(backends);
  m_pSimulator->SetDelivery(SimDelivery::immediate);
  m_pSimulator->SetChannelCount(m_options.nChannels);
  m_nSentBefore = LevelsSent();

  m_pLink = std::make_unique<CUSB>();
  const std::string strSerial = m_pBackends->PreferredSerialNumber();
  m_pLink->StartWorker();
  std::string strWhy;
  if (!m_pLink->Open(strSerial, 38400, &strWhy)) {
    throw std::runtime_error("the simulated receiver " + strSerial + " could not be opened: " + strWhy + ".");
  }
  if (!m_pLink->SendCommandByte(CMD_SERIAL_NUMBER, &strWhy)) {
    throw std::runtime_error("the serial number command could not be sent to the simulated receiver: " + strWhy + ".");
  }
  // The serial number's answer asks for the description.
  HandleUntil([this] { return m_pSession->Run().GetDescriptionCount() > 0; }, "its description");
  // As the operator would on the unit's panel.
  m_pSimulator->SetMeasurementMode(true);
  HandleUntil([this] { return m_pSession->Run().GetChannelReportCount() > 0; }, "its channel report");
  if (m_pSession->SiteData()->GetChannelCount() == 0) {
    throw std::runtime_error("the simulated receiver reported no channel that can be recorded.");
  }
  m_out << "receiver " << m_pSimulator->GetIdentity().strSerialNumber << " measuring " << m_nChannelCount
        << (m_nChannelCount == 1 ? " channel:" : " channels:");
  for (int i = 0; i < m_nChannelCount; ++i) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", FrequencyCodeToMHz(m_nChannelCodes[static_cast<size_t>(i)]));
    m_out << (i == 0 ? " " : ", ") << text << " MHz";
  }
  m_out << '\n';
}

std::array<uint64_t, 2> CSimulation::LevelsSent() const {
  return {m_pSimulator->LevelsSent(1), m_pSimulator->LevelsSent(2)};
}

std::array<uint64_t, 2> CSimulation::LevelsRecorded() const {
  return {m_pSession->Run().GetLevelsRecorded(1), m_pSession->Run().GetLevelsRecorded(2)};
}

void CSimulation::OnStopped(const _sessionlistener::_stopped &stopped) {
  if (stopped.nCause != StopCause::recordLimit) {
    return;
  }
  m_nRecordedAtLimit = LevelsRecorded();
  if (!stopped.bSaved) {
    throw std::runtime_error(stopped.strFailure);
  }
  m_err << "tvdtool: " << stopped.strNote << '\n';
}

void CSimulation::HandleWaiting() {
  for (const _linkitem &item : m_pLink->Queue().TakeAll()) {
    if (item.nKind == LinkItemKind::lost) {
      throw std::runtime_error("the simulated receiver was lost: " + item.strReason + ".");
    }
    // Every packet is handled in the step of simulated time it was sent in (Advance), so it
    // arrived now on the simulated clock.
    const _sessionresult handled = m_pSession->OnReceiverPacket(
        item.payload.data(), static_cast<uint32_t>(item.payload.size()), m_pClock->NowMs());
    if (!handled) {
      throw std::runtime_error(handled.strSentence);
    }
  }
}

void CSimulation::HandleUntil(const std::function<bool()> &pfnDone, const std::string &strWhat) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_options.nLinkWaitMs);
  for (;;) {
    HandleWaiting();
    if (pfnDone()) {
      return;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      throw std::runtime_error("the simulated receiver's " + strWhat + " did not come through the link within " +
                               std::to_string(m_options.nLinkWaitMs) + " ms.");
    }
    m_pLink->Queue().WaitForItem(deadline);
  }
}

void CSimulation::HandleEverythingSent() {
  HandleUntil(
      [this] {
        const auto sent = LevelsSent();
        const CCollectionRun &run = m_pSession->Run();
        return run.GetLevelsReceived(1) == sent[0] - m_nSentBefore[0] &&
               run.GetLevelsReceived(2) == sent[1] - m_nSentBefore[1];
      },
      "levels");
}

void CSimulation::Advance(double dSeconds) {
  auto nLeftMs = static_cast<uint64_t>(std::llround(dSeconds * 1000.0));
  while (nLeftMs > 0) {
    const auto nStep = static_cast<uint32_t>(std::min<uint64_t>(nLeftMs, m_options.nStepMs));
    m_pSimulator->Advance(nStep);
    nLeftMs -= nStep;
    HandleEverythingSent(); // each level arrives in the step it was sent in, as the gap watch needs
  }
}

double CSimulation::WalkSeconds(int nRouteSegment) const {
  if (!m_options.bWalkingPace) {
    return m_options.dSecondsPerSegment;
  }
  const CSiteProjection &projection = m_pSession->Projection();
  const _pixelpoint &from = m_route[static_cast<size_t>(nRouteSegment - 1)];
  const _pixelpoint &to = m_route[static_cast<size_t>(nRouteSegment)];
  double a1 = 0;
  double a2 = 0;
  double b1 = 0;
  double b2 = 0;
  projection.ToCoordinates(from.x, from.y, a1, a2);
  projection.ToCoordinates(to.x, to.y, b1, b2);
  const double dMetres = projection.m_nKind == PROJECTION_GEO ? CSiteProjection::GeoDistance(a1, a2, b1, b2)
                                                              : CSiteProjection::LinearDistance(a1, a2, b1, b2);
  // Whole tenths of a second: the receiver's time runs in steps.
  return std::max(SIMULATE_WALK_MIN_S, std::round(dMetres / SIMULATE_WALKING_PACE_M_S * 10) / 10);
}

std::string CSimulation::WalkWithPauses(int nRouteSegment, double dSeconds) {
  std::string strPauses;
  double dDone = 0.0;
  for (const _simpause &pause : PausesOf(m_options.pauses, nRouteSegment)) {
    Advance(pause.dAtSeconds - dDone);
    dDone = pause.dAtSeconds;
    m_pSimulator->PauseChannel(pause.nChannel, static_cast<uint32_t>(std::llround(pause.dSeconds * 1000.0)));
    strPauses += ", channel " + std::to_string(pause.nChannel) + " paused " + Seconds(pause.dSeconds) + " from " +
                 Seconds(pause.dAtSeconds);
  }
  Advance(dSeconds - dDone);
  return strPauses;
}

void CSimulation::WalkSegment(const _pixelpoint &start, const _pixelpoint &stop, int nRouteSegment) {
  CSurveySession &session = *m_pSession;
  Check(session.NewSegment());
  const int32_t n = session.Walk()->GetSegment();
  // The start and stop points, chosen while the receiver goes on measuring.
  Check(session.SetStartPoint(start));
  Check(session.SetStopPoint(stop));
  Advance(m_options.dSetupSeconds);
  HandleEverythingSent(); // what came before BEGIN is not part of the walk

  Check(session.Begin()); // levels are recorded from here on
  const auto sentAtBegin = LevelsSent();
  const auto recordedAtBegin = LevelsRecorded();
  const double dSeconds = WalkSeconds(nRouteSegment);
  const size_t nChecks = m_checks.size();
  const std::string strPauses = WalkWithPauses(nRouteSegment, dSeconds);
  HandleEverythingSent(); // every level sent during the walk is the walk's
  if (session.IsWalking()) {
    const auto sentAtStop = LevelsSent();
    Check(session.Stop());
    for (size_t k = 0; k < 2; ++k) {
      m_nSentDuringWalks[k] += sentAtStop[k] - sentAtBegin[k];
    }
  } else {
    // Ended at the record limit: the walk's levels are those recorded until then.
    for (size_t k = 0; k < 2; ++k) {
      m_nSentDuringWalks[k] += m_nRecordedAtLimit[k] - recordedAtBegin[k];
    }
  }
  const int32_t nRecords = session.SiteData()->m_nRecordCount;
  m_out << "segment " << n << ": " << Point(start) << " -> " << Point(stop) << ", " << Seconds(dSeconds) << ", "
        << nRecords << (nRecords == 1 ? " record" : " records") << strPauses << '\n';
  if (m_checks.size() > nChecks) {
    m_out << "  " << m_checks.back() << '\n'; // the walk's check at STOP, as the collector shows it
  }
}

int CSimulation::Summarise(_simulatesummary &summary) {
  const auto bytes = LoadSurveyFile(m_options.strOutput, CFile::shareDenyWrite);
  const auto contents = ParseSurvey(bytes.data(), bytes.size(), false);
  if (!contents.IsSound()) {
    for (const auto &error : contents.errors) {
      m_err << "tvdtool: " << DescribeSurveyError(m_options.strOutput, error) << '\n';
    }
    return 1;
  }
  summary.nSegments = static_cast<int>(m_route.size() - 1);
  for (size_t i = static_cast<size_t>(m_nFirstSegment - 1); i < contents.segments.size(); ++i) {
    for (const auto &record : contents.segments[i].records) {
      ++summary.nRecords;
      if (record.nChannel == 1 || record.nChannel == 2) {
        summary.nLevelsWritten[record.nChannel - 1U] += record.nLevels;
      }
    }
  }
  summary.nLevelsSent = m_nSentDuringWalks;
  summary.checks = m_checks;
  const auto sent = LevelsSent();
  for (size_t k = 0; k < 2; ++k) {
    summary.nLevelsBetween[k] = sent[k] - m_nSentBefore[k] - m_nSentDuringWalks[k];
  }
  m_out << "survey " << m_options.strOutput << ": " << summary.nSegments << " segments walked, "
        << contents.segments.size() << " in the file; " << summary.nRecords << " records\n";
  m_out << "levels written: " << PerChannel(summary.nLevelsWritten) << '\n';
  m_out << "levels sent during the walks: " << PerChannel(summary.nLevelsSent) << '\n';
  m_out << "levels sent between the walks, not recorded: " << PerChannel(summary.nLevelsBetween) << '\n';
  if (summary.nLevelsWritten != summary.nLevelsSent) {
    m_err << "tvdtool: the survey does not hold the levels the receiver sent during the walks.\n";
    return 1;
  }
  return 0;
}

int CSimulation::Run(_simulatesummary &summary) {
  Prepare();
  Connect();
  for (size_t i = 0; i + 1 < m_route.size(); ++i) {
    WalkSegment(m_route[i], m_route[i + 1], static_cast<int>(i + 1));
  }
  m_pLink->PostCommand({USB_CLOSE, 0, nullptr});
  m_pLink->StopWorker();
  // A last write that fails is reported, not dropped.
  if (const _sessionresult closed = m_pSession->Close(); !closed) {
    throw std::runtime_error(closed.strSentence);
  }
  return Summarise(summary);
}

} // namespace

_simpause ParsePause(const std::string &strText) {
  _simpause pause;
  char cExtra = 0;
  const bool bRead = std::sscanf(strText.c_str(), "%d,%d,%lf,%lf%c", &pause.nChannel, &pause.nSegment,
                                 &pause.dAtSeconds, &pause.dSeconds, &cExtra) == 4;
  if (!bRead || (pause.nChannel != 1 && pause.nChannel != 2) || pause.nSegment < 1 ||
      !(pause.dAtSeconds >= 0.0 && pause.dAtSeconds <= 86400.0) ||
      !(pause.dSeconds > 0.0 && pause.dSeconds <= 86400.0)) {
    throw std::runtime_error("--pause \"" + strText +
                             "\" is not CHANNEL,SEGMENT,AT,SECONDS: channel 1 or 2, a segment of the route from 1, "
                             "the seconds into its walk (0 or more) and the seconds the channel stays silent "
                             "(more than 0, at most 86400).");
  }
  return pause;
}

int RunSimulate(const _simulateoptions &options, std::ostream &out, std::ostream &err, _simulatesummary *pSummary) {
  _simulatesummary summary;
  int nStatus = 1;
  try {
    CSimulation simulation(options, out, err);
    nStatus = simulation.Run(summary);
  } catch (const CRefusal &e) {
    err << "tvdtool: " << e.what() << '\n';
    nStatus = SIMULATE_EXIT_REFUSED;
  } catch (const std::exception &e) {
    err << "tvdtool: " << e.what() << '\n';
    nStatus = 1;
  }
  if (pSummary != nullptr) {
    *pSummary = summary;
  }
  return nStatus;
}

void RegisterSimulateCommands(CLI::App &app) {
  auto *simulate = app.add_subcommand(
      "simulate", "Collect a survey without an operator: a simulated receiver is connected through the receiver "
                  "link and the route is walked segment by segment (New Segment, start and stop points, BEGIN, "
                  "STOP) while its levels are recorded, faster than real time. Exits 1 unless the survey holds "
                  "exactly the levels the receiver sent during the walks; exits 2 without writing the survey when "
                  "the output is an input, exists (without --append or --force) or is being written by another "
                  "program, or when the projection's transform cannot be inverted.");
  auto options = std::make_shared<_simulateoptions>();
  simulate->add_option("--projection", options->strProjection, "The projection file (.gpf or .lpf) to walk on.")
      ->required();
  simulate->add_option("-o,--output", options->strOutput, "The survey data file (.tvd) to write.")->required();
  simulate->add_option("--route", options->strRoute,
                       "A route file: one plan pixel \"x y\" per line, a segment from each point to the next, '#' "
                       "starts a comment (default: a serpentine over the plan, one tenth in from its edges).");
  auto *seconds = simulate->add_option("--seconds-per-segment", options->dSecondsPerSegment,
                                       "Simulated seconds each segment is walked (default: the segment's length at "
                                       "an easy walking pace of 1 m/s, at least 3 s).");
  simulate
      ->add_option("--channels", options->nChannels, "Channels the simulated receiver measures: 1 or 2 (default 2).")
      ->check(CLI::Range(1, 2));
  simulate
      ->add_option("--start-time", options->nStartTime,
                   "The survey's clock at the start, in seconds since 1970 UTC (default: now). With the same "
                   "options and time zone (TZ), a run writes the same file again.")
      ->check(CLI::NonNegativeNumber);
  auto pauses = std::make_shared<std::vector<std::string>>();
  simulate
      ->add_option("--pause", *pauses,
                   "CHANNEL,SEGMENT,AT,SECONDS: the receiver's channel sends no levels for SECONDS, from AT "
                   "seconds into the walk of the route's SEGMENT (1 is the first walked), as a receiver that "
                   "loses its signal. May be given more than once.")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->check(CLI::Validator(
          [](std::string &strText) {
            try {
              (void)ParsePause(strText);
              return std::string();
            } catch (const std::runtime_error &e) {
              return std::string(e.what());
            }
          },
          "CHANNEL,SEGMENT,AT,SECONDS"));
  simulate->add_flag("--append", options->bAppend,
                     "Continue the survey in the output file when it exists, after its last segment.");
  simulate->add_flag("--force", options->bForce,
                     "Replace the output file with a new survey when it exists (without it, an existing file is "
                     "refused).");
  simulate->callback([options, pauses, seconds] {
    options->bWalkingPace = seconds->count() == 0;
    for (const std::string &strPause : *pauses) {
      options->pauses.push_back(ParsePause(strPause));
    }
    if (const int nStatus = RunSimulate(*options, std::cout, std::cerr); nStatus != 0) {
      throw CLI::RuntimeError(nStatus);
    }
  });
}
