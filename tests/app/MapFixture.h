#pragma once

// A view with a plan in it, shown as Open Projection shows a plan it has read, at 1:1; a survey
// whose segments are walked from their start points to their stop points.
#include "app/TarvexCollectorView.h"
#include "tests/app/ViewDialogs.h"

#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace map_fixture {

inline _pixelrect ClientOf(const CTarvexCollectorView &view) {
  return {0, 0, view.viewport()->width(), view.viewport()->height()};
}

// A shown view whose client area is exactly nWidth x nHeight, with its scroll bars kept off so
// that the area stays that size (tests of the bars switch them back on).
inline std::unique_ptr<CTarvexCollectorView> MakeView(int nWidth, int nHeight, bool bBars = false) {
  auto pView = std::make_unique<CTarvexCollectorView>();
  if (!bBars) {
    pView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  }
  pView->setFrameShape(QFrame::NoFrame);
  pView->resize(nWidth, nHeight);
  pView->show();
  if (!QTest::qWaitForWindowExposed(pView.get())) {
    return nullptr;
  }
  return pView;
}

inline void LoadPlan(CTarvexCollectorView &view, const QImage &plan) { view.ShowPlan(plan); }

// A survey of segments walked one after the other, segment k from segments[k - 1].ptStart to
// its ptStop (plan pixels). False when the walk refused a step.
struct _segmentpoints {
  QPoint ptStart;
  QPoint ptStop;
};

inline bool OpenSurvey(CTarvexCollectorView &view, const QTemporaryDir &dir, const QList<_segmentpoints> &segments) {
  CSurveySession &session = view.Session();
  if (!session.Open(dir.filePath(QStringLiteral("map.tvd")).toStdString(), CSiteData::modeCreateNew)) {
    return false;
  }
  for (const _segmentpoints &segment : segments) {
    if (!(session.NewSegment() && session.SetStartPoint({segment.ptStart.x(), segment.ptStart.y()}) &&
          session.SetStopPoint({segment.ptStop.x(), segment.ptStop.y()}) && session.Begin() && session.Stop())) {
      return false;
    }
  }
  view.viewport()->update();
  return true;
}

// The site plan, whose window onto the plan and markers the view shows.
inline const CSitePlan &PlanOf(const CTarvexCollectorView &view) { return view.Session().Plan(); }

// What the view shows now, painted by its paintEvent.
inline QImage Shown(CTarvexCollectorView &view) {
  return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QPoint ScreenOf(const _planpoint &point) { return {point.nScreenX, point.nScreenY}; }

// A plan of the given size whose every pixel tells where it is: red = x mod 256, green = y mod
// 256, blue = (x / 256 + 16 * (y / 256)) mod 256.
inline QImage CoordinatePlan(int nWidth, int nHeight) {
  QImage plan(nWidth, nHeight, QImage::Format_RGB32);
  for (int y = 0; y < nHeight; ++y) {
    auto *pLine = reinterpret_cast<QRgb *>(plan.scanLine(y));
    for (int x = 0; x < nWidth; ++x) {
      pLine[x] = qRgb(x % 256, y % 256, (x / 256 + 16 * (y / 256)) % 256);
    }
  }
  return plan;
}

inline QImage WhitePlan(int nWidth, int nHeight) {
  QImage plan(nWidth, nHeight, QImage::Format_RGB32);
  plan.fill(Qt::white);
  return plan;
}

} // namespace map_fixture
