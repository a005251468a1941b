#include "coverage/CoverageSettings.h"

#include <cmath>
#include <cstdio>

namespace {

// A number as the settings' texts show it: no more digits than it has, "0.25", "3", "-75".
std::string Number(double dValue) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", dValue);
  return text;
}

bool Positive(double dValue) { return std::isfinite(dValue) && dValue > 0; }

} // namespace

std::string CoverageSettingsProblem(const _coveragesettings &s) {
  // The most cells or bands a setting may ask for, so that a slip of the finger cannot take the
  // machine's memory.
  constexpr double MIN_CELL_METRES = 0.01;
  constexpr double MAX_BANDS = 256;
  if (!Positive(s.dCellMetres) || s.dCellMetres < MIN_CELL_METRES) {
    return "the cell size must be at least 0.01 m, not " + Number(s.dCellMetres) + " m";
  }
  if (!Positive(s.dRadiusMetres)) {
    return "the radius must be more than 0 m, not " + Number(s.dRadiusMetres) + " m";
  }
  if (!Positive(s.dBinMetres)) {
    return "the bin length must be more than 0 m, not " + Number(s.dBinMetres) + " m";
  }
  if (!std::isfinite(s.dFadeMetres) || s.dFadeMetres < 0 || s.dFadeMetres > s.dRadiusMetres) {
    return "the fade must lie between 0 m and the radius (" + Number(s.dRadiusMetres) + " m), not " +
           Number(s.dFadeMetres) + " m";
  }
  if (!std::isfinite(s.dScaleLow) || !std::isfinite(s.dScaleHigh) || s.dScaleLow >= s.dScaleHigh) {
    return "the scale's low limit must be below its high limit, not " + Number(s.dScaleLow) + " to " +
           Number(s.dScaleHigh);
  }
  if (!Positive(s.dBandWidth) || (s.dScaleHigh - s.dScaleLow) / s.dBandWidth > MAX_BANDS) {
    return "the band width must be more than 0 and give at most 256 bands, not " + Number(s.dBandWidth);
  }
  if (!std::isfinite(s.dThreshold)) {
    return "the threshold must be a level number";
  }
  return "";
}

const char *CoverageMeanName(CoverageMean mean) { return mean == CoverageMean::power ? "power" : "arithmetic"; }

std::string CoverageSettingsText(const _coveragesettings &s) {
  return "cell " + Number(s.dCellMetres) + " m, radius " + Number(s.dRadiusMetres) + " m, bin " + Number(s.dBinMetres) +
         " m, fade " + Number(s.dFadeMetres) + " m, mean " + CoverageMeanName(s.mean) + ", scale " +
         Number(s.dScaleLow) + " to " + Number(s.dScaleHigh) + " by " + Number(s.dBandWidth) + ", threshold " +
         Number(s.dThreshold);
}
