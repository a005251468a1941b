#pragma once

#include <string>
#include <vector>

// The axes of a level profile (metres along the segment across, levels up), as pure numbers: the
// chart that draws them only maps and paints.

struct _axisrange {
  double dFrom = 0;
  double dTo = 1;
};

// The step between ticks: 1, 2 or 5 times a power of ten, the smallest that puts at most
// nMaxTicks steps over dSpan (a span of 0 or less, or nMaxTicks under 1, gives 1).
double TickStep(double dSpan, int nMaxTicks);

// The ticks of range: every multiple of TickStep(range's span, nMaxTicks) within it, ascending.
std::vector<double> AxisTicks(const _axisrange &range, int nMaxTicks);

// The levels shown: nLow to nHigh widened outwards to whole steps of nMaxTicks ticks, and at least
// dMinSpan high (centred on the levels).
_axisrange LevelRange(double dLow, double dHigh, int nMaxTicks, double dMinSpan = 10);

// Where dValue lies on an axis that shows range from dPixelFrom (at range.dFrom) to dPixelTo.
double AxisPixel(double dValue, const _axisrange &range, double dPixelFrom, double dPixelTo);

// A tick's label with as many decimals as the step needs and no trailing zeros: "0", "2.5", "-80".
std::string TickLabel(double dValue, double dStep);
