#pragma once

#include "quality/QualityRecord.h"
#include "quality/QualitySettings.h"
#include "quality/SegmentFacts.h"
#include "survey/SurveyReader.h"

#include <string>
#include <vector>

class CSiteProjection;

// The checks of a segment, one implementation for the window and tvdtool. Each finding has its
// reason in words a surveyor reads while walking and, where it has one, its place along the
// segment in metres. The checks that need arrival times (gaps) take them from what was watched
// while the segment was walked (CGapWatch, kept in the side file); the others work on any survey.

enum class QualityCheck { points, gap, rate, speed, still, clipping, channels };

// The check's name as tvdtool's JSON gives it: "points", "gap", "rate", ...
const char *QualityCheckName(QualityCheck check);

struct _qualityfinding {
  QualityCheck check = QualityCheck::points;
  std::string strReason; // e.g. "6.2 s without levels on channel 2 at 14 m (31 % of the walk)"
  bool bPlaced = false;  // it has a place along the segment:
  double dAtM = 0;       // metres from the start point
  double dFraction = -1; // and the fraction of the way (0 to 1); -1 when it has no place
  double dSeconds = 0;   // how long it lasted (gaps, standing still); 0 when that means nothing
};

// A check that could not be made, and why.
struct _skippedcheck {
  QualityCheck check = QualityCheck::points;
  std::string strWhy;
};

struct _segmentquality {
  _segmentfacts facts;
  std::vector<_qualityfinding> findings; // empty: the segment passed
  std::vector<_skippedcheck> skipped;

  bool Passed() const { return findings.empty(); }
};

// "Segment 7 passed", or "Segment 7: " and every finding's reason, separated by "; ".
std::string QualitySentence(const _segmentquality &quality);

// Checks one segment: contents' segment facts.nSegment, held against the survey's norms, with the
// gaps watched while it was walked (nullptr when they were not).
_segmentquality CheckSegment(const _surveycontents &contents, const _segmentfacts &facts, const _surveynorms &norms,
                             const _walkgaps *pWalk, const _qualitysettings &settings);

struct _surveyquality {
  _surveynorms norms;
  std::vector<_segmentquality> segments; // every segment of the file, in order
};

// Checks every segment of contents (read with its levels). Lengths as SegmentFacts takes them;
// the norms are those of the segments that record says count; the gaps are record's.
_surveyquality CheckSurvey(const _surveycontents &contents, const CSiteProjection *pProjection,
                           const _qualityrecord &record, const _qualitysettings &settings);
