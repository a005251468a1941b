// The coverage grows while a segment is walked, second by second around the walker, and at STOP
// it becomes what the survey file gives.
#include "tests/coverage/CoverageSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr double METRES_PER_PIXEL = 0.05;
constexpr int WIDTH = 480;
constexpr int HEIGHT = 300;

std::vector<int16_t> Ramp(size_t nCount, int nFrom) {
  std::vector<int16_t> levels(nCount);
  for (size_t i = 0; i < nCount; ++i) {
    levels[i] = static_cast<int16_t>(nFrom - static_cast<int>(i / 40));
  }
  return levels;
}

// Segment 1 was walked in 20 s along y = 100 (0.8 m/s); segment 2 is walked along y = 200 for
// 20 s at 40 levels a second on channel 1.
TEST(CoverageWalk, GrowsAroundTheWalkerAndEndsAsTheFileReadsIt) {
  const auto projection = LinearProjection(METRES_PER_PIXEL);
  const _planmetric metric = PlanMetricOf(*projection, WIDTH, HEIGHT);
  CSurveyBytes file;
  file.Segment(40, 100, 360, 100, 36000, 36020, Ramp(800, -50));
  CCoverage live({}, metric, WIDTH, HEIGHT);
  file.AddTo(live);
  live.TakeChangedCells(1);
  EXPECT_NEAR(live.MedianSpeed(), 0.8, 1e-9);

  const std::vector<int16_t> walked = Ramp(800, -70);
  const int64_t nBeginMs = 1'000'000;
  live.BeginSegment(2, {40, 200}, {360, 200}, nBeginMs);
  for (int s = 0; s < 20; ++s) {
    SCOPED_TRACE(s);
    // A second of levels in five messages of eight.
    for (int m = 0; m < 5; ++m) {
      live.AddLevels(2, 1, walked.data() + 40 * s + 8 * m, 8, nBeginMs + 1000 * s + 200 * (m + 1));
    }
    live.Update();
    // At 0.8 m/s the walker went from 16 s to 16 (s + 1) pixels along; the cells recomputed lie
    // within R (60 pixels) of the bins of that stretch, whose middles are at most a bin (10
    // pixels) away from it.
    const double dFrom = 40 + 16.0 * s - 10 - 60;
    const double dTo = 40 + 16.0 * (s + 1) + 10 + 60;
    const auto changes = live.TakeChangedCells(1);
    ASSERT_FALSE(changes.empty());
    for (const _cellrect &rect : changes) {
      EXPECT_GE(rect.nLeft * 5.0 + 2.5, dFrom);
      EXPECT_LE(rect.nRight * 5.0 - 2.5, dTo);
      EXPECT_GE(rect.nTop * 5.0 + 2.5, 200 - 60 - 1e-9);
      EXPECT_LE(rect.nBottom * 5.0 - 2.5, 200 + 60 + 1e-9);
    }
    // The cell the walker stands on has its level, and nothing lies ahead of the walk beyond R.
    const int nWalker = static_cast<int>((40 + 16.0 * (s + 1) - 1) / 5);
    EXPECT_TRUE(live.Grid(1).HasValue(nWalker, 40));
    EXPECT_FALSE(live.Grid(1).HasValue(nWalker + 15, 40));
    EXPECT_TRUE(live.TakeChangedCells(2).empty());
  }

  // STOP: the header with its times and count, as the file will hold it.
  file.Segment(40, 200, 360, 200, 36030, 36050, walked);
  live.StopSegment(2, file.m_headers.back(), nBeginMs + 20'000);
  live.Update();
  EXPECT_FALSE(live.IsWalking());
  CCoverage reopened({}, metric, WIDTH, HEIGHT);
  file.AddTo(reopened);
  int nCells = 0;
  for (int r = 0; r < reopened.Grid(1).Rows(); ++r) {
    for (int c = 0; c < reopened.Grid(1).Columns(); ++c) {
      ASSERT_EQ(live.Grid(1).HasValue(c, r), reopened.Grid(1).HasValue(c, r)) << c << ", " << r;
      if (reopened.Grid(1).HasValue(c, r)) {
        ASSERT_NEAR(live.Grid(1).Value(c, r), reopened.Grid(1).Value(c, r), 1e-4) << c << ", " << r;
        ++nCells;
      }
    }
  }
  EXPECT_GT(nCells, 3000);
  EXPECT_NEAR(live.MedianSpeed(), 0.8, 1e-9);
}

// Until a segment of the survey has a time, a walk is taken to last a typical time; a walk slower
// than its speed piles its levels at the stop point and never past it.
TEST(CoverageWalk, AWalkIsNeverPlacedPastItsStopPoint) {
  const auto projection = LinearProjection(METRES_PER_PIXEL);
  CCoverage coverage({}, PlanMetricOf(*projection, WIDTH, HEIGHT), WIDTH, HEIGHT);
  EXPECT_EQ(coverage.MedianSpeed(), 0.0);
  coverage.BeginSegment(1, {40, 100}, {360, 100}, 0); // 16 m in 20 s
  const std::vector<int16_t> levels(40, -66);
  for (int s = 0; s < 60; ++s) {
    coverage.AddLevels(1, 1, levels.data(), levels.size(), 1000 * (s + 1));
  }
  coverage.Update();
  const auto bins = coverage.SegmentBins(1, 1);
  ASSERT_EQ(bins.size(), 32U);
  // At 0.8 m/s a bin takes 0.625 s, 25 levels, for the 20 s the walk should have taken; the
  // levels of the other 40 s are at its end.
  uint32_t nLevels = 0;
  for (size_t i = 0; i + 1 < bins.size(); ++i) {
    EXPECT_NEAR(bins[i].nCount, 25, 1) << i;
    nLevels += bins[i].nCount;
  }
  EXPECT_EQ(nLevels + bins[31].nCount, 2400U);
  EXPECT_GE(bins[31].nCount, 40 * 40U);
  // The last bin's middle is 0.25 m before the stop point: cells up to R beyond it have a value.
  EXPECT_TRUE(coverage.Grid(1).HasValue(82, 20));  // 2.625 m past the stop point
  EXPECT_FALSE(coverage.Grid(1).HasValue(83, 20)); // 2.875 m past it, 3.125 m from the last bin
}

} // namespace
