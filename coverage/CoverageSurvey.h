#pragma once

#include "coverage/Coverage.h"
#include "survey/SurveyReader.h"

#include <array>
#include <cstdint>

// What reading a survey into a coverage found.
struct _coveragesurvey {
  _surveycontents contents;              // the headers, counts and errors; no records are kept
  std::array<uint32_t, 2> frequencies{}; // the frequency code of each channel's last record, 0 when none
  std::array<uint64_t, 2> levels{};      // the levels of each channel
};

// Reads the survey from source segment by segment and adds each segment's levels to coverage,
// placed as the export places them; then updates it. Memory does not grow with the levels.
// Damage ends the reading where reading stops (see StreamSurvey); what was read before is kept.
_coveragesurvey AddSurveyToCoverage(const CSurveySource &source, CCoverage &coverage);
