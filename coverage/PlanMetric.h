#pragma once

class CSiteProjection;

// Metres on the plan. A projection ties plan pixels to coordinates by an affine transform, so a
// step on the plan has the same length in metres wherever it is taken (within a building the
// earth's curvature changes that by far less than a millimetre): a step of (dx, dy) pixels is
// sqrt(G11 dx^2 + 2 G12 dx dy + G22 dy^2) metres. G is measured at the plan's centre with the
// distances the collector itself measures: great-circle distances for a geo-coded projection,
// and the X and Y units taken as metres for a linear one.
struct _planmetric {
  double dG11 = 1;
  double dG12 = 0;
  double dG22 = 1;

  // Metres of a step of (dx, dy) plan pixels, and its square.
  double Metres(double dx, double dy) const;
  double SquaredMetres(double dx, double dy) const { return dG11 * dx * dx + 2 * dG12 * dx * dy + dG22 * dy * dy; }
  // Metres of one pixel along the plan's x and y axes.
  double MetresPerPixelX() const;
  double MetresPerPixelY() const;
  // How far, in pixels along x and along y, a point can lie from another and still be within
  // dMetres of it: the half sides of the box around the circle of that radius.
  double ReachX(double dMetres) const;
  double ReachY(double dMetres) const;
};

// The metric of the loaded projection over a plan of nWidth x nHeight pixels. The projection's
// transform must be invertible (TransformProblem says so).
_planmetric PlanMetricOf(const CSiteProjection &projection, int nWidth, int nHeight);
