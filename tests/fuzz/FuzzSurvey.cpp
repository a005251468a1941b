// Reads arbitrary bytes as a survey data file and checks that what was read lies inside them,
// that every level read is placed between its segment's end points and times, that the repaired
// copy reads back with no error and keeps every record read, and that what is judged continuable
// is continued by changing counts and dropping a cut-short end only.
#include "survey/LevelPlacement.h"
#include "survey/SurveyContinue.h"
#include "survey/SurveyReader.h"
#include "survey/SurveyRepair.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// The state said of the bytes agrees with the reader and the repair, and a continuable survey is
// continued (by the repair) keeping every byte but the counts: the segment count and the last
// segment's record count.
void CheckAssessment(const uint8_t *data, size_t size, const _surveycontents &contents, const _surveyrepair &repair) {
  const _surveyassessment assessment = AssessSurvey(data, size);
  if ((assessment.state == SurveyState::sound) != contents.IsSound() ||
      (assessment.state == SurveyState::refused) != !repair.bPossible ||
      (assessment.state != SurveyState::sound && assessment.strDescription.empty())) {
    std::abort();
  }
  if (assessment.state != SurveyState::continuable) {
    return;
  }
  const _surveycontents continued = ParseSurvey(repair.bytes.data(), repair.bytes.size(), false);
  if (continued.segments.empty() != contents.segments.empty() || repair.bytes.size() > size ||
      assessment.nSegment < continued.segments.size()) {
    std::abort();
  }
  const uint64_t nLastCount = continued.segments.empty() ? 0 : continued.segments.back().nOffset + 50;
  for (size_t i = 0; i < repair.bytes.size(); ++i) {
    const bool bCount = (i >= SURVEY_COUNT_OFFSET && i < SURVEY_COUNT_OFFSET + 4) ||
                        (nLastCount > 0 && i >= nLastCount && i < nLastCount + 2);
    if (repair.bytes[i] != data[i] && !bCount) {
      std::abort();
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const _surveycontents contents = ParseSurvey(data, size);
  if (contents.nEnd > size || contents.segments.size() > SURVEY_MAX_SEGMENTS) {
    std::abort();
  }
  for (const auto &segment : contents.segments) {
    if (segment.nOffset + SURVEY_SEGMENT_HEADER_LENGTH > contents.nEnd) {
      std::abort();
    }
    for (const auto &record : segment.records) {
      if (record.nLevels > SURVEY_MAX_RECORD_LEVELS || record.levels.size() != record.nLevels ||
          record.nOffset + ChannelRecordSize(record.nLevels) > contents.nEnd) {
        std::abort();
      }
    }
  }
  for (size_t i = 0; i < contents.segments.size(); ++i) {
    const _segmentheader &h = contents.segments[i].header;
    const _segmenttiming timing = SegmentTiming(contents, i);
    const auto placed = PlaceSegmentLevels(contents, i, timing);
    uint64_t nLevels = 0;
    for (const auto &record : contents.segments[i].records) {
      nLevels += record.levels.size();
    }
    if (placed.size() != nLevels || (timing.bTimed && FormatLocalTime(timing.nStartMs).size() != 23)) {
      std::abort();
    }
    for (const auto &level : placed) {
      if (level.nIndex >= level.nCount || level.dX < std::min(h.nStartX, h.nStopX) ||
          level.dX > std::max(h.nStartX, h.nStopX) || level.dY < std::min(h.nStartY, h.nStopY) ||
          level.dY > std::max(h.nStartY, h.nStopY) ||
          (level.bTimed && (level.nTimeMs < timing.nStartMs || level.nTimeMs > timing.nStartMs + timing.nDurationMs))) {
        std::abort();
      }
    }
  }
  const _surveyrepair repair = RepairSurvey(data, size);
  if (repair.bPossible) {
    const _surveycontents repaired = ParseSurvey(repair.bytes.data(), repair.bytes.size());
    if (!repaired.IsSound() || repaired.RecordCount() != contents.RecordCount() ||
        repaired.LevelCount() != contents.LevelCount()) {
      std::abort();
    }
  }
  CheckAssessment(data, size, contents, repair);
  return 0;
}
