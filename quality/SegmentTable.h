#pragma once

#include "quality/QualityFile.h"
#include "quality/QualitySettings.h"
#include "quality/SegmentChecks.h"
#include "survey/SurveyReader.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CSiteProjection;

// What a surveyor hands over about each segment: where and when it was walked, its levels per
// channel, and what the checks said of it, with what the quality side file says (replaced,
// excluded). Read segment by segment: memory grows with the segments, never with the levels.

// A channel's levels in a segment: how many, their arithmetic mean (the levels carry no unit),
// the lowest and the highest.
struct _levelstats {
  uint32_t nCount = 0;
  double dMean = 0;
  int16_t nMin = 0;
  int16_t nMax = 0;
};

struct _segmentrow {
  _segmentheader header;
  _segmentquality quality;                // its facts (number, timing, length, counts) and findings
  std::map<uint16_t, _levelstats> levels; // by channel, for the channels it holds levels of
  bool bCounts = true;                    // neither replaced nor excluded
  uint32_t nReplacedBy = 0;               // the segment walked in its place; 0 when none
  bool bExcluded = false;

  // The walk's speed in metres per second; 0 when its length or time is not known.
  double Speed() const;
};

struct _segmenttable {
  _surveycontents contents; // the file's headers, counts and errors (no records)
  _qualityload side;        // the side file found beside the survey, and what was made of it
  std::vector<_segmentrow> rows;
};

// Reads the survey at strPath from source twice, segment by segment: the facts and levels of
// every segment, then the checks of each against the norms of the segments that count. Lengths
// come from pProjection (see SegmentFacts). Damage ends the reading where reading stops; what was
// read before is in the table, and the damage in contents.errors. Raises CFileException when the
// file cannot be read.
_segmenttable ReadSegmentTable(const CSurveySource &source, const std::string &strPath,
                               const CSiteProjection *pProjection, const _qualitysettings &settings);

// "passed", "flagged", "replaced by segment 4" or "excluded": what the table says of a segment in
// one word or a few.
std::string RowStanding(const _segmentrow &row);
