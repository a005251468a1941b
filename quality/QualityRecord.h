#pragma once

#include "quality/GapWatch.h"
#include "survey/SurveyFormat.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// What the surveyor decided about segments and what was seen while they were walked, kept beside
// the survey (see QualityFile.h) because the survey file's format has no room for it.

// What is known of one segment.
struct _qualityentry {
  std::string strKey;       // SegmentKey of the segment's header: finds it again after a repair
  uint32_t nReplacedBy = 0; // the segment walked again in its place; 0 when none
  bool bExcluded = false;   // left out by the surveyor
  bool bWalked = false;     // its levels' arrivals were watched while it was walked
  _walkgaps walk;           // and the gaps found then
};

struct _qualityrecord {
  int64_t nSurveyCreated = 0;                // the creation time in the survey's file header
  std::map<uint32_t, _qualityentry> entries; // by segment number, 1-based

  // Whether segment nSegment counts for coverage, export and reports: neither replaced nor
  // excluded.
  bool Counts(uint32_t nSegment) const;
  // The gaps watched while segment nSegment was walked, or nullptr when it was not watched.
  const _walkgaps *Walk(uint32_t nSegment) const;
  // The segments of 1 .. nSegments that count.
  std::vector<uint32_t> CountingSegments(uint32_t nSegments) const;
};

// Identifies a segment by what its header says of its walk: the start's date and time and the
// two points, e.g. "2024-06-01 09:05:03 (60,60)-(1940,60)". A segment walked again has the same
// points but another start time.
std::string SegmentKey(const _segmentheader &header);

// The gaps watched while segment nSegment (with this header, as written at STOP) was walked.
void RecordWalk(_qualityrecord &record, uint32_t nSegment, const _segmentheader &header, const _walkgaps &walk);
// Segment nNew, walked again, takes the place of segment nOld.
void RecordReplacement(_qualityrecord &record, uint32_t nOld, const _segmentheader &oldHeader, uint32_t nNew,
                       const _segmentheader &newHeader);
// Leaves segment nSegment out (bExcluded) or brings it back.
void SetExcluded(_qualityrecord &record, uint32_t nSegment, const _segmentheader &header, bool bExcluded);
