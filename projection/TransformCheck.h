#pragma once

#include "projection/ProjectionFormat.h"

#include <string>

// Whether a projection's transform gives coordinates at all. The collector turns plan pixels into
// latitude and longitude by inverting the geo-coded matrix, and into X and Y by the two scales of
// a linear one; a matrix that cannot be inverted gives non-finite or constant coordinates, which
// must never be shown, stored or written as if they were places.

// Why the transform of a projection of nKind cannot be inverted, or "" when it can: a number that
// is not finite, a geo-coded matrix with a * d - b * c = 0 (or so near 0 that its inverse is not
// finite), or a linear scale a or d of 0. The text begins with "its transform cannot be inverted"
// and names no file, so a caller can put the file's name before it.
std::string TransformProblem(int32_t nKind, const _transform &transform);
