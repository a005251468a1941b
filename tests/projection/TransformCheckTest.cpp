#include "projection/TransformCheck.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

// Transforms that give no coordinates, each with what its refusal must say; and transforms that
// do, near the edges of the refused ones.
TEST(TransformCheck, TransformsThatCannotBeInvertedAreNamedWithTheReason) {
  const struct {
    int32_t nKind;
    _transform transform;
    const char *pExpected; // "" when the transform can be inverted
  } cases[] = {
      {PROJECTION_GEO, {0, 0, 0, 0, 0, 0}, "a * d - b * c = 0, so no plan pixel"},
      {PROJECTION_GEO, {2, 4, 1, 2, 5, 5}, "a * d - b * c = 0, so no plan pixel"},
      {PROJECTION_GEO, {NaN, 0, 0, 1, 0, 0}, "its number a is nan"},
      {PROJECTION_GEO, {1, 0, 0, 1, Inf, 0}, "its number e is inf"},
      {PROJECTION_GEO, {1e200, 0, 0, 1e200, 0, 0}, "a * d - b * c = inf, not a finite number"},
      {PROJECTION_GEO, {1e-170, 0, 0, 1e-170, 0, 0}, "= 0, so"}, // the product underflows to 0
      {PROJECTION_GEO, {1, 0, 0, 1e-310, 0, 0}, "too near 0"},   // its inverse holds 1e310
      {PROJECTION_LINEAR, {0, 0, 0, 2, 0, 0}, "a = 0 and d = 2, so every plan pixel would lie at the same Y"},
      {PROJECTION_LINEAR, {0.5, 0, 0, 0, 0, 0}, "same X"},
      {PROJECTION_LINEAR, {1, 0, 0, 1, 0, NaN}, "its number f is nan"},
      {PROJECTION_GEO, {80, 0, 0, 80, -3710, -560}, ""},
      {PROJECTION_GEO, {1e-100, 0, 0, 1e-100, 0, 0}, ""},
      {PROJECTION_GEO, {0, 1, 1, 0, 0, 0}, ""}, // det -1: a mirror inverts
      // A linear projection uses only a and d; b and c do not matter, nor does a * d - b * c.
      {PROJECTION_LINEAR, {1, 5, 5, 25, 0, 0}, ""},
      {PROJECTION_LINEAR, {1e300, 0, 0, 1e300, 0, 0}, ""},
  };
  for (const auto &c : cases) {
    const std::string problem = TransformProblem(c.nKind, c.transform);
    SCOPED_TRACE(c.pExpected);
    if (*c.pExpected == '\0') {
      EXPECT_EQ(problem, "");
      continue;
    }
    EXPECT_EQ(problem.rfind("its transform cannot be inverted: ", 0), 0U) << problem;
    EXPECT_NE(problem.find(c.pExpected), std::string::npos) << problem;
  }
}

} // namespace
