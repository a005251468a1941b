#pragma once

#include "coverage/ColourScale.h"
#include "coverage/CoverageGrid.h"
#include "coverage/CoverageSettings.h"
#include "coverage/PlanMetric.h"
#include "coverage/TrackBins.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

// The coverage of one channel: the bins of every segment walked and the grid of cells they give.
//
// A cell's level is the inverse-distance-weighted mean (power 2) of the levels of the bins within
// the radius R of its middle; a cell with no bin within R has none. Bins are kept in square tiles
// of cells at least R wide, so a cell's bins are found in the tiles around it. Levels that come
// mark their bins; Update recomputes only the cells within R of marked bins (the box around the
// circle), so a second more of walking costs the cells around it, not the survey. Memory grows
// with the bins and the grid, never with the levels.
class CCoverageChannel {
public:
  CCoverageChannel(const _coveragesettings &settings, const _planmetric &metric, int nPlanWidth, int nPlanHeight);

  // Gives segment nSegment empty bins along track, in place of any it had.
  void StartSegment(uint32_t nSegment, const _track &track);
  // Adds a level, or the levels of a bin of the same stretch, to bin nBin (< track.nBins) of a
  // started segment.
  void AddLevel(uint32_t nSegment, uint32_t nBin, int16_t nLevel);
  void AddLevels(uint32_t nSegment, uint32_t nBin, const _coveragebin &levels);
  // Takes a segment's bins away for good, or out and back again: a segment taken out keeps its
  // bins but gives no cell its level.
  void RemoveSegment(uint32_t nSegment);
  void ExcludeSegment(uint32_t nSegment, bool bExcluded);
  bool HasSegment(uint32_t nSegment) const { return m_segments.count(nSegment) != 0; }

  // Recomputes the cells within R of every bin that changed since the last update.
  void Update();
  // The cells recomputed since the last call, as rectangles (each cell in at most one of them).
  std::vector<_cellrect> TakeChanges();

  const CCoverageGrid &Grid() const { return m_grid; }
  _coveragefigures Figures() const;
  // The bins of a segment in order along its line, empty ones included.
  std::vector<_coveragebin> SegmentBins(uint32_t nSegment) const;

private:
  std::vector<uint32_t> &BinsOf(uint32_t nSegment);
  // The bin nBin of a started segment, marked as changed.
  _coveragebin &ChangedBin(uint32_t nSegment, uint32_t nBin);
  // Marks the cells within R of plan point (dX, dY), tile by tile.
  void MarkAround(double dX, double dY);
  size_t TileOf(double dX, double dY) const;
  _cellrect TileRect(size_t nTile) const;
  // Recomputes the cells of rect, which lies in tile nTile.
  void Recompute(size_t nTile, const _cellrect &rect);
  // Adds the bin's weight to the cells of rect within R of it; tile is the rectangle of the tile
  // that the sums are kept for.
  void Scatter(const _coveragebin &bin, const _cellrect &rect, const _cellrect &tile);

  _coveragesettings m_settings;
  _planmetric m_metric;
  CCoverageGrid m_grid;
  double m_dReachX = 0; // pixels a bin reaches across and down
  double m_dReachY = 0;
  int m_nTileCells = 1; // cells along a tile's side
  int m_nTilesX = 1;
  int m_nTilesY = 1;
  int m_nReachTilesX = 1; // tiles around a tile whose bins can reach into it
  int m_nReachTilesY = 1;

  std::vector<_coveragebin> m_bins;
  std::vector<uint32_t> m_freeBins;
  std::unordered_map<uint32_t, std::vector<uint32_t>> m_segments; // bin ids along each segment's line
  uint32_t m_nLastSegment = 0;
  std::vector<uint32_t> *m_pLastBins = nullptr;
  std::vector<uint32_t> m_dirtyBins;
  std::vector<std::vector<uint32_t>> m_tileBins; // the bins whose middle lies in each tile
  std::vector<_cellrect> m_tileMarked;           // the cells of each tile to recompute; empty: none
  std::vector<size_t> m_markedTiles;
  std::vector<_cellrect> m_changes;

  // Sums for the cells of the tile being computed.
  std::vector<double> m_sumWeights;
  std::vector<double> m_sumWeighted;
  std::vector<double> m_nearest;
  std::vector<uint32_t> m_binCounts;
};
