#pragma once

// Puts a view into the state Open Projection and Open Collection leave it in, for the tests of
// pointing and walking.
#include "app/TarvexCollectorView.h"
#include "projection/ProjectionHeader.h"

#include <QApplication>
#include <QMouseEvent>

#include <memory>
#include <string>

// The viewport's client rectangle.
inline _pixelrect ClientRect(const CTarvexCollectorView &view) {
  return {0, 0, view.viewport()->width(), view.viewport()->height()};
}

// A projection of nKind with the given transform and a plan of nWidth x nHeight pixels, shown
// 1:1 from its top-left corner.
inline void SetUpPlan(CTarvexCollectorView &view, int32_t nKind, const _transform &transform, int32_t nWidth,
                      int32_t nHeight) {
  view.m_Projection.m_nKind = nKind;
  SetProjectionTransform(view.m_Projection, transform);
  view.m_nBitmapWidth = nWidth;
  view.m_nBitmapHeight = nHeight;
  view.m_SitePlan.SetPlan(nWidth, nHeight, ClientRect(view));
  view.m_Run.m_bProjectionLoaded = true;
}

// A new survey at strPath with the channels of a valid report, and its walk.
inline void SetUpSurvey(CTarvexCollectorView &view, const std::string &strPath) {
  view.m_pWalk.reset();
  view.m_pSiteData = std::make_unique<CSiteData>(strPath, CSiteData::modeCreateNew, view.m_SitePlan);
  view.m_pWalk =
      std::make_unique<CSegmentWalk>(*view.m_pSiteData, view.m_SitePlan, view.m_Projection, &view.m_Run.m_bWalking);
  view.m_Run.m_pSiteData = view.m_pSiteData.get();
  view.m_Run.m_bCollectionOpen = true;
}

// A mouse event on the viewport, as the window system sends it.
inline void SendMouse(CTarvexCollectorView &view, QEvent::Type nType, QPoint pt, Qt::MouseButtons buttons = {}) {
  const Qt::MouseButton button = nType == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(nType, QPointF(pt), QPointF(view.viewport()->mapToGlobal(pt)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(view.viewport(), &event);
}

// The client point at which plan pixel (px, py) shows.
inline QPoint ClientOf(const CTarvexCollectorView &view, int32_t px, int32_t py) {
  _pixelpoint pt;
  view.m_SitePlan.PlanToClient(px, py, pt);
  return {pt.x, pt.y};
}

// The middle of the client pixels that the plan takes as plan pixel pt (CSitePlan::ClientToPlan
// with the viewport's rectangle); a window that shows pt on no whole client pixel gives the first
// client pixel after it.
inline QPoint CentreOf(const CTarvexCollectorView &view, _pixelpoint pt) {
  const _pixelrect client = ClientRect(view);
  const auto Span = [&](auto fnPlan, int32_t nFrom, int32_t nPlan) {
    int32_t nFirst = nFrom - 1;
    const int32_t nEnd = nFrom + client.right + client.bottom; // past every client pixel
    while (fnPlan(nFirst) < nPlan && nFirst < nEnd) {
      ++nFirst;
    }
    int32_t nLast = nFirst;
    while (fnPlan(nLast + 1) == nPlan) {
      ++nLast;
    }
    return (nFirst + nLast) / 2;
  };
  const QPoint ptFrom = ClientOf(view, pt.x, pt.y);
  const auto PlanX = [&](int32_t x) {
    _pixelpoint plan;
    view.m_SitePlan.ClientToPlan(x, ptFrom.y(), client, plan);
    return plan.x;
  };
  const auto PlanY = [&](int32_t y) {
    _pixelpoint plan;
    view.m_SitePlan.ClientToPlan(ptFrom.x(), y, client, plan);
    return plan.y;
  };
  return {Span(PlanX, ptFrom.x(), pt.x), Span(PlanY, ptFrom.y(), pt.y)};
}
