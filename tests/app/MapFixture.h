#pragma once

// A view with a plan in it, set up the way Open Projection and Open Collection leave it: the plan
// bitmap, its size, the site plan's window onto it at 1:1, the loaded flag; a survey whose
// segments' points are put straight into the site plan's tables.
#include "app/TarvexCollectorView.h"

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

inline void LoadPlan(CTarvexCollectorView &view, const QImage &plan) {
  view.m_PlanBitmap = plan;
  view.m_nBitmapWidth = plan.width();
  view.m_nBitmapHeight = plan.height();
  view.m_SitePlan.SetPlan(plan.width(), plan.height(), ClientOf(view));
  view.m_Run.m_bProjectionLoaded = true;
  view.UpdateScrollBars();
}

// A survey of nSegments segments, segment k running from starts[k - 1] to stops[k - 1] (plan
// pixels); its markers placed for the present window.
struct _segmentpoints {
  QPoint ptStart;
  QPoint ptStop;
};

inline void OpenSurvey(CTarvexCollectorView &view, const QTemporaryDir &dir, const QList<_segmentpoints> &segments) {
  view.m_pSiteData = std::make_unique<CSiteData>(dir.filePath(QStringLiteral("map.tvd")).toStdString(),
                                                 CSiteData::modeCreateNew, view.m_SitePlan);
  view.m_pSiteData->m_nSegmentCount = static_cast<int32_t>(segments.size());
  view.m_SitePlan.m_nSegmentCount = static_cast<int32_t>(segments.size());
  for (qsizetype i = 0; i < segments.size(); ++i) {
    view.m_SitePlan.m_Start[i].nPlanX = segments[i].ptStart.x();
    view.m_SitePlan.m_Start[i].nPlanY = segments[i].ptStart.y();
    view.m_SitePlan.m_Stop[i].nPlanX = segments[i].ptStop.x();
    view.m_SitePlan.m_Stop[i].nPlanY = segments[i].ptStop.y();
  }
  view.m_SitePlan.UpdateScreenPositions();
}

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
