#include "coverage/ColourScale.h"

#include "link/ReceiverConversions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace {

// The ramp the bands' colours are taken from, weakest first.
constexpr std::array<_rgb, 6> RAMP{{
    {128, 0, 38},    // dark red
    {227, 26, 28},   // red
    {253, 141, 60},  // orange
    {254, 217, 118}, // yellow
    {65, 171, 93},   // green
    {33, 102, 172},  // blue
}};

std::string Number(double dValue) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", dValue);
  return text;
}

uint8_t Mix(uint8_t a, uint8_t b, double t) { return static_cast<uint8_t>(std::lround(a + (b - a) * t)); }

} // namespace

int CoverageBandCount(const _coveragesettings &s) {
  // A span that is a whole number of bands up to rounding is not given an extra sliver of a band.
  const double dBands = (s.dScaleHigh - s.dScaleLow) / s.dBandWidth;
  return std::max(1, static_cast<int>(std::ceil(dBands - 1e-9)));
}

int CoverageBandOf(double dLevel, const _coveragesettings &s) {
  const int nBands = CoverageBandCount(s);
  const double dBand = std::floor((dLevel - s.dScaleLow) / s.dBandWidth);
  return static_cast<int>(std::clamp(dBand, 0.0, static_cast<double>(nBands - 1)));
}

_rgb CoverageBandColour(int nBand, int nBands) {
  const double dAt = nBands <= 1 ? 0.0 : static_cast<double>(nBand) / (nBands - 1) * (RAMP.size() - 1);
  const auto nLeft = std::min(static_cast<size_t>(dAt), RAMP.size() - 2);
  const double t = dAt - static_cast<double>(nLeft);
  const _rgb &a = RAMP[nLeft];
  const _rgb &b = RAMP[nLeft + 1];
  return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t)};
}

double CoverageCellAlpha(double dMetres, const _coveragesettings &s) {
  const double dFadeFrom = s.dRadiusMetres - s.dFadeMetres;
  if (dMetres <= dFadeFrom) {
    return COVERAGE_OVERLAY_OPACITY;
  }
  return COVERAGE_OVERLAY_OPACITY * std::clamp((s.dRadiusMetres - dMetres) / s.dFadeMetres, 0.0, 1.0);
}

std::vector<_legendband> CoverageLegendBands(const _coveragesettings &s) {
  const int nBands = CoverageBandCount(s);
  std::vector<_legendband> bands;
  for (int i = nBands - 1; i >= 0; --i) {
    _legendband band;
    band.dLow = s.dScaleLow + i * s.dBandWidth;
    band.dHigh = std::min(s.dScaleHigh, band.dLow + s.dBandWidth);
    band.colour = CoverageBandColour(i, nBands);
    if (nBands == 1) {
      band.strLabel = "all levels";
    } else if (i == 0) {
      band.strLabel = "below " + Number(band.dHigh);
    } else if (i == nBands - 1) {
      band.strLabel = Number(band.dLow) + " and above";
    } else {
      band.strLabel = Number(band.dLow) + " to " + Number(band.dHigh);
    }
    bands.push_back(band);
  }
  return bands;
}

std::vector<std::string> CoverageFigureLines(const _coveragefigures &figures, const _coveragesettings &s) {
  char area[48];
  std::snprintf(area, sizeof area, "walked %.1f m\u00b2", figures.dAreaSquareMetres);
  char share[64];
  std::snprintf(share, sizeof share, "at or above %s: %.1f %%", Number(s.dThreshold).c_str(), 100.0 * figures.dShare);
  return {area, share};
}

std::string CoverageChannelName(uint16_t nChannel, uint32_t nFrequency, bool bCapital) {
  std::string name = (bCapital ? "Channel " : "channel ") + std::to_string(nChannel);
  if (nFrequency == 0) {
    return name;
  }
  char text[48];
  std::snprintf(text, sizeof text, " (%.4f MHz)", FrequencyCodeToMHz(nFrequency));
  return name + text;
}

std::string CoverageFiguresLine(uint16_t nChannel, uint32_t nFrequency, const _coveragefigures &figures,
                                const _coveragesettings &s, uint64_t nLevels) {
  char text[160];
  std::snprintf(text, sizeof text,
                ": walked %.1f m\u00b2 (%llu cells of %g m), %.1f %% of it at or above %g; %llu levels",
                figures.dAreaSquareMetres, static_cast<unsigned long long>(figures.nCells), s.dCellMetres,
                100 * figures.dShare, s.dThreshold, static_cast<unsigned long long>(nLevels));
  return CoverageChannelName(nChannel, nFrequency) + text;
}

_legendlayout CoverageLegendLayout(size_t nBands, size_t nFigureLines, double dLineHeight, double dLabelWidth,
                                   double dTextWidth) {
  const double dPadding = std::round(dLineHeight / 2);
  const double dGap = std::round(dLineHeight / 4); // between a swatch and its label, between parts
  _legendlayout layout;
  layout.dTextX = dPadding;
  layout.dSwatchWidth = dLineHeight;
  layout.dSwatchHeight = std::round(dLineHeight * 0.8);
  layout.dLabelX = dPadding + dLineHeight + dGap;
  layout.dTitleY = dPadding;
  double y = dPadding + dLineHeight + dGap;
  for (size_t i = 0; i < nBands; ++i) {
    layout.bandY.push_back(y);
    y += dLineHeight;
  }
  y += dGap;
  for (size_t i = 0; i < nFigureLines; ++i) {
    layout.figureY.push_back(y);
    y += dLineHeight;
  }
  layout.dHeight = y + dPadding;
  layout.dWidth = std::max(layout.dLabelX + dLabelWidth, dPadding + dTextWidth) + dPadding;
  return layout;
}
