// The map as the view paints it, checked by pixel: the plan in the window, the markers with their
// rims and white corners, the lines in their order and pens, the request for a projection with
// markers over it, the measuring line, and a large plan fitted without losing its thin lines.
#include "tests/app/MapFixture.h"

#include "app/PlanImage.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

using namespace map_fixture;

namespace {

const QColor GREEN(0, 255, 0);
const QColor RED(255, 0, 0);
const QColor BLUE(0, 0, 255);
const QColor BLACK(0, 0, 0);
const QColor WHITE(255, 255, 255);

// Whether any pixel of the column x, rows y - 1 to y + 1, has the colour: a line of width 2 lies
// on one of two rows, depending on the rasteriser.
bool NearRow(const QImage &image, int x, int y, const QColor &colour) {
  for (int dy = -1; dy <= 1; ++dy) {
    if (image.pixelColor(x, y + dy) == colour) {
      return true;
    }
  }
  return false;
}

} // namespace

class CMapPaintTest : public QObject {
  Q_OBJECT

private slots:
  // At 1:1 each client pixel is the plan pixel under it; zoomed in twice, each plan pixel is a
  // sharp 2 x 2 block around the same centre.
  void planShowsThroughTheWindow() {
    auto pView = MakeView(400, 300);
    QVERIFY(pView);
    const QImage plan = CoordinatePlan(1000, 800);
    LoadPlan(*pView, plan);
    QImage shown = Shown(*pView);
    for (const QPoint pt : {QPoint(0, 0), QPoint(123, 45), QPoint(399, 299), QPoint(257, 260)}) {
      QCOMPARE(shown.pixel(pt), plan.pixel(pt));
    }
    pView->OnZoomIn(); // window (100, 300, 75, 225)
    QCOMPARE(PlanOf(*pView).m_rcView.left, 100);
    QCOMPARE(PlanOf(*pView).m_rcView.top, 75);
    shown = Shown(*pView);
    for (const QPoint pt : {QPoint(0, 0), QPoint(10, 20), QPoint(399, 299), QPoint(201, 151)}) {
      QCOMPARE(shown.pixel(pt), plan.pixel(100 + pt.x() / 2, 75 + pt.y() / 2));
    }
  }

  // A plan smaller than the client area: the plan at the top left, the rest black.
  void outsideThePlanIsBlack() {
    auto pView = MakeView(400, 300);
    QVERIFY(pView);
    const QImage plan = CoordinatePlan(250, 120);
    LoadPlan(*pView, plan);
    const QImage shown = Shown(*pView);
    QCOMPARE(shown.pixel(249, 119), plan.pixel(249, 119));
    QCOMPARE(shown.pixelColor(250, 10), BLACK);
    QCOMPARE(shown.pixelColor(10, 120), BLACK);
    QCOMPARE(shown.pixelColor(399, 299), BLACK);
  }

  // Start markers green, stop markers red, each with a black rim, thick for the current segment,
  // and white corners copied as they are; the current segment's line blue and 2 wide, the others
  // black.
  void markersAndLinesInTheirColours() {
    auto pView = MakeView(640, 480);
    QVERIFY(pView);
    LoadPlan(*pView, WhitePlan(640, 480));
    QTemporaryDir dir;
    QVERIFY(OpenSurvey(*pView, dir, {{QPoint(100, 100), QPoint(300, 100)}, {QPoint(100, 300), QPoint(300, 300)}}));
    ViewDialog<CSegmentDataDialog>(*pView).m_nSegment = 2;
    const QImage shown = Shown(*pView);
    struct _probe {
      QPoint pt;
      QColor colour;
      const char *szWhat;
    };
    // Rows 9 to 13 of a marker: the thin rim is one pixel, the thick one two. The probes stay
    // three rows above the centre, off the lines, and left of the numbers.
    const _probe probes[] = {
        {{100 - 9, 100 - 3}, GREEN, "start 1: disc"},    {{100 - 11, 100 - 3}, GREEN, "start 1: thin rim"},
        {{100 - 12, 100 - 3}, BLACK, "start 1: rim"},    {{100 - 12, 100 - 12}, WHITE, "start 1: corner"},
        {{300 - 9, 100 - 3}, RED, "stop 1: disc"},       {{300 - 11, 100 - 3}, RED, "stop 1: thin rim"},
        {{100 - 9, 300 - 3}, GREEN, "start 2: disc"},    {{100 - 11, 300 - 3}, BLACK, "start 2: thick rim"},
        {{300 - 9, 300 - 3}, RED, "stop 2: disc"},       {{300 - 11, 300 - 3}, BLACK, "stop 2: thick rim"},
        {{300 + 10, 300 - 12}, WHITE, "stop 2: corner"},
    };
    for (const _probe &probe : probes) {
      QVERIFY2(shown.pixelColor(probe.pt) == probe.colour, probe.szWhat);
    }
    QVERIFY(NearRow(shown, 200, 100, BLACK));
    QVERIFY(!NearRow(shown, 200, 100, BLUE));
    QVERIFY(NearRow(shown, 200, 300, BLUE));
    // The current line is two pixels wide, the other one.
    int nBlue = 0;
    int nBlack = 0;
    for (int y = 95; y <= 105; ++y) {
      nBlack += shown.pixelColor(200, y) == BLACK ? 1 : 0;
      nBlue += shown.pixelColor(200, y + 200) == BLUE ? 1 : 0;
    }
    QCOMPARE(nBlack, 1);
    QCOMPARE(nBlue, 2);
  }

  // Within a segment the line lies over the stop marker and the start marker over the line; a
  // later segment lies over an earlier one.
  void paintingOrder() {
    auto pView = MakeView(640, 480);
    QVERIFY(pView);
    LoadPlan(*pView, WhitePlan(640, 480));
    QTemporaryDir dir;
    // Segment 1 (current) runs right to left; segment 3 starts where segment 2 stops.
    QVERIFY(OpenSurvey(*pView, dir,
                       {{QPoint(400, 100), QPoint(200, 100)},
                        {QPoint(500, 300), QPoint(200, 300)},
                        {QPoint(200, 300), QPoint(200, 450)}}));
    ViewDialog<CSegmentDataDialog>(*pView).m_nSegment = 1;
    const QImage shown = Shown(*pView);
    // The blue line crosses the right half of segment 1's stop marker, its number included ...
    QVERIFY(NearRow(shown, 200 + 9, 100, BLUE));
    // ... but not its start marker, which lies over it.
    QCOMPARE(shown.pixelColor(400 - 9, 100), GREEN);
    QVERIFY(!NearRow(shown, 400 - 9, 100, BLUE));
    // Segment 3's start marker (green) covers segment 2's stop marker (red).
    QCOMPARE(shown.pixelColor(200 - 9, 300 - 3), GREEN);
    QCOMPARE(shown.pixelColor(200 - 11, 300 - 3), GREEN);
  }

  // The pictures the view keeps between paints follow every change: the current segment, a
  // marker moved, a new plan bitmap, the projection gone.
  void keptPicturesFollowChanges() {
    auto pView = MakeView(640, 480);
    QVERIFY(pView);
    LoadPlan(*pView, WhitePlan(640, 480));
    QTemporaryDir dir;
    QVERIFY(OpenSurvey(*pView, dir, {{QPoint(100, 100), QPoint(300, 100)}, {QPoint(100, 300), QPoint(300, 300)}}));
    CSegmentDataDialog &dialog = ViewDialog<CSegmentDataDialog>(*pView);
    dialog.m_nSegment = 1;
    QVERIFY(NearRow(Shown(*pView), 200, 100, BLUE));
    dialog.m_nSegment = 2;
    QImage shown = Shown(*pView);
    QVERIFY(!NearRow(shown, 200, 100, BLUE));
    QVERIFY(NearRow(shown, 200, 300, BLUE));
    CSitePlan &plan = pView->Session().Plan();
    plan.m_Stop[1].nPlanY = 400;
    plan.UpdateScreenPositions();
    QCOMPARE(Shown(*pView).pixelColor(300 - 9, 400 - 3), RED);
    LoadPlan(*pView, CoordinatePlan(640, 480));
    QCOMPARE(Shown(*pView).pixel(500, 200), CoordinatePlan(640, 480).pixel(500, 200));
    QImage changed = CoordinatePlan(640, 480);
    changed.setPixel(500, 200, qRgb(1, 2, 3));
    LoadPlan(*pView, changed);
    QCOMPARE(Shown(*pView).pixel(500, 200), qRgb(1, 2, 3));
    pView->Session().Run().m_bProjectionLoaded = false;
    QCOMPARE(Shown(*pView).pixelColor(500, 200), BLACK);
  }

  // Without a projection: black with the request, and a survey's markers still over it.
  void markersOverTheBlackView() {
    auto pView = MakeView(640, 480);
    QVERIFY(pView);
    pView->Session().Plan().SetPlan(640, 480, ClientOf(*pView));
    QTemporaryDir dir;
    QVERIFY(OpenSurvey(*pView, dir, {{QPoint(100, 100), QPoint(500, 400)}}));
    const QImage shown = Shown(*pView);
    QCOMPARE(shown.pixelColor(100 - 9, 100), GREEN);
    QCOMPARE(shown.pixelColor(500 - 9, 400), RED);
    QCOMPARE(shown.pixelColor(100 - 12, 100 - 12), WHITE);
    QCOMPARE(shown.pixelColor(20, 20), BLACK);
    int nLit = 0; // the text, white and smoothed
    for (int x = 0; x < 640; ++x) {
      for (int y = 240 - 25; y < 240 + 25; ++y) {
        nLit += qGray(shown.pixel(x, y)) > 128 ? 1 : 0;
      }
    }
    QVERIFY(nLit > 30);
  }

  // Only placed entries are drawn, and a line only between two drawn markers. A segment
  // announced by the walk and not yet begun shows only the points the operator set: New Segment
  // leaves its entries at plan point (0, 0), which a zoom would otherwise place at the corner.
  void unsetPointsAreNotDrawn() {
    auto pView = MakeView(640, 480);
    QVERIFY(pView);
    LoadPlan(*pView, WhitePlan(1280, 960));
    QTemporaryDir dir;
    QVERIFY(OpenSurvey(*pView, dir, {{QPoint(100, 100), QPoint(300, 100)}}));
    CSitePlan &plan = pView->Session().Plan();
    plan.m_Start[0].bPlaced = 0; // a stop point alone: no line from the corner
    QImage shown = Shown(*pView);
    QCOMPARE(shown.pixelColor(300 - 9, 100), RED);
    QCOMPARE(shown.pixelColor(200, 100), WHITE);
    QCOMPARE(shown.pixelColor(100 - 9, 100), WHITE);

    QTemporaryDir other;
    QVERIFY(OpenSurvey(*pView, other, {}));
    QVERIFY(pView->Session().NewSegment());
    pView->OnFitToDisplay(); // places every entry up to the count, the announced one's at (0, 0)
    QVERIFY(plan.m_Start[0].bPlaced != 0);
    QCOMPARE(ScreenOf(plan.m_Start[0]), QPoint(0, 0));
    shown = Shown(*pView);
    QCOMPARE(shown.pixelColor(0, 0), WHITE);
    QCOMPARE(shown.pixelColor(3, 3), WHITE);
    QVERIFY(pView->Session().SetStartPoint({400, 300}));
    shown = Shown(*pView);
    QCOMPARE(ScreenOf(plan.m_Start[0]), QPoint(200, 150));
    QCOMPARE(shown.pixelColor(200 - 9, 150), GREEN);
    QCOMPARE(shown.pixelColor(3, 3), WHITE); // the stop point is not set yet
  }

  // A red dashed line from the press to the pointer, only while measuring with a projection.
  void measuringLineIsRedAndDashed() {
    auto pView = MakeView(640, 480);
    QVERIFY(pView);
    LoadPlan(*pView, WhitePlan(640, 480));
    // A press at (50, 300) held and moved to (550, 300).
    const auto PressAndMove = [&pView] {
      QTest::mousePress(pView->viewport(), Qt::LeftButton, {}, QPoint(50, 300));
      const QPoint pt(550, 300);
      QMouseEvent move(QEvent::MouseMove, QPointF(pt), QPointF(pView->viewport()->mapToGlobal(pt)), Qt::NoButton,
                       Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(pView->viewport(), &move);
    };
    const auto RedOnTheLine = [&pView] {
      const QImage shown = Shown(*pView);
      int nRed = 0;
      for (int x = 60; x < 540; ++x) {
        nRed += shown.pixelColor(x, 300) == RED ? 1 : 0;
      }
      return nRed;
    };
    PressAndMove();
    QCOMPARE(RedOnTheLine(), 0);
    pView->OnMeasureDistance();
    PressAndMove();
    const int nRed = RedOnTheLine();
    QVERIFY2(nRed > 240 && nRed < 440, qPrintable(QString::number(nRed))); // dashes and gaps
    pView->Session().Run().m_bProjectionLoaded = false;
    QCOMPARE(RedOnTheLine(), 0);
  }

  // Fitted into a client area six times smaller, a plan's one-pixel lines stay visible along their
  // whole length: every plan pixel is averaged in, none is skipped.
  void thinLinesSurviveAFit() {
    auto pView = MakeView(640, 480);
    QVERIFY(pView);
    QImage plan = WhitePlan(4000, 3000);
    {
      QPainter painter(&plan);
      painter.setPen(QPen(Qt::black, 1));
      painter.drawLine(2003, 0, 2003, 2999);
      painter.drawLine(0, 1501, 3999, 1501);
    }
    LoadPlan(*pView, plan);
    pView->OnFitToDisplay();
    const QImage shown = Shown(*pView);
    const int nColumn = 2003 * 640 / 4000;
    const int nRow = 1501 * 480 / 3000;
    const auto Darkest = [&shown](QPoint pt, QPoint step) {
      int nDarkest = 255;
      for (int i = -1; i <= 1; ++i) {
        nDarkest = std::min(nDarkest, qGray(shown.pixel(pt + i * step)));
      }
      return nDarkest;
    };
    for (int y = 5; y < 475; y += 7) {
      QVERIFY2(Darkest({nColumn, y}, {1, 0}) < 235, qPrintable(QString::number(y)));
    }
    for (int x = 5; x < 635; x += 7) {
      QVERIFY2(Darkest({x, nRow}, {0, 1}) < 235, qPrintable(QString::number(x)));
    }
    QCOMPARE(qGray(shown.pixel(100, 100)), 255);
  }

  // Each level is half the one before, each pixel the mean of its 2 x 2 block; the level drawn
  // from is the smallest still as large as the target.
  void levelsHalveTheirPlan() {
    QImage plan(5, 3, QImage::Format_RGB888); // odd sides and another format
    plan.fill(Qt::white);
    plan.setPixelColor(0, 0, QColor(0, 0, 0));
    plan.setPixelColor(1, 0, QColor(100, 40, 0));
    plan.setPixelColor(4, 2, QColor(2, 2, 2));
    const QImage half = HalveImage(plan);
    QCOMPARE(half.size(), QSize(3, 2));
    QCOMPARE(half.pixelColor(0, 0), QColor((0 + 100 + 255 + 255 + 2) / 4, (0 + 40 + 255 + 255 + 2) / 4, 128));
    QCOMPARE(half.pixelColor(2, 1), QColor(2, 2, 2)); // the corner pixel paired with itself
    QCOMPARE(half.pixelColor(1, 1), WHITE);

    CPlanImage levels;
    const QImage big = WhitePlan(2000, 1500);
    levels.Build(big);
    QVERIFY(levels.IsBuiltFrom(big));
    QCOMPARE(levels.LevelCount(), 9); // 1000 x 750 down to 4 x 3
    QCOMPARE(levels.Level(2).size(), QSize(500, 375));
    QCOMPARE(levels.Level(9).size(), QSize(4, 3));
    QCOMPARE(levels.LevelFor(2000, 1500, 480, 270), 2);
    QCOMPARE(levels.LevelFor(2000, 1500, 1000, 750), 1);
    QCOMPARE(levels.LevelFor(2000, 1500, 1001, 500), 0);
    QCOMPARE(levels.LevelFor(2000, 1500, 1, 1), 9);
    QImage changed = big;
    changed.setPixel(0, 0, qRgb(1, 2, 3));
    QVERIFY(!levels.IsBuiltFrom(changed));
  }
};

QTEST_MAIN(CMapPaintTest)
#include "MapPaintTest.moc"
