#pragma once

#include "quality/QualitySettings.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Looking at one channel's levels of a segment, in the order they were measured.

// A stretch of levels: the first and how many.
struct _levelstretch {
  bool bFound = false;
  size_t nFirst = 0;
  size_t nCount = 0;
  int16_t nValue = 0; // the level repeated, for a run of equal levels
};

// How many levels lie at the ends of the receiver's scale, -128 or 127.
size_t ClippedCount(const std::vector<int16_t> &levels);

// The longest run of equal levels (the first of the longest when several are as long).
_levelstretch LongestEqualRun(const std::vector<int16_t> &levels);

// The longest stretch that looks like standing still, for levels measured at dLevelsPerSecond.
// Walking makes levels fade and fluctuate; standing does not. The fluctuation is the levels'
// standard deviation over a sliding window of still_window_s; a stretch in which it stays under
// still_share of its median over all the levels, but above 0, for still_min_s or longer, is found.
// Levels that do not change at all are a receiver repeating itself (a run of equal levels), not a
// pause. Nothing is found when the levels are too few for two windows.
_levelstretch LongestStillStretch(const std::vector<int16_t> &levels, double dLevelsPerSecond,
                                  const _qualitysettings &settings);
