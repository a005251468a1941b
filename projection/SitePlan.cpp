#include "projection/SitePlan.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace {

// a * b / c as the 32-bit formulas mean it: the product first, the quotient truncated toward
// zero. The product is formed in 64 bits so that a plan point far outside the window cannot
// overflow; for every product that fits in 32 bits the result is the same.
int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  return static_cast<int32_t>(static_cast<int64_t>(a) * static_cast<int64_t>(b) / static_cast<int64_t>(c));
}

int32_t Saturated(int64_t n) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(n, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// A rectangle whose right or bottom lies before its left or top has no width or height.
_pixelrect Normalised(const _pixelrect &rc) {
  return {rc.left, rc.top, std::max(rc.left, rc.right), std::max(rc.top, rc.bottom)};
}

_planscale Reduced(int64_t nPlan, int64_t nClient) {
  const int64_t nDivisor = std::gcd(nPlan, nClient);
  return nDivisor > 0 ? _planscale{nPlan / nDivisor, nClient / nDivisor} : _planscale{};
}

// The window along one axis for a client area of nClient pixels at the given scale, from its
// first plan pixel nLow on: round(scale x nClient) plan pixels, kept between the smallest and the
// largest window.
void ResizeAxis(int32_t &nLow, int32_t &nHigh, const _planscale &scale, int32_t nClient) {
  int64_t nSize = PLAN_MAX_WINDOW;
  if (nClient == 0 || scale.nPlan <= std::numeric_limits<int64_t>::max() / 2 / nClient) {
    nSize = (2 * scale.nPlan * nClient + scale.nClient) / (2 * scale.nClient);
  }
  nSize = std::clamp<int64_t>(nSize, PLAN_MIN_WINDOW, PLAN_MAX_WINDOW);
  nHigh = Saturated(int64_t{nLow} + nSize);
}

} // namespace

CSitePlan::CSitePlan() = default;

void CSitePlan::SetPlan(int32_t nWidth, int32_t nHeight, const _pixelrect &client) {
  m_rcScreen = Normalised(client);
  const int32_t nClientWidth = m_rcScreen.right - m_rcScreen.left;
  const int32_t nClientHeight = m_rcScreen.bottom - m_rcScreen.top;
  m_rcExtent = {0, nWidth, 0, nHeight};
  m_rcView = {0, nClientWidth, 0, nClientHeight};
  m_ptCentre = {nClientWidth / 2, nClientHeight / 2};
  m_scaleX = {1, 1};
  m_scaleY = {1, 1};
  UpdateScreenPositions();
}

void CSitePlan::Resize(const _pixelrect &client) {
  const _pixelrect rcOld = m_rcScreen;
  m_rcScreen = Normalised(client);
  if (m_scaleX.nClient <= 0 || m_scaleY.nClient <= 0) {
    return; // no plan yet: there is no window to keep
  }
  const int32_t nWidth = m_rcScreen.right - m_rcScreen.left;
  const int32_t nHeight = m_rcScreen.bottom - m_rcScreen.top;
  if (nWidth != rcOld.right - rcOld.left) {
    ResizeAxis(m_rcView.left, m_rcView.right, m_scaleX, nWidth);
    m_ptCentre.x = Saturated((int64_t{m_rcView.left} + m_rcView.right) / 2);
  }
  if (nHeight != rcOld.bottom - rcOld.top) {
    ResizeAxis(m_rcView.top, m_rcView.bottom, m_scaleY, nHeight);
    m_ptCentre.y = Saturated((int64_t{m_rcView.top} + m_rcView.bottom) / 2);
  }
  UpdateScreenPositions();
}

bool CSitePlan::ClientToPlan(int32_t x, int32_t y, const _pixelrect &client, _pixelpoint &pt) const {
  const int32_t nClientWidth = client.right - client.left;
  const int32_t nClientHeight = client.bottom - client.top;
  if (nClientWidth == 0 || nClientHeight == 0) {
    return false;
  }
  pt.x = m_rcView.left + MulDiv(m_rcView.right - m_rcView.left, x, nClientWidth);
  pt.y = m_rcView.top + MulDiv(m_rcView.bottom - m_rcView.top, y, nClientHeight);
  return true;
}

bool CSitePlan::PlanToClient(int32_t px, int32_t py, _pixelpoint &pt) const {
  const int32_t nWidth = m_rcView.right - m_rcView.left;
  const int32_t nHeight = m_rcView.bottom - m_rcView.top;
  if (nWidth == 0 || nHeight == 0) {
    return false;
  }
  pt.x = MulDiv(px - m_rcView.left, m_rcScreen.right - m_rcScreen.left, nWidth);
  pt.y = MulDiv(py - m_rcView.top, m_rcScreen.bottom - m_rcScreen.top, nHeight);
  return true;
}

bool CSitePlan::Place(_planpoint &point, int32_t px, int32_t py) const {
  _pixelpoint pt;
  if (!PlanToClient(px, py, pt)) {
    return false;
  }
  point.nScreenX = pt.x;
  point.nScreenY = pt.y;
  point.bPlaced = 1;
  return true;
}

bool CSitePlan::PlaceStart(int nIndex, int32_t px, int32_t py) {
  if (nIndex < 0 || nIndex >= PLAN_MAX_SEGMENTS) {
    return false;
  }
  return Place(m_Start[nIndex], px, py);
}

bool CSitePlan::PlaceStop(int nIndex, int32_t px, int32_t py) {
  if (nIndex < 0 || nIndex >= PLAN_MAX_SEGMENTS) {
    return false;
  }
  return Place(m_Stop[nIndex], px, py);
}

void CSitePlan::UpdateScreenPositions() {
  const int nLast = std::min(m_nSegmentCount, PLAN_MAX_SEGMENTS - 1);
  for (int i = 0; i <= nLast; ++i) {
    Place(m_Start[i], m_Start[i].nPlanX, m_Start[i].nPlanY);
    Place(m_Stop[i], m_Stop[i].nPlanX, m_Stop[i].nPlanY);
  }
}

void CSitePlan::ZoomIn() {
  const int32_t cx = m_ptCentre.x;
  const int32_t cy = m_ptCentre.y;
  const _planrect view{(m_rcView.left + cx) / 2, (m_rcView.right + cx) / 2, (m_rcView.top + cy) / 2,
                       (m_rcView.bottom + cy) / 2};
  // The window must keep a size to divide by, and the factor must stay a 16-bit number.
  if (view.right - view.left < PLAN_MIN_WINDOW || view.bottom - view.top < PLAN_MIN_WINDOW || m_nZoom > INT16_MAX / 2) {
    return;
  }
  m_nZoom = static_cast<int16_t>(m_nZoom * 2);
  m_scaleX = Reduced(m_scaleX.nPlan, 2 * m_scaleX.nClient);
  m_scaleY = Reduced(m_scaleY.nPlan, 2 * m_scaleY.nClient);
  m_rcView = view;
  m_ptCentre = {(view.left + view.right) / 2, (view.top + view.bottom) / 2};
  UpdateScreenPositions();
}

void CSitePlan::ZoomOut() {
  if (m_nZoom <= 1) {
    return;
  }
  m_nZoom = static_cast<int16_t>(m_nZoom / 2);
  m_scaleX = Reduced(2 * m_scaleX.nPlan, m_scaleX.nClient);
  m_scaleY = Reduced(2 * m_scaleY.nPlan, m_scaleY.nClient);
  const int32_t cx = m_ptCentre.x;
  const int32_t cy = m_ptCentre.y;
  m_rcView = {2 * m_rcView.left - cx, 2 * m_rcView.right - cx, 2 * m_rcView.top - cy, 2 * m_rcView.bottom - cy};
  m_ptCentre = {(m_rcView.left + m_rcView.right) / 2, (m_rcView.top + m_rcView.bottom) / 2};
  UpdateScreenPositions();
}

void CSitePlan::Fit() {
  m_rcView = m_rcExtent;
  m_ptCentre = {(m_rcExtent.right - m_rcExtent.left) / 2, (m_rcExtent.bottom - m_rcExtent.top) / 2};
  m_nZoom = 1;
  // The scale becomes the extent over the client area; an empty one gives no scale to keep.
  const int32_t nPlanWidth = m_rcExtent.right - m_rcExtent.left;
  const int32_t nPlanHeight = m_rcExtent.bottom - m_rcExtent.top;
  const int32_t nClientWidth = m_rcScreen.right - m_rcScreen.left;
  const int32_t nClientHeight = m_rcScreen.bottom - m_rcScreen.top;
  if (nPlanWidth > 0 && nClientWidth > 0) {
    m_scaleX = Reduced(nPlanWidth, nClientWidth);
  }
  if (nPlanHeight > 0 && nClientHeight > 0) {
    m_scaleY = Reduced(nPlanHeight, nClientHeight);
  }
  // An axis without client pixels shows nothing: its window is the one a resize to that size
  // gives, so that resizing away and back restores it.
  if (nClientWidth == 0 && m_scaleX.nClient > 0) {
    ResizeAxis(m_rcView.left, m_rcView.right, m_scaleX, 0);
  }
  if (nClientHeight == 0 && m_scaleY.nClient > 0) {
    ResizeAxis(m_rcView.top, m_rcView.bottom, m_scaleY, 0);
  }
  m_ptCentre = {Saturated((int64_t{m_rcView.left} + m_rcView.right) / 2),
                Saturated((int64_t{m_rcView.top} + m_rcView.bottom) / 2)};
  UpdateScreenPositions();
}

void CSitePlan::ScrollLeft(int32_t n) {
  if (m_rcView.left <= m_rcExtent.left) {
    return;
  }
  int32_t cx = m_ptCentre.x - n;
  const int32_t h = (m_rcView.right - m_rcView.left) / 2;
  if (cx - h < m_rcExtent.left) {
    cx = m_rcExtent.left + h;
  }
  m_ptCentre.x = cx;
  m_rcView.left = cx - h;
  m_rcView.right = cx + h;
  UpdateScreenPositions();
}

void CSitePlan::ScrollRight(int32_t n) {
  if (m_rcView.right >= m_rcExtent.right) {
    return;
  }
  int32_t cx = m_ptCentre.x + n;
  const int32_t h = (m_rcView.right - m_rcView.left) / 2;
  if (cx + h > m_rcExtent.right) {
    cx = m_rcExtent.right - h;
  }
  m_ptCentre.x = cx;
  m_rcView.left = cx - h;
  m_rcView.right = cx + h;
  UpdateScreenPositions();
}

void CSitePlan::ScrollUp(int32_t n) {
  if (m_rcView.top <= m_rcExtent.top) {
    return;
  }
  int32_t cy = m_ptCentre.y - n;
  const int32_t h = (m_rcView.bottom - m_rcView.top) / 2;
  if (cy - h < m_rcExtent.top) {
    cy = m_rcExtent.top + h;
  }
  m_ptCentre.y = cy;
  m_rcView.top = cy - h;
  m_rcView.bottom = cy + h;
  UpdateScreenPositions();
}

void CSitePlan::ScrollDown(int32_t n) {
  // Applied even when the window already reaches below the extent: it is pulled back to end there.
  int32_t cy = m_ptCentre.y + n;
  const int32_t h = (m_rcView.bottom - m_rcView.top) / 2;
  if (cy + h > m_rcExtent.bottom) {
    cy = m_rcExtent.bottom - h;
  }
  m_ptCentre.y = cy;
  m_rcView.top = cy - h;
  m_rcView.bottom = cy + h;
  UpdateScreenPositions();
}

_pixelrect CSitePlan::VisibleSource() const {
  return Normalised({std::max(m_rcView.left, 0), std::max(m_rcView.top, 0), std::min(m_rcView.right, m_rcExtent.right),
                     std::min(m_rcView.bottom, m_rcExtent.bottom)});
}

_pixelrect CSitePlan::VisibleDestination() const {
  const _pixelrect source = VisibleSource();
  _pixelpoint topLeft;
  _pixelpoint bottomRight;
  if (source.right == source.left || source.bottom == source.top || !PlanToClient(source.left, source.top, topLeft) ||
      !PlanToClient(source.right, source.bottom, bottomRight)) {
    return {};
  }
  return {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}
