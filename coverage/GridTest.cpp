#include "coverage/GridTest.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int GRID_MAX_RECTANGLES = 1000;

// Whether nPart of nWhole reach dShare, without rounding a count that reaches it exactly below it
// (0.9 x 10 is not quite 9 in binary).
bool Reaches(uint64_t nPart, uint64_t nWhole, double dShare) {
  return static_cast<double>(nPart) >= dShare * static_cast<double>(nWhole) * (1 - 1e-12);
}

bool IsShare(double dValue) { return std::isfinite(dValue) && dValue > 0 && dValue <= 1; }

std::string Number(double dValue) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", dValue);
  return text;
}

// The smallest rectangle of cells holding every cell with a level; empty when none has one.
_cellrect WalkedExtent(const CCoverageGrid &grid) {
  _cellrect extent{grid.Columns(), grid.Rows(), 0, 0};
  for (int r = 0; r < grid.Rows(); ++r) {
    for (int c = 0; c < grid.Columns(); ++c) {
      if (grid.HasValue(c, r)) {
        extent.nLeft = std::min(extent.nLeft, c);
        extent.nTop = std::min(extent.nTop, r);
        extent.nRight = std::max(extent.nRight, c + 1);
        extent.nBottom = std::max(extent.nBottom, r + 1);
      }
    }
  }
  return extent;
}

// The edge k of n between nFrom and nTo, on a whole cell.
int Edge(int nFrom, int nTo, int k, int n) {
  return nFrom + static_cast<int>(std::lround(static_cast<double>(nTo - nFrom) * k / n));
}

_gridrectangle Count(const CCoverageGrid &grid, const _cellrect &cells, double dThreshold) {
  _gridrectangle rectangle;
  rectangle.cells = cells;
  for (int r = cells.nTop; r < cells.nBottom; ++r) {
    for (int c = cells.nLeft; c < cells.nRight; ++c) {
      if (grid.HasValue(c, r)) {
        ++rectangle.nWithLevel;
        rectangle.nReaching += grid.Value(c, r) >= dThreshold ? 1 : 0;
      }
    }
  }
  return rectangle;
}

} // namespace

std::string GridSettingsProblem(const _gridsettings &s) {
  if (s.nRectangles < 1 || s.nRectangles > GRID_MAX_RECTANGLES) {
    return "the grid needs 1 to " + std::to_string(GRID_MAX_RECTANGLES) + " rectangles, not " +
           std::to_string(s.nRectangles);
  }
  if (!IsShare(s.dCellShare)) {
    return "the share of a rectangle's cells that must reach the threshold must be more than 0 % and at most "
           "100 %, not " +
           Number(100 * s.dCellShare) + " %";
  }
  if (!IsShare(s.dPassShare)) {
    return "the share of rectangles that must pass must be more than 0 % and at most 100 %, not " +
           Number(100 * s.dPassShare) + " %";
  }
  return "";
}

_gridshape GridShape(int nRectangles, int nWidth, int nHeight) {
  _gridshape best{nRectangles, 1};
  double dBest = INFINITY;
  for (int nColumns = 1; nColumns <= nRectangles; ++nColumns) {
    if (nRectangles % nColumns != 0) {
      continue;
    }
    const int nRows = nRectangles / nColumns;
    // How far from square a rectangle is: the logarithm of its sides' proportion, either way.
    const double dOff = std::abs(std::log((static_cast<double>(std::max(nWidth, 1)) / nColumns) /
                                          (static_cast<double>(std::max(nHeight, 1)) / nRows)));
    if (dOff < dBest - 1e-12) {
      dBest = dOff;
      best = {nColumns, nRows};
    }
  }
  return best;
}

_gridtest RunGridTest(const CCoverageGrid &grid, double dThreshold, const _gridsettings &settings) {
  _gridtest test;
  test.extent = WalkedExtent(grid);
  test.bWalked = test.extent.nRight > test.extent.nLeft;
  if (!test.bWalked) {
    test.extent = {};
    return test;
  }
  const _cellrect &e = test.extent;
  test.shape = GridShape(settings.nRectangles, e.nRight - e.nLeft, e.nBottom - e.nTop);
  for (int row = 0; row < test.shape.nRows; ++row) {
    for (int column = 0; column < test.shape.nColumns; ++column) {
      const _cellrect cells{
          Edge(e.nLeft, e.nRight, column, test.shape.nColumns), Edge(e.nTop, e.nBottom, row, test.shape.nRows),
          Edge(e.nLeft, e.nRight, column + 1, test.shape.nColumns), Edge(e.nTop, e.nBottom, row + 1, test.shape.nRows)};
      _gridrectangle rectangle = Count(grid, cells, dThreshold);
      rectangle.bPassed =
          rectangle.nWithLevel > 0 && Reaches(rectangle.nReaching, rectangle.nWithLevel, settings.dCellShare);
      test.nPassed += rectangle.bPassed ? 1 : 0;
      test.rectangles.push_back(rectangle);
    }
  }
  test.bPassed = Reaches(static_cast<uint64_t>(test.nPassed), test.rectangles.size(), settings.dPassShare);
  return test;
}
