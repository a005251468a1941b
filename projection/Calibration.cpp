#include "projection/Calibration.h"

#include "projection/SiteProjection.h"
#include "projection/TransformCheck.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <stdexcept>
#include <string>

namespace {

// Metres per degree of latitude on the sphere the program measures distances on.
constexpr double METRES_PER_DEGREE = 6378137.0 * std::numbers::pi / 180.0;
// Points whose spread across their main direction is less than this share of their spread along
// it lie on one line for a calibration: the transform across would rest on a fraction of a pixel.
constexpr double MIN_THICKNESS = 1e-3;

std::string Number(const char *pFormat, double dValue) {
  char text[48];
  std::snprintf(text, sizeof text, pFormat, dValue);
  return text;
}

// A 2 x 2 matrix [m11 m12; m21 m22].
struct _matrix2 {
  double m11 = 0;
  double m12 = 0;
  double m21 = 0;
  double m22 = 0;
  double Det() const { return m11 * m22 - m12 * m21; }
};

// The thickness of a cloud of centred 2-D points: the square root of the ratio of the smaller to
// the larger eigenvalue of its scatter matrix; 0 for points on one line or all in one place.
double Thickness(const std::vector<std::array<double, 2>> &points) {
  double sxx = 0;
  double sxy = 0;
  double syy = 0;
  for (const auto &p : points) {
    sxx += p[0] * p[0];
    sxy += p[0] * p[1];
    syy += p[1] * p[1];
  }
  const double dMean = (sxx + syy) / 2;
  const double dSpread = std::hypot((sxx - syy) / 2, sxy);
  const double dLarge = dMean + dSpread;
  const double dSmall = std::max(0.0, dMean - dSpread);
  if (!(dLarge > 0) || !std::isfinite(dLarge)) {
    return 0;
  }
  return std::sqrt(dSmall / dLarge);
}

void CheckFinite(const std::vector<_referencepoint> &points) {
  for (size_t i = 0; i < points.size(); ++i) {
    const auto &p = points[i];
    if (!std::isfinite(p.dPixelX) || !std::isfinite(p.dPixelY) || !std::isfinite(p.dLatitude) ||
        !std::isfinite(p.dLongitude)) {
      throw std::invalid_argument("point " + std::to_string(i + 1) + " holds a number that is not finite");
    }
    if (std::abs(p.dLatitude) > 90 || std::abs(p.dLongitude) > 180) {
      throw std::invalid_argument("point " + std::to_string(i + 1) + " lies at latitude " +
                                  Number("%.7f", p.dLatitude) + ", longitude " + Number("%.7f", p.dLongitude) +
                                  ", which is no place on Earth (latitude -90 to 90, longitude -180 to 180)");
    }
  }
}

// The points relative to their centroid: plan pixels, and the ground in metres east and north.
struct _centred {
  double dPixelX = 0;
  double dPixelY = 0;
  double dLatitude = 0;
  double dLongitude = 0;
  double dEastPerDegree = 0; // metres per degree of longitude at the centroid
  std::vector<std::array<double, 2>> pixels;
  std::vector<std::array<double, 2>> ground;
};

_centred Centre(const std::vector<_referencepoint> &points) {
  _centred c;
  const auto n = static_cast<double>(points.size());
  for (const auto &p : points) {
    c.dPixelX += p.dPixelX / n;
    c.dPixelY += p.dPixelY / n;
    c.dLatitude += p.dLatitude / n;
    c.dLongitude += p.dLongitude / n;
  }
  c.dEastPerDegree = METRES_PER_DEGREE * std::cos(c.dLatitude * std::numbers::pi / 180.0);
  for (const auto &p : points) {
    c.pixels.push_back({p.dPixelX - c.dPixelX, p.dPixelY - c.dPixelY});
    c.ground.push_back(
        {(p.dLongitude - c.dLongitude) * c.dEastPerDegree, (p.dLatitude - c.dLatitude) * METRES_PER_DEGREE});
  }
  return c;
}

// The least-squares G with ground = G * pixel over the centred points.
_matrix2 FitGround(const _centred &c) {
  _matrix2 xx; // sum of pixel * pixel^T
  _matrix2 ux; // sum of ground * pixel^T
  for (size_t i = 0; i < c.pixels.size(); ++i) {
    const auto &x = c.pixels[i];
    const auto &u = c.ground[i];
    xx.m11 += x[0] * x[0];
    xx.m12 += x[0] * x[1];
    xx.m22 += x[1] * x[1];
    ux.m11 += u[0] * x[0];
    ux.m12 += u[0] * x[1];
    ux.m21 += u[1] * x[0];
    ux.m22 += u[1] * x[1];
  }
  xx.m21 = xx.m12;
  const double dDet = xx.Det();
  const _matrix2 inverse{xx.m22 / dDet, -xx.m12 / dDet, -xx.m21 / dDet, xx.m11 / dDet};
  return {ux.m11 * inverse.m11 + ux.m12 * inverse.m21, ux.m11 * inverse.m12 + ux.m12 * inverse.m22,
          ux.m21 * inverse.m11 + ux.m22 * inverse.m21, ux.m21 * inverse.m12 + ux.m22 * inverse.m22};
}

// Each point's residual and the plan's scale, from the plan drawn to scale that fits the points
// best (a turn, one scale and a shift, least squares over all of them). The affine transform
// itself cannot show which point is wrong: with four points its residuals take the same pattern
// whichever point was typed wrongly. A plan drawn to scale has fewer numbers to fit, so a point
// typed wrongly stands out by its residual. Plan pixels grow downwards and north upwards, so the
// plan is taken as it is and mirrored, and the better fit counts.
void JudgePoints(const _centred &c, _geofit &fit) {
  double dBestSum = -1;
  for (const double dFlip : {-1.0, 1.0}) {
    std::complex<double> numerator;
    double dDenominator = 0;
    for (size_t i = 0; i < c.pixels.size(); ++i) {
      const std::complex<double> z(c.pixels[i][0], dFlip * c.pixels[i][1]);
      numerator += std::complex<double>(c.ground[i][0], c.ground[i][1]) * std::conj(z);
      dDenominator += std::norm(z);
    }
    const std::complex<double> scale = numerator / dDenominator;
    std::vector<double> residuals;
    double dSum = 0;
    for (size_t i = 0; i < c.pixels.size(); ++i) {
      const std::complex<double> z(c.pixels[i][0], dFlip * c.pixels[i][1]);
      residuals.push_back(std::abs(std::complex<double>(c.ground[i][0], c.ground[i][1]) - scale * z));
      dSum += residuals.back() * residuals.back();
    }
    if (dBestSum < 0 || dSum < dBestSum) {
      dBestSum = dSum;
      fit.residuals = residuals;
      fit.dMetresPerPixel = std::abs(scale);
    }
  }
}

} // namespace

_geofit FitGeoTransform(const std::vector<_referencepoint> &points) {
  if (points.size() < CALIBRATION_MIN_POINTS) {
    throw std::invalid_argument("a geo-coded calibration takes at least three points, not " +
                                std::to_string(points.size()));
  }
  CheckFinite(points);
  const _centred c = Centre(points);
  if (Thickness(c.ground) < MIN_THICKNESS) {
    throw std::invalid_argument("the points lie on one line in latitude and longitude (or coincide); choose "
                                "points that span the site in both directions");
  }
  if (Thickness(c.pixels) < MIN_THICKNESS) {
    throw std::invalid_argument("the points lie on one line on the plan (or coincide); choose points that span "
                                "the plan in both directions");
  }
  const _matrix2 g = FitGround(c);
  const double dDet = g.Det();
  if (!(std::abs(dDet) > 0) || !std::isfinite(dDet)) {
    throw std::invalid_argument("the points give no transform that can be inverted");
  }
  // pixel = H * ground + centroid, with ground = (east, north) from latitude and longitude.
  const _matrix2 h{g.m22 / dDet, -g.m12 / dDet, -g.m21 / dDet, g.m11 / dDet};
  _geofit fit;
  _transform &t = fit.transform;
  t.dA = h.m12 * METRES_PER_DEGREE;
  t.dB = h.m11 * c.dEastPerDegree;
  t.dC = h.m22 * METRES_PER_DEGREE;
  t.dD = h.m21 * c.dEastPerDegree;
  t.dE = c.dPixelX - t.dA * c.dLatitude - t.dB * c.dLongitude;
  t.dF = c.dPixelY - t.dC * c.dLatitude - t.dD * c.dLongitude;
  if (const std::string problem = TransformProblem(PROJECTION_GEO, t); !problem.empty()) {
    throw std::invalid_argument("the points give no usable transform: " + problem);
  }
  JudgePoints(c, fit);
  fit.nWorst =
      static_cast<size_t>(std::max_element(fit.residuals.begin(), fit.residuals.end()) - fit.residuals.begin());
  return fit;
}

std::string GeoFitProblem(const _geofit &fit) {
  if (fit.residuals.empty() || !(fit.residuals[fit.nWorst] > CALIBRATION_MAX_RESIDUAL_M)) {
    return "";
  }
  return "point " + std::to_string(fit.nWorst + 1) + " lies " + Number("%.2f", fit.residuals[fit.nWorst]) +
         " m from where the fit of all the points puts it, more than the " +
         Number("%.2f", CALIBRATION_MAX_RESIDUAL_M) + " m accepted; check its coordinates and its place on the plan";
}

namespace {

// Plan pixels per metre along a line; raises for a line that gives no scale.
double PixelsPerMetre(const _scaleline &line, const char *pWhich) {
  const double dPixels = std::hypot(line.dX2 - line.dX1, line.dY2 - line.dY1);
  if (!(dPixels > 0) || !std::isfinite(dPixels)) {
    throw std::invalid_argument(std::string(pWhich) + " has no length on the plan: draw it between two different "
                                                      "points");
  }
  if (!(line.dMetres > 0) || !std::isfinite(line.dMetres)) {
    throw std::invalid_argument(std::string(pWhich) + "'s length must be a positive number of metres, not " +
                                Number("%g", line.dMetres));
  }
  return dPixels / line.dMetres;
}

} // namespace

_linearfit FitLinearTransform(const _scaleline &line, const std::optional<_scaleline> &check, double dOriginX,
                              double dOriginY) {
  const double dScale = PixelsPerMetre(line, "the line");
  _linearfit fit;
  fit.transform = MakeLinearTransform(dScale, dOriginX, dOriginY);
  fit.dMetresPerPixel = fit.transform.dD;
  if (check) {
    const double dCheck = PixelsPerMetre(*check, "the second line");
    fit.dDisagreement = std::abs(dCheck - dScale) / dScale * 100.0;
  }
  return fit;
}

std::string LinearFitProblem(const _linearfit &fit) {
  if (!fit.dDisagreement || !(*fit.dDisagreement > CALIBRATION_MAX_DISAGREEMENT_PERCENT)) {
    return "";
  }
  return "the two lines give scales " + Number("%.1f", *fit.dDisagreement) + " % apart, more than the " +
         Number("%.0f", CALIBRATION_MAX_DISAGREEMENT_PERCENT) + " % accepted; check their lengths and ends";
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
