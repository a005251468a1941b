#include "app/TarvexCollectorView.h"

#include "app/Brackwell.h"
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "quality/QualityFile.h"

namespace {

// How screen readers and desktop automation name the view.
const char *const VIEW_ACCESSIBLE_NAME = "Site Plan";
// The wait between the connection dialog's OK and the first command to the receiver, which
// gives the unit time to settle after its port opened.
constexpr int CONNECT_WAIT_MS = 3000;

} // namespace

CTarvexCollectorView::CTarvexCollectorView(QWidget *pParent)
    : QAbstractScrollArea(pParent), m_Session(RunCallbacks()), m_pQuality(std::make_unique<CSurveyQuality>(m_Session)),
      m_Run(m_Session.Run()), m_Projection(m_Session.Projection()), m_SitePlan(m_Session.Plan()), m_IntroDialog(this),
      m_SegmentDialog(this, this), m_DetailsDialog(this, &m_Session, m_pQuality.get()), m_DistanceDialog(this),
      m_ConnectionDialog(this, std::make_unique<CBrackwell>()),
      m_pLink(static_cast<CBrackwell *>(&m_ConnectionDialog.m_Link)), m_HelpDialog(this) {
  setAccessibleName(QString::fromUtf8(VIEW_ACCESSIBLE_NAME));
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAutoFillBackground(false);

  // The collection run: the projection's kind goes to its status pane as a load recognises it,
  // and the wait after the connection dialog ends with the first command.
  m_Projection.SetStatusCallback([this](const std::string &strStatus) {
    if (CMainFrame *pFrame = Frame()) {
      pFrame->SetPaneText(ID_INDICATOR_PROJECTION, QString::fromStdString(strStatus));
    }
  });
  m_ConnectTimer.setSingleShot(true);
  m_ConnectTimer.setInterval(CONNECT_WAIT_MS);
  connect(&m_ConnectTimer, &QTimer::timeout, this, &CTarvexCollectorView::OnConnectWaitOver);
  SetUpReceiverStatus(); // the receiver in view: ViewReceiver.cpp
  ListenToSession();
  m_Session.AddNameRule(QualityFileNameProblem); // a new survey never takes a quality side file's name
  // The coverage over the plan: repainted as it grows, what it notes in the status bar.
  connect(&m_Coverage, &CCoverageOverlay::Changed, this, [this] {
    viewport()->update();
    UpdateCoverageCommands();
  });
  connect(&m_Coverage, &CCoverageOverlay::Note, this, [this](const QString &strText) { ShowStatus(strText); });
  SetUpQuality();                     // the segments' checks: ViewQuality.cpp
  viewport()->setMouseTracking(true); // the status bar follows the pointer without a button held
}

// The link posts nothing more to the view from here on (a wake being posted is waited for), and
// Qt drops the wakes already posted with the view. The dialogs go, the connection dialog's link
// stopping its worker; then the session, its walk first, then the survey data, writing what it
// still buffers, then the site plan it refers to.
CTarvexCollectorView::~CTarvexCollectorView() { Link().DetachTarget(); }

CMainFrame *CTarvexCollectorView::Frame() const { return qobject_cast<CMainFrame *>(window()); }

void CTarvexCollectorView::SetReceiverPane(QLabel *pPane) { m_ReceiverStatus.SetPane(pPane); }

void CTarvexCollectorView::ShowReceiverInformation() {
  m_IntroDialog.show();
  m_IntroDialog.raise();
  m_IntroDialog.activateWindow();
}

void CTarvexCollectorView::UseReceiverClock(CWaitClock &clock) {
  m_ReceiverStatus.UseClock(clock);
  m_ReceiverStatus.Refresh();
}

void CTarvexCollectorView::RefreshReceiverStatus() { m_ReceiverStatus.Refresh(); }
