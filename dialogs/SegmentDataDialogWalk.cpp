// The segment dialog's walking handlers: New Segment, the start and stop points, BEGIN ! and
// STOP !, << and >>, the units and the walk's one-second tick. Each acts through the view's one
// segment walk, which keeps the order of the survey's and the plan's calls and the number of the
// segment being walked.
#include "dialogs/SegmentDataDialog.h"

#include "platform/FileException.h"
#include "projection/DistanceUnits.h"
#include "survey/SegmentWalk.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGuiApplication>

namespace {

constexpr const char *SEGMENT_NUMBER_FORMAT = "%d";
constexpr const char *SEGMENT_SECONDS_FORMAT = "%d";
constexpr const char *SURVEY_SECONDS_FORMAT = "%u";
// A button pressed while no survey is open (the dialog is meant to be shown only with one).
constexpr const char *TEXT_NO_SURVEY = "No survey data file is open: open or create one with Open Collection first.";

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
}

CSegmentWalk *CSegmentDataDialog::Walk() const { return m_pView != nullptr ? m_pView->GetWalk() : nullptr; }

int32_t CSegmentDataDialog::AnnouncedSegment() const {
  const CSegmentWalk *pWalk = Walk();
  return pWalk != nullptr ? pWalk->GetSegment() : 0;
}

void CSegmentDataDialog::Tell(const QString &strText, PromptIcon nIcon) {
  PromptMessage(this, strText, QGuiApplication::applicationDisplayName(), PROMPT_OK, nIcon);
}

bool CSegmentDataDialog::RunWalk(_walkresult (CSegmentWalk::*pfnOperation)()) {
  CSegmentWalk *pWalk = Walk();
  if (pWalk == nullptr) {
    Tell(QString::fromUtf8(TEXT_NO_SURVEY));
    return false;
  }
  try {
    const _walkresult result = (pWalk->*pfnOperation)();
    if (!result) {
      Tell(QString::fromStdString(result.strReason));
      return false;
    }
  } catch (const CFileException &e) {
    Tell(QString::fromStdString(e.GetErrorMessage()), PROMPT_ICON_WARNING);
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
  if (!RunWalk(&CSegmentWalk::NewSegment)) {
    return;
  }
  m_nSegment = AnnouncedSegment();
  m_nSegments = m_nSegment;
  SetDlgItemText(IDC_SEGMENT_NUMBER, QString::asprintf(SEGMENT_NUMBER_FORMAT, m_nSegment));
  ResetPointButtons(true); // m_nPointMode is kept
  m_bLengthKnown = false;
  m_bSpeedKnown = false;
  for (const int nId : {IDC_SEGMENT_LENGTH, IDC_AVERAGE_SPEED, IDC_SEGMENT_SECONDS}) {
    SetDlgItemText(nId, QString::fromLatin1(TEXT_NA));
  }
  m_pView->RedrawPlan();
}

void CSegmentDataDialog::OnStartPoint() {
  m_nPointMode = POINT_START;
  const CSegmentWalk *pWalk = Walk();
  if (m_nSegments <= 1 || pWalk == nullptr || !pWalk->CanStartAtPreviousStop()) {
    return; // the next click on the plan sets the start point
  }
  const int nAnswer = PromptMessage(this, QString::fromLatin1(TEXT_REUSE_STOP_POINT),
                                    QGuiApplication::applicationDisplayName(), PROMPT_YESNO);
  if (nAnswer == PROMPT_ANSWER_YES && RunWalk(&CSegmentWalk::StartAtPreviousStop)) {
    m_nSegment = AnnouncedSegment(); // its start marker is the one that moved
    m_pView->RedrawPlan();
  }
}

void CSegmentDataDialog::OnStopPoint() { m_nPointMode = POINT_STOP; }

void CSegmentDataDialog::OnBeginStop() {
  if (m_pView == nullptr) {
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
  // Without a channel report, or with a survey that has no channel to record, the walk would
  // record nothing.
  if (!m_pView->IsMeasurementModeOn() || !m_pView->HasChannelsToRecord()) {
    Tell(QString::fromLatin1(TEXT_NOT_MEASURING));
    return false;
  }
  return true;
}

void CSegmentDataDialog::BeginWalk() {
  // A header that cannot be written leaves the walk and the dialog as they were.
  if (!CanBegin() || !RunWalk(&CSegmentWalk::Begin)) {
    return;
  }
  ResetPointButtons(false);
  EnableDlgItem(IDC_NEW_SEGMENT, false);
  SetDlgItemText(IDC_BEGIN_STOP, QString::fromLatin1(TEXT_STOP));
  // The length of the points the header carries, whichever way they were set.
  SetSegmentLength(Walk()->GetSegmentLength());
  m_nSegment = AnnouncedSegment();
  m_nSegmentSeconds = 0;
  m_WalkTimer.start();
  m_pView->RedrawPlan();
  m_pView->WalkStateChanged();
}

void CSegmentDataDialog::StopWalk(bool bTell) {
  CSegmentWalk &walk = *Walk();
  QString strFailure;
  QString strNote;
  try {
    const _walkresult result = walk.Stop();
    if (!result) {
      Tell(QString::fromStdString(result.strReason));
      return;
    }
    strNote = QString::fromStdString(result.strNote); // at the record limit: why the walk ended
  } catch (const CFileException &e) {
    strFailure = QString::fromStdString(e.GetErrorMessage()); // the walk has ended, not saved
  }
  m_WalkTimer.stop();
  SetDlgItemText(IDC_BEGIN_STOP, QString::fromLatin1(TEXT_BEGIN));
  EnableDlgItem(IDC_NEW_SEGMENT);
  ResetPointButtons(false);
  m_dTotal += m_dLength;
  m_dTotalFeet = MetersToFeet(m_dTotal);
  ShowValue(IDC_TOTAL_DISTANCE, m_dTotal, true);
  // Before the first tick the walk took no whole second: the speed is not known.
  m_bSpeedKnown = m_nSegmentSeconds > 0;
  m_dSpeed = m_bSpeedKnown ? m_dLength / m_nSegmentSeconds : 0.0;
  m_dSpeedFeet = MetersToFeet(m_dSpeed);
  ShowValue(IDC_AVERAGE_SPEED, m_dSpeed, m_bSpeedKnown);
  m_nSegmentSeconds = 0; // box 1033 keeps the last count shown
  m_nPointMode = POINT_NONE;
  ShowSaveState();
  m_pView->WalkStateChanged();
  if (!bTell) {
    return;
  }
  if (!strFailure.isEmpty()) {
    Tell(strFailure, PROMPT_ICON_WARNING);
  } else if (!strNote.isEmpty()) {
    Tell(strNote, PROMPT_ICON_WARNING);
  }
}

void CSegmentDataDialog::OnSegmentFull() {
  if (m_bWalking) {
    StopWalk();
  }
}

void CSegmentDataDialog::EndWalkQuietly() {
  if (m_bWalking) {
    StopWalk(false);
  }
}

void CSegmentDataDialog::OnPrevSegment() {
  if (m_pView != nullptr && m_nSegment > 1) {
    --m_nSegment;
    m_pView->RedrawPlan();
  }
}

void CSegmentDataDialog::OnNextSegment() {
  if (m_pView != nullptr && m_nSegment < m_nSegments) {
    ++m_nSegment;
    m_pView->RedrawPlan();
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
  ++m_nSegmentSeconds;
  SetDlgItemText(IDC_SEGMENT_SECONDS, QString::asprintf(SEGMENT_SECONDS_FORMAT, m_nSegmentSeconds));
  ++m_nSurveySeconds;
  SetDlgItemText(IDC_SURVEY_SECONDS, QString::asprintf(SURVEY_SECONDS_FORMAT, static_cast<unsigned>(m_nSurveySeconds)));
}
