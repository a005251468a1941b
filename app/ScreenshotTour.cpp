#include "app/ScreenshotTour.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/TarvexCollectorView.h"
#include "dialogs/CalibrationDialog.h"
#include "dialogs/ConnectionDialog.h"
#include "dialogs/DialogIds.h"
#include "dialogs/Prompts.h"
#include "dialogs/SegmentDataDialog.h"
#include "dialogs/SegmentDetailsDialog.h"
#include "dialogs/SimulatedReceiverPanel.h"
#include "dialogs/WarningDialog.h"
#include "platform/SimulatedReceiver.h"
#include "projection/CoordinateText.h"
#include "projection/SiteProjection.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>

namespace {

const char *const TEXT_STEP_FAILED = "The pictures of a first survey stopped at %1: %2";
const char *const TEXT_NOT_WRITTEN = "%1 could not be written.";
const char *const TOUR_SURVEY_NAME = "First survey.tvd";
// The plan of the projection given, as the picture a new site starts from, and the projection made
// from it.
const char *const PLAN_NAME = "office.png";
const char *const PROJECTION_NAME = "office.gpf";
// The sample office's outer corners in plan pixels, and their distances in metres (3 cm a pixel).
constexpr int CORNER_LEFT = 60;
constexpr int CORNER_RIGHT = 1940;
constexpr int CORNER_TOP = 60;
constexpr int CORNER_BOTTOM = 1340;
constexpr const char *WALL_NORTH = "56.4";
constexpr const char *WALL_WEST = "38.4";
// The calibration dialog's size in the pictures.
constexpr int CALIBRATION_WIDTH = 1180;
constexpr int CALIBRATION_HEIGHT = 700;
// The wait between the connection dialog and the first command: the simulated receiver needs none
// of the real unit's 3 s.
constexpr int CONNECT_WAIT_MS = 300;
// How long a step may take before the tour gives up on it.
constexpr int STEP_TIMEOUT_MS = 15000;
// Each walk: about three ticks of the segment dialog's one-second timer.
constexpr int WALK_MS = 3300;
// The first walk's dropout on channel 2.
constexpr uint32_t DROPOUT_MS = 1500;
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
  // The plan for New Projection from Image and the projection it is saved as; the new survey's
  // name for Open Collection.
  QString File(QWidget * /*pParent*/, const _fileprompt &prompt) override {
    if (prompt.nKind == _fileprompt::open) {
      return m_strPlan;
    }
    return m_work.filePath(
        QString::fromUtf8(prompt.strDefaultSuffix == QLatin1String("tvd") ? TOUR_SURVEY_NAME : PROJECTION_NAME));
  }
  int Modal(QDialog &dialog) override;

private:
  bool MakeProjection(const QString &strProjection);
  void Calibrate(CCalibrationDialog &dialog);
  void ClickPlan(CCalibrationDialog &dialog, int nX, int nY) const;
  void TypeCoordinates(CCalibrationDialog &dialog, int nRow, int nX, int nY) const;
  bool Connect();
  bool OpenCollection();
  bool Measure();
  bool WalkSegments();
  bool ShootCoverage();
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
  QString m_strPlan;        // the plan's picture in m_work
  CSiteProjection m_source; // the projection given, whose plan and places the new one takes
  QString m_strProblem;     // the warning the program showed, or the step's own failure
  QString m_strFailed;      // the whole sentence, once a step failed
};

QString CFirstSurveyTour::Run(const QString &strProjection) {
  CPrompts *pPrevious = &CPrompts::Current();
  CPrompts::Install(this);
  const bool bDone = MakeProjection(strProjection) && Connect() && OpenCollection() && Measure() && WalkSegments();
  if (m_view.Session().IsOpen()) {
    m_view.CloseSurvey();
  }
  SegmentDialog().hide();
  CPrompts::Install(pPrevious);
  return bDone ? QString() : m_strFailed;
}

// The calibration, the connection dialog and the answer to "Connect !" are taken as the operator
// sees them.
int CFirstSurveyTour::Modal(QDialog &dialog) {
  if (auto *pCalibration = qobject_cast<CCalibrationDialog *>(&dialog)) {
    Calibrate(*pCalibration);
  } else if (auto *pConnection = qobject_cast<CConnectionDialog *>(&dialog)) {
    dialog.show();
    if (Shoot("survey-2-connect.png", &dialog, true)) {
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

// The plan of the projection given, as a picture: New Projection from Image makes the site's
// projection from it, and it opens.
bool CFirstSurveyTour::MakeProjection(const QString &strProjection) {
  const QString strCopy = m_work.filePath(QFileInfo(strProjection).fileName() + QStringLiteral(".source"));
  m_strPlan = m_work.filePath(QString::fromUtf8(PLAN_NAME));
  try {
    if (!QFile::copy(strProjection, strCopy)) {
      throw std::runtime_error("it could not be copied");
    }
    m_source.Load(strCopy.toStdString());
  } catch (const std::exception &failure) {
    return Fail("New Projection from Image",
                QDir::toNativeSeparators(strProjection) + QStringLiteral(": ") + QString::fromUtf8(failure.what()));
  }
  if (!QImage(QString::fromStdString(m_source.m_strBitmapPath)).save(m_strPlan)) {
    return Fail("New Projection from Image", QString::fromUtf8(TEXT_NOT_WRITTEN).arg(m_strPlan));
  }
  m_frame.Action(ID_FILE_NEWPROJECTION)->trigger();
  if (!m_strFailed.isEmpty()) {
    return false;
  }
  if (!m_view.Session().Run().m_bProjectionLoaded) {
    return Fail("New Projection from Image", m_strProblem);
  }
  return Shoot("survey-1-projection.png");
}

// The plan scaled by its north wall and checked by its west wall; then pinned to the map by its
// four corners, whose places the projection given tells; then saved.
void CFirstSurveyTour::Calibrate(CCalibrationDialog &dialog) {
  dialog.resize(std::min(CALIBRATION_WIDTH, m_frame.width() - 2 * DIALOG_MARGIN),
                std::min(CALIBRATION_HEIGHT, m_frame.height() - 2 * DIALOG_MARGIN));
  dialog.show();
  QCoreApplication::processEvents();
  const auto press = [&dialog](int nId) { dialog.GetDlgItemAs<QAbstractButton>(nId)->click(); };
  press(IDC_CAL_DRAW_LINE);
  ClickPlan(dialog, CORNER_LEFT, CORNER_TOP);
  ClickPlan(dialog, CORNER_RIGHT, CORNER_TOP);
  dialog.SetDlgItemText(IDC_CAL_LENGTH, QString::fromUtf8(WALL_NORTH));
  press(IDC_CAL_DRAW_CHECK);
  ClickPlan(dialog, CORNER_LEFT, CORNER_TOP);
  ClickPlan(dialog, CORNER_LEFT, CORNER_BOTTOM);
  dialog.SetDlgItemText(IDC_CAL_CHECK_LENGTH, QString::fromUtf8(WALL_WEST));
  press(IDC_CAL_SET_ORIGIN);
  ClickPlan(dialog, CORNER_LEFT, CORNER_TOP);
  if (!Shoot("survey-1-plan-scale.png", &dialog, true)) {
    dialog.reject();
    return;
  }
  dialog.GetDlgItemAs<QRadioButton>(IDC_CAL_GEO)->setChecked(true);
  QCoreApplication::processEvents();
  press(IDC_CAL_FIT); // the points' panel is wider than the lines'
  const int corners[][2] = {{CORNER_LEFT, CORNER_TOP},
                            {CORNER_RIGHT, CORNER_TOP},
                            {CORNER_LEFT, CORNER_BOTTOM},
                            {CORNER_RIGHT, CORNER_BOTTOM}};
  for (int i = 0; i < 4; ++i) {
    press(IDC_CAL_ADD_POINT);
    ClickPlan(dialog, corners[i][0], corners[i][1]);
    TypeCoordinates(dialog, i, corners[i][0], corners[i][1]);
  }
  if (Shoot("survey-1-plan-geo.png", &dialog, true)) {
    press(IDC_CAL_SAVE_AS);
  }
  if (dialog.result() != QDialog::Accepted) {
    Fail("Save As", dialog.GetDlgItemText(IDC_CAL_MESSAGE));
    dialog.reject();
  }
}

// A click on plan pixel (nX, nY), whatever the zoom.
void CFirstSurveyTour::ClickPlan(CCalibrationDialog &dialog, int nX, int nY) const {
  emit dialog.View()->PlanPressed(QPoint(nX, nY));
  emit dialog.View()->PlanReleased(QPoint(nX, nY), false);
  QCoreApplication::processEvents();
}

// The place of plan pixel (nX, nY) under the projection given, typed into the cell Add Point opened.
void CFirstSurveyTour::TypeCoordinates(CCalibrationDialog &dialog, int nRow, int nX, int nY) const {
  _latlon place;
  m_source.ToCoordinates(nX, nY, place.dLatitude, place.dLongitude);
  auto *pTable = dialog.GetDlgItemAs<QTableWidget>(IDC_CAL_POINT_TABLE);
  pTable->setCurrentCell(nRow, 1);
  pTable->editItem(pTable->item(nRow, 1));
  for (auto *pEditor : pTable->viewport()->findChildren<QLineEdit *>()) {
    if (pEditor->isVisible()) {
      pEditor->setText(QString::fromStdString(FormatLatLon(place)));
      QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
      QCoreApplication::sendEvent(pEditor, &key);
    }
  }
  QCoreApplication::processEvents();
}

bool CFirstSurveyTour::OpenCollection() {
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
    if (nSegment == 1) {
      // A receiver that loses channel 2 for a while: the segment is flagged at STOP.
      Spend(WALK_MS / 4);
      m_pReceiver->PauseChannel(2, DROPOUT_MS);
      Spend(WALK_MS - WALK_MS / 4);
    } else {
      Spend(WALK_MS - WALK_MS / 2);
    }
    Press(IDC_BEGIN_STOP);
    if (dialog.m_bWalking || !m_strProblem.isEmpty()) {
      return Fail("STOP !", m_strProblem);
    }
  }
  if (!ShootAlone("survey-6-segment-data.png", dialog)) {
    return false;
  }
  Press(IDC_PREV_SEGMENT); // segment 1's details beside the dialog
  if (!Shoot("segment-details.png", m_view.findChild<CSegmentDetailsDialog *>())) {
    return false;
  }
  return ShootCoverage();
}

// View > Coverage > Channel 1 over the walks, then Off again, as the operator had it.
bool CFirstSurveyTour::ShootCoverage() {
  m_view.OnCoverageChannel1();
  Spend(300);
  const bool bShot = Shoot("survey-7-coverage.png");
  m_view.OnCoverageOff();
  return bShot;
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
