#pragma once

#include "coverage/ChunkedList.h"
#include "coverage/CoverageChannel.h"
#include "survey/LevelPlacement.h"
#include "survey/SurveyFormat.h"
#include "survey/SurveyReader.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A point on the plan, plan pixels.
struct _planpointd {
  double dX = 0;
  double dY = 0;
};

// The coverage of a survey: what each channel's walked segments give on the plan, as a masked
// heatmap of cells.
//
// Finished segments come as the survey holds them, and their levels are placed as the export
// places them (the k-th of a channel's N levels at (k + 0.5) / N of the way). The segment being walked comes
// as the survey session tells it: its points at BEGIN, its levels as they are recorded, its final
// header at STOP. While it is walked its stop time and level count are unknown, so its levels are
// placed by the time elapsed since BEGIN at the survey's median walking speed (its finished
// segments' lengths over their times; the segment's length over COVERAGE_TYPICAL_WALK_SECONDS
// while none has a time), never past the stop point; at STOP they are placed again as the export
// places them. A segment can be taken out and put back (a re-walk, an exclusion).
//
// Nothing is computed when levels come: Update recomputes the cells within R of what changed, and
// TakeChangedCells says which cells those were, so that a window redraws only them.
class CCoverage {
public:
  // Computes the channels in nChannels (1, 2 or both) for a plan of nPlanWidth x nPlanHeight
  // pixels; levels of other channels are passed over. The settings must be sound
  // (CoverageSettingsProblem).
  CCoverage(const _coveragesettings &settings, const _planmetric &metric, int nPlanWidth, int nPlanHeight,
            std::vector<uint16_t> channels = {1, 2});
  ~CCoverage();
  CCoverage(const CCoverage &) = delete;
  CCoverage &operator=(const CCoverage &) = delete;

  const _coveragesettings &Settings() const { return m_settings; }
  const _planmetric &Metric() const { return m_metric; }

  // A finished segment as read from the survey, its levels kept, and its timing (SegmentTiming):
  // its levels placed as PlaceSegmentLevels places them. It takes the place of whatever segment
  // nSegment had.
  void AddSegment(uint32_t nSegment, const _surveysegmententry &segment, const _segmenttiming &timing);

  // The segment being walked: begun at nBeginMs (any millisecond clock, the same for all calls),
  // its levels of a channel as they are recorded (the message's levels, in order, arriving at
  // nArrivalMs), and its end: the header written at STOP, at nStopMs.
  void BeginSegment(uint32_t nSegment, _planpointd start, _planpointd stop, int64_t nBeginMs);
  void AddLevels(uint32_t nSegment, uint16_t nChannel, const int16_t *pLevels, size_t nCount, int64_t nArrivalMs);
  void StopSegment(uint32_t nSegment, const _segmentheader &header, int64_t nStopMs);
  bool IsWalking() const { return m_pWalk != nullptr; }

  void TakeOutSegment(uint32_t nSegment);
  void PutBackSegment(uint32_t nSegment);

  // Recomputes the cells within R of every bin that changed.
  void Update();
  // The cells of the channel recomputed by the updates since the last call.
  std::vector<_cellrect> TakeChangedCells(uint16_t nChannel);
  // A channel's grid and figures as of the last Update; a channel not computed has an empty grid.
  const CCoverageGrid &Grid(uint16_t nChannel) const;
  _coveragefigures Figures(uint16_t nChannel) const;
  std::vector<_coveragebin> SegmentBins(uint16_t nChannel, uint32_t nSegment) const;

  // The walking speed the segment begun next is placed at, metres per second: the median of the
  // finished segments' speeds, or 0 when none has one.
  double MedianSpeed() const;

private:
  // What the segment being walked holds until its STOP.
  struct _walk {
    uint32_t nSegment = 0;
    _track track;
    int64_t nBeginMs = 0;
    double dSpeed = 0; // metres per second its levels are placed at
    std::array<int64_t, 2> lastArrivalMs{};
    std::array<CChunkedList<int16_t>, 2> levels; // kept to be placed again at STOP
  };
  CCoverageChannel *Channel(uint16_t nChannel);
  const CCoverageChannel &ChannelOf(uint16_t nChannel) const;
  _track TrackOf(double dStartX, double dStartY, double dStopX, double dStopY) const;
  // Bins the levels of a segment along track, placed as the export places them.
  void BinSegmentLevels(uint32_t nSegment, const _track &track, const _surveysegmententry &segment);
  void NoteSpeed(uint32_t nSegment, double dMetres, int64_t nDurationMs);

  _coveragesettings m_settings;
  _planmetric m_metric;
  std::array<std::unique_ptr<CCoverageChannel>, 2> m_channels;
  CCoverageChannel m_empty;                          // what a channel not computed shows
  std::vector<std::pair<uint32_t, double>> m_speeds; // metres per second of each timed segment
  std::unique_ptr<_walk> m_pWalk;
};

// Seconds a segment is taken to be walked in while no segment of the survey has a time.
constexpr double COVERAGE_TYPICAL_WALK_SECONDS = 20.0;

// The most cells a channel's grid may have: a cell size far below the plan's scale would
// otherwise take the machine's memory (each cell takes about 14 bytes with its picture).
constexpr uint64_t COVERAGE_MAX_CELLS = 8'000'000;
// Why the coverage of a plan of nPlanWidth x nPlanHeight pixels cannot be computed with settings
// (too many cells: "a cell size of 0.01 m gives 24000000 cells on this plan; at most 8000000 can
// be computed, so make the cells larger"), or "" when it can. The settings must be sound.
std::string CoverageGridProblem(const _coveragesettings &settings, const _planmetric &metric, int nPlanWidth,
                                int nPlanHeight);
