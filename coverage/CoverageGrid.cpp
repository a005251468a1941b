#include "coverage/CoverageGrid.h"

#include <limits>

CCoverageGrid::CCoverageGrid(int nPlanWidth, int nPlanHeight, double dCellWidth, double dCellHeight)
    : m_nColumns(static_cast<int>(std::ceil(nPlanWidth / dCellWidth))),
      m_nRows(static_cast<int>(std::ceil(nPlanHeight / dCellHeight))), m_dCellWidth(dCellWidth),
      m_dCellHeight(dCellHeight) {
  const size_t nCells = static_cast<size_t>(m_nColumns) * static_cast<size_t>(m_nRows);
  m_values.assign(nCells, std::numeric_limits<float>::quiet_NaN());
  m_distances.assign(nCells, std::numeric_limits<float>::quiet_NaN());
  m_counts.assign(nCells, 0);
}
