#pragma once

#include "projection/ProjectionFormat.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// Calibrating a floor plan: the transform of a projection found from what the surveyor marks on
// the plan. The window's calibration dialog and `tvdtool projection make` both call these, so the
// same marks give the same transform, to the bit.

// A plan pixel and the coordinates it stands for (latitude and longitude in degrees).
struct _referencepoint {
  double dPixelX = 0;
  double dPixelY = 0;
  double dLatitude = 0;
  double dLongitude = 0;
};

// A geo-coded calibration takes at least this many points.
constexpr size_t CALIBRATION_MIN_POINTS = 3;
// The largest residual a geo-coded calibration accepts, in metres: a point further than this from
// where the other points put it has been clicked or typed wrongly.
constexpr double CALIBRATION_MAX_RESIDUAL_M = 2.0;
// The largest disagreement between the scales of a linear plan's two lines, in percent.
constexpr double CALIBRATION_MAX_DISAGREEMENT_PERCENT = 2.0;

// The geo-coded transform fitted to the points, and how well each point agrees with the others.
struct _geofit {
  _transform transform;          // pixel x = a * lat + b * lon + e, pixel y = c * lat + d * lon + f
  std::vector<double> residuals; // metres, per point in order (see FitGeoTransform)
  double dMetresPerPixel = 0;    // the plan's scale on the ground
  size_t nWorst = 0;             // the index of the largest residual
};

// Fits the geo-coded transform to three or more points: the affine transform that is best by
// least squares over all of them, measured on the ground (three points are fitted exactly). Each
// point's residual is the distance on the ground from its coordinates to where the plan drawn to
// scale (a turn, one scale and a shift) that fits all the points best puts its pixel: an affine
// fit of four points shows the same pattern of residuals whichever point was typed wrongly, a fit
// to scale shows the point itself. The scale is that fit's. Raises
// std::invalid_argument, with a sentence naming the reason, for fewer than three points, a number
// that is not finite, points that lie on one line (on the plan or on the ground) and a transform
// that cannot be inverted. A fit whose residuals are too large is returned: GeoFitProblem says so.
_geofit FitGeoTransform(const std::vector<_referencepoint> &points);

// Why the fit must not be used, or "" when it may: a residual over CALIBRATION_MAX_RESIDUAL_M,
// naming the point (counted from 1) and its residual.
std::string GeoFitProblem(const _geofit &fit);

// A line drawn on the plan over something of known length, in metres.
struct _scaleline {
  double dX1 = 0;
  double dY1 = 0;
  double dX2 = 0;
  double dY2 = 0;
  double dMetres = 0;
};

// The linear transform from a line of known length, with X and Y in metres from the origin pixel.
struct _linearfit {
  _transform transform;
  double dMetresPerPixel = 0;
  std::optional<double> dDisagreement; // percent between the two lines' scales, with a check line
};

// The linear transform whose scale is the first line's plan pixels per metre, with X and Y zero at
// (dOriginX, dOriginY), X growing to the right and Y downwards. A second line checks the scale: the
// fit reports by how many percent its scale differs from the first's. Raises
// std::invalid_argument for a line with no length on the plan, a length that is not a positive
// finite number of metres, or an origin that is not finite.
_linearfit FitLinearTransform(const _scaleline &line, const std::optional<_scaleline> &check, double dOriginX,
                              double dOriginY);

// Why the fit must not be used, or "": two lines that disagree by more than
// CALIBRATION_MAX_DISAGREEMENT_PERCENT.
std::string LinearFitProblem(const _linearfit &fit);

// The linear transform for a plan drawn at dPixelsPerUnit plan pixels per unit of length, with
// X and Y zero at plan pixel (dOriginX, dOriginY); X grows to the right and Y downwards, as plan
// pixels do. Raises std::invalid_argument unless the scale is a positive finite number.
_transform MakeLinearTransform(double dPixelsPerUnit, double dOriginX, double dOriginY);
