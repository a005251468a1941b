#include "projection/Calibration.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace {

// The sine of the angle at the first of three points, or 0 when two of them coincide: near 0
// means the three points lie (nearly) on one line, whatever the scale of the numbers.
double Spread(double x0, double y0, double x1, double y1, double x2, double y2) {
  const double ux = x1 - x0;
  const double uy = y1 - y0;
  const double vx = x2 - x0;
  const double vy = y2 - y0;
  const double dLengths = std::hypot(ux, uy) * std::hypot(vx, vy);
  if (!(dLengths > 0) || !std::isfinite(dLengths)) {
    return 0;
  }
  return std::abs(ux * vy - uy * vx) / dLengths;
}

constexpr double MIN_SPREAD = 1e-6;

} // namespace

_transform SolveGeoTransform(const std::array<_referencepoint, 3> &points) {
  const auto &p0 = points[0];
  const auto &p1 = points[1];
  const auto &p2 = points[2];
  if (Spread(p0.dLatitude, p0.dLongitude, p1.dLatitude, p1.dLongitude, p2.dLatitude, p2.dLongitude) < MIN_SPREAD) {
    throw std::invalid_argument("the three reference points lie on one line in latitude and longitude (or two of "
                                "them coincide); choose three points that span a triangle on the site");
  }
  if (Spread(p0.dPixelX, p0.dPixelY, p1.dPixelX, p1.dPixelY, p2.dPixelX, p2.dPixelY) < MIN_SPREAD) {
    throw std::invalid_argument("the three reference points lie on one line on the plan (or two of them "
                                "coincide); choose three pixels that span a triangle on the plan");
  }

  // Relative to the first point, so that small differences of large latitudes keep their digits:
  // [dlat1 dlon1; dlat2 dlon2] * [a; b] = [dx1; dx2], and the same for c, d with y.
  const double l1 = p1.dLatitude - p0.dLatitude;
  const double g1 = p1.dLongitude - p0.dLongitude;
  const double l2 = p2.dLatitude - p0.dLatitude;
  const double g2 = p2.dLongitude - p0.dLongitude;
  const double dDet = l1 * g2 - l2 * g1;
  const auto solve = [&](double v1, double v2, double &first, double &second) {
    first = (v1 * g2 - v2 * g1) / dDet;
    second = (l1 * v2 - l2 * v1) / dDet;
  };

  _transform t;
  solve(p1.dPixelX - p0.dPixelX, p2.dPixelX - p0.dPixelX, t.dA, t.dB);
  solve(p1.dPixelY - p0.dPixelY, p2.dPixelY - p0.dPixelY, t.dC, t.dD);
  t.dE = p0.dPixelX - t.dA * p0.dLatitude - t.dB * p0.dLongitude;
  t.dF = p0.dPixelY - t.dC * p0.dLatitude - t.dD * p0.dLongitude;
  if (!std::isfinite(t.dA) || !std::isfinite(t.dB) || !std::isfinite(t.dC) || !std::isfinite(t.dD) ||
      !std::isfinite(t.dE) || !std::isfinite(t.dF)) {
    throw std::invalid_argument("the reference points give no finite transform");
  }
  return t;
}

_transform MakeLinearTransform(double dPixelsPerUnit, double dOriginX, double dOriginY) {
  if (!(dPixelsPerUnit > 0) || !std::isfinite(dPixelsPerUnit) || !std::isfinite(1.0 / dPixelsPerUnit)) {
    throw std::invalid_argument("the scale must be a positive number of plan pixels per unit, not " +
                                std::to_string(dPixelsPerUnit));
  }
  if (!std::isfinite(dOriginX) || !std::isfinite(dOriginY)) {
    throw std::invalid_argument("the origin must be a finite plan pixel");
  }
  // X = (px - e) * d and Y = (py - f) * a: d and a are units per pixel.
  _transform t;
  t.dA = 1.0 / dPixelsPerUnit;
  t.dD = 1.0 / dPixelsPerUnit;
  t.dE = dOriginX;
  t.dF = dOriginY;
  return t;
}
