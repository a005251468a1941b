#pragma once

#include "quality/QualitySettings.h"

#include <cstdint>
#include <map>
#include <set>
#include <vector>

// A stretch of a walk in which one channel delivered no level. Times are milliseconds after BEGIN.
struct _walkgap {
  uint16_t nChannel = 0;
  int64_t nStartMs = 0;
  int64_t nDurationMs = 0;
};

// The gaps found while one segment was walked, and how long the walk lasted (BEGIN to STOP).
struct _walkgaps {
  int64_t nWalkMs = 0;
  std::vector<_walkgap> gaps; // in the order they began

  // The fraction of the walk at which gap begins (0 at BEGIN, 1 at STOP) and the share of the
  // walk it lasted.
  double StartFraction(const _walkgap &gap) const;
  double Share(const _walkgap &gap) const;
};

// Finds the gaps in a channel's levels while a segment is walked. The file keeps no time per
// level, so this is done while the messages come: the owner of the walk calls Begin at BEGIN,
// Levels for every level message recorded with its arrival time, and Stop at STOP, all on one
// clock (the survey clock's milliseconds). A gap is a stretch without a level on a channel that
// lasts longer than gap_min_s and longer than gap_median_factor times the median interval between
// that channel's messages in the walk. The stretches from BEGIN to a channel's first message and
// from its last message to STOP count too. A channel that delivered levels in an earlier walk of
// this watch and none in this one has one gap as long as the walk.
class CGapWatch {
public:
  explicit CGapWatch(const _qualitysettings &settings = {}) : m_settings(settings) {}
  CGapWatch(const CGapWatch &) = delete;
  CGapWatch &operator=(const CGapWatch &) = delete;
  virtual ~CGapWatch() = default;

  // A segment was begun at nNowMs; what an unfinished walk gathered is dropped.
  void Begin(int64_t nNowMs);
  // A level message of nLevels levels for nChannel arrived at nArrivalMs. Ignored outside a walk
  // and for a message without levels.
  void Levels(uint16_t nChannel, uint32_t nLevels, int64_t nArrivalMs);
  // The segment was stopped at nNowMs: the walk's gaps. The watch then waits for the next Begin.
  _walkgaps Stop(int64_t nNowMs);

  bool IsWatching() const { return m_bWatching; }

private:
  void AddGaps(uint16_t nChannel, std::vector<int64_t> &arrivals, int64_t nStopMs, _walkgaps &result) const;

  _qualitysettings m_settings;
  bool m_bWatching = false;
  int64_t m_nBeginMs = 0;
  std::map<uint16_t, std::vector<int64_t>> m_arrivals; // this walk's message arrivals per channel
  std::set<uint16_t> m_channels;                       // every channel that has delivered levels
};
