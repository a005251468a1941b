#pragma once

#include "coverage/CoverageSettings.h"

#include <cstdint>
#include <string>
#include <vector>

// The fixed colour scale of the coverage heatmap: bands of the set width from the low limit to
// the high limit, weak levels red, strong ones blue, the same for every survey so that two of
// them compare. A level below the low limit takes the lowest band, one at or above the high limit
// the highest.

struct _rgb {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  bool operator==(const _rgb &) const = default;
};

// The number of bands: the scale's span over the band width, a last narrower band included.
int CoverageBandCount(const _coveragesettings &settings);
// The band (0 = lowest) a level falls into.
int CoverageBandOf(double dLevel, const _coveragesettings &settings);
// The colour of band nBand of nBands: taken along a fixed ramp from dark red through orange,
// yellow and green to blue.
_rgb CoverageBandColour(int nBand, int nBands);

// How opaque the overlay is over the plan where it is fully shown: the plan stays readable under it.
constexpr double COVERAGE_OVERLAY_OPACITY = 0.65;

// The opacity (0 to 1) of a cell whose nearest bin is dMetres away: COVERAGE_OVERLAY_OPACITY up to
// the fade, falling evenly to 0 at the radius.
double CoverageCellAlpha(double dMetres, const _coveragesettings &settings);

// One row of the legend: a band, its limits and its label ("-80 to -70"; the lowest band reads
// "below -100", the highest "-40 and above").
struct _legendband {
  double dLow = 0;
  double dHigh = 0;
  _rgb colour;
  std::string strLabel;
};

// The legend's bands, the highest first as a legend lists them.
std::vector<_legendband> CoverageLegendBands(const _coveragesettings &settings);

// The coverage figures of a channel: the walked area (cells with a value) and the share of it at
// or above the threshold.
struct _coveragefigures {
  uint64_t nCells = 0;     // cells with a value
  uint64_t nAtOrAbove = 0; // of them, at or above the threshold
  double dAreaSquareMetres = 0;
  double dShare = 0; // nAtOrAbove / nCells, 0 when nothing was walked
};

// The lines the legend shows under its bands: "walked 123.4 m²", "at or above -75: 81.2 %".
std::vector<std::string> CoverageFigureLines(const _coveragefigures &figures, const _coveragesettings &settings);

// The figures of a channel in one line, as `tvdtool coverage --stats` and the survey report give
// them: "channel 1 (425.0000 MHz): walked 1081.2 m² (17300 cells of 0.25 m), 100.0 % of it at or
// above -75; 8000 levels". The frequency is left out when nFrequency (a frequency code) is 0.
std::string CoverageFiguresLine(uint16_t nChannel, uint32_t nFrequency, const _coveragefigures &figures,
                                const _coveragesettings &settings, uint64_t nLevels);
// "channel 1 (425.0000 MHz)", or "Channel 1 ..." with bCapital; without the frequency when
// nFrequency is 0.
std::string CoverageChannelName(uint16_t nChannel, uint32_t nFrequency, bool bCapital = false);

// Where the legend's parts go, in pixels from its top-left corner: a title line, one row per band
// (a swatch beside its label) and the figure lines, all within a padding of half a line. Text
// lines are dLineHeight high; dLabelWidth is the widest band label, dTextWidth the widest of the
// title and the figure lines.
struct _legendlayout {
  double dWidth = 0;
  double dHeight = 0;
  double dTextX = 0;           // left of the title and the figure lines, and of the swatches
  double dTitleY = 0;          // top of the title line
  std::vector<double> bandY;   // top of each band's row, the highest band first
  std::vector<double> figureY; // top of each figure line
  double dSwatchWidth = 0;     // as wide as a line is high, a little less high
  double dSwatchHeight = 0;
  double dLabelX = 0; // left of the bands' labels
};

_legendlayout CoverageLegendLayout(size_t nBands, size_t nFigureLines, double dLineHeight, double dLabelWidth,
                                   double dTextWidth);
