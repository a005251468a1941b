// Moving about the plan: zoom, fit, the scroll bars (showing where the window is), the arrow keys,
// the wheel, a resize that keeps the scale, the zoom pane and Measure Distance in the frame.
#include "tests/app/MapFixture.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QSettings>
#include <QStandardPaths>
#include <QWheelEvent>

using namespace map_fixture;

namespace {

struct _window {
  int32_t nLeft, nRight, nTop, nBottom;
};

// The window onto the plan that the view shows.
_window WindowOf(const CTarvexCollectorView &view) {
  const _planrect &rc = PlanOf(view).m_rcView;
  return {rc.left, rc.right, rc.top, rc.bottom};
}

int32_t WindowWidth(const CTarvexCollectorView &view) {
  return PlanOf(view).m_rcView.right - PlanOf(view).m_rcView.left;
}

bool operator==(const _window &a, const _window &b) {
  return a.nLeft == b.nLeft && a.nRight == b.nRight && a.nTop == b.nTop && a.nBottom == b.nBottom;
}

char *toString(const _window &w) {
  return QTest::toString(QStringLiteral("(%1, %2, %3, %4)").arg(w.nLeft).arg(w.nRight).arg(w.nTop).arg(w.nBottom));
}

// Each scroll bar's range is the plan less the window, its position the window's first pixel and
// its page the window.
void VerifyBarsFollowTheWindow(const CTarvexCollectorView &view, QSize plan) {
  const _planrect &rc = PlanOf(view).m_rcView;
  const QScrollBar *pH = view.horizontalScrollBar();
  const QScrollBar *pV = view.verticalScrollBar();
  QCOMPARE(pH->maximum(), std::max(0, plan.width() - (rc.right - rc.left)));
  QCOMPARE(pV->maximum(), std::max(0, plan.height() - (rc.bottom - rc.top)));
  QCOMPARE(pH->value(), std::clamp(rc.left, 0, pH->maximum()));
  QCOMPARE(pV->value(), std::clamp(rc.top, 0, pV->maximum()));
  QCOMPARE(pH->pageStep(), rc.right - rc.left);
  QCOMPARE(pV->pageStep(), rc.bottom - rc.top);
}

void Wheel(CTarvexCollectorView &view, QPoint ptAngle, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  const QPointF ptAt(50, 50);
  QWheelEvent event(ptAt, view.viewport()->mapToGlobal(ptAt), QPoint(), ptAngle, Qt::NoButton, modifiers,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(view.viewport(), &event);
}

} // namespace

class CMapNavigationTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
  }

  // From 1:1 in 400 x 300 on a 2000 x 1500 plan: zoom in around the centre, out again, fit; the
  // bars follow each, and the zoom pane shows the scale.
  void zoomAndFit() {
    auto pView = MakeView(400, 300);
    QVERIFY(pView);
    LoadPlan(*pView, WhitePlan(2000, 1500));
    QCOMPARE(WindowOf(*pView), (_window{0, 400, 0, 300}));
    VerifyBarsFollowTheWindow(*pView, {2000, 1500});
    QCOMPARE(pView->ZoomText(), QString("Zoom: 1x"));
    pView->OnZoomIn();
    QCOMPARE(WindowOf(*pView), (_window{100, 300, 75, 225}));
    VerifyBarsFollowTheWindow(*pView, {2000, 1500});
    QCOMPARE(pView->ZoomText(), QString("Zoom: 2x"));
    pView->OnZoomOut();
    QCOMPARE(WindowOf(*pView), (_window{0, 400, 0, 300}));
    pView->OnZoomOut(); // at 1 nothing changes
    QCOMPARE(WindowOf(*pView), (_window{0, 400, 0, 300}));
    pView->OnFitToDisplay();
    QCOMPARE(WindowOf(*pView), (_window{0, 2000, 0, 1500}));
    VerifyBarsFollowTheWindow(*pView, {2000, 1500});
    QCOMPARE(pView->horizontalScrollBar()->maximum(), 0);
    QCOMPARE(pView->ZoomText(), QString("Zoom: 0.2x"));
    pView->resize(400, 200); // a resize keeps the scale; a fit then gives the axes different ones
    QCOMPARE(pView->ZoomText(), QString("Zoom: 0.2x"));
    pView->OnFitToDisplay();
    QCOMPARE(pView->ZoomText(), QString("Zoom: 0.2x / 0.13x"));
  }

  // Zooming in stops while the window still has a size; the view still paints.
  void zoomInStopsBeforeAnEmptyWindow() {
    auto pView = MakeView(400, 300);
    QVERIFY(pView);
    LoadPlan(*pView, CoordinatePlan(400, 300));
    for (int i = 0; i < 40; ++i) {
      pView->OnZoomIn();
    }
    const _planrect &window = PlanOf(*pView).m_rcView;
    QVERIFY(window.right - window.left >= PLAN_MIN_WINDOW);
    QVERIFY(window.bottom - window.top >= PLAN_MIN_WINDOW);
    // Large scales as whole numbers, not as 1.3e+02.
    const QString strAcross = QString::number(std::lround(400.0 / WindowWidth(*pView)));
    QVERIFY2(pView->ZoomText().startsWith(QString("Zoom: %1x").arg(strAcross)), qPrintable(pView->ZoomText()));
    const QImage shown = Shown(*pView);
    QCOMPARE(shown.pixel(0, 0), CoordinatePlan(400, 300).pixel(window.left, window.top));
    VerifyBarsFollowTheWindow(*pView, {400, 300});
  }

  // The bars with the mouse: a line step is 10 plan pixels, a page the window, the thumb dragged
  // puts the window where it is; against the plan's edge nothing moves, the bar included.
  void scrollBarsMoveTheWindow() {
    auto pView = MakeView(400, 300, true);
    QVERIFY(pView);
    LoadPlan(*pView, WhitePlan(2000, 1500));
    QScrollBar *pH = pView->horizontalScrollBar();
    QScrollBar *pV = pView->verticalScrollBar();
    // The bars appear, the client area shrinks, and the window with it, keeping its scale.
    QTRY_VERIFY(pH->isVisible() && pV->isVisible());
    QCOMPARE(WindowWidth(*pView), pView->viewport()->width());
    VerifyBarsFollowTheWindow(*pView, {2000, 1500});
    pH->triggerAction(QAbstractSlider::SliderSingleStepSub); // at the left edge
    QCOMPARE(WindowOf(*pView).nLeft, 0);
    QCOMPARE(pH->value(), 0);
    pH->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(WindowOf(*pView).nLeft, 10);
    VerifyBarsFollowTheWindow(*pView, {2000, 1500});
    const int nPage = pH->pageStep();
    pH->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(WindowOf(*pView).nLeft, 10 + nPage);
    VerifyBarsFollowTheWindow(*pView, {2000, 1500});
    pV->setSliderPosition(700); // the thumb dragged
    QCOMPARE(WindowOf(*pView).nTop, 700);
    VerifyBarsFollowTheWindow(*pView, {2000, 1500});
    pH->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(WindowOf(*pView).nRight, 2000);
    pV->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(WindowOf(*pView).nBottom, 1500);
    pV->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(WindowOf(*pView).nBottom, 1500);
    VerifyBarsFollowTheWindow(*pView, {2000, 1500});
    // A fitted plan needs no bars.
    pView->OnFitToDisplay();
    QTRY_VERIFY(!pH->isVisible() && !pV->isVisible());
    VerifyBarsFollowTheWindow(*pView, {2000, 1500});
  }

  // Each arrow key scrolls 10 plan pixels, not past the plan's edge, and the bar follows.
  void arrowKeysScroll_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("presses");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    // The window starts at (500, 500) in a 1000 x 1000 plan, 200 x 100 large.
    QTest::newRow("right") << int(Qt::Key_Right) << 3 << 530 << 500;
    QTest::newRow("left") << int(Qt::Key_Left) << 2 << 480 << 500;
    QTest::newRow("down") << int(Qt::Key_Down) << 1 << 500 << 510;
    QTest::newRow("up") << int(Qt::Key_Up) << 4 << 500 << 460;
    QTest::newRow("left to the edge") << int(Qt::Key_Left) << 60 << 0 << 500;
    QTest::newRow("right to the edge") << int(Qt::Key_Right) << 60 << 800 << 500;
    QTest::newRow("down to the edge") << int(Qt::Key_Down) << 60 << 500 << 900;
    QTest::newRow("up to the edge") << int(Qt::Key_Up) << 60 << 500 << 0;
  }
  void arrowKeysScroll() {
    QFETCH(int, key);
    QFETCH(int, presses);
    QFETCH(int, left);
    QFETCH(int, top);
    auto pView = MakeView(200, 100);
    QVERIFY(pView);
    LoadPlan(*pView, WhitePlan(1000, 1000));
    pView->horizontalScrollBar()->setValue(500);
    pView->verticalScrollBar()->setValue(500);
    QCOMPARE(WindowOf(*pView), (_window{500, 700, 500, 600}));
    for (int i = 0; i < presses; ++i) {
      QTest::keyClick(pView.get(), static_cast<Qt::Key>(key));
    }
    QCOMPARE(WindowOf(*pView).nLeft, left);
    QCOMPARE(WindowOf(*pView).nTop, top);
    VerifyBarsFollowTheWindow(*pView, {1000, 1000});
  }

  // A plan lower than the window does not jump to the window's bottom at the down arrow.
  void downArrowOnAShortPlan() {
    auto pView = MakeView(400, 300);
    QVERIFY(pView);
    LoadPlan(*pView, WhitePlan(1000, 200));
    QTest::keyClick(pView.get(), Qt::Key_Down);
    QCOMPARE(WindowOf(*pView), (_window{0, 400, 0, 300}));
  }

  // The wheel scrolls (down when turned towards the operator), Shift+wheel across, by the
  // system's wheel lines of 20 client pixels; Ctrl+wheel zooms in and out.
  void wheelScrollsAndZooms() {
    auto pView = MakeView(400, 300);
    QVERIFY(pView);
    LoadPlan(*pView, WhitePlan(2000, 1500));
    const int nStep = QApplication::wheelScrollLines() * 20;
    Wheel(*pView, QPoint(0, -120));
    QCOMPARE(WindowOf(*pView), (_window{0, 400, nStep, 300 + nStep}));
    Wheel(*pView, QPoint(0, -120), Qt::ShiftModifier);
    QCOMPARE(WindowOf(*pView), (_window{nStep, 400 + nStep, nStep, 300 + nStep}));
    Wheel(*pView, QPoint(0, 60)); // half a notch: half the step
    QCOMPARE(WindowOf(*pView).nTop, nStep / 2);
    VerifyBarsFollowTheWindow(*pView, {2000, 1500});
    Wheel(*pView, QPoint(0, 120), Qt::ControlModifier);
    QCOMPARE(pView->ZoomText(), QString("Zoom: 2x"));
    QCOMPARE(WindowWidth(*pView), 200);
    Wheel(*pView, QPoint(0, 60), Qt::ControlModifier); // half a notch: nothing yet
    QCOMPARE(pView->ZoomText(), QString("Zoom: 2x"));
    Wheel(*pView, QPoint(0, -180), Qt::ControlModifier);
    QCOMPARE(pView->ZoomText(), QString("Zoom: 1x"));
    // Zoomed in, a notch scrolls the same client distance: half as many plan pixels.
    pView->OnZoomIn();
    const int32_t nTop = WindowOf(*pView).nTop;
    Wheel(*pView, QPoint(0, -120));
    QCOMPARE(WindowOf(*pView).nTop, nTop + nStep / 2);
  }

  // Resizing keeps the scale and the top-left corner: every marker stays on its plan pixel, and
  // the plan pixel under a marker's screen point is still its own.
  void resizeKeepsMarkersOnTheirPixels() {
    auto pView = MakeView(600, 400);
    QVERIFY(pView);
    LoadPlan(*pView, CoordinatePlan(3000, 2000));
    QTemporaryDir dir;
    QVERIFY(OpenSurvey(*pView, dir, {{QPoint(700, 500), QPoint(1100, 650)}}));
    pView->OnFitToDisplay();
    pView->OnZoomIn();
    const double dScale = 600.0 / WindowWidth(*pView);
    const CSitePlan &plan = PlanOf(*pView);
    for (const QSize size : {QSize(900, 700), QSize(300, 500), QSize(600, 400)}) {
      pView->resize(size);
      QTRY_COMPARE(pView->viewport()->size(), size);
      QCOMPARE(size.width() / static_cast<double>(WindowWidth(*pView)), dScale);
      for (const _planpoint *pPoint : {&plan.m_Start[0], &plan.m_Stop[0]}) {
        _pixelpoint ptScreen;
        QVERIFY(plan.PlanToClient(pPoint->nPlanX, pPoint->nPlanY, ptScreen));
        QCOMPARE(ScreenOf(*pPoint), QPoint(ptScreen.x, ptScreen.y));
        _pixelpoint ptPlan;
        QVERIFY(plan.ClientToPlan(ptScreen.x, ptScreen.y, ClientOf(*pView), ptPlan));
        QVERIFY(std::abs(ptPlan.x - pPoint->nPlanX) <= 1 && std::abs(ptPlan.y - pPoint->nPlanY) <= 1);
      }
    }
    QCOMPARE(WindowOf(*pView), (_window{750, 2250, 500, 1500}));
  }

  // Measure Distance: enabled only with a projection, checked while on; off ends a held press,
  // hides the distance dialog and takes the line away. The zoom pane shows the scale.
  void measureDistanceInTheFrame() {
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CTarvexCollectorView &view = *frame.GetView();
    QAction *pMeasure = frame.Action(ID_MEASURE_DISTANCE);
    QVERIFY(!pMeasure->isEnabled());
    QCOMPARE(frame.Pane(ID_INDICATOR_ZOOM)->text().trimmed(), QString("Zoom: NA"));
    LoadPlan(view, WhitePlan(3000, 3000));
    QVERIFY(pMeasure->isEnabled());
    QVERIFY(!pMeasure->isChecked());
    QCOMPARE(frame.Pane(ID_INDICATOR_ZOOM)->text(), QString("Zoom: 1x"));
    frame.Action(ID_ZOOM_IN)->trigger();
    QCOMPARE(frame.Pane(ID_INDICATOR_ZOOM)->text(), QString("Zoom: 2x"));

    pMeasure->trigger();
    QVERIFY(pMeasure->isChecked());
    // A press held and moved: the distance dialog and the measuring line.
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(10, 40));
    QMouseEvent move(QEvent::MouseMove, QPointF(200, 40), QPointF(view.viewport()->mapToGlobal(QPoint(200, 40))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    const CDistanceMeasurementDialog &distance = ViewDialog<CDistanceMeasurementDialog>(view);
    QVERIFY(distance.isVisible());
    QCOMPARE(Shown(view).pixelColor(20, 40), QColor(255, 0, 0));
    pMeasure->trigger();
    QVERIFY(!pMeasure->isChecked());
    QVERIFY(!distance.isVisible());
    QCOMPARE(Shown(view).pixelColor(20, 40), QColor(255, 255, 255));
    QApplication::sendEvent(view.viewport(), &move); // the press held is over too: no line follows
    QCOMPARE(Shown(view).pixelColor(20, 40), QColor(255, 255, 255));

    // The projection gone, the command is off and stays off.
    view.Session().Run().m_bProjectionLoaded = false;
    view.UpdateMapCommands();
    QVERIFY(!pMeasure->isEnabled());
    view.OnMeasureDistance();
    QVERIFY(!pMeasure->isChecked());
  }

private:
  QTemporaryDir m_settingsDir;
};

QTEST_MAIN(CMapNavigationTest)
#include "MapNavigationTest.moc"
