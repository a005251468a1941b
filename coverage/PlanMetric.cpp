#include "coverage/PlanMetric.h"

#include "projection/ProjectionFormat.h"
#include "projection/SiteProjection.h"

#include <cmath>

double _planmetric::Metres(double dx, double dy) const { return std::sqrt(SquaredMetres(dx, dy)); }

double _planmetric::MetresPerPixelX() const { return std::sqrt(dG11); }

double _planmetric::MetresPerPixelY() const { return std::sqrt(dG22); }

// The largest x of a step of length r is r * sqrt((G^-1)11) = r * sqrt(G22 / det G).
double _planmetric::ReachX(double dMetres) const { return dMetres * std::sqrt(dG22 / (dG11 * dG22 - dG12 * dG12)); }

double _planmetric::ReachY(double dMetres) const { return dMetres * std::sqrt(dG11 / (dG11 * dG22 - dG12 * dG12)); }

_planmetric PlanMetricOf(const CSiteProjection &projection, int nWidth, int nHeight) {
  // Steps of this many pixels from the centre: long enough that rounding does not matter, short
  // enough to stay within the building.
  constexpr double STEP = 100.0;
  const double cx = nWidth / 2.0;
  const double cy = nHeight / 2.0;
  const auto metres = [&](double dx, double dy) {
    double a1 = 0, a2 = 0, b1 = 0, b2 = 0;
    projection.ToCoordinates(cx, cy, a1, a2);
    projection.ToCoordinates(cx + dx, cy + dy, b1, b2);
    return projection.m_nKind == PROJECTION_GEO ? CSiteProjection::GeoDistance(a1, a2, b1, b2)
                                                : CSiteProjection::LinearDistance(a1, a2, b1, b2);
  };
  const double dX = metres(STEP, 0) / STEP;
  const double dY = metres(0, STEP) / STEP;
  const double dDiagonal = metres(STEP, STEP) / STEP;
  _planmetric metric;
  metric.dG11 = dX * dX;
  metric.dG22 = dY * dY;
  metric.dG12 = (dDiagonal * dDiagonal - metric.dG11 - metric.dG22) / 2;
  return metric;
}
