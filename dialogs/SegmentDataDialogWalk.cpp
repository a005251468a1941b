// The segment dialog's walking handlers: New Segment, the start and stop points, BEGIN ! and
// STOP !, << and >>, the units and the walk's one-second tick. Each acts through the session's
// one segment walk, which keeps the order of the survey's and the plan's calls and the number of
// the segment being walked; the session keeps the walk's figures.
#include "dialogs/SegmentDataDialog.h"

#include "projection/DistanceUnits.h"

#include <QAbstractButton>
#include <QComboBox>

namespace {

constexpr const char *SEGMENT_NUMBER_FORMAT = "%d";
constexpr const char *SEGMENT_SECONDS_FORMAT = "%d";
constexpr const char *SURVEY_SECONDS_FORMAT = "%u";

} // namespace

void CSegmentDataDialog::ConnectWalkHandlers() {
  connect(DlgButton(IDC_NEW_SEGMENT), &QAbstractButton::clicked, this, &CSegmentDataDialog::OnNewSegment);
  connect(DlgButton(IDC_START_POINT), &QAbstractButton::clicked, this, &CSegmentDataDialog::OnStartPoint);
  connect(DlgButton(IDC_STOP_POINT), &QAbstractButton::clicked, this, &CSegmentDataDialog::OnStopPoint);
  connect(DlgButton(IDC_BEGIN_STOP), &QAbstractButton::clicked, this, &CSegmentDataDialog::OnBeginStop);
  connect(DlgButton(IDC_PREV_SEGMENT), &QAbstractButton::clicked, this, &CSegmentDataDialog::OnPrevSegment);
  connect(DlgButton(IDC_NEXT_SEGMENT), &QAbstractButton::clicked, this, &CSegmentDataDialog::OnNextSegment);
  connect(DlgButton(IDC_SAVE_COPY), &QAbstractButton::clicked, this, &CSegmentDataDialog::OnSaveCopy);
  connect(GetDlgItemAs<QComboBox>(IDC_UNITS), &QComboBox::currentIndexChanged, this,
          &CSegmentDataDialog::OnUnitsChange);
  m_WalkTimer.setInterval(WALK_TIMER_MS);
  connect(&m_WalkTimer, &QTimer::timeout, this, &CSegmentDataDialog::OnTimer);
  SetUpCheckAndShortcut();
}

void CSegmentDataDialog::FollowSession() {
  if (m_pSession == nullptr) {
    return;
  }
  _sessionlistener listener;
  listener.pfnStopped = [this](const _sessionlistener::_stopped &stopped) { OnWalkStopped(stopped); };
  // Another survey, or none: nothing of the last walk stays in the dialog. << and >> browse the
  // segments a reopened survey holds.
  listener.pfnOpened = [this](const _sessionlistener::_opened &opened) {
    m_nSegments = static_cast<int32_t>(opened.segments.size());
    WalkReplaced();
  };
  listener.pfnClosed = [this](const std::string &) { WalkReplaced(); };
  m_nListener = m_pSession->AddListener(std::move(listener));
}

const CSegmentWalk *CSegmentDataDialog::Walk() const { return m_pSession != nullptr ? m_pSession->Walk() : nullptr; }

int32_t CSegmentDataDialog::AnnouncedSegment() const {
  const CSegmentWalk *pWalk = Walk();
  return pWalk != nullptr ? pWalk->GetSegment() : 0;
}

void CSegmentDataDialog::Tell(const QString &strText, PromptIcon nIcon) {
  PromptMessage(this, strText, QString::fromUtf8(APP_TITLE), PROMPT_OK, nIcon);
}

bool CSegmentDataDialog::RunWalk(_walkresult (CSurveySession::*pfnOperation)()) {
  if (m_pSession == nullptr) {
    return false;
  }
  const _walkresult result = (m_pSession->*pfnOperation)();
  if (!result) {
    Tell(QString::fromStdString(result.strReason), result.bFileFailed ? PROMPT_ICON_WARNING : PROMPT_ICON_NONE);
    return false;
  }
  return true;
}

void CSegmentDataDialog::ResetPointButtons(bool bEnable) {
  for (const int nId : {IDC_START_POINT, IDC_STOP_POINT}) {
    EnableDlgItem(nId, bEnable);
    CheckDlgButton(nId, false);
  }
}

void CSegmentDataDialog::ShowValue(int nBox, double dMeters, bool bKnown) {
  if (bKnown) {
    ShowDistance(nBox, dMeters);
  } else {
    SetDlgItemText(nBox, QString::fromLatin1(TEXT_NA));
  }
}

void CSegmentDataDialog::OnNewSegment() {
  // The walk refuses while walking, while the segment walked last is not saved, and when the
  // survey is full; pressed again before BEGIN it keeps the segment it announced.
  if (!RunWalk(&CSurveySession::NewSegment)) {
    return;
  }
  ShowAnnounced(); // m_nPointMode is kept
  m_pView->RedrawPlan();
}

void CSegmentDataDialog::ShowAnnounced() {
  m_nSegment = AnnouncedSegment();
  m_nSegments = m_nSegment;
  SetDlgItemText(IDC_SEGMENT_NUMBER, QString::asprintf(SEGMENT_NUMBER_FORMAT, m_nSegment));
  ResetPointButtons(true);
  m_bLengthKnown = false;
  m_bSpeedKnown = false;
  for (const int nId : {IDC_SEGMENT_LENGTH, IDC_AVERAGE_SPEED, IDC_SEGMENT_SECONDS}) {
    SetDlgItemText(nId, QString::fromLatin1(TEXT_NA));
  }
}

void CSegmentDataDialog::OnStartPoint() {
  m_nPointMode = POINT_START;
  const CSegmentWalk *pWalk = Walk();
  if (m_nSegments <= 1 || pWalk == nullptr || !pWalk->CanStartAtPreviousStop()) {
    return; // the next click on the plan sets the start point
  }
  const int nAnswer =
      PromptMessage(this, QString::fromLatin1(TEXT_REUSE_STOP_POINT), QString::fromUtf8(APP_TITLE), PROMPT_YESNO);
  if (nAnswer == PROMPT_ANSWER_YES && RunWalk(&CSurveySession::StartAtPreviousStop)) {
    m_nSegment = AnnouncedSegment(); // its start marker is the one that moved
    m_pView->RedrawPlan();
  }
}

void CSegmentDataDialog::OnStopPoint() { m_nPointMode = POINT_STOP; }

void CSegmentDataDialog::OnBeginStop() {
  if (m_pView == nullptr || m_pSession == nullptr) {
    return;
  }
  const CSegmentWalk *pWalk = Walk();
  // STOP comes first: a receiver lost during the walk must not keep the operator from ending it.
  if (pWalk != nullptr && pWalk->IsWalking()) {
    StopWalk();
    return;
  }
  if (pWalk != nullptr && pWalk->GetState() == WalkState::notSaved) {
    OnRetrySave(); // the button offers Retry
    return;
  }
  if (m_pView->IsReceiverConnecting()) {
    return; // the connection being made ends first; the status bar says so
  }
  if (!m_pView->IsReceiverConnected()) {
    m_pView->ConnectReceiver(); // nothing else: the operator presses BEGIN ! again
    return;
  }
  BeginWalk();
}

bool CSegmentDataDialog::CanBegin() {
  if (m_nPointMode != POINT_STOP) {
    Tell(QString::fromLatin1(TEXT_NO_STOP_POINT));
    return false;
  }
  // The walk begins only with both points placed since New Segment: said before the receiver's
  // state, which the operator may have to change next.
  if (const CSegmentWalk *pWalk = Walk(); pWalk != nullptr && !pWalk->WhyNoBegin().empty()) {
    Tell(QString::fromStdString(pWalk->WhyNoBegin()));
    return false;
  }
  // Without a channel report, or with a survey that has no channel to record, the walk would
  // record nothing.
  if (!m_pSession->Run().m_bMeasurementModeOn || !m_pSession->HasChannelsToRecord()) {
    Tell(QString::fromLatin1(TEXT_NOT_MEASURING));
    return false;
  }
  return true;
}

void CSegmentDataDialog::BeginWalk() {
  // A header that cannot be written leaves the walk and the dialog as they were.
  if (!CanBegin() || !RunWalk(&CSurveySession::Begin)) {
    return;
  }
  ResetPointButtons(false);
  EnableDlgItem(IDC_NEW_SEGMENT, false);
  SetDlgItemText(IDC_BEGIN_STOP, QString::fromLatin1(TEXT_STOP));
  ShowWalking(true);
  // The length of the points the header carries, whichever way they were set.
  SetSegmentLength(m_pSession->Totals().dSegmentLength);
  m_nSegment = AnnouncedSegment();
  m_nSegmentSeconds = 0;
  m_WalkTimer.start();
  m_pView->RedrawPlan();
  m_pView->WalkStateChanged();
}

void CSegmentDataDialog::StopWalk() {
  const _walkresult result = m_pSession->Stop();
  if (!result) {
    Tell(QString::fromStdString(result.strReason));
    return;
  }
  // The dialog has followed the end of the walk (OnWalkStopped); what the operator is to know:
  if (!result.strFailure.empty()) {
    Tell(QString::fromStdString(result.strFailure), PROMPT_ICON_WARNING); // ended, not saved
  } else if (!result.strNote.empty()) {
    Tell(QString::fromStdString(result.strNote), PROMPT_ICON_WARNING);
  }
}

void CSegmentDataDialog::OnWalkStopped(const _sessionlistener::_stopped &stopped) {
  if (stopped.nCause == StopCause::retried) {
    ShowSaveState();
    return;
  }
  const _walktotals &totals = m_pSession->Totals();
  m_WalkTimer.stop();
  SetDlgItemText(IDC_BEGIN_STOP, QString::fromLatin1(TEXT_BEGIN));
  EnableDlgItem(IDC_NEW_SEGMENT);
  ResetPointButtons(false);
  m_dLength = totals.dSegmentLength;
  m_dLengthFeet = MetersToFeet(m_dLength);
  m_dTotal = totals.dTotalDistance;
  m_dTotalFeet = MetersToFeet(m_dTotal);
  ShowValue(IDC_TOTAL_DISTANCE, m_dTotal, true);
  // Before the first tick the walk took no whole second: the speed is not known.
  m_bSpeedKnown = totals.bSpeedKnown;
  m_dSpeed = totals.dSpeed;
  m_dSpeedFeet = MetersToFeet(m_dSpeed);
  ShowValue(IDC_AVERAGE_SPEED, m_dSpeed, m_bSpeedKnown);
  m_nSegmentSeconds = 0; // box 1033 keeps the last count shown
  m_nPointMode = POINT_NONE;
  ShowSaveState();
  if (m_pView != nullptr) {
    m_pView->WalkStateChanged();
  }
  if (stopped.nCause == StopCause::recordLimit) {
    // Ended in the middle of a packet: the operator is told once it is handled.
    const QString strWhy = QString::fromStdString(stopped.bSaved ? stopped.strNote : stopped.strFailure);
    QMetaObject::invokeMethod(
        this, [this, strWhy] { Tell(strWhy, PROMPT_ICON_WARNING); }, Qt::QueuedConnection);
  }
}

void CSegmentDataDialog::OnPrevSegment() {
  if (m_pView != nullptr && m_nSegment > 1) {
    --m_nSegment;
    m_pView->RedrawPlan();
    m_pView->SegmentBrowsed(m_nSegment);
  }
}

void CSegmentDataDialog::OnNextSegment() {
  if (m_pView != nullptr && m_nSegment < m_nSegments) {
    ++m_nSegment;
    m_pView->RedrawPlan();
    m_pView->SegmentBrowsed(m_nSegment);
  }
}

void CSegmentDataDialog::OnUnitsChange(int nIndex) {
  // The feet values follow the metre values wherever these change; they are brought in line here
  // once more, so that the boxes show the same distance in either unit.
  m_dLengthFeet = MetersToFeet(m_dLength);
  m_dTotalFeet = MetersToFeet(m_dTotal);
  m_dSpeedFeet = MetersToFeet(m_dSpeed);
  if (nIndex == UNITS_FEET) {
    SetDlgItemText(IDC_SPEED_UNIT, QString::fromLatin1(TEXT_FEET_PER_SECOND));
    SetDlgItemText(IDC_TOTAL_UNIT, QString::fromLatin1(TEXT_FEET));
  } else if (nIndex == UNITS_METERS) {
    SetDlgItemText(IDC_SPEED_UNIT, QString::fromLatin1(TEXT_METERS_PER_SECOND));
    SetDlgItemText(IDC_TOTAL_UNIT, QString::fromLatin1(TEXT_METERS));
  } else {
    return;
  }
  ShowValue(IDC_SEGMENT_LENGTH, m_dLength, m_bLengthKnown);
  ShowValue(IDC_TOTAL_DISTANCE, m_dTotal, true);
  ShowValue(IDC_AVERAGE_SPEED, m_dSpeed, m_bSpeedKnown);
}

void CSegmentDataDialog::OnTimer() {
  if (m_pSession == nullptr) {
    return;
  }
  m_pSession->CountWalkSecond();
  m_nSegmentSeconds = m_pSession->Totals().nSegmentSeconds;
  SetDlgItemText(IDC_SEGMENT_SECONDS, QString::asprintf(SEGMENT_SECONDS_FORMAT, m_nSegmentSeconds));
  m_nSurveySeconds = m_pSession->Totals().nSurveySeconds;
  SetDlgItemText(IDC_SURVEY_SECONDS, QString::asprintf(SURVEY_SECONDS_FORMAT, static_cast<unsigned>(m_nSurveySeconds)));
}
