#include "survey/SurveyRepair.h"

#include <algorithm>

_surveyrepair RepairSurvey(const uint8_t *data, size_t size) {
  _surveyrepair repair;
  const _surveycontents contents = ParseSurvey(data, size, false);
  for (const auto &error : contents.errors) {
    if (error.kind == SurveyProblem::notSurvey || !contents.bCountRead) {
      repair.strReason = "nothing can be kept: offset " + std::to_string(error.nOffset) + ": " + error.strText;
      return repair;
    }
  }
  repair.bPossible = true;

  // Everything kept is the readable beginning of the file; only count fields change.
  repair.bytes.assign(data, data + contents.nEnd);
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
    std::string why;
    if (contents.nUnwrittenSegments > 0) {
      why = std::to_string(contents.nUnwrittenSegments) + " counted segment(s) were never written";
    } else if (contents.nSegmentCount > static_cast<uint32_t>(SURVEY_MAX_SEGMENTS)) {
      why = "a survey holds at most 500 segments";
    } else {
      why = "the segments after " + std::to_string(nKept) + " cannot be read";
    }
    repair.changes.push_back("segment count (offset 29): " + std::to_string(contents.nSegmentCount) + " -> " +
                             std::to_string(nKept) + ": " + why);
  }
  for (size_t i = 0; i < contents.segments.size(); ++i) {
    const auto &segment = contents.segments[i];
    const auto nFound = static_cast<uint16_t>(segment.records.size());
    if (nFound != segment.header.nRecordCount) {
      WriteUInt16LE(repair.bytes.data() + segment.nOffset + 50, nFound);
      repair.changes.push_back("segment " + std::to_string(i + 1) + " (offset " + std::to_string(segment.nOffset) +
                               "): record count " + std::to_string(segment.header.nRecordCount) + " -> " +
                               std::to_string(nFound) + ", the records present");
    }
  }
  if (contents.nEnd < size) {
    std::string why = "cannot be read";
    for (const auto &error : contents.errors) {
      if (error.kind != SurveyProblem::countMismatch && error.kind != SurveyProblem::badHeader &&
          error.kind != SurveyProblem::unwrittenSegments) {
        why = error.strText;
      }
    }
    repair.changes.push_back("dropped " + std::to_string(size - contents.nEnd) + " bytes from offset " +
                             std::to_string(contents.nEnd) + ": " + why);
  }
  return repair;
}
