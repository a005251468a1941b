#include "projection/Calibration.h"

#include "projection/SiteProjection.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void SetTransform(CSiteProjection &projection, int32_t nKind, const _transform &t) {
  projection.m_nKind = nKind;
  projection.m_dA = t.dA;
  projection.m_dB = t.dB;
  projection.m_dC = t.dC;
  projection.m_dD = t.dD;
  projection.m_dE = t.dE;
  projection.m_dF = t.dF;
  projection.m_dDet = t.dA * t.dD - t.dB * t.dC;
}

TEST(Calibration, ThreeReferencePointsGiveTheirPixelsAndBack) {
  // An office floor some 60 m across, turned a little against north.
  const std::array<_referencepoint, 3> points = {{
      {120, 80, 48.1376012, 11.5751987},
      {1880, 140, 48.1375790, 11.5759123},
      {150, 1320, 48.1372693, 11.5752210},
  }};
  const _transform t = SolveGeoTransform(points);
  for (const auto &p : points) {
    EXPECT_NEAR(t.dA * p.dLatitude + t.dB * p.dLongitude + t.dE, p.dPixelX, 1e-5);
    EXPECT_NEAR(t.dC * p.dLatitude + t.dD * p.dLongitude + t.dF, p.dPixelY, 1e-5);
  }

  CSiteProjection projection;
  SetTransform(projection, PROJECTION_GEO, t);
  for (const auto &p : points) {
    double lat = 0;
    double lon = 0;
    projection.ToCoordinates(p.dPixelX, p.dPixelY, lat, lon);
    EXPECT_NEAR(lat, p.dLatitude, 1e-10);
    EXPECT_NEAR(lon, p.dLongitude, 1e-10);
  }
  // A pixel between the points lands between them, at a plausible distance.
  double lat = 0;
  double lon = 0;
  projection.ToCoordinates(1000, 700, lat, lon);
  const double dAcross = CSiteProjection::GeoDistance(points[0].dLatitude, points[0].dLongitude, points[1].dLatitude,
                                                      points[1].dLongitude);
  EXPECT_GT(dAcross, 45);
  EXPECT_LT(dAcross, 70);
  EXPECT_LT(CSiteProjection::GeoDistance(lat, lon, points[0].dLatitude, points[0].dLongitude), dAcross);
}

TEST(Calibration, PointsOnOneLineAreRefused) {
  const std::array<_referencepoint, 3> collinearCoordinates = {{
      {0, 0, 48.0, 11.0},
      {100, 0, 48.001, 11.001},
      {0, 100, 48.002, 11.002},
  }};
  EXPECT_THROW(SolveGeoTransform(collinearCoordinates), std::invalid_argument);

  const std::array<_referencepoint, 3> collinearPixels = {{
      {0, 0, 48.0, 11.0},
      {100, 100, 48.001, 11.0},
      {200, 200, 48.0, 11.001},
  }};
  EXPECT_THROW(SolveGeoTransform(collinearPixels), std::invalid_argument);

  const std::array<_referencepoint, 3> repeated = {{
      {0, 0, 48.0, 11.0},
      {0, 0, 48.0, 11.0},
      {50, 90, 48.001, 11.002},
  }};
  try {
    SolveGeoTransform(repeated);
    FAIL() << "a repeated point gave a transform";
  } catch (const std::invalid_argument &e) {
    EXPECT_NE(std::string(e.what()).find("one line"), std::string::npos);
  }

  // Tiny but real triangles are fine: a few metres on the site.
  const std::array<_referencepoint, 3> small = {{
      {0, 0, 48.0, 11.0},
      {100, 0, 48.0, 11.00005},
      {0, 100, 47.99997, 11.0},
  }};
  EXPECT_NO_THROW(SolveGeoTransform(small));
}

TEST(Calibration, LinearScaleAndOrigin) {
  CSiteProjection projection;
  SetTransform(projection, PROJECTION_LINEAR, MakeLinearTransform(20, 100, 50));
  double x = -1;
  double y = -1;
  projection.ToCoordinates(100, 50, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  projection.ToCoordinates(120, 90, x, y);
  EXPECT_DOUBLE_EQ(x, 1);
  EXPECT_DOUBLE_EQ(y, 2);
  EXPECT_DOUBLE_EQ(CSiteProjection::LinearDistance(0, 0, x, y), std::sqrt(5.0));

  EXPECT_THROW(MakeLinearTransform(0, 0, 0), std::invalid_argument);
  EXPECT_THROW(MakeLinearTransform(-3, 0, 0), std::invalid_argument);
  EXPECT_THROW(MakeLinearTransform(NAN, 0, 0), std::invalid_argument);
  EXPECT_THROW(MakeLinearTransform(1e-320, 0, 0), std::invalid_argument);
  EXPECT_THROW(MakeLinearTransform(10, INFINITY, 0), std::invalid_argument);
}

} // namespace
