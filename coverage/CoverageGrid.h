#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

// A rectangle of cells: columns nLeft to nRight - 1, rows nTop to nBottom - 1.
struct _cellrect {
  int nLeft = 0;
  int nTop = 0;
  int nRight = 0;
  int nBottom = 0;
  bool operator==(const _cellrect &) const = default;
};

// The grid of square cells over the plan, from its top-left corner: cell (column, row) covers
// plan pixels [column * cell width, (column + 1) * cell width) across and the same down. A cell's
// size in pixels need not be whole. Each cell holds the interpolated level (NaN where nobody
// walked within the radius), the distance in metres to the nearest bin that gave it, and how
// many bins did.
class CCoverageGrid {
public:
  CCoverageGrid(int nPlanWidth, int nPlanHeight, double dCellWidth, double dCellHeight);

  int Columns() const { return m_nColumns; }
  int Rows() const { return m_nRows; }
  double CellWidth() const { return m_dCellWidth; } // plan pixels
  double CellHeight() const { return m_dCellHeight; }
  // The middle of a cell, plan pixels.
  double CentreX(int nColumn) const { return (nColumn + 0.5) * m_dCellWidth; }
  double CentreY(int nRow) const { return (nRow + 0.5) * m_dCellHeight; }

  size_t Index(int nColumn, int nRow) const { return static_cast<size_t>(nRow) * m_nColumns + nColumn; }
  bool HasValue(int nColumn, int nRow) const { return !std::isnan(m_values[Index(nColumn, nRow)]); }
  float Value(int nColumn, int nRow) const { return m_values[Index(nColumn, nRow)]; }
  float Distance(int nColumn, int nRow) const { return m_distances[Index(nColumn, nRow)]; }
  uint16_t BinCount(int nColumn, int nRow) const { return m_counts[Index(nColumn, nRow)]; }

  void Set(size_t nIndex, float fValue, float fDistance, uint16_t nBins) {
    m_values[nIndex] = fValue;
    m_distances[nIndex] = fDistance;
    m_counts[nIndex] = nBins;
  }

private:
  int m_nColumns = 0;
  int m_nRows = 0;
  double m_dCellWidth = 1;
  double m_dCellHeight = 1;
  std::vector<float> m_values;
  std::vector<float> m_distances;
  std::vector<uint16_t> m_counts;
};
