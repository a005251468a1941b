// The receiver in view: the status pane's states, levels and rates on a clock driven by hand, the
// banner over the plan when the receiver is lost or levels stop reaching the survey during a
// walk, and what a lost receiver ends.
#include "app/ReceiverStatus.h"
#include "app/AlertBanner.h"
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "platform/FileFaults.h"
#include "platform/ManualWaitClock.h"
#include "tests/app/ViewRunSupport.h"
#include "tests/app/WalkingSurvey.h"

#include <QLabel>
#include <QLayout>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using std::chrono::milliseconds;

// As the link words it (USB_WHY_LOST), and as the operator reads it.
const QString REASON = QStringLiteral(
    "the receiver is gone: reading from it failed (FT_IO_ERROR); it was unplugged or switched off, or its port failed");
const QString REASON_SENTENCE = QStringLiteral(
    "The receiver is gone: reading from it failed (FT_IO_ERROR); it was unplugged or switched off, or its port "
    "failed.");

} // namespace

class CReceiverStatusTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
  }

  // Each state's pane text, and the channels' last levels and rates while measuring.
  void paneShowsEachState() {
    CManualWaitClock clock;
    CReceiverStatus status;
    status.UseClock(clock);
    QCOMPARE(status.PaneText(), QString("Receiver not connected"));
    status.OnConnecting();
    QCOMPARE(status.PaneText(), QString("Connecting to the receiver…"));
    status.OnConnected();
    QCOMPARE(status.PaneText(), QString("Receiver connected, not measuring"));

    // 1000 levels per second on channel 1 (8 every 8 ms) and 40 on channel 2 (8 every 200 ms),
    // for two seconds: the rates are of the last second.
    for (int nMs = 0; nMs < 2000; nMs += 8) {
      status.OnLevels(1, 8, -30 - (nMs / 8) % 50);
      if (nMs % 200 == 0) {
        status.OnLevels(2, 8, -71);
      }
      clock.Advance(milliseconds(8));
    }
    status.Refresh();
    // Channel 1's last message came at 1992 ms with level -30 - 249 % 50 = -79; 124 of its
    // messages lie in (1000, 2000]; channel 2's at 1200 to 1800 ms.
    QCOMPARE(status.PaneText(), QString("Measuring  1: -79 992/s  2: -71 32/s"));
    QCOMPARE(status.PaneDetails(), QString("Channel 1: last level -79, 992 levels per second. "
                                           "Channel 2: last level -71, 32 levels per second."));

    // Channel 1 goes on alone; channel 2 stops counting 3 s after its last message.
    for (int nMs = 0; nMs < 3000; nMs += 8) {
      status.OnLevels(1, 8, -40);
      clock.Advance(milliseconds(8));
    }
    status.Refresh();
    // Messages at 4008 to 4992 ms lie in (4000, 5000].
    QCOMPARE(status.PaneText(), QString("Measuring  1: -40 992/s"));

    status.OnLost(REASON);
    QCOMPARE(status.PaneText(), QString("RECEIVER LOST: check cable and power"));
    QCOMPARE(status.PaneDetails(), REASON_SENTENCE);
    status.OnDisconnected();
    QCOMPARE(status.PaneText(), QString("Receiver not connected"));
  }

  // The frame puts the pane right after the projection pane, as wide as its widest text, so
  // that changing levels and rates never move its neighbours.
  void paneSitsAfterTheProjectionPaneAndKeepsItsWidth() {
    CMainFrame frame;
    frame.resize(1400, 800);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QLabel *pPane = frame.Pane(ID_INDICATOR_RECEIVER);
    QVERIFY(pPane != nullptr);
    QVERIFY(frame.Pane(ID_INDICATOR_PROJECTION)->geometry().right() < pPane->geometry().left());
    const QString strWidest = "Measuring  1: -128 1000/s  2: -128 1000/s";
    QVERIFY(pPane->contentsRect().width() >= pPane->fontMetrics().horizontalAdvance(strWidest));
    const QRect rcBefore = pPane->geometry();
    CReceiverStatus status; // the widest text the pane can show
    status.SetPane(pPane);
    status.OnConnected();
    status.OnLevels(1, 8, -128);
    status.OnLevels(2, 8, -128);
    status.Refresh();
    frame.statusBar()->layout()->activate();
    QCOMPARE(pPane->text(), status.PaneText());
    QCOMPARE(pPane->geometry(), rcBefore);
    QCOMPARE(pPane->accessibleDescription(), status.PaneDetails());
  }

  // Lost: the connection is over, the banner over the plan at once, saying what to check, and
  // gone at the next connection.
  void lostReceiverEndsTheConnectionAndRaisesTheBanner() {
    CMainFrame frame;
    frame.resize(800, 600);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CTarvexCollectorView &view = *frame.GetView();
    QVERIFY(ConnectAndWaitForDescription(view, m_prompts));
    const CAlertBanner &banner = Banner(view);
    QVERIFY(banner.isHidden());

    m_pUnit->Unplug();
    QVERIFY(QTest::qWaitFor([&] { return banner.isVisible(); }, RUN_WAIT_MS));
    QVERIFY(!view.IsReceiverConnected());
    const QString strText = banner.Text();
    QVERIFY2(strText.startsWith("The receiver is gone: "), qPrintable(strText));
    QVERIFY(strText.contains("USB cable") && strText.contains("power") && strText.contains("Connect !"));
    QVERIFY2(!strText.contains("segment"), "no walk, so nothing is said of a segment's levels");
    QCOMPARE(frame.Pane(ID_INDICATOR_RECEIVER)->text(), QString("RECEIVER LOST: check cable and power"));
    // Across the top of the plan, over the viewport, taking no focus.
    const QRect rcViewport = view.viewport()->geometry();
    QCOMPARE(banner.geometry().topLeft(), rcViewport.topLeft());
    QCOMPARE(banner.width(), rcViewport.width());
    QVERIFY(banner.height() < rcViewport.height() / 2);
    QCOMPARE(banner.focusPolicy(), Qt::NoFocus);
    QCOMPARE(banner.accessibleName(), QString("Receiver Alert"));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    // It follows the plan's size.
    frame.resize(600, 500);
    QTRY_COMPARE(banner.width(), view.viewport()->width());

    m_pUnit->Replug();
    view.SetConnectWait(60 * 60 * 1000);
    m_prompts.AnswerModal(PressConnect);
    view.OnConnect();
    QVERIFY(view.IsConnecting());
    QVERIFY(banner.isHidden());
    QCOMPARE(frame.Pane(ID_INDICATOR_RECEIVER)->text(), QString("Connecting to the receiver…"));
    VERIFY_AS_SCRIPTED(m_prompts);
  }

  // A walk that stops receiving levels: the banner 3 s after the last level recorded, with the
  // segment's levels written to the file, and gone as soon as levels are recorded again.
  void walkWithoutLevelsRaisesTheBannerAfterThreeSeconds() {
    QTemporaryDir dir;
    const std::string strPath = dir.filePath("quiet.tvd").toStdString();
    CManualWaitClock clock;
    CMainFrame frame;
    frame.show();
    CTarvexCollectorView &view = *frame.GetView();
    view.UseReceiverClock(clock);
    QVERIFY(ConnectAndWaitForDescription(view, m_prompts));
    CUnitFeed feed(view); // a unit of its own, whose packets the test hands over
    QVERIFY(StartWalking(view, strPath));
    const CAlertBanner &banner = Banner(view);
    const QLabel &pane = *frame.Pane(ID_INDICATOR_RECEIVER);
    feed.Unit().SetMeasurementMode(true); // a channel report, then 40 levels a second per channel
    for (int i = 0; i < 10; ++i) {
      feed.Advance(200);
      clock.Advance(milliseconds(200));
      view.RefreshReceiverStatus();
    }
    const CCollectionRun &run = view.Session().Run();
    const uint64_t nRecorded = run.GetLevelsRecorded(1) + run.GetLevelsRecorded(2);
    QCOMPARE(nRecorded, feed.LevelsHanded());
    QVERIFY(nRecorded >= 64);
    QVERIFY(banner.isHidden());
    QCOMPARE(ReadSurvey(strPath).LevelCount(), 0U); // buffered, fewer than a record's worth

    // ESC on the front panel: no more levels. Nothing is said before 3 s.
    feed.Unit().SetMeasurementMode(false);
    for (int i = 0; i < 11; ++i) {
      feed.Advance(250);
      clock.Advance(milliseconds(250));
      view.RefreshReceiverStatus();
    }
    QVERIFY(banner.isHidden());
    clock.Advance(milliseconds(250));
    view.RefreshReceiverStatus();
    QVERIFY(banner.isVisible());
    const QString strText = banner.Text();
    QVERIFY2(strText.contains("measurement mode") && strText.contains("MEASURE") && strText.contains("USB cable"),
             qPrintable(strText));
    QVERIFY2(strText.endsWith("The levels of segment 1 collected so far are safe in the survey."), qPrintable(strText));
    QCOMPARE(pane.text(), QString("No levels for 3 s: check MEASURE"));
    // Safe indeed: every level recorded is in the file, and the walk goes on.
    QCOMPARE(ReadSurvey(strPath).LevelCount(), nRecorded);
    QVERIFY(view.IsWalkInProgress());

    // MEASURE again: the next level recorded ends the alert.
    feed.Unit().SetMeasurementMode(true);
    feed.Advance(250);
    clock.Advance(milliseconds(250));
    view.RefreshReceiverStatus();
    QVERIFY(banner.isHidden());
    QVERIFY(pane.text().startsWith("Measuring  1: "));
  }

  // Lost during a walk: the banner says the segment's levels are safe, and they are in the file;
  // a file that cannot take them says so instead.
  void lostDuringAWalkSecuresTheLevels_data() {
    QTest::addColumn<bool>("bDiskFull");
    QTest::newRow("written") << false;
    QTest::newRow("disk full") << true;
  }
  void lostDuringAWalkSecuresTheLevels() {
    QFETCH(bool, bDiskFull);
    QTemporaryDir dir;
    const std::string strPath = dir.filePath("lost.tvd").toStdString();
    CTarvexCollectorView view;
    QVERIFY(ConnectAndWaitForDescription(view, m_prompts));
    CUnitFeed feed(view);
    QVERIFY(StartWalking(view, strPath));
    feed.Unit().SetMeasurementMode(true);
    feed.Advance(1000);
    const CCollectionRun &run = view.Session().Run();
    const uint64_t nRecorded = run.GetLevelsRecorded(1) + run.GetLevelsRecorded(2);
    QVERIFY(nRecorded > 0);
    if (bDiskFull) {
      CFileFaults::FailWritesAfter(0);
    }
    m_pUnit->Unplug();
    const CAlertBanner &banner = Banner(view);
    QVERIFY(QTest::qWaitFor([&] { return !banner.isHidden(); }, RUN_WAIT_MS));
    CFileFaults::Reset();
    const QString strText = banner.Text();
    QVERIFY(strText.startsWith("The receiver is gone: "));
    if (bDiskFull) {
      QVERIFY2(strText.contains("The levels of segment 1 collected so far could not be written yet ("),
               qPrintable(strText));
      QVERIFY(strText.endsWith("they are kept, and STOP ! writes them."));
      QCOMPARE(ReadSurvey(strPath).LevelCount(), 0U);
    } else {
      QVERIFY2(strText.endsWith("The levels of segment 1 collected so far are safe in the survey."),
               qPrintable(strText));
      QCOMPARE(ReadSurvey(strPath).LevelCount(), nRecorded);
    }
    // STOP writes everything either way.
    QVERIFY(view.Session().Stop());
    const _surveycontents contents = ReadSurvey(strPath);
    QVERIFY(contents.IsSound());
    QCOMPARE(contents.LevelCount(), nRecorded);
  }

  void init() {
    m_pUnit = EnableSimulatedUnit();
    m_prompts.Clear();
  }
  void cleanup() {
    CFileFaults::Reset();
    D2xxDisableAllBackends();
  }

private:
  // The banner over the view's plan.
  static const CAlertBanner &Banner(const CTarvexCollectorView &view) { return *view.findChild<CAlertBanner *>(); }

  QTemporaryDir m_settings;
  std::shared_ptr<CSimulatedReceiver> m_pUnit; // the unit behind the link
  CHookedPrompts m_prompts;
};

QTEST_MAIN(CReceiverStatusTest)
#include "ReceiverStatusTest.moc"
