#include "app/ScreenshotTour.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/TarvexCollectorView.h"
#include "dialogs/ConnectionDialog.h"
#include "dialogs/DialogIds.h"
#include "dialogs/Prompts.h"
#include "dialogs/SegmentDataDialog.h"
#include "dialogs/SimulatedReceiverPanel.h"
#include "dialogs/WarningDialog.h"
#include "platform/SimulatedReceiver.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>

#include <functional>
#include <memory>
#include <utility>

namespace {

const char *const TEXT_STEP_FAILED = "The pictures of a first survey stopped at %1: %2";
const char *const TEXT_NOT_WRITTEN = "%1 could not be written.";
const char *const TOUR_SURVEY_NAME = "First survey.tvd";
// The wait between the connection dialog and the first command: the simulated receiver needs none
// of the real unit's 3 s.
constexpr int CONNECT_WAIT_MS = 300;
// How long a step may take before the tour gives up on it.
constexpr int STEP_TIMEOUT_MS = 15000;
// Each walk: about three ticks of the segment dialog's one-second timer.
constexpr int WALK_MS = 3300;
// Room between a dialog drawn over the window and the window's right edge and top.
constexpr int DIALOG_MARGIN = 16;
constexpr int DIALOG_TOP = 72;
// Along the sample office's corridor, in plan pixels (3 cm each): two segments of about 5 m.
constexpr int CORRIDOR_Y = 700;
constexpr int WALK_X[] = {160, 330, 500};

// Lets the program run (the link's packets, the timers) until fnDone says so, or nMs have passed.
bool WaitFor(const std::function<bool()> &fnDone, int nMs) {
  QElapsedTimer timer;
  timer.start();
  while (!fnDone()) {
    if (timer.hasExpired(nMs)) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(10);
  }
  QCoreApplication::processEvents();
  return true;
}

void Spend(int nMs) {
  WaitFor([] { return false; }, nMs);
}

// Everything the tour does, as the operator would do it; the program's questions are answered
// here too, as its prompts.
class CFirstSurveyTour : public CPrompts {
public:
  CFirstSurveyTour(CMainFrame &frame, std::shared_ptr<CSimulatedReceiver> pReceiver, QString strDir)
      : m_frame(frame), m_view(*frame.GetView()), m_pReceiver(std::move(pReceiver)), m_dir(std::move(strDir)) {}

  QString Run(const QString &strProjection);

  // OK to every note. A question is answered No while no survey is open (whether to open an
  // existing one), Yes once one is (the start at the previous stop point). A warning is a step
  // that went wrong.
  int Message(QWidget * /*pParent*/, const _messageprompt &prompt) override {
    if (prompt.nIcon == PROMPT_ICON_WARNING || prompt.nIcon == PROMPT_ICON_CRITICAL) {
      m_strProblem = prompt.strText;
      return PROMPT_ANSWER_CANCEL;
    }
    if (prompt.nButtons != PROMPT_YESNO && prompt.nButtons != PROMPT_YESNOCANCEL) {
      return PROMPT_ANSWER_OK;
    }
    return m_view.Session().IsOpen() ? PROMPT_ANSWER_YES : PROMPT_ANSWER_NO;
  }
  // The projection for Open Projection, the new survey's name for Open Collection.
  QString File(QWidget * /*pParent*/, const _fileprompt &prompt) override {
    return prompt.nKind == _fileprompt::open ? m_strProjection : m_work.filePath(QString::fromUtf8(TOUR_SURVEY_NAME));
  }
  int Modal(QDialog &dialog) override;

private:
  bool Connect();
  bool OpenFiles(const QString &strProjection);
  bool Measure();
  bool WalkSegments();
  bool Fail(const char *szStep, const QString &strWhy);
  bool Shoot(const char *szFile, QWidget *pOver = nullptr, bool bCentred = false);
  bool ShootAlone(const char *szFile, QWidget &window);
  bool Save(const QPixmap &picture, const char *szFile);
  void Press(int nId) const;
  // The segment dialog the view shows.
  CSegmentDataDialog &SegmentDialog() const { return *m_view.findChild<CSegmentDataDialog *>(); }
  void Click(int nPlanX) const;

  CMainFrame &m_frame;
  CTarvexCollectorView &m_view;
  std::shared_ptr<CSimulatedReceiver> m_pReceiver;
  QDir m_dir;
  QTemporaryDir m_work;
  QString m_strProjection; // the copy of the projection in m_work
  QString m_strProblem;    // the warning the program showed, or the step's own failure
  QString m_strFailed;     // the whole sentence, once a step failed
};

QString CFirstSurveyTour::Run(const QString &strProjection) {
  CPrompts *pPrevious = &CPrompts::Current();
  CPrompts::Install(this);
  const bool bDone = Connect() && OpenFiles(strProjection) && Measure() && WalkSegments();
  if (m_view.Session().IsOpen()) {
    m_view.CloseSurvey();
  }
  SegmentDialog().hide();
  CPrompts::Install(pPrevious);
  return bDone ? QString() : m_strFailed;
}

// The connection dialog and the answer to "Connect !" are taken as the operator sees them.
int CFirstSurveyTour::Modal(QDialog &dialog) {
  if (auto *pConnection = qobject_cast<CConnectionDialog *>(&dialog)) {
    dialog.show();
    if (Shoot("survey-1-connect.png", &dialog, true)) {
      pConnection->OnConnect();
    }
  } else if (auto *pChannels = qobject_cast<CWarningDialog *>(&dialog)) {
    dialog.show();
    pChannels->m_btnTwoChannels->setChecked(true);
    if (Shoot("survey-3-channels.png", &dialog, true)) {
      QMetaObject::invokeMethod(pChannels, "OnOK");
    }
  } else {
    dialog.reject(); // the help pages, closed: the segment dialog follows
  }
  dialog.hide();
  return dialog.result();
}

// Each step through its command, as the toolbar's button gives it.
bool CFirstSurveyTour::Connect() {
  m_view.SetConnectWait(CONNECT_WAIT_MS);
  m_frame.Action(ID_CONNECT)->trigger();
  if (!m_strFailed.isEmpty()) {
    return false;
  }
  if (!WaitFor([this] { return m_view.IsReceiverConnected() && m_view.Session().Run().m_nReceiverPresence != 0; },
               STEP_TIMEOUT_MS)) {
    return Fail("Connect", QStringLiteral("the simulated receiver did not answer"));
  }
  return true;
}

bool CFirstSurveyTour::OpenFiles(const QString &strProjection) {
  m_strProjection = m_work.filePath(QFileInfo(strProjection).fileName());
  if (!QFile::copy(strProjection, m_strProjection)) {
    return Fail("Open Projection", QDir::toNativeSeparators(strProjection) + QStringLiteral(" could not be copied"));
  }
  m_frame.Action(ID_FILE_OPENPROJECTION)->trigger();
  if (!m_view.Session().Run().m_bProjectionLoaded) {
    return Fail("Open Projection", m_strProblem);
  }
  if (!Shoot("survey-2-projection.png")) {
    return false;
  }
  m_frame.Action(ID_FILE_OPENCOLLECTION)->trigger();
  if (!m_view.Session().IsOpen()) {
    return Fail("Open Collection", m_strProblem);
  }
  return m_strFailed.isEmpty();
}

// MEASURE on the unit's front panel; the window fitted to show the whole plan.
bool CFirstSurveyTour::Measure() {
  CSimulatedReceiverPanel panel(m_pReceiver, &m_frame);
  panel.show();
  panel.OnMeasure();
  const CSurveySession &session = m_view.Session();
  if (!WaitFor([&session] { return session.Run().m_bMeasurementModeOn && session.HasChannelsToRecord(); },
               STEP_TIMEOUT_MS)) {
    return Fail("MEASURE", QStringLiteral("the simulated receiver sent no valid channel report"));
  }
  m_view.OnFitToDisplay();
  Spend(1200); // a second of levels for the receiver's pane to count
  return Shoot("survey-4-measure.png", &panel);
}

bool CFirstSurveyTour::WalkSegments() {
  CSegmentDataDialog &dialog = SegmentDialog();
  for (int nSegment = 1; nSegment <= 2; ++nSegment) {
    Press(IDC_NEW_SEGMENT);
    Press(IDC_START_POINT); // segment 2: Yes, at segment 1's stop point
    if (nSegment == 1) {
      Click(WALK_X[0]);
    }
    Press(IDC_STOP_POINT);
    Click(WALK_X[nSegment]);
    Press(IDC_BEGIN_STOP);
    if (!dialog.m_bWalking) {
      return Fail("BEGIN !", m_strProblem);
    }
    if (nSegment == 2) {
      Spend(WALK_MS / 2);
      if (!Shoot("survey-5-walking.png", &dialog)) {
        return false;
      }
    }
    Spend(nSegment == 2 ? WALK_MS - WALK_MS / 2 : WALK_MS);
    Press(IDC_BEGIN_STOP);
    if (dialog.m_bWalking || !m_strProblem.isEmpty()) {
      return Fail("STOP !", m_strProblem);
    }
  }
  return ShootAlone("survey-6-segment-data.png", dialog);
}

bool CFirstSurveyTour::Fail(const char *szStep, const QString &strWhy) {
  if (m_strFailed.isEmpty()) {
    m_strFailed = QString::fromUtf8(TEXT_STEP_FAILED).arg(QString::fromUtf8(szStep), strWhy);
  }
  return false;
}

// The window with pOver drawn over it, centred or at its right edge, framed by a grey line as the
// desktop frames a window.
bool CFirstSurveyTour::Shoot(const char *szFile, QWidget *pOver, bool bCentred) {
  QCoreApplication::processEvents();
  QPixmap picture = m_frame.grab();
  if (pOver != nullptr) {
    const QPixmap dialog = pOver->grab();
    const QSize size = dialog.deviceIndependentSize().toSize();
    const QPoint pt = bCentred ? QPoint((m_frame.width() - size.width()) / 2, (m_frame.height() - size.height()) / 2)
                               : QPoint(m_frame.width() - size.width() - DIALOG_MARGIN, DIALOG_TOP);
    QPainter painter(&picture);
    painter.drawPixmap(pt, dialog);
    painter.setPen(QColor(96, 96, 96));
    painter.drawRect(QRect(pt - QPoint(1, 1), size + QSize(1, 1)));
  }
  return Save(picture, szFile);
}

bool CFirstSurveyTour::ShootAlone(const char *szFile, QWidget &window) {
  QCoreApplication::processEvents();
  return Save(window.grab(), szFile);
}

bool CFirstSurveyTour::Save(const QPixmap &picture, const char *szFile) {
  const QString strPath = m_dir.filePath(QString::fromUtf8(szFile));
  if (!picture.save(strPath, "PNG")) {
    return Fail(szFile, QString::fromUtf8(TEXT_NOT_WRITTEN).arg(QDir::toNativeSeparators(strPath)));
  }
  return true;
}

void CFirstSurveyTour::Press(int nId) const {
  if (auto *pButton = SegmentDialog().GetDlgItemAs<QAbstractButton>(nId)) {
    pButton->click();
  }
  QCoreApplication::processEvents();
}

// A click on the corridor at plan pixel (nPlanX, CORRIDOR_Y).
void CFirstSurveyTour::Click(int nPlanX) const {
  _pixelpoint pt;
  m_view.Session().Plan().PlanToClient(nPlanX, CORRIDOR_Y, pt);
  m_view.PlaceSegmentPoint(pt.x, pt.y);
  QCoreApplication::processEvents();
}

} // namespace

QString WriteFirstSurveyShots(CMainFrame &frame, std::shared_ptr<CSimulatedReceiver> pReceiver,
                              const QString &strProjection, const QString &strDir) {
  CFirstSurveyTour tour(frame, std::move(pReceiver), strDir);
  return tour.Run(strProjection);
}
