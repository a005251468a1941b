#pragma once

#include "coverage/Coverage.h"
#include "quality/QualityRecord.h"
#include "survey/SurveyReader.h"

#include <array>
#include <cstdint>
#include <limits>

// What reading a survey into a coverage found.
struct _coveragesurvey {
  _surveycontents contents;              // the headers, counts and errors; no records are kept
  std::array<uint32_t, 2> frequencies{}; // the frequency code of each channel's last record, 0 when none
  std::array<uint64_t, 2> levels{};      // the levels of each channel
};

// Reads the survey from source segment by segment and adds the levels of segments 1 to
// nLastSegment to coverage, placed as the export places them; then updates it. Memory does not
// grow with the levels. Damage ends the reading where reading stops (see StreamSurvey); what was
// read before is kept. The segments after nLastSegment are read (their headers are in contents)
// but not added: the one being walked comes from the survey session instead.
_coveragesurvey AddSurveyToCoverage(const CSurveySource &source, CCoverage &coverage,
                                    uint32_t nLastSegment = std::numeric_limits<uint32_t>::max());

// Takes the segments 1 to nSegments that do not count by record (replaced or excluded) out of
// coverage and puts the others back; Update brings the cells up to date.
void FollowQualityRecord(CCoverage &coverage, const _qualityrecord &record, uint32_t nSegments);
