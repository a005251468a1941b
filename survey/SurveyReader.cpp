#include "survey/SurveyReader.h"

#include <limits>

namespace {

// Why a file whose readable content ends long before the file does is not loaded.
CFileException UnreadableTailError(const std::string &path, const _surveycontents &contents) {
  std::string text = "\"" + path + "\": only its first " + std::to_string(contents.nEnd) + " of " +
                     std::to_string(contents.nLength) + " bytes can be read.";
  bool bRepairable = contents.bCountRead;
  if (!contents.errors.empty()) {
    const _surveyerror &error = contents.errors.back(); // where reading stopped
    text = DescribeSurveyError(path, error);
    bRepairable = bRepairable && error.kind != SurveyProblem::notSurvey;
  }
  if (bRepairable) {
    text += " 'tvdtool survey repair' makes a sound copy that keeps every readable segment and record.";
  }
  return {CFileException::invalidFile, path, text};
}

} // namespace

const _surveyerror *_surveycontents::FirstBlockingError() const {
  for (const auto &error : errors) {
    if (error.kind != SurveyProblem::unwrittenSegments) {
      return &error;
    }
  }
  return nullptr;
}

uint64_t _surveycontents::RecordCount() const {
  uint64_t n = 0;
  for (const auto &segment : segments) {
    n += segment.nRecords;
  }
  return n;
}

uint64_t _surveycontents::LevelCount() const {
  uint64_t n = 0;
  for (const auto &segment : segments) {
    n += segment.nLevels;
  }
  return n;
}

_surveycontents ParseSurvey(const uint8_t *data, size_t size, bool bKeepLevels, SurveyReading reading) {
  const CSurveySource source(data, size);
  return StreamSurvey(source, {bKeepLevels, true, reading});
}

bool RecordCountFits(uint64_t nRecords, uint16_t nCounted) {
  return (nRecords & std::numeric_limits<uint16_t>::max()) == nCounted;
}

_surveycontents ReadSurveyFile(const std::string &path, unsigned nShare, const _surveyreadoptions &options,
                               const SurveySegmentHandler &onSegment) {
  const CSurveySource source(path, nShare);
  return StreamSurvey(source, options, onSegment);
}

std::vector<uint8_t> LoadSurveyFile(const std::string &path, unsigned nShare) {
  const CSurveySource source(path, nShare);
  if (source.Size() > SURVEY_LOAD_UNREADABLE_LIMIT) {
    // Everything any reading of the file uses lies before the end of a resynchronising one.
    const _surveycontents contents = StreamSurvey(source, {false, false, SurveyReading::resynchronise});
    if (source.Size() - contents.nEnd > SURVEY_LOAD_UNREADABLE_LIMIT) {
      throw UnreadableTailError(path, contents);
    }
  }
  std::vector<uint8_t> bytes;
  source.AppendTo(bytes, 0, source.Size());
  return bytes;
}

std::string DescribeSurveyError(const std::string &path, const _surveyerror &error) {
  return "\"" + path + "\", offset " + std::to_string(error.nOffset) + ": " + error.strText + ".";
}
