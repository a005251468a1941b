// The survey session: the steps of a walk, its totals, and the receiver's packets.
#include "survey/SurveySession.h"

#include "platform/FileException.h"

#include <algorithm>
#include <exception>

namespace {

// A step of the walk asked for while no survey is open.
constexpr const char *SESSION_TEXT_NO_SURVEY =
    "No survey data file is open: open or create one with Open Collection first.";

_walkresult Refused(std::string strReason, bool bFileFailed = false) {
  _walkresult result;
  result.bDone = false;
  result.strReason = std::move(strReason);
  result.bFileFailed = bFileFailed;
  return result;
}

_walkresult NoSurvey() { return Refused(SESSION_TEXT_NO_SURVEY); }

} // namespace

_collectioncallbacks CSurveySession::SessionCallbacks(_collectioncallbacks callbacks) {
  callbacks.pfnSegmentFull = [this] { OnSegmentFull(); };
  callbacks.pfnLevelsRecorded = [this](const LevelsMessage &message) { OnLevelsRecorded(message); };
  return callbacks;
}

_walkresult CSurveySession::RunStep(const std::function<_walkresult()> &pfnStep) {
  if (m_pWalk == nullptr) {
    return NoSurvey();
  }
  try {
    return pfnStep();
  } catch (const CFileException &failure) {
    return Refused(failure.GetErrorMessage(), true);
  }
}

_walkresult CSurveySession::NewSegment() {
  const bool bAnnounced = m_pWalk != nullptr && m_pWalk->GetState() == WalkState::announced;
  _walkresult result = RunStep([this] { return m_pWalk->NewSegment(); });
  if (result && !bAnnounced) { // pressed again before BEGIN, it keeps the segment it announced
    Tell(&_sessionlistener::pfnAnnounced, m_pWalk->GetSegment());
  }
  return result;
}

_walkresult CSurveySession::SetStartPoint(const _pixelpoint &ptPlan) {
  return RunStep([&] { return m_pWalk->SetStartPoint(ptPlan); });
}

_walkresult CSurveySession::SetStopPoint(const _pixelpoint &ptPlan) {
  _walkresult result = RunStep([&] { return m_pWalk->SetStopPoint(ptPlan); });
  if (result) {
    m_totals.dSegmentLength = m_pWalk->GetSegmentLength();
  }
  return result;
}

_walkresult CSurveySession::StartAtPreviousStop() {
  return RunStep([this] { return m_pWalk->StartAtPreviousStop(); });
}

_walkresult CSurveySession::Begin() {
  _walkresult result = RunStep([this] { return m_pWalk->Begin(); });
  if (result) {
    // The length of the points the header carries, whichever way they were set.
    m_totals.dSegmentLength = m_pWalk->GetSegmentLength();
    m_totals.nSegmentSeconds = 0;
    m_totals.nSegmentLevels = {};
    Tell(&_sessionlistener::pfnBegun, m_pWalk->GetSegment());
  }
  return result;
}

_walkresult CSurveySession::Stop(StopCause nCause) {
  if (m_pWalk == nullptr) {
    return NoSurvey();
  }
  _walkresult result;
  try {
    result = m_pWalk->Stop();
    if (!result) {
      return result;
    }
  } catch (const CFileException &failure) {
    result.bFileFailed = true; // the walk has ended all the same; its segment is not saved
    result.strFailure = failure.GetErrorMessage();
  }
  m_totals.dTotalDistance += m_totals.dSegmentLength;
  // Before the first second the walk took no time that can be divided by.
  m_totals.bSpeedKnown = m_totals.nSegmentSeconds > 0;
  m_totals.dSpeed = m_totals.bSpeedKnown ? m_totals.dSegmentLength / m_totals.nSegmentSeconds : 0.0;
  Tell(&_sessionlistener::pfnStopped, _sessionlistener::_stopped{m_pWalk->GetSegment(), nCause, !result.bFileFailed,
                                                                 result.strNote, result.strFailure});
  return result;
}

_walkresult CSurveySession::RetrySave() {
  _walkresult result = RunStep([this] { return m_pWalk->RetrySave(); });
  if (result) {
    _sessionlistener::_stopped stopped;
    stopped.nSegment = m_pWalk->GetSegment();
    stopped.nCause = StopCause::retried;
    Tell(&_sessionlistener::pfnStopped, stopped);
  }
  return result;
}

void CSurveySession::CountWalkSecond() {
  if (IsWalking()) {
    ++m_totals.nSegmentSeconds;
    ++m_totals.nSurveySeconds;
  }
}

// The walked segment holds the most records a segment can hold: the walk ends here as STOP ends
// it. Called for every level message the full segment refuses, so only while it still walks.
void CSurveySession::OnSegmentFull() {
  if (IsWalking()) {
    (void)Stop(StopCause::recordLimit);
  }
}

void CSurveySession::OnLevelsRecorded(const LevelsMessage &message) {
  const auto k = static_cast<size_t>(message.nChannel - 1);
  m_totals.nSegmentLevels[k] += message.levels.size();
  Tell(&_sessionlistener::pfnLevels, _sessionlistener::_levels{m_pWalk != nullptr ? m_pWalk->GetSegment() : 0,
                                                               message.nChannel, message.levels, m_nArrivalMs});
}

_sessionresult CSurveySession::OnReceiverPacket(const uint8_t *pPayload, uint32_t nLength, int64_t nArrivalMs) {
  m_nArrivalMs = nArrivalMs;
  const ReceiverMessage message = m_pfnDecode(pPayload, nLength);
  Tell(&_sessionlistener::pfnMessage, message);
  _sessionresult result;
  try {
    m_Run.OnReceiverMessage(message);
  } catch (const CFileException &failure) {
    result.nOutcome = _sessionresult::failed;
    result.strSentence = failure.GetErrorMessage();
  } catch (const std::exception &failure) {
    result.nOutcome = _sessionresult::failed;
    result.strSentence = failure.what();
  }
  return result;
}

int64_t CSurveySession::ArrivalMs(std::chrono::steady_clock::time_point tArrived) const {
  const auto age = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - tArrived);
  return m_pClock->NowMs() - std::max<int64_t>(0, age.count());
}
