// Reads arbitrary bytes as a survey data file, checks that what was read lies inside them, and
// checks that the repaired copy reads back with no error and keeps every record read.
#include "survey/SurveyReader.h"
#include "survey/SurveyRepair.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

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
  const _surveyrepair repair = RepairSurvey(data, size);
  if (repair.bPossible) {
    const _surveycontents repaired = ParseSurvey(repair.bytes.data(), repair.bytes.size());
    if (!repaired.IsSound() || repaired.RecordCount() != contents.RecordCount() ||
        repaired.LevelCount() != contents.LevelCount()) {
      std::abort();
    }
  }
  return 0;
}
