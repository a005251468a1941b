#include "coverage/CoverageChannel.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

CCoverageChannel::CCoverageChannel(const _coveragesettings &settings, const _planmetric &metric, int nPlanWidth,
                                   int nPlanHeight)
    : m_settings(settings), m_metric(metric),
      m_grid(nPlanWidth, nPlanHeight, settings.dCellMetres / metric.MetresPerPixelX(),
             settings.dCellMetres / metric.MetresPerPixelY()) {
  m_dReachX = metric.ReachX(settings.dRadiusMetres);
  m_dReachY = metric.ReachY(settings.dRadiusMetres);
  // Tiles wider than the radius: a bin reaches into few of them.
  m_nTileCells = std::max(32, static_cast<int>(std::ceil(2 * settings.dRadiusMetres / settings.dCellMetres)));
  m_nTilesX = std::max(1, (m_grid.Columns() + m_nTileCells - 1) / m_nTileCells);
  m_nTilesY = std::max(1, (m_grid.Rows() + m_nTileCells - 1) / m_nTileCells);
  m_nReachTilesX = static_cast<int>(std::ceil(m_dReachX / (m_nTileCells * m_grid.CellWidth())));
  m_nReachTilesY = static_cast<int>(std::ceil(m_dReachY / (m_nTileCells * m_grid.CellHeight())));
  m_tileBins.resize(static_cast<size_t>(m_nTilesX) * m_nTilesY);
  m_tileMarked.assign(m_tileBins.size(), _cellrect{});
  const size_t nTileSize = static_cast<size_t>(m_nTileCells) * m_nTileCells;
  m_sumWeights.resize(nTileSize);
  m_sumWeighted.resize(nTileSize);
  m_nearest.resize(nTileSize);
  m_binCounts.resize(nTileSize);
}

size_t CCoverageChannel::TileOf(double dX, double dY) const {
  const auto tile = [](double d, double dTile, int nTiles) {
    return static_cast<size_t>(std::clamp(std::floor(d / dTile), 0.0, static_cast<double>(nTiles - 1)));
  };
  return tile(dY, m_nTileCells * m_grid.CellHeight(), m_nTilesY) * m_nTilesX +
         tile(dX, m_nTileCells * m_grid.CellWidth(), m_nTilesX);
}

std::vector<uint32_t> &CCoverageChannel::BinsOf(uint32_t nSegment) {
  if (m_pLastBins == nullptr || m_nLastSegment != nSegment) {
    m_pLastBins = &m_segments[nSegment];
    m_nLastSegment = nSegment;
  }
  return *m_pLastBins;
}

void CCoverageChannel::StartSegment(uint32_t nSegment, const _track &track) {
  RemoveSegment(nSegment);
  std::vector<uint32_t> &ids = BinsOf(nSegment);
  for (uint32_t i = 0; i < track.nBins; ++i) {
    _coveragebin bin;
    bin.nSegment = nSegment;
    track.MiddleOf(i, bin.dX, bin.dY);
    uint32_t nId = 0;
    if (m_freeBins.empty()) {
      nId = static_cast<uint32_t>(m_bins.size());
      m_bins.push_back(bin);
    } else {
      nId = m_freeBins.back();
      m_freeBins.pop_back();
      m_bins[nId] = bin;
    }
    ids.push_back(nId);
    m_tileBins[TileOf(bin.dX, bin.dY)].push_back(nId);
  }
}

_coveragebin &CCoverageChannel::ChangedBin(uint32_t nSegment, uint32_t nBin) {
  const uint32_t nId = BinsOf(nSegment)[nBin];
  _coveragebin &bin = m_bins[nId];
  if (!bin.bDirty) {
    bin.bDirty = true;
    m_dirtyBins.push_back(nId);
  }
  return bin;
}

void CCoverageChannel::AddLevel(uint32_t nSegment, uint32_t nBin, int16_t nLevel) {
  ChangedBin(nSegment, nBin).Add(nLevel);
}

void CCoverageChannel::AddLevels(uint32_t nSegment, uint32_t nBin, const _coveragebin &levels) {
  ChangedBin(nSegment, nBin).Merge(levels);
}

void CCoverageChannel::RemoveSegment(uint32_t nSegment) {
  const auto it = m_segments.find(nSegment);
  if (it == m_segments.end()) {
    return;
  }
  for (const uint32_t nId : it->second) {
    _coveragebin &bin = m_bins[nId];
    if (bin.nCount > 0) {
      MarkAround(bin.dX, bin.dY);
    }
    auto &tile = m_tileBins[TileOf(bin.dX, bin.dY)];
    tile.erase(std::find(tile.begin(), tile.end(), nId));
    bin = _coveragebin{}; // no level, not dirty: a dirty list that still names it passes it over
    m_freeBins.push_back(nId);
  }
  m_segments.erase(it);
  m_pLastBins = nullptr;
}

void CCoverageChannel::ExcludeSegment(uint32_t nSegment, bool bExcluded) {
  const auto it = m_segments.find(nSegment);
  if (it == m_segments.end()) {
    return;
  }
  for (const uint32_t nId : it->second) {
    _coveragebin &bin = m_bins[nId];
    if (bin.bExcluded != bExcluded && bin.nCount > 0) {
      MarkAround(bin.dX, bin.dY);
    }
    bin.bExcluded = bExcluded;
  }
}

_cellrect CCoverageChannel::TileRect(size_t nTile) const {
  const int nTileX = static_cast<int>(nTile % m_nTilesX);
  const int nTileY = static_cast<int>(nTile / m_nTilesX);
  return {nTileX * m_nTileCells, nTileY * m_nTileCells, std::min(m_grid.Columns(), (nTileX + 1) * m_nTileCells),
          std::min(m_grid.Rows(), (nTileY + 1) * m_nTileCells)};
}

void CCoverageChannel::MarkAround(double dX, double dY) {
  // The cells whose middles lie in the box around the circle of radius R.
  const _cellrect box{
      std::max(0, static_cast<int>(std::ceil((dX - m_dReachX) / m_grid.CellWidth() - 0.5))),
      std::max(0, static_cast<int>(std::ceil((dY - m_dReachY) / m_grid.CellHeight() - 0.5))),
      std::min(m_grid.Columns(), static_cast<int>(std::floor((dX + m_dReachX) / m_grid.CellWidth() - 0.5)) + 1),
      std::min(m_grid.Rows(), static_cast<int>(std::floor((dY + m_dReachY) / m_grid.CellHeight() - 0.5)) + 1)};
  if (box.nLeft >= box.nRight || box.nTop >= box.nBottom) {
    return;
  }
  for (int ty = box.nTop / m_nTileCells; ty <= (box.nBottom - 1) / m_nTileCells; ++ty) {
    for (int tx = box.nLeft / m_nTileCells; tx <= (box.nRight - 1) / m_nTileCells; ++tx) {
      const size_t nTile = static_cast<size_t>(ty) * m_nTilesX + tx;
      const _cellrect tile = TileRect(nTile);
      const _cellrect part{std::max(box.nLeft, tile.nLeft), std::max(box.nTop, tile.nTop),
                           std::min(box.nRight, tile.nRight), std::min(box.nBottom, tile.nBottom)};
      _cellrect &marked = m_tileMarked[nTile];
      if (marked.nLeft >= marked.nRight) {
        marked = part;
        m_markedTiles.push_back(nTile);
      } else {
        marked = {std::min(marked.nLeft, part.nLeft), std::min(marked.nTop, part.nTop),
                  std::max(marked.nRight, part.nRight), std::max(marked.nBottom, part.nBottom)};
      }
    }
  }
}

void CCoverageChannel::Update() {
  for (const uint32_t nId : m_dirtyBins) {
    _coveragebin &bin = m_bins[nId];
    if (bin.bDirty) {
      bin.bDirty = false;
      MarkAround(bin.dX, bin.dY);
    }
  }
  m_dirtyBins.clear();
  std::sort(m_markedTiles.begin(), m_markedTiles.end());
  for (const size_t nTile : m_markedTiles) {
    const _cellrect rect = m_tileMarked[nTile];
    m_tileMarked[nTile] = _cellrect{};
    Recompute(nTile, rect);
    // The parts of tiles side by side in a row, of the same rows, make one rectangle.
    if (!m_changes.empty() && m_changes.back().nTop == rect.nTop && m_changes.back().nBottom == rect.nBottom &&
        m_changes.back().nRight == rect.nLeft) {
      m_changes.back().nRight = rect.nRight;
    } else {
      m_changes.push_back(rect);
    }
  }
  m_markedTiles.clear();
}

std::vector<_cellrect> CCoverageChannel::TakeChanges() {
  std::vector<_cellrect> changes;
  changes.swap(m_changes);
  return changes;
}

void CCoverageChannel::Recompute(size_t nTile, const _cellrect &rect) {
  const _cellrect tile = TileRect(nTile);
  for (int r = rect.nTop; r < rect.nBottom; ++r) {
    const size_t k = static_cast<size_t>(r - tile.nTop) * m_nTileCells + (rect.nLeft - tile.nLeft);
    const auto nWidth = static_cast<size_t>(rect.nRight - rect.nLeft);
    std::fill_n(m_sumWeights.begin() + static_cast<std::ptrdiff_t>(k), nWidth, 0.0);
    std::fill_n(m_sumWeighted.begin() + static_cast<std::ptrdiff_t>(k), nWidth, 0.0);
    std::fill_n(m_nearest.begin() + static_cast<std::ptrdiff_t>(k), nWidth, std::numeric_limits<double>::infinity());
    std::fill_n(m_binCounts.begin() + static_cast<std::ptrdiff_t>(k), nWidth, 0U);
  }
  const int nTileX = static_cast<int>(nTile % m_nTilesX);
  const int nTileY = static_cast<int>(nTile / m_nTilesX);
  for (int ty = std::max(0, nTileY - m_nReachTilesY); ty <= std::min(m_nTilesY - 1, nTileY + m_nReachTilesY); ++ty) {
    for (int tx = std::max(0, nTileX - m_nReachTilesX); tx <= std::min(m_nTilesX - 1, nTileX + m_nReachTilesX); ++tx) {
      for (const uint32_t nId : m_tileBins[static_cast<size_t>(ty) * m_nTilesX + tx]) {
        const _coveragebin &bin = m_bins[nId];
        if (bin.nCount > 0 && !bin.bExcluded) {
          Scatter(bin, rect, tile);
        }
      }
    }
  }
  for (int r = rect.nTop; r < rect.nBottom; ++r) {
    for (int c = rect.nLeft; c < rect.nRight; ++c) {
      const size_t k = static_cast<size_t>(r - tile.nTop) * m_nTileCells + (c - tile.nLeft);
      if (m_binCounts[k] == 0) {
        m_grid.Set(m_grid.Index(c, r), std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::quiet_NaN(),
                   0);
      } else {
        m_grid.Set(m_grid.Index(c, r), static_cast<float>(m_sumWeighted[k] / m_sumWeights[k]),
                   static_cast<float>(std::sqrt(m_nearest[k])),
                   static_cast<uint16_t>(std::min<uint32_t>(m_binCounts[k], UINT16_MAX)));
      }
    }
  }
}

void CCoverageChannel::Scatter(const _coveragebin &bin, const _cellrect &rect, const _cellrect &tile) {
  // The rows whose middles lie within the box the bin reaches.
  const double dCellWidth = m_grid.CellWidth();
  const double dCellHeight = m_grid.CellHeight();
  const int nR0 = std::max(rect.nTop, static_cast<int>(std::ceil((bin.dY - m_dReachY) / dCellHeight - 0.5)));
  const int nR1 = std::min(rect.nBottom - 1, static_cast<int>(std::floor((bin.dY + m_dReachY) / dCellHeight - 0.5)));
  const double dLevel = bin.Level(m_settings.mean);
  const double dRadius2 = m_settings.dRadiusMetres * m_settings.dRadiusMetres;
  // A bin's level stands for its whole stretch: a cell within half a bin of its middle weighs it as
  // if it were half a bin away, so that no single bin makes a spot of its own colour and no weight
  // is infinite.
  const double dNearest2 = m_settings.dBinMetres * m_settings.dBinMetres / 4;
  // Copies the compiler need not read again after every store to the sums.
  const double g11 = m_metric.dG11;
  const double g12 = m_metric.dG12;
  const double g22 = m_metric.dG22;
  const double dPerG11 = 1 / g11;
  const double dPerCell = 1 / dCellWidth;
  double *pWeights = m_sumWeights.data();
  double *pWeighted = m_sumWeighted.data();
  double *pNearest = m_nearest.data();
  uint32_t *pCounts = m_binCounts.data();
  for (int r = nR0; r <= nR1; ++r) {
    const double dy = (r + 0.5) * dCellHeight - bin.dY;
    // In this row the circle spans the steps dx with G11 dx^2 + 2 G12 dy dx + G22 dy^2 <= R^2.
    const double dB = g12 * dy;
    const double dRest = g22 * dy * dy;
    const double dDisc = dB * dB - g11 * (dRest - dRadius2);
    if (dDisc < 0) {
      continue;
    }
    const double dRoot = std::sqrt(dDisc);
    const int nC0 =
        std::max(rect.nLeft, static_cast<int>(std::ceil((bin.dX + (-dB - dRoot) * dPerG11) * dPerCell - 0.5)));
    const int nC1 =
        std::min(rect.nRight - 1, static_cast<int>(std::floor((bin.dX + (-dB + dRoot) * dPerG11) * dPerCell - 0.5)));
    const std::ptrdiff_t nRow = static_cast<std::ptrdiff_t>(r - tile.nTop) * m_nTileCells - tile.nLeft;
    for (int c = nC0; c <= nC1; ++c) {
      const double dx = (c + 0.5) * dCellWidth - bin.dX;
      const double d2 = g11 * dx * dx + 2 * dB * dx + dRest;
      // Without a branch: a cell the row's span took in by rounding at the circle's edge gets
      // nothing.
      const bool bIn = d2 <= dRadius2;
      const double w = bIn ? 1.0 / std::max(d2, dNearest2) : 0.0;
      const std::ptrdiff_t k = nRow + c;
      pWeights[k] += w;
      pWeighted[k] += w * dLevel;
      pNearest[k] = std::min(pNearest[k], bIn ? d2 : pNearest[k]);
      pCounts[k] += bIn ? 1U : 0U;
    }
  }
}

_coveragefigures CCoverageChannel::Figures() const {
  _coveragefigures figures;
  for (int r = 0; r < m_grid.Rows(); ++r) {
    for (int c = 0; c < m_grid.Columns(); ++c) {
      if (m_grid.HasValue(c, r)) {
        ++figures.nCells;
        figures.nAtOrAbove += m_grid.Value(c, r) >= m_settings.dThreshold ? 1 : 0;
      }
    }
  }
  figures.dAreaSquareMetres = static_cast<double>(figures.nCells) * m_settings.dCellMetres * m_settings.dCellMetres;
  figures.dShare = figures.nCells == 0 ? 0.0 : static_cast<double>(figures.nAtOrAbove) / figures.nCells;
  return figures;
}

std::vector<_coveragebin> CCoverageChannel::SegmentBins(uint32_t nSegment) const {
  std::vector<_coveragebin> bins;
  if (const auto it = m_segments.find(nSegment); it != m_segments.end()) {
    for (const uint32_t nId : it->second) {
      bins.push_back(m_bins[nId]);
    }
  }
  return bins;
}
