#pragma once

#include "survey/SurveySource.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What can be done with a survey data file, from the best case to the worst.
enum class SurveyState {
  sound,       // it reads back as it claims: it is opened and walked on as it is
  continuable, // only its last segment is damaged, as a walk cut off by a crash or a dead battery
               // leaves it: ContinueSurvey repairs it in place, losing nothing that reached the disk
  repairable,  // other damage: 'tvdtool survey repair' writes a sound copy of what can be read
  refused,     // not a survey data file, or not even its header and segment count can be read
};

struct _surveyassessment {
  SurveyState state = SurveyState::refused;
  // One sentence for the operator, without the file's name. Continuable: what was interrupted,
  // "segment 5 was interrupted during its walk: 4 records of it are in the file". Repairable or
  // refused: the first problem found. Sound: empty.
  std::string strDescription;
  uint32_t nSegment = 0; // continuable: the segment that was interrupted
  uint32_t nRecords = 0; // continuable: its records in the file
};

// Says what can be done with the survey data file held in data[0, size).
//
// Continuable is exactly what an interrupted walk leaves: every segment but the last reads back
// as its header counts it, and the last one
//   - has a header count that disagrees with the records behind it (STOP never rewrote it), or
//   - is followed by the beginning of a record cut short at the end of the file, or
//   - is a header cut short at the end of the file (the kill came during BEGIN's write), or
//   - was announced, but never begun (the count names segments whose headers never came).
// Anything else that is wrong makes a survey repairable or refused.
_surveyassessment AssessSurvey(const uint8_t *data, size_t size);
// The same for a survey read from source, in memory that does not grow with its length.
_surveyassessment AssessSurvey(const CSurveySource &source);

// The result of ContinueSurvey.
struct _surveycontinuation {
  bool bChanged = false;            // false when the survey was sound: nothing was written
  std::string strDescription;       // what was interrupted, as AssessSurvey says it
  std::string strBackupPath;        // where the file as it was is kept
  std::vector<std::string> changes; // each change made to the file, one line each
  uint32_t nNextSegment = 0;        // the number the next segment announced gets
};

// Continues the survey at path when it is continuable: keeps the file as it was beside it under
// FreeBackupName(path) (never overwriting a file), then rewrites it with the interrupted
// segment's record count set to the records present, the record or header cut short dropped and
// the segment count set to the segments present. Every whole record stays, and no stop time is
// made up: a segment whose STOP never reached the file keeps the stop time its header had.
// A sound survey is left as it is. Call it while no survey data object has the file open (the
// collector offers it when opening the survey failed): a survey that another program is writing
// is refused with SURVEY_TEXT_IN_USE (sharingViolation), and the lock is held until the continued
// file has taken its name. The backup and the continued file reach the disk, names and all, before
// the call returns. Raises CFileException naming the file when it cannot be read or written, or
// when it is neither sound nor continuable (invalidFile; nothing is written).
_surveycontinuation ContinueSurvey(const std::string &path);
