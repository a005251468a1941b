// Reads arbitrary bytes as a survey data file and checks that what was read lies inside them,
// that every level read is placed between its segment's end points and times, that the repaired
// copy reads back with no error and keeps every record read (and, reading on past damage, every
// record found after it), that what is judged continuable is continued by changing counts and
// dropping a cut-short end only, and that a sound survey one of whose segments gets 65536 records
// more (its 16-bit count wrapping back to what it was) reads back whole and sound.
#include "survey/LevelPlacement.h"
#include "survey/SurveyContinue.h"
#include "survey/SurveyReader.h"
#include "survey/SurveyRepair.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

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

// Both repairs read back sound: the one that stops at damage keeps exactly the records read, the
// one that reads on past it keeps those and every record found after the damage.
void CheckRepairs(const uint8_t *data, size_t size, const _surveycontents &contents, const _surveyrepair &repair) {
  if (!repair.bPossible) {
    return;
  }
  const _surveycontents repaired = ParseSurvey(repair.bytes.data(), repair.bytes.size(), false);
  if (!repaired.IsSound() || repaired.RecordCount() != contents.RecordCount() ||
      repaired.LevelCount() != contents.LevelCount()) {
    std::abort();
  }
  const _surveycontents resynced = ParseSurvey(data, size, false, SurveyReading::resynchronise);
  const _surveyrepair full = RepairSurvey(data, size);
  const _surveycontents kept = ParseSurvey(full.bytes.data(), full.bytes.size(), false);
  uint64_t nSkipped = 0;
  for (const auto &skip : resynced.skipped) {
    nSkipped += skip.nLength;
  }
  if (!full.bPossible || !kept.IsSound() || kept.RecordCount() != resynced.RecordCount() ||
      kept.LevelCount() != resynced.LevelCount() || kept.RecordCount() < contents.RecordCount() ||
      full.bytes.size() + nSkipped > size || resynced.segments.size() > SURVEY_MAX_SEGMENTS) {
    std::abort();
  }
}

// Whether the bytes at nOffset have the shape of a record: the segment header there would be read
// as one by a reader that goes by the records' shape.
bool RecordShapeAt(const uint8_t *data, size_t size, size_t nOffset) {
  if (nOffset + SURVEY_RECORD_HEADER_LENGTH > size) {
    return false;
  }
  const uint16_t nChannel = ReadUInt16LE(data + nOffset + 4);
  const uint32_t nLevels = ReadUInt32LE(data + nOffset + 6);
  if ((nChannel != 1 && nChannel != 2) || nLevels > SURVEY_MAX_RECORD_LEVELS ||
      nOffset + ChannelRecordSize(nLevels) > size) {
    return false;
  }
  for (uint32_t i = 0; i < nLevels; ++i) {
    const auto nLevel = static_cast<int16_t>(ReadUInt16LE(data + nOffset + SURVEY_RECORD_HEADER_LENGTH + 2 * i));
    if (nLevel < -128 || nLevel > 127) {
      return false;
    }
  }
  return true;
}

bool LooksLikeRecord(const _surveyrecordentry &record) {
  return (record.nChannel == 1 || record.nChannel == 2) &&
         std::all_of(record.levels.begin(), record.levels.end(), [](int16_t n) { return n >= -128 && n <= 127; });
}

// A sound survey whose segment gets 65536 records of no levels more, right behind its header: its
// count (the low 16 bits) still fits, and it reads back with every record, as an earlier writer's
// segment of more than 65535 records does.
void CheckWrappedCount(const uint8_t *data, size_t size, const _surveycontents &contents) {
  const auto segment = std::find_if(contents.segments.begin(), contents.segments.end(), [](const auto &entry) {
    return std::all_of(entry.records.begin(), entry.records.end(), LooksLikeRecord);
  });
  if (!contents.IsSound() || segment == contents.segments.end()) {
    return;
  }
  const size_t nIndex = static_cast<size_t>(segment - contents.segments.begin());
  const size_t nEnd = nIndex + 1 < contents.segments.size() ? contents.segments[nIndex + 1].nOffset : size;
  if (RecordShapeAt(data, size, nEnd)) {
    return; // the next header has a record's shape too: by shape alone, the two cannot be told apart
  }
  _channelrecord empty;
  empty.nFrequency = 8500;
  empty.nChannel = 1;
  std::vector<uint8_t> record;
  AppendChannelRecord(record, empty);
  const size_t nAt = segment->nOffset + SURVEY_SEGMENT_HEADER_LENGTH;
  std::vector<uint8_t> bytes(data, data + nAt);
  bytes.reserve(size + 65536 * record.size());
  for (int i = 0; i < 65536; ++i) {
    bytes.insert(bytes.end(), record.begin(), record.end());
  }
  bytes.insert(bytes.end(), data + nAt, data + size);
  const _surveycontents wrapped = ParseSurvey(bytes.data(), bytes.size(), false);
  if (!wrapped.IsSound() || wrapped.segments.size() != contents.segments.size() ||
      wrapped.segments[nIndex].records.size() != segment->records.size() + 65536 ||
      wrapped.RecordCount() != contents.RecordCount() + 65536) {
    std::abort();
  }
  const _surveyrepair repair = RepairSurvey(bytes.data(), bytes.size());
  if (!repair.changes.empty() || repair.bytes != bytes) {
    std::abort();
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
  // Continuing repairs as reading stops at damage.
  const _surveyrepair repair = RepairSurvey(data, size, SurveyReading::stopAtDamage);
  CheckRepairs(data, size, contents, repair);
  CheckAssessment(data, size, contents, repair);
  CheckWrappedCount(data, size, contents);
  return 0;
}
