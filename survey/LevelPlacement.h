#pragma once

#include "survey/SurveyReader.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Where and when each stored level was measured. A segment header holds the walk's start and
// stop points and its local start and stop times; the records hold each channel's levels in the
// order they arrived, with nothing about where each one was taken. The walk is taken as steady:
// the k-th (0-based) of a channel's N levels in a segment lies at the fraction (k + 0.5) / N of
// the way from the start point to the stop point, and was measured at the same fraction of the
// time from the start to the stop. Each level thus stands at the middle of an equal share of the
// walk, and no level sits on an end point.

// (k + 0.5) / n, the fraction of the way along its segment of level k of n.
double LevelFraction(uint32_t k, uint32_t n);

// When a segment was walked, as far as its header tells.
struct _segmenttiming {
  bool bTimed = false;     // both the start and the stop time can be used
  int64_t nStartMs = 0;    // the local start: milliseconds since 1970-01-01 00:00 on the local wall clock
  int64_t nDurationMs = 0; // from the start to the stop; a walk that crossed midnight has a day added
  std::string strNote;     // when not timed: why the segment's levels get no time
};

// The timing of segments[nIndex] of contents. It has no time when the date or a time is not a
// local time (a clock that could not be read is stamped as 255), or when the stop time is not
// this walk's because its STOP was never stamped: the header's record count disagrees with the
// records behind it (the header rewritten at STOP never reached the file), or the stop time is
// the one the header held before the walk began, which STOP would have replaced: the stop time
// of the segment before it in the file, or 00:00:00 for the first segment of a file.
_segmenttiming SegmentTiming(const _surveycontents &contents, size_t nIndex);

// One stored level, placed on its segment.
struct _placedlevel {
  uint32_t nSegment = 0; // 1-based, in the order of the file
  uint16_t nChannel = 0;
  uint32_t nIndex = 0; // k, among the channel's levels of the segment in the order of the file
  uint32_t nCount = 0; // N, the channel's levels in the segment
  double dX = 0;       // plan pixels
  double dY = 0;
  bool bTimed = false;
  int64_t nTimeMs = 0;     // local wall clock, as _segmenttiming::nStartMs
  uint32_t nFrequency = 0; // the frequency code of the level's record
  int16_t nLevel = 0;
};

// Places the levels of segments[nIndex]: channel by channel in ascending channel number, each
// channel's levels in the order of the file. Takes the levels that ParseSurvey kept.
std::vector<_placedlevel> PlaceSegmentLevels(const _surveycontents &contents, size_t nIndex,
                                             const _segmenttiming &timing);

// The order and numbering PlaceSegmentLevels places a segment's levels in, for a caller that
// needs no more of each level than where it lies: calls visit(record, nLevel, k, n) for each
// level, channel by channel in ascending channel number, each channel's levels in the order of the
// file, k (0-based) and n counting the channel's levels as LevelFraction takes them.
template <typename Visit> void VisitSegmentLevels(const _surveysegmententry &segment, Visit &&visit) {
  std::map<uint16_t, uint32_t> counts;
  for (const auto &record : segment.records) {
    counts[record.nChannel] += static_cast<uint32_t>(record.levels.size());
  }
  for (const auto &[nChannel, nCount] : counts) {
    uint32_t k = 0;
    for (const auto &record : segment.records) {
      if (record.nChannel != nChannel) {
        continue;
      }
      for (const int16_t nLevel : record.levels) {
        visit(record, nLevel, k, nCount);
        ++k;
      }
    }
  }
}

// ISO 8601 local date and time with milliseconds, e.g. "2024-06-01T09:05:03.250", of a moment
// given as _segmenttiming::nStartMs.
std::string FormatLocalTime(int64_t nMs);
