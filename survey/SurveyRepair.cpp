#include "survey/SurveyRepair.h"

#include <algorithm>

namespace {

// Why the segment count changes from what the file states to the segments kept.
std::string CountChange(const _surveycontents &contents, uint32_t nKept) {
  if (contents.nSegmentCount > static_cast<uint32_t>(SURVEY_MAX_SEGMENTS)) {
    return "a survey holds at most 500 segments";
  }
  if (nKept > contents.nSegmentCount) {
    return std::to_string(nKept - contents.nSegmentCount) + " segment(s) follow the ones counted";
  }
  if (!contents.skipped.empty()) {
    return std::to_string(contents.nSegmentCount - nKept) + " segment(s) cannot be read";
  }
  if (contents.nUnwrittenSegments > 0) {
    return std::to_string(contents.nUnwrittenSegments) + " counted segment(s) were never written";
  }
  return "the segments after " + std::to_string(nKept) + " cannot be read";
}

// The segment headers and records read, each as it stands in the file, behind the first 33 bytes;
// only count fields change. Lists the record counts it changes.
void CopySegments(const CSurveySource &source, const _surveycontents &contents, _surveyrepair &repair) {
  for (size_t i = 0; i < contents.segments.size(); ++i) {
    const auto &segment = contents.segments[i];
    const size_t nHeader = repair.bytes.size();
    source.AppendTo(repair.bytes, segment.nOffset, SURVEY_SEGMENT_HEADER_LENGTH);
    for (const auto &record : segment.records) {
      source.AppendTo(repair.bytes, record.nOffset, ChannelRecordSize(record.nLevels));
    }
    // A segment of more than 65535 records keeps the low 16 bits of its count, as the format has it.
    const auto nFound = static_cast<uint16_t>(segment.records.size());
    if (nFound != segment.header.nRecordCount) {
      WriteUInt16LE(repair.bytes.data() + nHeader + 50, nFound);
      repair.changes.push_back("segment " + std::to_string(i + 1) + " (offset " + std::to_string(segment.nOffset) +
                               "): record count " + std::to_string(segment.header.nRecordCount) + " -> " +
                               std::to_string(nFound) + ", the records present");
    }
  }
}

} // namespace

std::string RepairRefusal(const _surveycontents &contents) {
  for (const auto &error : contents.errors) {
    if (error.kind == SurveyProblem::notSurvey || !contents.bCountRead) {
      return "nothing can be kept: offset " + std::to_string(error.nOffset) + ": " + error.strText;
    }
  }
  return "";
}

_surveyrepair RepairSurvey(const uint8_t *data, size_t size, SurveyReading reading) {
  const CSurveySource source(data, size);
  return RepairSurvey(source, reading);
}

_surveyrepair RepairSurvey(const CSurveySource &source, SurveyReading reading) {
  _surveyrepair repair;
  const _surveycontents contents = StreamSurvey(source, {false, true, reading});
  repair.strReason = RepairRefusal(contents);
  if (!repair.strReason.empty()) {
    return repair;
  }
  repair.bPossible = true;

  source.AppendTo(repair.bytes, 0, SURVEY_FIRST_SEGMENT_OFFSET);
  if (contents.header.nLength != SURVEY_HEADER_LENGTH || contents.header.nTrailer != SURVEY_HEADER_LENGTH) {
    _surveyheader header = contents.header;
    header.nLength = SURVEY_HEADER_LENGTH;
    header.nTrailer = SURVEY_HEADER_LENGTH;
    const auto bytes = EncodeSurveyHeader(header);
    std::copy(bytes.begin(), bytes.end(), repair.bytes.begin());
    repair.changes.push_back("file header: length fields set to 25 (were " + std::to_string(contents.header.nLength) +
                             " and " + std::to_string(contents.header.nTrailer) + ")");
  }
  const auto nKept = static_cast<uint32_t>(contents.segments.size());
  if (nKept != contents.nSegmentCount) {
    WriteUInt32LE(repair.bytes.data() + SURVEY_COUNT_OFFSET, nKept);
    repair.changes.push_back("segment count (offset 29): " + std::to_string(contents.nSegmentCount) + " -> " +
                             std::to_string(nKept) + ": " + CountChange(contents, nKept));
  }
  CopySegments(source, contents, repair);
  for (const auto &skip : contents.skipped) {
    repair.changes.push_back("skipped " + std::to_string(skip.nLength) + " bytes at offset " +
                             std::to_string(skip.nOffset) + ": " + skip.strWhy);
  }
  const uint64_t nSize = source.Size();
  if (contents.nEnd < nSize) {
    std::string why = "cannot be read";
    for (const auto &error : contents.errors) {
      if (error.kind != SurveyProblem::countMismatch && error.kind != SurveyProblem::badHeader &&
          error.kind != SurveyProblem::unwrittenSegments) {
        why = error.strText;
      }
    }
    repair.changes.push_back("dropped " + std::to_string(nSize - contents.nEnd) + " bytes from offset " +
                             std::to_string(contents.nEnd) + ": " + why);
  }
  return repair;
}
