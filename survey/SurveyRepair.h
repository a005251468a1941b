#pragma once

#include "survey/SurveyReader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A sound copy of a survey data file and the changes that made it.
struct _surveyrepair {
  bool bPossible = false;           // false when not even the file header and count can be read
  std::string strReason;            // why not, when bPossible is false
  std::vector<uint8_t> bytes;       // the sound copy
  std::vector<std::string> changes; // one line per change; empty when the file was sound
};

// Keeps every segment header and record that can be read, drops what cannot (a cut-short header
// or record, bytes that are neither, segments beyond 500), sets each segment's record count to
// the records kept and the segment count to the segments kept. What it writes reads back with no
// error.
//
// Reading as reading says: resynchronising (the default, 'tvdtool survey repair'), everything
// readable after unreadable bytes is kept as well, and each stretch of bytes stepped over is
// listed with its offset and length ("skipped 128 bytes at offset 139: ..."); stopping at the
// damage keeps the readable beginning of the file only, byte for byte but for the counts (how a
// survey interrupted in its last segment is continued).
_surveyrepair RepairSurvey(const uint8_t *data, size_t size, SurveyReading reading = SurveyReading::resynchronise);
// The same for a survey read from source: memory grows with the copy, not with the bytes dropped.
_surveyrepair RepairSurvey(const CSurveySource &source, SurveyReading reading = SurveyReading::resynchronise);

// Why repair can keep nothing of what was read as contents (not a survey, or not even its file
// header and segment count could be read), or empty when it can keep something.
std::string RepairRefusal(const _surveycontents &contents);
