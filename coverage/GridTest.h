#pragma once

#include "coverage/CoverageGrid.h"

#include <cstdint>
#include <string>
#include <vector>

// The grid test of a channel's coverage: the walked extent (the smallest rectangle of cells that
// holds every cell with a level) is cut into a number of rectangles as near to square as that
// number allows; a rectangle passes when enough of its cells that have a level reach the
// threshold, and one without any level fails; the channel passes when enough rectangles pass.
// Radio coverage inside buildings is commonly accepted on such grids, typically 20 per floor.

struct _gridsettings {
  int nRectangles = 20;     // how many rectangles the walked extent is cut into
  double dCellShare = 0.9;  // a rectangle passes when at least this share of its cells with a level reach it
  double dPassShare = 0.95; // the channel passes when at least this share of the rectangles pass
};

// Why the settings cannot be used ("the grid needs 1 to 1000 rectangles, not 0"), or "".
std::string GridSettingsProblem(const _gridsettings &settings);

// The columns and rows that cut an extent of nWidth x nHeight square cells into nRectangles
// rectangles closest to square: of the ways to write nRectangles as columns x rows, the one whose
// rectangles' sides differ least in proportion (the fewer columns when two are alike).
struct _gridshape {
  int nColumns = 1;
  int nRows = 1;
};
_gridshape GridShape(int nRectangles, int nWidth, int nHeight);

// One rectangle of the grid, in cells, and what its cells hold.
struct _gridrectangle {
  _cellrect cells;
  uint64_t nWithLevel = 0; // cells with a level
  uint64_t nReaching = 0;  // of them, at or above the threshold
  bool bPassed = false;

  // nReaching / nWithLevel, 0 when no cell has a level.
  double Share() const { return nWithLevel == 0 ? 0.0 : static_cast<double>(nReaching) / nWithLevel; }
};

struct _gridtest {
  bool bWalked = false; // some cell has a level; otherwise there is no extent and no rectangle
  _cellrect extent;
  _gridshape shape;
  std::vector<_gridrectangle> rectangles; // row by row from the top-left, left to right
  int nPassed = 0;
  bool bPassed = false;
};

// The grid test of grid against dThreshold. Rectangle edges fall on whole cells, spread as evenly
// as the extent's cells allow.
_gridtest RunGridTest(const CCoverageGrid &grid, double dThreshold, const _gridsettings &settings);
