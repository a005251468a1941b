#pragma once

// Puts a view into the state Open Projection and Open Collection leave it in, for the tests of
// pointing and walking: the projection through the survey session, its plan shown as Open
// Projection shows it, the survey opened by the session.
#include "app/TarvexCollectorView.h"
#include "projection/ProjectionHeader.h"

#include <QApplication>
#include <QImage>
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
  CSiteProjection &projection = view.Session().Projection();
  projection.m_nKind = nKind;
  SetProjectionTransform(projection, transform);
  QImage plan(nWidth, nHeight, QImage::Format_RGB32);
  plan.fill(Qt::white);
  view.ShowPlan(plan);
}

// A new survey at strPath, opened by the view's session as Open Collection opens it; false when
// it could not be made.
inline bool SetUpSurvey(CTarvexCollectorView &view, const std::string &strPath) {
  return static_cast<bool>(view.Session().Open(strPath, CSiteData::modeCreateNew));
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
  view.Session().Plan().PlanToClient(px, py, pt);
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
    view.Session().Plan().ClientToPlan(x, ptFrom.y(), client, plan);
    return plan.x;
  };
  const auto PlanY = [&](int32_t y) {
    _pixelpoint plan;
    view.Session().Plan().ClientToPlan(ptFrom.x(), y, client, plan);
    return plan.y;
  };
  return {Span(PlanX, ptFrom.x(), pt.x), Span(PlanY, ptFrom.y(), pt.y)};
}
