#include "projection/SitePlan.h"

#include <algorithm>

namespace {

// a * b / c as the 32-bit formulas mean it: the product first, the quotient truncated toward
// zero. The product is formed in 64 bits so that a plan point far outside the window cannot
// overflow; for every product that fits in 32 bits the result is the same.
int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  return static_cast<int32_t>(static_cast<int64_t>(a) * static_cast<int64_t>(b) / static_cast<int64_t>(c));
}

} // namespace

CSitePlan::CSitePlan() = default;

void CSitePlan::SetPlan(int32_t nWidth, int32_t nHeight, const _pixelrect &client) {
  const int32_t nClientWidth = client.right - client.left;
  const int32_t nClientHeight = client.bottom - client.top;
  m_rcExtent = {0, nWidth, 0, nHeight};
  m_rcView = {0, nClientWidth, 0, nClientHeight};
  m_ptCentre = {nClientWidth / 2, nClientHeight / 2};
  m_rcScreen = client;
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

bool CSitePlan::Place(_planpoint &point, int32_t px, int32_t py) const {
  const int32_t nWidth = m_rcView.right - m_rcView.left;
  const int32_t nHeight = m_rcView.bottom - m_rcView.top;
  if (nWidth == 0 || nHeight == 0) {
    return false;
  }
  point.nScreenX = MulDiv(px - m_rcView.left, m_rcScreen.right - m_rcScreen.left, nWidth);
  point.nScreenY = MulDiv(py - m_rcView.top, m_rcScreen.bottom - m_rcScreen.top, nHeight);
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
  m_rcView = view;
  m_ptCentre = {(view.left + view.right) / 2, (view.top + view.bottom) / 2};
  UpdateScreenPositions();
}

void CSitePlan::ZoomOut() {
  if (m_nZoom <= 1) {
    return;
  }
  m_nZoom = static_cast<int16_t>(m_nZoom / 2);
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
  return {std::max(m_rcView.left, 0), std::max(m_rcView.top, 0), std::min(m_rcView.right, m_rcExtent.right),
          std::min(m_rcView.bottom, m_rcExtent.bottom)};
}
