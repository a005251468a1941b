// The segment dialog's line with the check of the segment stopped last, STOP ! in colour while a
// segment is walked, the key that presses BEGIN ! / STOP !, and Walk again.
#include "dialogs/SegmentDataDialog.h"

#include "quality/SurveyQuality.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QShortcut>

namespace {

// The colours of the check line: a segment that passed, and one that was flagged.
constexpr QRgb CHECK_PASSED_COLOUR = 0x006B1E;
constexpr QRgb CHECK_FLAGGED_COLOUR = 0xB04A00;
// STOP ! while walking: white on red, bold, so that it is seen from a step away.
const char *const WALKING_BUTTON_STYLE =
    "QPushButton { background-color: #C8102E; color: white; font-weight: bold; border: 1px solid #7A0A1C; "
    "border-radius: 3px; padding: 3px 10px; }";
// Line 1067 after Walk again: the new segment's number and the one it walks again.
const char *const TEXT_WALK_AGAIN = "Segment %1 walks segment %2 again: press BEGIN ! at its start point.";
// The button's tip: what it does, and its key.
const char *const TIP_BEGIN_STOP = "BEGIN ! / STOP ! (%1)";

} // namespace

void CSegmentDataDialog::SetUpCheckAndShortcut() {
  auto *pCheck = GetDlgItemAs<QLabel>(IDC_SEGMENT_CHECK);
  pCheck->setText(QString::fromLatin1(TEXT_NO_CHECK));
  pCheck->hide();
  // From anywhere in the program: the plan, this dialog or another of its windows.
  auto *pKey = new QShortcut(QKeySequence(QString::fromLatin1(BEGIN_STOP_SHORTCUT)), this);
  pKey->setContext(Qt::ApplicationShortcut);
  connect(pKey, &QShortcut::activated, this, &CSegmentDataDialog::OnBeginStopKey);
  DlgButton(IDC_BEGIN_STOP)
      ->setToolTip(QString::fromLatin1(TIP_BEGIN_STOP).arg(QString::fromLatin1(BEGIN_STOP_SHORTCUT)));
}

void CSegmentDataDialog::OnBeginStopKey() {
  // A message box or another modal dialog waits for its answer first.
  if (QApplication::activeModalWidget() != nullptr || m_pSession == nullptr || !m_pSession->IsOpen()) {
    return;
  }
  if (!isVisible()) {
    show();
    raise();
  }
  OnBeginStop();
}

void CSegmentDataDialog::ShowWalking(bool bWalking) {
  QAbstractButton *pButton = DlgButton(IDC_BEGIN_STOP);
  pButton->setStyleSheet(bWalking ? QString::fromLatin1(WALKING_BUTTON_STYLE) : QString());
  if (bWalking) {
    GetDlgItem(IDC_SEGMENT_CHECK)->hide(); // the last segment's check is over
  }
}

void CSegmentDataDialog::ShowCheck(const QString &strLine, bool bPassed) {
  auto *pCheck = GetDlgItemAs<QLabel>(IDC_SEGMENT_CHECK);
  QPalette palette = pCheck->palette();
  palette.setColor(QPalette::WindowText, QColor::fromRgb(bPassed ? CHECK_PASSED_COLOUR : CHECK_FLAGGED_COLOUR));
  pCheck->setPalette(palette);
  QFont font = pCheck->font();
  font.setBold(!bPassed);
  pCheck->setFont(font);
  pCheck->setText(strLine);
  pCheck->show();
}

void CSegmentDataDialog::WalkAgain(uint32_t nSegment) {
  CSurveyQuality *pQuality = m_pView != nullptr ? m_pView->GetQuality() : nullptr;
  if (pQuality == nullptr) {
    return;
  }
  const _walkresult result = pQuality->WalkAgain(nSegment);
  if (!result) {
    Tell(QString::fromStdString(result.strReason), result.bFileFailed ? PROMPT_ICON_WARNING : PROMPT_ICON_NONE);
    return;
  }
  ShowAnnounced();
  // Both points are set: BEGIN ! walks it.
  SetSegmentLength(m_pSession->Totals().dSegmentLength);
  m_nPointMode = POINT_STOP;
  CheckDlgButton(IDC_STOP_POINT, true);
  ShowCheck(QString::fromLatin1(TEXT_WALK_AGAIN).arg(m_nSegment).arg(nSegment), true);
  m_pView->RedrawPlan();
}
