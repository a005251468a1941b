// The coverage in the window: View > Coverage over a reopened survey at once, its side file
// followed, the level under the pointer, the overlay in what the view draws; growing while a
// segment is walked with the simulated receiver and the same once the survey is reopened; the
// settings dialog and the program's settings; the page a print offers.
#include "tests/app/EndToEnd.h"

#include "dialogs/CoverageSettingsDialog.h"
#include "quality/QualityFile.h"
#include "tests/coverage/CoverageSupport.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>

#include <cmath>
#include <fstream>
#include <limits>

namespace {

const QString SAVE_COLLECTION = "Please save the Collection File";
const QString TEXT_OPEN_EXISTING = "Do you wish to open an existing data file?";
constexpr double NONE = std::numeric_limits<double>::quiet_NaN();

// A linear plan of 1000 x 400 pixels, 5 cm each; two walks 10 m apart along it: y = 100 at -60
// on channel 1 (-90 on channel 2), y = 300 at -80.
constexpr int PLAN_WIDTH = 1000;
constexpr int PLAN_HEIGHT = 400;
constexpr double METRES_PER_PIXEL = 0.05;

// Writes the survey of the two walks, without a side file; returns their headers.
std::vector<_segmentheader> WriteWalks(const std::string &strPath) {
  CSurveyBytes survey;
  survey.Segment(100, 100, 900, 100, 36000, 36040, std::vector<int16_t>(2000, -60), std::vector<int16_t>(500, -90))
      .Segment(100, 300, 900, 300, 36100, 36140, std::vector<int16_t>(2000, -80));
  std::ofstream(strPath, std::ios::binary)
      .write(reinterpret_cast<const char *>(survey.m_bytes.data()),
             static_cast<std::streamsize>(survey.m_bytes.size()));
  RemoveQualityFile(strPath);
  return survey.m_headers;
}

// The level the coverage shown gives plan pixel (x, y), or NaN where it gives none.
double LevelAt(const CTarvexCollectorView &view, uint16_t nChannel, int x, int y) {
  const CCoverage *pCoverage = view.ShownCoverage();
  if (pCoverage == nullptr) {
    return NONE;
  }
  const CCoverageGrid &grid = pCoverage->Grid(nChannel);
  const int c = static_cast<int>(x / grid.CellWidth());
  const int r = static_cast<int>(y / grid.CellHeight());
  return grid.HasValue(c, r) ? grid.Value(c, r) : NONE;
}

// Whether the cells as of the last refresh have a level where the view's coverage has one.
bool SameLevel(double a, double b) { return (std::isnan(a) && std::isnan(b)) || std::abs(a - b) < 1e-3; }

// A frame of the size the tests use, shown.
std::unique_ptr<CMainFrame> ShownFrame() {
  auto pFrame = std::make_unique<CMainFrame>();
  pFrame->resize(1200, 800);
  pFrame->show();
  return QTest::qWaitForWindowExposed(pFrame.get()) ? std::move(pFrame) : nullptr;
}

// The pane's text with the pointer over plan pixel (x, y).
QString PaneOver(CMainFrame &frame, int x, int y) {
  CTarvexCollectorView &view = *frame.GetView();
  SendMouse(view, QEvent::MouseMove, ClientOf(view, x, y));
  return frame.Pane(ID_INDICATOR_COVERAGE)->text();
}

} // namespace

class CCoverageViewTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_settingsDir;
  QTemporaryDir m_dir;

  QString Path(const char *szName) const { return m_dir.filePath(QString::fromUtf8(szName)); }

  // Open Projection of the sample site with no survey open, then a new survey or the one of
  // strSurvey through Open Collection, two channels, the help pages closed.
  static void OpenSite(CCollectorSession &session, const QString &strProjection, const QString &strSurvey,
                       bool bExisting) {
    session.Prompts().AnswerFile(strProjection);
    session.Prompts().AnswerMessage(PROMPT_ANSWER_OK, SAVE_COLLECTION);
    session.Trigger(ID_FILE_OPENPROJECTION);
    session.Prompts().AnswerMessage(bExisting ? PROMPT_ANSWER_YES : PROMPT_ANSWER_NO, TEXT_OPEN_EXISTING);
    session.Prompts().AnswerFile(strSurvey);
    session.Prompts().AnswerModal(ChooseChannels(2));
    session.Prompts().AnswerModal([](QDialog &dialog) {
      dialog.close();
      return dialog.result();
    });
    session.Trigger(ID_FILE_OPENCOLLECTION);
    QVERIFY(session.View().Session().Run().m_bCollectionOpen);
  }

private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    QSettings().clear();
  }

  void reopenedSurveyShowsAtOnce_data() {
    QTest::addColumn<bool>("bExcludeSecond");
    QTest::addColumn<double>("dSecondWalk");
    QTest::newRow("both walks") << false << -80.0;
    QTest::newRow("the second excluded in the side file") << true << NONE;
  }

  // The levels next to each walk, nothing between walks 10 m apart (R = 3 m); a walk the side file
  // excludes gives nothing. The pane, the menu and the view drawn show the same.
  void reopenedSurveyShowsAtOnce() {
    QFETCH(bool, bExcludeSecond);
    QFETCH(double, dSecondWalk);
    const std::string strSurvey = Path("walks.tvd").toStdString();
    const std::vector<_segmentheader> headers = WriteWalks(strSurvey);
    if (bExcludeSecond) {
      _qualityrecord record; // the survey was created at 0, as its header says
      SetExcluded(record, 2, headers.at(1), true);
      WriteQualityFile(strSurvey, record);
    }
    const auto pFrame = ShownFrame();
    QVERIFY(pFrame);
    CTarvexCollectorView &view = *pFrame->GetView();
    SetUpPlan(view, PROJECTION_LINEAR, {METRES_PER_PIXEL, 0, 0, METRES_PER_PIXEL, 0, 0}, PLAN_WIDTH, PLAN_HEIGHT);
    pFrame->Action(ID_COVERAGE_CHANNEL1)->trigger();
    const QImage bare = view.RenderView();
    QVERIFY(view.Session().Open(strSurvey, CSiteData::modeOpenExisting));
    QTRY_VERIFY(!std::isnan(LevelAt(view, 1, 500, 100)));

    QCOMPARE(LevelAt(view, 1, 500, 100), -60.0);
    QVERIFY(SameLevel(LevelAt(view, 1, 500, 300), dSecondWalk));
    QVERIFY(std::isnan(LevelAt(view, 1, 500, 200))); // 5 m from both
    QCOMPARE(PaneOver(*pFrame, 500, 100), QStringLiteral("Level: -60.0"));
    QCOMPARE(PaneOver(*pFrame, 500, 200), QStringLiteral("Not walked"));
    QVERIFY(pFrame->Pane(ID_INDICATOR_COVERAGE)->isVisible());
    // The panes shown stand apart, none drawn over another.
    pFrame->resize(1280, 800);
    pFrame->statusBar()->layout()->activate();
    QList<QLabel *> shown = pFrame->statusBar()->findChildren<QLabel *>();
    shown.removeIf([](const QLabel *pPane) { return !pPane->isVisible(); });
    for (const QLabel *pPane : shown) {
      for (const QLabel *pOther : shown) {
        QVERIFY2(pPane == pOther || !pPane->geometry().intersects(pOther->geometry()),
                 qPrintable(pPane->text() + " / " + pOther->text()));
      }
    }
    QVERIFY(pFrame->Action(ID_COVERAGE_CHANNEL1)->isChecked());
    QTRY_COMPARE(pFrame->Action(ID_COVERAGE_CHANNEL1)->text(), QStringLiteral("Channel &1 (425.0000 MHz)"));
    // The snapshot and the print take the view as drawn: coloured on the walks, the plan between.
    const QImage drawn = view.RenderView();
    const QPoint ptWalk = ClientOf(view, 300, 120) * drawn.devicePixelRatio(); // beside the segment's line
    const QPoint ptBetween = ClientOf(view, 300, 200) * drawn.devicePixelRatio();
    QVERIFY(drawn.pixel(ptWalk) != bare.pixel(ptWalk));
    QCOMPARE(drawn.pixel(ptBetween), bare.pixel(ptBetween));

    pFrame->Action(ID_COVERAGE_CHANNEL2)->trigger();
    QCOMPARE(LevelAt(view, 2, 500, 100), -90.0);
    QVERIFY(!pFrame->Action(ID_COVERAGE_CHANNEL1)->isChecked());
    pFrame->Action(ID_COVERAGE_OFF)->trigger();
    QVERIFY(view.ShownCoverage() == nullptr);
    QVERIFY(!pFrame->Pane(ID_INDICATOR_COVERAGE)->isVisible());
    QCOMPARE(view.RenderView().pixel(ptWalk), bare.pixel(ptWalk));
  }

  // Channel 1 shown while a segment of 18 m is walked with the simulated receiver: its first
  // metres have levels at once, its end none until STOP places the levels along all of it. Shown
  // afresh in the middle of the walk, the coverage keeps the levels walked so far. Reopened in
  // a new window (the choice kept), the coverage is the same.
  void growsWhileASegmentIsWalked() {
    const QString strProjection = Path("office.gpf");
    QFile::remove(strProjection);
    QVERIFY(QFile::copy(QStringLiteral(TARVEX_SAMPLE_SITE "/office.gpf"), strProjection));
    const QString strSurvey = Path("walked.tvd");
    const _pixelpoint start{100, 400};
    const _pixelpoint stop{700, 400};
    std::vector<double> walked;
    {
      CCollectorSession session;
      QVERIFY(QTest::qWaitForWindowExposed(&session.Frame()));
      QVERIFY(session.Connect());
      OpenSite(session, strProjection, strSurvey, false);
      QVERIFY(session.Measure());
      CTarvexCollectorView &view = session.View();
      session.Trigger(ID_COVERAGE_CHANNEL1);
      session.Press(IDC_NEW_SEGMENT);
      session.Press(IDC_START_POINT);
      QVERIFY(session.ClickPlan(start));
      session.Press(IDC_STOP_POINT);
      QVERIFY(session.ClickPlan(stop));
      // Beside the start point, off the marker and the line: coloured in the view once levels come.
      const QImage bare = view.RenderView();
      const QPoint ptBeside = ClientOf(view, start.x + 10, start.y + 60) * bare.devicePixelRatio();
      session.Press(IDC_BEGIN_STOP);
      QVERIFY(session.Dialog().m_bWalking);
      QTRY_VERIFY(!std::isnan(LevelAt(view, 1, start.x + 10, start.y)));
      QVERIFY(std::isnan(LevelAt(view, 1, stop.x - 10, stop.y)));
      QTRY_VERIFY(view.RenderView().pixel(ptBeside) != bare.pixel(ptBeside));
      session.Trigger(ID_COVERAGE_OFF);
      session.Trigger(ID_COVERAGE_CHANNEL1);
      QVERIFY(!std::isnan(LevelAt(view, 1, start.x + 10, start.y)));
      session.Press(IDC_BEGIN_STOP);
      QVERIFY(!session.Dialog().m_bWalking);
      QTRY_VERIFY(!std::isnan(LevelAt(view, 1, stop.x - 10, stop.y)));
      for (int x = 0; x < 900; x += 50) {
        walked.push_back(LevelAt(view, 1, x, start.y));
      }
      QVERIFY(session.Frame().close());
      VERIFY_AS_SCRIPTED(session.Prompts());
    }
    CCollectorSession reopened;
    OpenSite(reopened, strProjection, strSurvey, true);
    QVERIFY(reopened.Frame().Action(ID_COVERAGE_CHANNEL1)->isChecked());
    QTRY_VERIFY(!std::isnan(LevelAt(reopened.View(), 1, start.x + 10, start.y)));
    for (int x = 0; x < 900; x += 50) {
      QVERIFY2(SameLevel(LevelAt(reopened.View(), 1, x, start.y), walked.at(static_cast<size_t>(x / 50))),
               qPrintable(QStringLiteral("plan x %1").arg(x)));
    }
    QVERIFY(reopened.Frame().close());
    VERIFY_AS_SCRIPTED(reopened.Prompts());
  }

  // The settings dialog: new settings computed at once and kept for the next run; cells too
  // small for the plan refused before they are computed.
  void settingsAreAppliedAndKept() {
    const std::string strSurvey = Path("walks.tvd").toStdString();
    WriteWalks(strSurvey);
    CScriptedPrompts prompts;
    {
      const auto pFrame = ShownFrame();
      QVERIFY(pFrame);
      CTarvexCollectorView &view = *pFrame->GetView();
      SetUpPlan(view, PROJECTION_LINEAR, {METRES_PER_PIXEL, 0, 0, METRES_PER_PIXEL, 0, 0}, PLAN_WIDTH, PLAN_HEIGHT);
      pFrame->Action(ID_COVERAGE_CHANNEL1)->trigger();
      QVERIFY(view.Session().Open(strSurvey, CSiteData::modeOpenExisting));
      QCOMPARE(view.ShownCoverage()->Grid(1).CellWidth(), 5.0); // 0.25 m
      QString strRefusal;
      prompts.AnswerModal([&strRefusal](QDialog &dialog) {
        auto &settings = static_cast<CCoverageSettingsDialog &>(dialog);
        settings.GetDlgItemAs<QDoubleSpinBox>(IDC_COV_CELL)->setValue(0.01);
        strRefusal = settings.GetDlgItemText(IDC_COV_MESSAGE);
        const bool bRefused = !settings.IsDlgItemEnabled(IDOK);
        settings.GetDlgItemAs<QDoubleSpinBox>(IDC_COV_CELL)->setValue(0.5);
        settings.GetDlgItemAs<QDoubleSpinBox>(IDC_COV_RADIUS)->setValue(6);
        return bRefused && settings.IsDlgItemEnabled(IDOK) ? int(QDialog::Accepted) : int(QDialog::Rejected);
      });
      pFrame->Action(ID_COVERAGE_SETTINGS)->trigger();
      QVERIFY2(strRefusal.endsWith(QStringLiteral("gives 10000000 cells on this plan; at most 8000000 can be computed, "
                                                  "so make the cells larger.")),
               qPrintable(strRefusal));
      QCOMPARE(view.ShownCoverage()->Grid(1).CellWidth(), 10.0);
      // 5 m from both walks, within the radius now: a level between theirs.
      QVERIFY(LevelAt(view, 1, 500, 200) > -80 && LevelAt(view, 1, 500, 200) < -60);
    }
    const auto pNext = ShownFrame();
    QVERIFY(pNext);
    double dCell = 0;
    prompts.AnswerModal([&dCell](QDialog &dialog) {
      dCell = static_cast<CCoverageSettingsDialog &>(dialog).Settings().dCellMetres;
      return int(QDialog::Rejected);
    });
    pNext->Action(ID_COVERAGE_SETTINGS)->trigger();
    QCOMPARE(dCell, 0.5);
    QVERIFY(pNext->Action(ID_COVERAGE_CHANNEL1)->isChecked());
    VERIFY_AS_SCRIPTED(prompts);
  }

  void printOffersTheOrientationThePlanFills_data() {
    QTest::addColumn<QSize>("plan");
    QTest::addColumn<int>("nOrientation");
    QTest::newRow("wide") << QSize(1000, 400) << int(QPageLayout::Landscape);
    QTest::newRow("tall") << QSize(300, 900) << int(QPageLayout::Portrait);
  }

  void printOffersTheOrientationThePlanFills() {
    QFETCH(QSize, plan);
    QFETCH(int, nOrientation);
    const auto pFrame = ShownFrame();
    QVERIFY(pFrame);
    CTarvexCollectorView &view = *pFrame->GetView();
    SetUpPlan(view, PROJECTION_LINEAR, {METRES_PER_PIXEL, 0, 0, METRES_PER_PIXEL, 0, 0}, plan.width(), plan.height());
    view.OnFitToDisplay();
    CScriptedPrompts prompts;
    int nOffered = -1;
    prompts.AnswerModal([&nOffered](QDialog &dialog) {
      nOffered = int(static_cast<QPrintDialog &>(dialog).printer()->pageLayout().orientation());
      return int(QDialog::Rejected);
    });
    pFrame->Action(ID_FILE_PRINT)->trigger();
    QCOMPARE(nOffered, nOrientation);
    VERIFY_AS_SCRIPTED(prompts);
  }
};

QTEST_MAIN(CCoverageViewTest)
#include "CoverageViewTest.moc"
