#pragma once

#include <string>

// How the levels of a channel are averaged. The receiver's levels carry no unit: the arithmetic
// mean of the level numbers is the default. The power mean takes the levels as decibels,
// averages 10^(L/10) and turns the mean back into a level: strong levels weigh more.
enum class CoverageMean { arithmetic, power };

// The settings of the coverage heatmap. Lengths are metres on the plan; scale limits, band width
// and threshold are level numbers.
struct _coveragesettings {
  double dCellMetres = 0.25;  // side of the square cells of the grid
  double dRadiusMetres = 3.0; // R: only bins within R of a cell give it its value
  double dBinMetres = 0.5;    // length of a bin along the walked line
  double dFadeMetres = 1.0;   // the overlay fades out over this last stretch before R
  CoverageMean mean = CoverageMean::arithmetic;
  double dScaleLow = -110.0; // the colour scale: fixed, not stretched to a survey's own range
  double dScaleHigh = -30.0;
  double dBandWidth = 10.0;
  double dThreshold = -75.0; // coverage: the share of the walked area at or above this level
};

// Why settings cannot be used ("the cell size must be more than 0 m"), or "" when they can.
std::string CoverageSettingsProblem(const _coveragesettings &settings);

// "arithmetic" or "power".
const char *CoverageMeanName(CoverageMean mean);

// One line naming every setting, as files that carry the settings state them:
// "cell 0.25 m, radius 3 m, bin 0.5 m, fade 1 m, mean arithmetic, scale -110 to -30 by 10,
// threshold -75".
std::string CoverageSettingsText(const _coveragesettings &settings);
