#include "coverage/ProfileAxes.h"

#include <cmath>
#include <cstdio>

double TickStep(double dSpan, int nMaxTicks) {
  if (!(dSpan > 0) || nMaxTicks < 1 || !std::isfinite(dSpan)) {
    return 1;
  }
  const double dRough = dSpan / nMaxTicks;
  const double dPower = std::pow(10.0, std::floor(std::log10(dRough)));
  for (const double dFactor : {1.0, 2.0, 5.0, 10.0}) {
    if (dFactor * dPower >= dRough * (1 - 1e-9)) {
      return dFactor * dPower;
    }
  }
  return 10 * dPower;
}

std::vector<double> AxisTicks(const _axisrange &range, int nMaxTicks) {
  const double dStep = TickStep(range.dTo - range.dFrom, nMaxTicks);
  std::vector<double> ticks;
  const double dSlack = dStep * 1e-9;
  for (double dTick = std::ceil((range.dFrom - dSlack) / dStep) * dStep; dTick <= range.dTo + dSlack; dTick += dStep) {
    ticks.push_back(std::abs(dTick) < dSlack ? 0.0 : dTick); // no "-0"
  }
  return ticks;
}

_axisrange LevelRange(double dLow, double dHigh, int nMaxTicks, double dMinSpan) {
  if (dHigh - dLow < dMinSpan) {
    const double dMiddle = (dLow + dHigh) / 2;
    dLow = dMiddle - dMinSpan / 2;
    dHigh = dMiddle + dMinSpan / 2;
  }
  const double dStep = TickStep(dHigh - dLow, nMaxTicks);
  return {std::floor(dLow / dStep) * dStep, std::ceil(dHigh / dStep) * dStep};
}

double AxisPixel(double dValue, const _axisrange &range, double dPixelFrom, double dPixelTo) {
  const double dSpan = range.dTo - range.dFrom;
  if (!(dSpan != 0)) {
    return dPixelFrom;
  }
  return dPixelFrom + (dValue - range.dFrom) / dSpan * (dPixelTo - dPixelFrom);
}

std::string TickLabel(double dValue, double dStep) {
  const int nDecimals = dStep >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(dStep) - 1e-9));
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", nDecimals, dValue);
  std::string label = text;
  if (label.find('.') != std::string::npos) {
    label.erase(label.find_last_not_of('0') + 1); // "1.0" is "1", "0.50" is "0.5"
    if (label.back() == '.') {
      label.pop_back();
    }
  }
  return label == "-0" ? "0" : label;
}
