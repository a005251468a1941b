#include "projection/Calibration.h"

#include "projection/CoordinateText.h"
#include "projection/DistanceUnits.h"
#include "projection/PlanSize.h"
#include "projection/SiteProjection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// The coordinates a projection with transform t gives plan pixel (x, y).
_latlon Locate(int32_t nKind, const _transform &t, double x, double y) {
  CSiteProjection projection;
  projection.m_nKind = nKind;
  projection.m_dA = t.dA;
  projection.m_dB = t.dB;
  projection.m_dC = t.dC;
  projection.m_dD = t.dD;
  projection.m_dE = t.dE;
  projection.m_dF = t.dF;
  projection.m_dDet = t.dA * t.dD - t.dB * t.dC;
  _latlon c;
  projection.ToCoordinates(x, y, c.dLatitude, c.dLongitude);
  return c;
}

// A site whose plan is drawn at 3 cm a pixel and turned 10 degrees against north: the place of a
// plan pixel, worked out on the ground in metres.
_referencepoint OnSite(double x, double y) {
  const double dTurn = 10 * 3.14159265358979 / 180;
  const double dEast = 0.03 * (x * std::cos(dTurn) + y * std::sin(dTurn));
  const double dNorth = 0.03 * (x * std::sin(dTurn) - y * std::cos(dTurn));
  const double dMetresPerDegree = 6378137.0 * 3.14159265358979 / 180;
  const double dLatitude = 48.1376 + dNorth / dMetresPerDegree;
  return {x, y, dLatitude, 11.5752 + dEast / (dMetresPerDegree * std::cos(48.1376 * 3.14159265358979 / 180))};
}

// Three or more points: the fit takes each pixel to its coordinates, within the residual it shows;
// a point typed wrongly stands out by its residual and the fit is refused naming it; corrected, it
// is accepted.
TEST(Calibration, GeoFitsTakeEachPixelToItsCoordinatesAndShowAMistypedPoint) {
  const _referencepoint corner = OnSite(60, 60);
  _referencepoint mistyped = OnSite(1940, 1340);
  mistyped.dLongitude += 0.0027; // one digit wrong: some 200 m to the east
  const struct {
    const char *pName;
    std::vector<_referencepoint> points;
    double dWithin;    // metres between each point's coordinates and its pixel's
    int nRefusedPoint; // 1-based; 0 when the fit is accepted
  } cases[] = {
      {"three corners", {corner, OnSite(1940, 60), OnSite(60, 1340)}, 1e-6, 0},
      {"four corners", {corner, OnSite(1940, 60), OnSite(60, 1340), OnSite(1940, 1340)}, 1e-6, 0},
      {"four anywhere", {OnSite(500, 80), OnSite(1900, 300), corner, OnSite(1200, 1300)}, 1e-6, 0},
      {"clicked a pixel off", {corner, OnSite(1940, 60), OnSite(60, 1340), OnSite(1941, 1339)}, 0.05, 0},
      {"one mistyped", {corner, OnSite(1940, 60), mistyped, OnSite(60, 1340)}, 1000, 3},
      {"one mistyped among five", {OnSite(900, 700), corner, OnSite(1940, 60), OnSite(60, 1340), mistyped}, 1000, 5},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.pName);
    const _geofit fit = FitGeoTransform(c.points);
    ASSERT_EQ(fit.residuals.size(), c.points.size());
    EXPECT_NEAR(fit.dMetresPerPixel, 0.03, c.nRefusedPoint == 0 ? 1e-4 : 1);
    for (size_t i = 0; i < c.points.size(); ++i) {
      const auto &p = c.points[i];
      const _latlon at = Locate(PROJECTION_GEO, fit.transform, p.dPixelX, p.dPixelY);
      const double dMiss = CSiteProjection::GeoDistance(at.dLatitude, at.dLongitude, p.dLatitude, p.dLongitude);
      EXPECT_LT(dMiss, c.dWithin) << "point " << i + 1;
      EXPECT_LT(fit.residuals[i], std::max(c.dWithin, 1e-3)) << "point " << i + 1; // a millimetre of curvature
    }
    const std::string problem = GeoFitProblem(fit);
    if (c.nRefusedPoint == 0) {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_EQ(fit.nWorst + 1, static_cast<size_t>(c.nRefusedPoint));
      EXPECT_GT(fit.residuals[fit.nWorst], 50);
      EXPECT_NE(problem.find("point " + std::to_string(c.nRefusedPoint) + " lies "), std::string::npos) << problem;
    }
  }
}

TEST(Calibration, PointsThatGiveNoTransformAreRefusedWithTheReason) {
  const struct {
    std::vector<_referencepoint> points;
    const char *pReason;
  } cases[] = {
      {{{0, 0, 48.0, 11.0}, {100, 0, 48.0, 11.001}}, "at least three points, not 2"},
      {{{0, 0, 48.0, 11.0}, {100, 0, 48.001, 11.001}, {0, 100, 48.002, 11.002}}, "one line in latitude"},
      {{{0, 0, 48.0, 11.0}, {100, 100, 48.001, 11.0}, {200, 200, 48.0, 11.001}}, "one line on the plan"},
      {{{0, 0, 48.0, 11.0}, {0, 0, 48.0, 11.0}, {50, 90, 48.001, 11.002}}, "one line"},
      {{{0, 0, 48.0, 11.0},
        {10, 0, 48.0, 11.001},
        {0, 10, 48.001, 11.0},
        {5, 5, 48.0, 11.0},
        {5, 5, 48.0, 11.0},
        {9, 9, NaN, 11.0}},
       "point 6 holds a number that is not finite"},
      {{{0, 0, 48.0, 11.0}, {10, 0, 48.0, 11.001}, {0, 10, 94.0, 11.0}}, "point 3 lies at latitude 94.0000000"},
  };
  for (const auto &c : cases) {
    try {
      FitGeoTransform(c.points);
      ADD_FAILURE() << "fitted: " << c.pReason;
    } catch (const std::invalid_argument &e) {
      EXPECT_NE(std::string(e.what()).find(c.pReason), std::string::npos) << e.what();
    }
  }
  // A real triangle of a few metres on the site is fine.
  EXPECT_NO_THROW(FitGeoTransform({{0, 0, 48.0, 11.0}, {100, 0, 48.0, 11.00005}, {0, 100, 47.99997, 11.0}}));
}

// A line over something of known length sets the scale, X and Y are metres from the origin; a
// second line checks the scale.
TEST(Calibration, LinearPlansFromALineOfKnownLength) {
  const _scaleline wall{100, 50, 400, 50, 10}; // 300 pixels for 10 m
  const struct {
    const char *pName;
    _scaleline line;
    std::optional<_scaleline> check;
    double dX, dY;        // coordinates of plan pixel (400, 110)
    double dDisagreement; // percent; -1 without a check line
    bool bRefused;
  } cases[] = {
      {"metres", wall, std::nullopt, 10, 2, -1, false},
      {"feet", {100, 50, 400, 50, FeetToMeters(32.8)}, std::nullopt, 10 * 0.999744, 2 * 0.999744, -1, false},
      {"a check line that agrees", wall, _scaleline{100, 50, 100, 350, 10}, 10, 2, 0, false},
      {"one 1 % off", wall, _scaleline{100, 50, 340, 230, 10.1}, 10, 2, 0.990099, false},
      {"one 5 % off", wall, _scaleline{100, 50, 100, 365, 10}, 10, 2, 5, true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.pName);
    const _linearfit fit = FitLinearTransform(c.line, c.check, 100, 50);
    const _latlon at = Locate(PROJECTION_LINEAR, fit.transform, 400, 110);
    EXPECT_NEAR(at.dLatitude, c.dX, 1e-9);
    EXPECT_NEAR(at.dLongitude, c.dY, 1e-9);
    EXPECT_NEAR(fit.dMetresPerPixel, c.dX / 300, 1e-12);
    EXPECT_NEAR(fit.dDisagreement.value_or(-1), c.dDisagreement, 1e-4);
    EXPECT_EQ(LinearFitProblem(fit).empty(), !c.bRefused) << LinearFitProblem(fit);
  }

  const struct {
    _scaleline line;
    std::optional<_scaleline> check;
    const char *pReason;
  } refused[] = {
      {{5, 5, 5, 5, 10}, std::nullopt, "the line has no length on the plan"},
      {{0, 0, 10, 0, 0}, std::nullopt, "the line's length must be a positive number of metres, not 0"},
      {{0, 0, 10, 0, -2}, std::nullopt, "not -2"},
      {wall, _scaleline{0, 0, 10, 0, NaN}, "the second line's length"},
  };
  for (const auto &c : refused) {
    try {
      FitLinearTransform(c.line, c.check, 0, 0);
      ADD_FAILURE() << "fitted: " << c.pReason;
    } catch (const std::invalid_argument &e) {
      EXPECT_NE(std::string(e.what()).find(c.pReason), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(FitLinearTransform(wall, std::nullopt, NaN, 0), std::invalid_argument);
  EXPECT_THROW(MakeLinearTransform(1e-320, 0, 0), std::invalid_argument);
}

TEST(Calibration, CoordinatesAsTheyArePastedOrTyped) {
  const struct {
    const char *pText;
    std::optional<_latlon> expected;
  } cases[] = {
      {"48.1376012, 11.5751987", _latlon{48.1376012, 11.5751987}},
      {"  -33.8688;151.2093 ", _latlon{-33.8688, 151.2093}},
      {"48.1376 11.5752", _latlon{48.1376, 11.5752}},
      {"48.1376\xc2\xb0, 11.5752\xc2\xb0", _latlon{48.1376, 11.5752}},
      {"48.1376", std::nullopt},
      {"48.1376, 11.5752, 3", std::nullopt},
      {"48.1376,", std::nullopt},
      {"91, 11", std::nullopt},
      {"48, 181", std::nullopt},
      {"north, east", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.pText);
    const auto parsed = ParseLatLon(c.pText);
    ASSERT_EQ(parsed.has_value(), c.expected.has_value());
    if (parsed) {
      EXPECT_EQ(parsed->dLatitude, c.expected->dLatitude);
      EXPECT_EQ(parsed->dLongitude, c.expected->dLongitude);
      EXPECT_EQ(ParseLatLon(FormatLatLon(*parsed))->dLatitude, std::round(parsed->dLatitude * 1e7) / 1e7);
    }
  }
  EXPECT_EQ(FormatLatLon({48.1376, -0.5}), "48.1376000, -0.5000000");
}

TEST(Calibration, PlansTooLargeToHoldAreRefusedBeforeTheyAreRead) {
  const struct {
    uint64_t nWidth, nHeight;
    const char *pReason; // "" when taken
  } cases[] = {
      {8000, 6000, ""},
      {23000, 23000, ""},
      {1, 1, ""},
      {23171, 23171,
       "it is 23171 x 23171 pixels, which would take 2048 MB in memory; a floor plan may take at most "
       "2048 MB"},
      {100000, 100000, "which would take 38147 MB"},
      {uint64_t{1} << 40, 2, "1099511627776 x 2 pixels"},
      {0, 10, "it is 0 x 10 pixels: a floor plan needs at least one pixel"},
  };
  for (const auto &c : cases) {
    const std::string problem = PlanSizeProblem(c.nWidth, c.nHeight);
    if (*c.pReason == '\0') {
      EXPECT_EQ(problem, "") << c.nWidth << " x " << c.nHeight;
    } else {
      EXPECT_NE(problem.find(c.pReason), std::string::npos) << problem;
    }
  }
}

} // namespace
