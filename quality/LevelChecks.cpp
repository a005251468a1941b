#include "quality/LevelChecks.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int16_t LEVEL_SCALE_LOW = -128;
constexpr int16_t LEVEL_SCALE_HIGH = 127;

// The standard deviation of each window of nWindow levels, window i starting at level i.
std::vector<double> WindowDeviations(const std::vector<int16_t> &levels, size_t nWindow) {
  std::vector<double> sum(levels.size() + 1, 0.0);
  std::vector<double> squares(levels.size() + 1, 0.0);
  for (size_t i = 0; i < levels.size(); ++i) {
    sum[i + 1] = sum[i] + levels[i];
    squares[i + 1] = squares[i] + static_cast<double>(levels[i]) * levels[i];
  }
  const auto dWindow = static_cast<double>(nWindow);
  std::vector<double> deviations(levels.size() - nWindow + 1);
  for (size_t i = 0; i < deviations.size(); ++i) {
    const double dMean = (sum[i + nWindow] - sum[i]) / dWindow;
    const double dVariance = (squares[i + nWindow] - squares[i]) / dWindow - dMean * dMean;
    deviations[i] = std::sqrt(std::max(dVariance, 0.0));
  }
  return deviations;
}

double Median(std::vector<double> values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

} // namespace

size_t ClippedCount(const std::vector<int16_t> &levels) {
  return static_cast<size_t>(std::count_if(levels.begin(), levels.end(),
                                           [](int16_t n) { return n <= LEVEL_SCALE_LOW || n >= LEVEL_SCALE_HIGH; }));
}

_levelstretch LongestEqualRun(const std::vector<int16_t> &levels) {
  _levelstretch longest;
  size_t nFirst = 0;
  for (size_t i = 1; i <= levels.size(); ++i) {
    if (i < levels.size() && levels[i] == levels[nFirst]) {
      continue;
    }
    if (i - nFirst > longest.nCount) {
      longest = {true, nFirst, i - nFirst, levels[nFirst]};
    }
    nFirst = i;
  }
  return longest;
}

_levelstretch LongestStillStretch(const std::vector<int16_t> &levels, double dLevelsPerSecond,
                                  const _qualitysettings &settings) {
  _levelstretch longest;
  if (!(dLevelsPerSecond > 0)) {
    return longest;
  }
  const auto nWindow =
      std::max<size_t>(2, static_cast<size_t>(std::llround(dLevelsPerSecond * settings.dStillWindowS)));
  if (levels.size() < 2 * nWindow) {
    return longest;
  }
  const std::vector<double> deviations = WindowDeviations(levels, nWindow);
  const double dLimit = settings.dStillShare * Median(deviations);
  if (!(dLimit > 0)) {
    return longest;
  }
  // A window of equal levels is no pause but a receiver repeating itself, which the run of equal
  // levels tells. Windows i .. j - 1 all still cover the levels i .. j - 1 + nWindow - 1.
  const auto still = [&](size_t i) { return deviations[i] > 0 && deviations[i] < dLimit; };
  for (size_t i = 0; i < deviations.size();) {
    if (!still(i)) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < deviations.size() && still(j)) {
      ++j;
    }
    const size_t nCount = j - i + nWindow - 1;
    if (static_cast<double>(nCount) / dLevelsPerSecond >= settings.dStillMinS && nCount > longest.nCount) {
      longest = {true, i, nCount, 0};
    }
    i = j;
  }
  return longest;
}
