#pragma once

#include "quality/QualityRecord.h"
#include "survey/LevelPlacement.h"
#include "survey/SurveyReader.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

class CSiteProjection;

// What the checks need to know of a segment, taken from the survey file alone.
struct _segmentfacts {
  uint32_t nSegment = 0;                              // 1-based, in the order of the file
  _segmenttiming timing;                              // when it was walked, as its header tells
  bool bLength = false;                               // its true length is known
  double dLengthM = 0;                                // from the start point to the stop point, in metres
  std::string strNoLength;                            // why the length is not known
  bool bSamePoint = false;                            // the stop point is the start point (plan pixels)
  std::map<uint16_t, uint32_t> counts;                // levels per channel
  std::map<uint16_t, std::set<uint32_t>> frequencies; // frequency codes per channel

  double Seconds() const { return static_cast<double>(timing.nDurationMs) / 1000.0; }
  uint32_t LevelCount() const;
};

// The facts of segments[nIndex] of contents. The length comes from pProjection when one is given
// (metres under a geo-coded projection; a linear projection's X and Y are taken as metres),
// otherwise from the coordinates the header stores (a survey walked on a geo-coded plan).
_segmentfacts SegmentFacts(const _surveycontents &contents, size_t nIndex, const CSiteProjection *pProjection);

// The levels of one channel of a segment, in the order of the file.
std::vector<int16_t> ChannelLevels(const _surveysegmententry &segment, uint16_t nChannel);

// What the survey's segments usually are: the measure a segment is held against.
struct _surveynorms {
  std::map<uint16_t, double> medianRate;           // levels per second, per channel
  std::map<uint16_t, std::set<uint32_t>> channels; // the channels and frequencies most segments have
};

// The norms of the segments in facts that record says count (all of them without a record).
_surveynorms SurveyNorms(const std::vector<_segmentfacts> &facts, const _qualityrecord &record);
