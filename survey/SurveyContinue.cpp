#include "survey/SurveyContinue.h"

#include "platform/File.h"
#include "survey/SurveyFiles.h"
#include "survey/SurveyReader.h"
#include "survey/SurveyRepair.h"

#include <algorithm>
#include <optional>

namespace {

// How the last segment of a continuable survey was interrupted.
enum class Interruption { duringWalk, atBegin, neverBegun };

struct _interruption {
  Interruption kind = Interruption::duringWalk;
  uint32_t nSegment = 0;
  uint32_t nLastSegment = 0; // neverBegun: the last of the segments counted but never begun
  uint32_t nRecords = 0;
};

bool ReadAsCounted(const _surveysegmententry &segment) {
  return RecordCountFits(segment.nRecords, segment.header.nRecordCount);
}

// The interruption that explains everything wrong with the survey, if one does.
std::optional<_interruption> FindInterruption(const _surveycontents &contents, const CSurveySource &source) {
  for (const auto &error : contents.errors) {
    if (error.kind != SurveyProblem::countMismatch && error.kind != SurveyProblem::truncated &&
        error.kind != SurveyProblem::unwrittenSegments) {
      return std::nullopt;
    }
  }
  const auto &segments = contents.segments;
  const auto nRead = static_cast<uint32_t>(segments.size());
  for (uint32_t i = 0; i + 1 < nRead; ++i) {
    if (!ReadAsCounted(segments[i])) {
      return std::nullopt; // damage before the last segment
    }
  }
  const bool bLastIntact = nRead == 0 || ReadAsCounted(segments.back());
  const uint32_t nLastRecords = nRead == 0 ? 0 : static_cast<uint32_t>(segments.back().nRecords);
  // A look of a span holds more than a whole header or record: what lies beyond it changes nothing.
  const auto nLeft = static_cast<size_t>(std::min<uint64_t>(source.Size() - contents.nEnd, SURVEY_SOURCE_SPAN));
  if (nLeft > 0) {
    const uint8_t *pLeft = source.At(contents.nEnd, nLeft);
    if (nRead < contents.nSegmentCount && bLastIntact && SegmentHeaderFieldsFit(pLeft, nLeft) &&
        nLeft < SURVEY_SEGMENT_HEADER_LENGTH) {
      return _interruption{Interruption::atBegin, nRead + 1, nRead + 1, 0};
    }
    if (nRead > 0 && IsCutChannelRecord(pLeft, nLeft)) {
      return _interruption{Interruption::duringWalk, nRead, nRead, nLastRecords};
    }
    return std::nullopt;
  }
  if (!bLastIntact) {
    return _interruption{Interruption::duringWalk, nRead, nRead, nLastRecords};
  }
  if (contents.nUnwrittenSegments > 0) {
    return _interruption{Interruption::neverBegun, nRead + 1, nRead + contents.nUnwrittenSegments, 0};
  }
  return std::nullopt;
}

std::string Describe(const _interruption &interruption) {
  const std::string segment = "segment " + std::to_string(interruption.nSegment);
  switch (interruption.kind) {
  case Interruption::duringWalk:
    return segment + " was interrupted during its walk: " +
           (interruption.nRecords == 0   ? std::string("no record of it is")
            : interruption.nRecords == 1 ? std::string("1 record of it is")
                                         : std::to_string(interruption.nRecords) + " records of it are") +
           " in the file";
  case Interruption::atBegin:
    return segment + " was interrupted as its walk began: nothing of it is in the file";
  case Interruption::neverBegun:
    break;
  }
  if (interruption.nLastSegment > interruption.nSegment) {
    return "segments " + std::to_string(interruption.nSegment) + " to " + std::to_string(interruption.nLastSegment) +
           " were announced, but their walks never began: nothing of them is in the file";
  }
  return segment + " was announced, but its walk never began: nothing of it is in the file";
}

std::string Quoted(const std::string &path) { return "\"" + path + "\""; }

} // namespace

_surveyassessment AssessSurvey(const uint8_t *data, size_t size) {
  const CSurveySource source(data, size);
  return AssessSurvey(source);
}

_surveyassessment AssessSurvey(const CSurveySource &source) {
  _surveyassessment assessment;
  const _surveycontents contents = StreamSurvey(source, {false, false, SurveyReading::stopAtDamage});
  if (contents.IsSound()) {
    assessment.state = SurveyState::sound;
    return assessment;
  }
  const _surveyerror &first = contents.errors.front();
  assessment.strDescription = "offset " + std::to_string(first.nOffset) + ": " + first.strText;
  if (!RepairRefusal(contents).empty()) {
    assessment.state = SurveyState::refused;
    return assessment;
  }
  const auto interruption = FindInterruption(contents, source);
  if (!interruption) {
    assessment.state = SurveyState::repairable;
    return assessment;
  }
  assessment.state = SurveyState::continuable;
  assessment.strDescription = Describe(*interruption);
  assessment.nSegment = interruption->nSegment;
  assessment.nRecords = interruption->nRecords;
  return assessment;
}

_surveycontinuation ContinueSurvey(const std::string &path) {
  // Held until the continued file has taken the name: no collector writes it meanwhile.
  CFileLock lock;
  LockSurvey(lock, path, false);
  _surveycontinuation continuation;
  _surveyassessment assessment;
  {
    const CSurveySource source(path, CFile::shareDenyNone);
    assessment = AssessSurvey(source);
    continuation.strDescription = assessment.strDescription;
    if (assessment.state == SurveyState::sound) {
      continuation.nNextSegment = static_cast<uint32_t>(StreamSurvey(source, {false, false}).segments.size()) + 1;
      return continuation;
    }
  }
  if (assessment.state != SurveyState::continuable) {
    std::string text = Quoted(path) + " cannot be continued: " + assessment.strDescription + ".";
    if (assessment.state == SurveyState::repairable) {
      text += " 'tvdtool survey repair' makes a sound copy that keeps every readable segment and record.";
    }
    throw CFileException(CFileException::invalidFile, path, text);
  }
  // Only the counts change and the cut-short end goes: nothing past damage is guessed at. What
  // follows the readable part is no more than a record or a header cut short.
  const std::vector<uint8_t> bytes = LoadSurveyFile(path, CFile::shareDenyNone);
  const _surveyrepair repair = RepairSurvey(bytes.data(), bytes.size(), SurveyReading::stopAtDamage);
  continuation.strBackupPath = FreeBackupName(path);
  ReplaceFileWith(continuation.strBackupPath, bytes); // on the disk, name and all, before the survey changes
  ReplaceFileWith(path, repair.bytes, true);
  continuation.bChanged = true;
  continuation.changes = repair.changes;
  continuation.nNextSegment =
      static_cast<uint32_t>(ParseSurvey(repair.bytes.data(), repair.bytes.size(), false).segments.size()) + 1;
  return continuation;
}
