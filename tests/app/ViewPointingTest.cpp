// The mouse on the plan: segment points placed on the plan pixel under the pointer at every zoom,
// scroll and size; distance measurement; the pointer's position in the status bar.
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/TarvexCollectorView.h"
#include "projection/DistanceUnits.h"
#include "survey/SurveyReader.h"
#include "tests/app/ViewDialogs.h"
#include "tests/app/ViewSetUp.h"
#include "tests/support/ScriptedPrompts.h"

#include <QAbstractButton>
#include <QLabel>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>

#include <functional>

namespace {

// One unit (a metre, say) per plan pixel: X = px, Y = py.
const _transform LINEAR_1 = {1, 0, 0, 1, 0, 0};
// Geo-coded: longitude px / 100, latitude (200 - py) / 100; pixel (0, 200) is latitude 0,
// longitude 0, and (100, 200) latitude 0, longitude 1.
const _transform GEO_100 = {0, 100, -100, 0, 0, 200};

// A view of 640 x 480 with a plan of 400 x 300 and a new survey; segment 1 announced by New
// Segment on the segment dialog.
struct _planview {
  QTemporaryDir dir;
  CScriptedPrompts prompts;
  CTarvexCollectorView view;

  explicit _planview(const _transform &transform = LINEAR_1, int32_t nKind = PROJECTION_LINEAR) {
    view.resize(640, 480);
    SetUpPlan(view, nKind, transform, 400, 300);
    SetUpSurvey(view, dir.filePath(QStringLiteral("Data.tvd")).toStdString());
    Press(IDC_NEW_SEGMENT);
  }
  void Click(QPoint pt) { QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, pt); }
  void Press(int nId) { Dialog().GetDlgItemAs<QAbstractButton>(nId)->click(); }
  CSegmentDataDialog &Dialog() { return ViewDialog<CSegmentDataDialog>(view); }
  CDistanceMeasurementDialog &DistanceDialog() { return ViewDialog<CDistanceMeasurementDialog>(view); }
  QString Distance() { return DistanceDialog().GetDlgItemText(IDC_DISTANCE); }
  const CSitePlan &Plan() const { return view.Session().Plan(); }
};

} // namespace

class CViewPointingTest : public QObject {
  Q_OBJECT

private slots:
  // The window onto the plan as the map's commands leave it.
  void pointsLandUnderThePointer_data() {
    QTest::addColumn<std::function<void(CTarvexCollectorView &)>>("window");
    using Window = std::function<void(CTarvexCollectorView &)>;
    QTest::newRow("1:1") << Window([](CTarvexCollectorView &) {});
    QTest::newRow("zoom 2") << Window([](CTarvexCollectorView &view) { view.OnZoomIn(); });
    QTest::newRow("zoom 4, scrolled back") << Window([](CTarvexCollectorView &view) {
      view.OnZoomIn();
      view.OnZoomIn();
      view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->value() - 37);
      view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() - 23);
    });
    QTest::newRow("fit") << Window([](CTarvexCollectorView &view) { view.OnFitToDisplay(); });
    QTest::newRow("zoom 2, resized") << Window([](CTarvexCollectorView &view) {
      view.OnZoomIn();
      view.resize(500, 333);
    });
    // The same through the view's own controls: its zoom commands, its scroll bars, the wheel, an
    // arrow key and a resize of the window, each of which moves the window its own way.
    QTest::newRow("zoom 8 by the commands, scroll bars, wheel and arrow") << Window([](CTarvexCollectorView &view) {
      view.OnZoomIn();
      view.OnZoomIn();
      view.OnZoomIn();
      view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->value() + 37);
      view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() + 23);
      QWheelEvent wheel(QPointF(100, 100), view.viewport()->mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, -120),
                        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(view.viewport(), &wheel);
      QTest::keyClick(&view, Qt::Key_Left);
    });
    QTest::newRow("fit by the command, window resized") << Window([](CTarvexCollectorView &view) {
      view.OnFitToDisplay();
      view.resize(517, 389);
    });
  }

  void pointsLandUnderThePointer() {
    QFETCH(std::function<void(CTarvexCollectorView &)>, window);
    _planview bench;
    bench.view.show();
    window(bench.view);
    const _planrect &rcView = bench.Plan().m_rcView;
    // Every window here shows a plan pixel on at least one client pixel: a click in the middle of
    // those client pixels is on that plan pixel.
    const _pixelpoint start{rcView.left + (rcView.right - rcView.left) / 3,
                            rcView.top + (rcView.bottom - rcView.top) / 4};
    const _pixelpoint stop{start.x + 21, start.y + 13};
    const QPoint ptStart = CentreOf(bench.view, start);
    const QPoint ptStop = CentreOf(bench.view, stop);
    _pixelpoint under;
    QVERIFY(bench.Plan().ClientToPlan(ptStop.x(), ptStop.y(), ClientRect(bench.view), under));
    QCOMPARE(QPoint(under.x, under.y), QPoint(stop.x, stop.y));

    bench.Press(IDC_START_POINT);
    bench.Click(ptStart);
    bench.Press(IDC_STOP_POINT);
    bench.Click(ptStop);

    const _planpoint &startMarker = bench.Plan().m_Start[0];
    const _planpoint &stopMarker = bench.Plan().m_Stop[0];
    QCOMPARE(QPoint(startMarker.nPlanX, startMarker.nPlanY), QPoint(start.x, start.y));
    QCOMPARE(QPoint(stopMarker.nPlanX, stopMarker.nPlanY), QPoint(stop.x, stop.y));
    QCOMPARE(QPoint(startMarker.nScreenX, startMarker.nScreenY), ClientOf(bench.view, start.x, start.y));
    QCOMPARE(QPoint(stopMarker.nScreenX, stopMarker.nScreenY), ClientOf(bench.view, stop.x, stop.y));
    const _segmentheader &header = bench.view.Session().SiteData()->m_segment;
    QVERIFY(header.nStartX == start.x && header.nStartY == start.y && header.nStopX == stop.x &&
            header.nStopY == stop.y);
    // The length, in the linear projection's units of one per pixel.
    const double dLength = std::hypot(stop.x - start.x, stop.y - start.y);
    QCOMPARE(bench.Dialog().GetDlgItemText(IDC_SEGMENT_LENGTH), QString::asprintf("%0.2f", dLength));
    QCOMPARE(bench.Dialog().m_dLength, dLength);
    QVERIFY(bench.prompts.Shown().isEmpty());
  }

  // Right after a plan is shown its scroll bars appear and take their room from the client area:
  // the plan is still shown 1:1 from its top-left corner, so the first clicks land on the plan
  // pixels under them, and a later resize keeps that corner.
  void firstClicksAfterLoadingLandUnderThePointer() {
    QTemporaryDir dir;
    CScriptedPrompts prompts;
    CTarvexCollectorView view;
    view.resize(640, 480);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    SetUpPlan(view, PROJECTION_LINEAR, LINEAR_1, 2000, 1500);
    QTRY_VERIFY(view.horizontalScrollBar()->isVisible() && view.verticalScrollBar()->isVisible());
    QVERIFY(view.viewport()->width() < 640);
    QVERIFY(SetUpSurvey(view, dir.filePath(QStringLiteral("Data.tvd")).toStdString()));
    CSegmentDataDialog &dialog = ViewDialog<CSegmentDataDialog>(view);
    dialog.GetDlgItemAs<QAbstractButton>(IDC_NEW_SEGMENT)->click();
    dialog.GetDlgItemAs<QAbstractButton>(IDC_START_POINT)->click();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 150));
    dialog.GetDlgItemAs<QAbstractButton>(IDC_STOP_POINT)->click();
    view.resize(500, 400);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 80));
    const _segmentheader &header = view.Session().SiteData()->m_segment;
    QCOMPARE(QPoint(header.nStartX, header.nStartY), QPoint(200, 150));
    QCOMPARE(QPoint(header.nStopX, header.nStopY), QPoint(100, 80));
    QCOMPARE(view.horizontalScrollBar()->value(), 0);
    QCOMPARE(view.verticalScrollBar()->value(), 0);
    QVERIFY(prompts.Shown().isEmpty());
  }

  // The point belongs to the segment announced, whatever segment the dialog shows.
  void pointsGoToTheAnnouncedSegment() {
    _planview bench;
    CSurveySession &session = bench.view.Session();
    QVERIFY(session.SetStartPoint({1, 1}) && session.SetStopPoint({2, 2}) && session.Begin() && session.Stop());
    bench.Press(IDC_NEW_SEGMENT);
    bench.Press(IDC_PREV_SEGMENT); // browsed back to segment 1
    QCOMPARE(bench.Dialog().m_nSegment, 1);
    bench.Dialog().m_nPointMode = CSegmentDataDialog::POINT_START;
    bench.Click({30, 40});
    QCOMPARE(bench.Plan().m_Start[1].nPlanX, 30);
    QCOMPARE(bench.Plan().m_Start[0].nPlanX, 1); // segment 1's own start point
    QCOMPARE(bench.Dialog().m_nSegment, 2);
  }

  void noPointWhileWalkingOrMeasuringOrWithoutMode_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("walking");
    QTest::addColumn<bool>("measuring");
    QTest::newRow("walking") << 2 << true << false;
    QTest::newRow("measuring") << 1 << false << true;
    QTest::newRow("no point mode") << 0 << false << false;
  }

  void noPointWhileWalkingOrMeasuringOrWithoutMode() {
    QFETCH(int, mode);
    QFETCH(bool, walking);
    QFETCH(bool, measuring);
    _planview bench;
    if (walking) {
      CSurveySession &session = bench.view.Session();
      QVERIFY(session.SetStartPoint({1, 1}) && session.SetStopPoint({2, 2}) && session.Begin());
    }
    if (measuring) {
      bench.view.OnMeasureDistance();
    }
    bench.Dialog().m_nPointMode = mode;
    const _segmentheader before = bench.view.Session().SiteData()->m_segment;
    const QPoint ptStart(bench.Plan().m_Start[0].nPlanX, bench.Plan().m_Start[0].nPlanY);
    const QPoint ptStop(bench.Plan().m_Stop[0].nPlanX, bench.Plan().m_Stop[0].nPlanY);
    bench.Click({30, 40});
    QCOMPARE(QPoint(bench.Plan().m_Start[0].nPlanX, bench.Plan().m_Start[0].nPlanY), ptStart);
    QCOMPARE(QPoint(bench.Plan().m_Stop[0].nPlanX, bench.Plan().m_Stop[0].nPlanY), ptStop);
    QCOMPARE(EncodeSegmentHeader(bench.view.Session().SiteData()->m_segment), EncodeSegmentHeader(before));
    QVERIFY(bench.prompts.Shown().isEmpty());
  }

  // A click the walk refuses (no segment announced in a survey just opened) says why.
  void refusedPointSaysWhy() {
    _planview bench;
    QVERIFY(SetUpSurvey(bench.view, bench.dir.filePath(QStringLiteral("Other.tvd")).toStdString()));
    bench.Dialog().m_nPointMode = CSegmentDataDialog::POINT_START;
    bench.prompts.AnswerMessage(PROMPT_ANSWER_OK);
    bench.Click({30, 40});
    QCOMPARE(bench.prompts.MessageTexts().size(), 1);
    QVERIFY(bench.prompts.MessageTexts()[0].contains(QStringLiteral("New Segment")));
    QCOMPARE(QPoint(bench.Plan().m_Start[0].nPlanX, bench.Plan().m_Start[0].nPlanY), QPoint(0, 0));
  }

  // A press measures from its point; until the pointer moves, the distance to the origin shows.
  void measuring_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("units");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QString>("pressed");
    QTest::addColumn<QPoint>("moveTo");
    QTest::addColumn<QString>("moved");
    QTest::newRow("linear, X 3 Y 4") << int(PROJECTION_LINEAR) << UNITS_METERS << QPoint(3, 4) << "5.00" << QPoint(3, 4)
                                     << "0.00";
    QTest::newRow("geo, one degree of longitude")
        << int(PROJECTION_GEO) << UNITS_METERS << QPoint(0, 200) << "0.00" << QPoint(100, 200) << "111319.49";
    QTest::newRow("geo, in feet") << int(PROJECTION_GEO) << UNITS_FEET << QPoint(0, 200) << "0.00" << QPoint(100, 200)
                                  << "365127.93";
  }

  void measuring() {
    QFETCH(int, kind);
    QFETCH(int, units);
    QFETCH(QPoint, press);
    QFETCH(QString, pressed);
    QFETCH(QPoint, moveTo);
    QFETCH(QString, moved);
    _planview bench(kind == PROJECTION_GEO ? GEO_100 : LINEAR_1, kind);
    bench.view.OnMeasureDistance();
    bench.Dialog().m_nPointMode = CSegmentDataDialog::POINT_START; // no point is placed
    bench.DistanceDialog().SetCurSel(IDC_UNITS, units);
    QVERIFY(!bench.DistanceDialog().isVisible());

    SendMouse(bench.view, QEvent::MouseButtonPress, press, Qt::LeftButton);
    QVERIFY(bench.DistanceDialog().isVisible());
    QCOMPARE(bench.Distance(), pressed);
    SendMouse(bench.view, QEvent::MouseMove, moveTo, Qt::LeftButton);
    QCOMPARE(bench.Distance(), moved);
    SendMouse(bench.view, QEvent::MouseButtonRelease, moveTo);
    QCOMPARE(bench.Distance(), moved); // the release keeps the value
    QVERIFY(bench.DistanceDialog().isVisible());
    QCOMPARE(bench.view.Session().Projection().m_FirstPoint[1], 0.0);
    QCOMPARE(bench.Plan().m_Start[0].bPlaced, uint8_t{0});
    // Moving after the release changes nothing.
    SendMouse(bench.view, QEvent::MouseMove, press + QPoint(50, 50));
    QCOMPARE(bench.Distance(), moved);
  }

  void releaseWithoutMovingKeepsThePressValue() {
    _planview bench;
    bench.view.OnMeasureDistance();
    SendMouse(bench.view, QEvent::MouseButtonPress, {3, 4}, Qt::LeftButton);
    SendMouse(bench.view, QEvent::MouseButtonRelease, {3, 4});
    QCOMPARE(bench.Distance(), QStringLiteral("5.00"));
    SendMouse(bench.view, QEvent::MouseMove, {6, 8}); // the hold is over: nothing follows
    QCOMPARE(bench.Distance(), QStringLiteral("5.00"));
  }

  // Turning the mode off during a drag (as Measure Distance does) ends the hold and hides the
  // dialog; later movement changes nothing in it.
  void modeOffDuringADrag() {
    _planview bench;
    bench.view.OnMeasureDistance();
    SendMouse(bench.view, QEvent::MouseButtonPress, {3, 4}, Qt::LeftButton);
    SendMouse(bench.view, QEvent::MouseMove, {6, 8}, Qt::LeftButton);
    QCOMPARE(bench.Distance(), QStringLiteral("5.00")); // (3, 4) to (6, 8)
    bench.view.OnMeasureDistance();
    QVERIFY(!bench.DistanceDialog().isVisible());
    SendMouse(bench.view, QEvent::MouseMove, {300, 200}, Qt::LeftButton);
    QCOMPARE(bench.Distance(), QStringLiteral("5.00"));
    QVERIFY(!bench.DistanceDialog().isVisible());
    SendMouse(bench.view, QEvent::MouseButtonRelease, {300, 200});
    QVERIFY(!bench.DistanceDialog().isVisible());
  }

  // Without a projection nothing is pointed at and nothing divides by zero.
  void withoutAProjection() {
    _planview bench;
    CTarvexCollectorView &view = bench.view;
    view.OnMeasureDistance(); // measuring when the projection goes
    view.Session().Run().m_bProjectionLoaded = false;
    bench.Dialog().m_nPointMode = CSegmentDataDialog::POINT_START;
    SendMouse(view, QEvent::MouseButtonPress, {30, 40}, Qt::LeftButton);
    SendMouse(view, QEvent::MouseMove, {60, 80}, Qt::LeftButton);
    SendMouse(view, QEvent::MouseButtonRelease, {60, 80});
    QVERIFY(!bench.DistanceDialog().isVisible());
    QCOMPARE(bench.Plan().m_Start[0].bPlaced, uint8_t{0});
    QVERIFY(bench.prompts.Shown().isEmpty());
  }

  // "Latitude: %f" and "Longitude: %f" for a geo-coded projection only, of the plan pixel under
  // the pointer; "X: %d" and "Y: %d", the client position, always.
  void statusPanes_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("geo-coded") << int(PROJECTION_GEO);
    QTest::newRow("linear") << int(PROJECTION_LINEAR);
    QTest::newRow("none") << int(PROJECTION_NONE);
  }

  void statusPanes() {
    QFETCH(int, kind);
    CMainFrame frame;
    CTarvexCollectorView &view = *frame.GetView();
    frame.resize(900, 700);
    frame.show();
    QString strLatitude = frame.Pane(ID_INDICATOR_LATITUDE)->text();
    QString strLongitude = frame.Pane(ID_INDICATOR_LONGITUDE)->text();
    if (kind != PROJECTION_NONE) {
      SetUpPlan(view, kind, kind == PROJECTION_GEO ? GEO_100 : LINEAR_1, 2000, 1500);
      view.horizontalScrollBar()->setValue(50);
      view.verticalScrollBar()->setValue(30);
    }
    _pixelpoint pt;
    QVERIFY(view.Session().Plan().ClientToPlan(150, 100, ClientRect(view), pt));
    if (kind == PROJECTION_GEO) {
      QVERIFY(pt.x != 150 && pt.y != 100);
      strLatitude = QString::asprintf("Latitude: %f", (200 - pt.y) / 100.0);
      strLongitude = QString::asprintf("Longitude: %f", pt.x / 100.0);
    }
    SendMouse(view, QEvent::MouseMove, {150, 100});
    QCOMPARE(frame.Pane(ID_INDICATOR_X)->text(), QStringLiteral("X: 150"));
    QCOMPARE(frame.Pane(ID_INDICATOR_Y)->text(), QStringLiteral("Y: 100"));
    QCOMPARE(frame.Pane(ID_INDICATOR_LATITUDE)->text(), strLatitude);
    QCOMPARE(frame.Pane(ID_INDICATOR_LONGITUDE)->text(), strLongitude);
  }
};

QTEST_MAIN(CViewPointingTest)
#include "ViewPointingTest.moc"
