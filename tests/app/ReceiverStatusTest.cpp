// The receiver in view: the status pane's states, levels and rates on a clock driven by hand, the
// banner over the plan when the receiver is lost or levels stop reaching the survey during a
// walk, and what a lost receiver ends.
#include "app/ReceiverStatus.h"
#include "app/AlertBanner.h"
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "platform/FileFaults.h"
#include "platform/ManualWaitClock.h"
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
    CReceiverStatus &status = frame.GetView()->m_ReceiverStatus;
    status.OnConnected();
    status.OnLevels(1, 8, -128);
    status.OnLevels(2, 8, -128);
    status.Refresh();
    frame.statusBar()->layout()->activate();
    QCOMPARE(pPane->text(), status.PaneText());
    QCOMPARE(pPane->geometry(), rcBefore);
    QCOMPARE(pPane->accessibleDescription(), status.PaneDetails());
  }

  // Lost: m_bConnected cleared, the banner over the plan at once, saying what to check, and
  // gone on the next connection.
  void lostReceiverClearsTheConnectionAndRaisesTheBanner() {
    CTarvexCollectorView view;
    view.resize(800, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.m_bConnected = true;
    view.m_ReceiverStatus.OnConnected();
    QVERIFY(view.m_pAlertBanner->isHidden());

    view.EndLostConnection(REASON);
    QVERIFY(!view.m_bConnected);
    QVERIFY(view.m_pAlertBanner->isVisible());
    const QString strText = view.m_pAlertBanner->Text();
    QVERIFY2(strText.startsWith(REASON_SENTENCE + "\n"), qPrintable(strText));
    QVERIFY(strText.contains("USB cable") && strText.contains("power") && strText.contains("Connect !"));
    QVERIFY2(!strText.contains("segment"), "no walk, so nothing is said of a segment's levels");
    QCOMPARE(view.m_ReceiverStatus.PaneText(), QString("RECEIVER LOST: check cable and power"));
    // Across the top of the plan, over the viewport, taking no focus.
    const QRect rcViewport = view.viewport()->geometry();
    QCOMPARE(view.m_pAlertBanner->geometry().topLeft(), rcViewport.topLeft());
    QCOMPARE(view.m_pAlertBanner->width(), rcViewport.width());
    QVERIFY(view.m_pAlertBanner->height() < rcViewport.height() / 2);
    QCOMPARE(view.m_pAlertBanner->focusPolicy(), Qt::NoFocus);
    QCOMPARE(view.m_pAlertBanner->accessibleName(), QString("Receiver Alert"));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    // It follows the plan's size.
    view.resize(600, 500);
    QCOMPARE(view.m_pAlertBanner->width(), view.viewport()->width());

    view.m_ReceiverStatus.OnConnecting();
    QVERIFY(view.m_pAlertBanner->isHidden());
    QCOMPARE(view.m_ReceiverStatus.PaneText(), QString("Connecting to the receiver…"));
  }

  // A walk that stops receiving levels: the banner 3 s after the last level recorded, with the
  // segment's levels written to the file, and gone as soon as levels are recorded again.
  void walkWithoutLevelsRaisesTheBannerAfterThreeSeconds() {
    QTemporaryDir dir;
    const std::string strPath = dir.filePath("quiet.tvd").toStdString();
    CManualWaitClock clock;
    CTarvexCollectorView view;
    view.show();
    view.m_ReceiverStatus.UseClock(clock);
    CUnitFeed feed(view);
    view.m_ReceiverStatus.OnConnected();
    StartWalking(view, strPath);
    feed.Unit().SetMeasurementMode(true); // a channel report, then 40 levels a second per channel
    for (int i = 0; i < 10; ++i) {
      feed.Advance(200);
      clock.Advance(milliseconds(200));
      view.m_ReceiverStatus.Refresh();
    }
    const uint64_t nRecorded = view.m_Run.GetLevelsRecorded(1) + view.m_Run.GetLevelsRecorded(2);
    QCOMPARE(nRecorded, feed.LevelsHanded());
    QVERIFY(nRecorded >= 64);
    QVERIFY(view.m_pAlertBanner->isHidden());
    QCOMPARE(ReadSurvey(strPath).LevelCount(), 0U); // buffered, fewer than a record's worth

    // ESC on the front panel: no more levels. Nothing is said before 3 s.
    feed.Unit().SetMeasurementMode(false);
    for (int i = 0; i < 11; ++i) {
      feed.Advance(250);
      clock.Advance(milliseconds(250));
      view.m_ReceiverStatus.Refresh();
    }
    QVERIFY(view.m_pAlertBanner->isHidden());
    clock.Advance(milliseconds(250));
    view.m_ReceiverStatus.Refresh();
    QVERIFY(view.m_pAlertBanner->isVisible());
    const QString strText = view.m_pAlertBanner->Text();
    QVERIFY2(strText.contains("measurement mode") && strText.contains("MEASURE") && strText.contains("USB cable"),
             qPrintable(strText));
    QVERIFY2(strText.endsWith("The levels of segment 1 collected so far are safe in the survey."), qPrintable(strText));
    QCOMPARE(view.m_ReceiverStatus.PaneText(), QString("No levels for 3 s: check MEASURE"));
    // Safe indeed: every level recorded is in the file, and the walk goes on.
    QCOMPARE(ReadSurvey(strPath).LevelCount(), nRecorded);
    QVERIFY(view.m_pWalk->IsWalking());

    // MEASURE again: the next level recorded ends the alert.
    feed.Unit().SetMeasurementMode(true);
    feed.Advance(250);
    clock.Advance(milliseconds(250));
    view.m_ReceiverStatus.Refresh();
    QVERIFY(view.m_pAlertBanner->isHidden());
    QVERIFY(view.m_ReceiverStatus.PaneText().startsWith("Measuring  1: "));
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
    CUnitFeed feed(view);
    view.m_bConnected = true;
    view.m_ReceiverStatus.OnConnected();
    StartWalking(view, strPath);
    feed.Unit().SetMeasurementMode(true);
    feed.Advance(1000);
    const uint64_t nRecorded = view.m_Run.GetLevelsRecorded(1) + view.m_Run.GetLevelsRecorded(2);
    QVERIFY(nRecorded > 0);
    if (bDiskFull) {
      CFileFaults::FailWritesAfter(0);
    }
    view.EndLostConnection(REASON);
    CFileFaults::Reset();
    const QString strText = view.m_pAlertBanner->Text();
    QVERIFY(strText.startsWith(REASON_SENTENCE + "\n"));
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
    QVERIFY(view.m_pWalk->Stop());
    const _surveycontents contents = ReadSurvey(strPath);
    QVERIFY(contents.IsSound());
    QCOMPARE(contents.LevelCount(), nRecorded);
  }

private:
  QTemporaryDir m_settings;
};

QTEST_MAIN(CReceiverStatusTest)
#include "ReceiverStatusTest.moc"
