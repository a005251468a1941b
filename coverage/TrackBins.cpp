#include "coverage/TrackBins.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// 10^(L/10) for every level a receiver sends, -128 to 127: a power mean of millions of levels
// costs a look-up each.
double PowerOf(int16_t nLevel) {
  static const auto TABLE = [] {
    std::array<double, 256> table{};
    for (int i = 0; i < 256; ++i) {
      table[static_cast<size_t>(i)] = std::pow(10.0, (i - 128) / 10.0);
    }
    return table;
  }();
  if (nLevel >= -128 && nLevel <= 127) {
    return TABLE[static_cast<size_t>(nLevel + 128)];
  }
  return std::pow(10.0, nLevel / 10.0);
}

} // namespace

void _coveragebin::Add(int16_t nLevel) {
  if (nCount == 0) {
    nMin = nLevel;
    nMax = nLevel;
  } else {
    nMin = std::min(nMin, nLevel);
    nMax = std::max(nMax, nLevel);
  }
  ++nCount;
  const double dLevel = nLevel;
  dSum += dLevel;
  dSumSquares += dLevel * dLevel;
  dSumPower += PowerOf(nLevel);
}

void _coveragebin::Merge(const _coveragebin &other) {
  if (other.nCount == 0) {
    return;
  }
  nMin = nCount == 0 ? other.nMin : std::min(nMin, other.nMin);
  nMax = nCount == 0 ? other.nMax : std::max(nMax, other.nMax);
  nCount += other.nCount;
  dSum += other.dSum;
  dSumSquares += other.dSumSquares;
  dSumPower += other.dSumPower;
}

double _coveragebin::Level(CoverageMean mean) const {
  if (mean == CoverageMean::power) {
    return 10.0 * std::log10(dSumPower / nCount);
  }
  return dSum / nCount;
}

double _coveragebin::StandardDeviation() const {
  const double dMean = dSum / nCount;
  return std::sqrt(std::max(0.0, dSumSquares / nCount - dMean * dMean));
}

uint32_t _track::BinAt(double dMetres) const {
  if (!(dMetres > 0)) {
    return 0;
  }
  return std::min(nBins - 1, static_cast<uint32_t>(dMetres / dBin));
}

void _track::MiddleOf(uint32_t nBin, double &dX, double &dY) const {
  double dFraction = 0.5;
  if (dLength > 0) {
    const double dFrom = nBin * dBin;
    const double dTo = std::min(dLength, dFrom + dBin);
    dFraction = (dFrom + dTo) / 2 / dLength;
  }
  dX = dStartX + dFraction * (dStopX - dStartX);
  dY = dStartY + dFraction * (dStopY - dStartY);
}

_track MakeTrack(double dStartX, double dStartY, double dStopX, double dStopY, const _planmetric &metric,
                 double dBinMetres) {
  _track track;
  track.dStartX = dStartX;
  track.dStartY = dStartY;
  track.dStopX = dStopX;
  track.dStopY = dStopY;
  track.dLength = metric.Metres(dStopX - dStartX, dStopY - dStartY);
  track.dBin = dBinMetres;
  // A line a hair longer than a whole number of stretches gets no sliver of a bin.
  track.nBins = std::max(1U, static_cast<uint32_t>(std::ceil(track.dLength / dBinMetres - 1e-9)));
  return track;
}
