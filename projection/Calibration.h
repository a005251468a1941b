#pragma once

#include "projection/ProjectionFormat.h"

#include <array>

// A plan pixel and the coordinates it stands for (latitude and longitude in degrees).
struct _referencepoint {
  double dPixelX = 0;
  double dPixelY = 0;
  double dLatitude = 0;
  double dLongitude = 0;
};

// The geo-coded transform (pixel x = a * lat + b * lon + e, pixel y = c * lat + d * lon + f)
// that takes each of the three points exactly to its pixel. Raises std::invalid_argument when
// the points lie on one line, in the plan or in coordinates, since no transform then follows.
_transform SolveGeoTransform(const std::array<_referencepoint, 3> &points);

// The linear transform for a plan drawn at dPixelsPerUnit plan pixels per unit of length, with
// X and Y zero at plan pixel (dOriginX, dOriginY); X grows to the right and Y downwards, as plan
// pixels do. Raises std::invalid_argument unless the scale is a positive finite number.
_transform MakeLinearTransform(double dPixelsPerUnit, double dOriginX, double dOriginY);
