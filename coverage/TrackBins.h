#pragma once

#include "coverage/CoverageSettings.h"
#include "coverage/PlanMetric.h"

#include <cstdint>

// Along-track binning: the walked line of a segment is cut into stretches of the set length (the
// last one shorter), and the levels placed on a stretch are averaged into its bin.

// The levels of one channel on one stretch of one segment, and where the stretch's middle lies.
struct _coveragebin {
  double dX = 0; // the middle of the stretch, plan pixels
  double dY = 0;
  uint32_t nSegment = 0;
  uint32_t nCount = 0;
  int16_t nMin = 0;
  int16_t nMax = 0;
  double dSum = 0;        // of the levels
  double dSumSquares = 0; // of the levels' squares
  double dSumPower = 0;   // of 10^(L/10)
  bool bExcluded = false; // its segment was taken out
  bool bDirty = false;    // levels came since the cells around it were last computed

  void Add(int16_t nLevel);
  // Takes in the levels of another bin of the same stretch.
  void Merge(const _coveragebin &other);
  // The bin's level: the arithmetic mean of its levels, or their power mean, 10 log10 of the
  // mean of 10^(L/10).
  double Level(CoverageMean mean) const;
  // The standard deviation of its levels (of the level numbers, whichever mean is set).
  double StandardDeviation() const;
};

// The stretches of a segment walked from (dStartX, dStartY) to (dStopX, dStopY), plan pixels.
struct _track {
  double dStartX = 0;
  double dStartY = 0;
  double dStopX = 0;
  double dStopY = 0;
  double dLength = 0; // metres
  double dBin = 0;    // metres of a stretch
  uint32_t nBins = 1; // at least one, also for a segment that starts where it stops

  // The stretch dMetres along the line lies on (clamped to the line).
  uint32_t BinAt(double dMetres) const;
  // The middle of stretch nBin, plan pixels.
  void MiddleOf(uint32_t nBin, double &dX, double &dY) const;
};

_track MakeTrack(double dStartX, double dStartY, double dStopX, double dStopY, const _planmetric &metric,
                 double dBinMetres);
