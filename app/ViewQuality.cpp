// The segments' checks in the window: the check of a segment at its STOP, the browsed segment's
// details beside the segment dialog, Walk again, the walk's status pane, the dialogs' places
// beside the plan and the window's title.
#include "app/TarvexCollectorView.h"

#include "app/AppIdentity.h"
#include "app/CommandIds.h"
#include "app/DialogPlacement.h"
#include "app/MainFrame.h"

#include <QFileInfo>
#include <QLabel>

namespace {

// The walk's pane: whether a segment is walked, and the levels recorded in it so far.
const char *const PANE_NOT_WALKING = "Not walking";
const char *const PANE_WALKING = "#%1: %2"; // on red: the segment walked, its levels so far
const char *const PANE_WALKING_TIP = "Segment %1 is being walked: %2 levels recorded so far";
const char *const PANE_WALKING_STYLE = "QLabel { background-color: #C8102E; color: white; font-weight: bold; }";
// What the segment dialog's check line adds to the check's sentence.
const char *const TEXT_REPLACES = " It replaces segment %1.";
const char *const TEXT_NOT_WRITTEN = " Its quality side file could not be written: %1";
// "DOCUMENT - Tarvex Collector", and the document: "SURVEY (PROJECTION)".
const char *const TITLE_FORMAT = "%1 - %2";
const char *const DOCUMENT_FORMAT = "%1 (%2)";

} // namespace

void CTarvexCollectorView::SetUpQuality() {
  CSurveyQuality::_callbacks callbacks;
  callbacks.pfnChanged = [this] {
    m_Coverage.FollowQuality(m_pQuality->Record()); // a replaced or excluded walk leaves the coverage
    viewport()->update();                           // the markers show how each segment stands
    m_DetailsDialog.ShowSegment(m_DetailsDialog.Segment());
  };
  callbacks.pfnStopChecked = [this](const _stopcheck &stop) { OnStopChecked(stop); };
  m_pQuality->SetCallbacks(std::move(callbacks));
  _sessionlistener listener;
  listener.pfnBegun = [this](int32_t) { ShowWalkPane(); };
  listener.pfnLevels = [this](const _sessionlistener::_levels &) { ShowWalkPane(); };
  listener.pfnStopped = [this](const _sessionlistener::_stopped &) { ShowWalkPane(); };
  listener.pfnOpened = [this](const _sessionlistener::_opened &) {
    ShowWalkPane();
    UpdateTitle();
  };
  listener.pfnClosed = [this](const std::string &) {
    ShowWalkPane();
    UpdateTitle();
  };
  m_Session.AddListener(std::move(listener));
  connect(&m_DetailsDialog, &CSegmentDetailsDialog::WalkAgainRequested, this, [this](uint32_t nSegment) {
    ShowSegmentDialog();
    m_SegmentDialog.WalkAgain(nSegment);
  });
  PlaceDialogs();
}

// The segment dialog and the details beside it on the plan's right, the receiver's panel and the
// distance on its left: the plan's middle stays free.
void CTarvexCollectorView::PlaceDialogs() {
  CDialogPlacement::Follow(&m_SegmentDialog, this, CDialogPlacement::right, 0);
  CDialogPlacement::Follow(&m_DetailsDialog, this, CDialogPlacement::right, 1);
  CDialogPlacement::Follow(&m_IntroDialog, this, CDialogPlacement::left, 0);
  CDialogPlacement::Follow(&m_DistanceDialog, this, CDialogPlacement::left, 1);
}

void CTarvexCollectorView::SegmentBrowsed(int32_t nSegment) {
  if (!m_DetailsDialog.isVisible()) {
    m_DetailsDialog.show(); // first: a shown dialog's layout knows how tall its text is
  }
  m_DetailsDialog.ShowSegment(nSegment);
}

void CTarvexCollectorView::OnStopChecked(const _stopcheck &stop) {
  QString strLine = QString::fromStdString(stop.strSentence);
  if (stop.nReplaced != 0) {
    strLine += QString::fromLatin1(TEXT_REPLACES).arg(stop.nReplaced);
  }
  if (!stop.strProblem.empty()) {
    strLine += QString::fromLatin1(TEXT_NOT_WRITTEN).arg(QString::fromStdString(stop.strProblem));
  }
  m_SegmentDialog.ShowCheck(strLine, stop.bChecked && stop.bPassed && stop.strProblem.empty());
  m_DetailsDialog.ShowSegment(static_cast<int32_t>(stop.nSegment));
}

void CTarvexCollectorView::ShowWalkPane() {
  CMainFrame *pFrame = Frame();
  QLabel *pPane = pFrame != nullptr ? pFrame->Pane(ID_INDICATOR_WALK) : nullptr;
  if (pPane == nullptr) {
    return;
  }
  if (!m_Session.IsWalking()) {
    pPane->setStyleSheet({});
    pPane->setToolTip({});
    pPane->setText(QString::fromLatin1(PANE_NOT_WALKING));
    return;
  }
  const _walktotals &totals = m_Session.Totals();
  const int32_t nSegment = m_Session.Walk()->GetSegment();
  const uint64_t nLevels = totals.nSegmentLevels[0] + totals.nSegmentLevels[1];
  pPane->setStyleSheet(QString::fromLatin1(PANE_WALKING_STYLE));
  pPane->setText(QString::fromLatin1(PANE_WALKING).arg(nSegment).arg(nLevels));
  pPane->setToolTip(QString::fromLatin1(PANE_WALKING_TIP).arg(nSegment).arg(nLevels));
}

QString CTarvexCollectorView::DocumentTitle() const {
  const QString strSurvey =
      m_Session.IsOpen() ? QFileInfo(QString::fromStdString(m_Session.SiteData()->m_strPath)).fileName() : QString();
  const QString strProjection =
      m_Run.m_bProjectionLoaded ? QFileInfo(QString::fromStdString(m_Projection.m_strPath)).fileName() : QString();
  if (strSurvey.isEmpty() && strProjection.isEmpty()) {
    return QString::fromUtf8(APP_TITLE);
  }
  QString strDocument = strSurvey.isEmpty() ? strProjection : strSurvey;
  if (!strSurvey.isEmpty() && !strProjection.isEmpty()) {
    strDocument = QString::fromLatin1(DOCUMENT_FORMAT).arg(strSurvey, strProjection);
  }
  return QString::fromLatin1(TITLE_FORMAT).arg(strDocument, QString::fromUtf8(APP_TITLE));
}

void CTarvexCollectorView::UpdateTitle() {
  if (CMainFrame *pFrame = Frame()) {
    pFrame->setWindowTitle(DocumentTitle());
  }
}
