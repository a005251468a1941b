// The heatmap of a survey read from its file: levels where a segment was walked, a mix between
// two walks, nothing farther than the radius from every walk.
#include "tests/coverage/CoverageSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace {

constexpr double METRES_PER_PIXEL = 0.05;
constexpr int WIDTH = 480; // 24 m x 15 m
constexpr int HEIGHT = 300;

std::vector<int16_t> Levels(size_t nCount, int16_t nFirst, int16_t nSecond) {
  std::vector<int16_t> levels(nCount);
  for (size_t i = 0; i < nCount; ++i) {
    levels[i] = i % 2 == 0 ? nFirst : nSecond;
  }
  return levels;
}

// Metres from plan point (x, y) to the walked line from (x0, y) to (x1, y).
double MetresToLine(double x, double y, double x0, double x1, double yLine) {
  const double dx = x < x0 ? x0 - x : (x > x1 ? x - x1 : 0.0);
  return std::hypot(dx, y - yLine) * METRES_PER_PIXEL;
}

class CoverageOfTwoWalks : public ::testing::Test {
protected:
  // Segment 1 along y = 100 at -60, segment 2 along y = 180, 4 m away, at -90: 16 m each, 4 m
  // from the plan's sides.
  CCoverage &Read(const _coveragesettings &settings = {}) {
    m_pCoverage = std::make_unique<CCoverage>(settings, PlanMetricOf(*m_pProjection, WIDTH, HEIGHT), WIDTH, HEIGHT);
    CSurveyBytes()
        .Segment(80, 100, 400, 100, 36000, 36020, Levels(320, -60, -60))
        .Segment(80, 180, 400, 180, 36030, 36050, Levels(320, -90, -90))
        .AddTo(*m_pCoverage);
    return *m_pCoverage;
  }
  std::unique_ptr<CSiteProjection> m_pProjection = LinearProjection(METRES_PER_PIXEL);
  std::unique_ptr<CCoverage> m_pCoverage;
};

TEST_F(CoverageOfTwoWalks, LevelsNearEachWalkAMixBetweenAndNothingBeyondTheRadius) {
  const CCoverageGrid &grid = Read().Grid(1);
  ASSERT_EQ(grid.Columns(), 96); // 0.25 m cells of 5 pixels
  ASSERT_EQ(grid.Rows(), 60);
  int nNear = 0, nBetween = 0, nBeyond = 0;
  for (int r = 0; r < grid.Rows(); ++r) {
    for (int c = 0; c < grid.Columns(); ++c) {
      const double x = grid.CentreX(c);
      const double y = grid.CentreY(r);
      const double d1 = MetresToLine(x, y, 80, 400, 100);
      const double d2 = MetresToLine(x, y, 80, 400, 180);
      SCOPED_TRACE(testing::Message() << "cell " << c << ", " << r << ": " << d1 << " m and " << d2 << " m away");
      if (d1 < 1 || d2 < 1) {
        ASSERT_TRUE(grid.HasValue(c, r));
        EXPECT_NEAR(grid.Value(c, r), d1 < 1 ? -60.0 : -90.0, 1e-4);
        ++nNear;
      } else if (d1 <= 3 && d2 <= 3 && x >= 80 && x <= 400) {
        ASSERT_TRUE(grid.HasValue(c, r));
        EXPECT_GT(grid.Value(c, r), -90.0);
        EXPECT_LT(grid.Value(c, r), -60.0);
        ++nBetween;
      } else if (d1 > 3 && d2 > 3) {
        EXPECT_FALSE(grid.HasValue(c, r)) << grid.Value(c, r);
        ++nBeyond;
      }
    }
  }
  EXPECT_EQ(nBetween, 64 * 8); // rows 1 to 3 m from both, alongside the walks
  EXPECT_GT(nNear, 2 * 64 * 8);
  EXPECT_GT(nBeyond, 1000);
  // Mirrored about the middle line, the two walks swap their weights.
  EXPECT_NEAR(grid.Value(40, 27) + grid.Value(40, 28), -150.0, 1e-3);
}

// A walk taken out gives nothing until it is put back; the area walked and the share at or above
// the threshold follow.
TEST_F(CoverageOfTwoWalks, AWalkTakenOutGivesNothingUntilPutBack) {
  CCoverage &coverage = Read();
  const CCoverageGrid before = coverage.Grid(1);
  const _coveragefigures both = coverage.Figures(1);
  coverage.TakeOutSegment(2);
  coverage.Update();
  const _coveragefigures one = coverage.Figures(1);
  // One walk of 16 m, its bins from 0.25 m to 15.75 m: about a stadium of 15.5 m by 6 m.
  EXPECT_NEAR(one.dAreaSquareMetres, 15.5 * 6 + M_PI * 9, 1.0);
  EXPECT_EQ(one.dShare, 1.0);
  EXPECT_FALSE(coverage.Grid(1).HasValue(40, 36));          // beside segment 2 only
  EXPECT_NEAR(coverage.Grid(1).Value(40, 24), -60.0, 1e-4); // 1.125 m from segment 1, 2.875 m from 2
  // The two stadiums overlap in a band 2 m wide between the walks and half the lens of two circles
  // 4 m apart at each end.
  const double dLens = 2 * 9 * std::acos(4.0 / 6) - 2 * std::sqrt(36.0 - 16);
  EXPECT_NEAR(both.dAreaSquareMetres, 2 * one.dAreaSquareMetres - 15.5 * 2 - dLens, 1.0);
  EXPECT_GT(both.dShare, 0.4);
  EXPECT_LT(both.dShare, 0.6);

  coverage.PutBackSegment(2);
  coverage.Update();
  for (int r = 0; r < before.Rows(); ++r) {
    for (int c = 0; c < before.Columns(); ++c) {
      ASSERT_EQ(coverage.Grid(1).HasValue(c, r), before.HasValue(c, r));
      if (before.HasValue(c, r)) {
        ASSERT_EQ(coverage.Grid(1).Value(c, r), before.Value(c, r));
      }
    }
  }
  EXPECT_EQ(coverage.Figures(1).nCells, both.nCells);
}

// The mean of a bin's levels is their arithmetic mean unless the power mean is set; each bin
// keeps its count, extremes and spread.
TEST(CoverageBins, TheMeanIsTheSettingsAndEachBinKeepsItsSpread) {
  struct _case {
    CoverageMean mean;
    double dLevel;
  };
  for (const _case &c : {_case{CoverageMean::arithmetic, -70.0}, _case{CoverageMean::power, -62.967}}) {
    SCOPED_TRACE(CoverageMeanName(c.mean));
    _coveragesettings settings;
    settings.mean = c.mean;
    const auto projection = LinearProjection(METRES_PER_PIXEL);
    CCoverage coverage(settings, PlanMetricOf(*projection, WIDTH, HEIGHT), WIDTH, HEIGHT);
    // 10 levels a bin, -60 and -80 by turns.
    CSurveyBytes().Segment(80, 100, 400, 100, 36000, 36020, Levels(320, -60, -80)).AddTo(coverage);
    EXPECT_NEAR(coverage.Grid(1).Value(40, 19), c.dLevel, 1e-3);
    const auto bins = coverage.SegmentBins(1, 1);
    ASSERT_EQ(bins.size(), 32U);
    for (const auto &bin : bins) {
      EXPECT_EQ(bin.nCount, 10U);
      EXPECT_EQ(bin.nMin, -80);
      EXPECT_EQ(bin.nMax, -60);
      EXPECT_NEAR(bin.StandardDeviation(), 10.0, 1e-9);
      EXPECT_NEAR(bin.Level(c.mean), c.dLevel, 1e-3);
    }
    EXPECT_EQ(coverage.Figures(2).nCells, 0U); // no levels of channel 2
  }
}

// Metres on the plan are those the collector measures: great-circle distances under a geo-coded
// projection, X and Y units under a linear one.
TEST(CoveragePlanMetric, MetresAreThoseTheCollectorMeasures) {
  // The sample office: north up at 48.1376 N, its corners at pixels 60,60, 1940,60 and 60,1340.
  const double dPerLon = 1880 / 0.0007592;
  const double dPerLat = -1280 / 0.000345;
  CSiteProjection geo;
  geo.m_nKind = PROJECTION_GEO;
  SetProjectionTransform(geo, {0, dPerLon, dPerLat, 0, 60 - dPerLon * 11.5752, 60 - dPerLat * 48.1376});
  const auto linear = LinearProjection(0.03);
  for (const CSiteProjection *projection : {&geo, linear.get()}) {
    const _planmetric metric = PlanMetricOf(*projection, 2000, 1400);
    for (const auto &[x0, y0, x1, y1] : {std::array<double, 4>{60, 60, 1940, 60},
                                         {60, 60, 60, 1340},
                                         {100, 1300, 1900, 200},
                                         {1000, 700, 1003, 696}}) {
      double a1 = 0, a2 = 0, b1 = 0, b2 = 0;
      projection->ToCoordinates(x0, y0, a1, a2);
      projection->ToCoordinates(x1, y1, b1, b2);
      const double dExpected = projection->m_nKind == PROJECTION_GEO ? CSiteProjection::GeoDistance(a1, a2, b1, b2)
                                                                     : CSiteProjection::LinearDistance(a1, a2, b1, b2);
      EXPECT_NEAR(metric.Metres(x1 - x0, y1 - y0), dExpected, 0.001) << x0 << "," << y0 << " to " << x1 << "," << y1;
    }
  }
}

} // namespace
