#pragma once

#include "survey/SurveyFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What can be wrong with a survey data file.
enum class SurveyProblem {
  notSurvey,         // no survey magic, or segment headers of another size: nothing can be read
  badHeader,         // a length field of the file header is not 25
  truncated,         // the file ends inside a header or a record
  tooManySegments,   // the count announces more than 500 segments
  tooManyLevels,     // a record claims more levels than any record holds
  countMismatch,     // a segment header's record count disagrees with the records that follow it
  unreadable,        // bytes that are neither a record nor a segment header
  trailingBytes,     // bytes after the last segment's records
  unwrittenSegments, // segments announced by the count whose headers were never written
};

struct _surveyerror {
  SurveyProblem kind = SurveyProblem::unreadable;
  uint64_t nOffset = 0;
  std::string strText; // what is wrong, without the file's name
};

struct _surveyrecordentry {
  uint64_t nOffset = 0;
  uint32_t nFrequency = 0;
  uint16_t nChannel = 0;
  uint32_t nLevels = 0;
  std::vector<int16_t> levels; // filled only when the levels are kept
};

struct _surveysegmententry {
  uint64_t nOffset = 0;
  _segmentheader header;
  std::vector<_surveyrecordentry> records; // the records found behind the header
};

// Everything that could be read from a survey data file, and what could not.
struct _surveycontents {
  uint64_t nLength = 0;
  bool bHeaderRead = false;
  _surveyheader header;
  bool bSegmentHeaderLengthRead = false;
  uint32_t nSegmentHeaderLength = 0;
  bool bCountRead = false;
  uint32_t nSegmentCount = 0; // as the file states it
  std::vector<_surveysegmententry> segments;
  uint32_t nUnwrittenSegments = 0;
  // Where the readable content ends: every byte before it belongs to a header or a record read.
  uint64_t nEnd = 0;
  std::vector<_surveyerror> errors;

  bool IsSound() const { return errors.empty(); }
  // The first error that keeps a survey from being continued, or nullptr. Segments announced but
  // never written are left by every interrupted set-up and do not keep it from being continued.
  const _surveyerror *FirstBlockingError() const;
  uint64_t RecordCount() const;
  uint64_t LevelCount() const;
};

// Reads a whole survey data file held in memory. Never reads outside data[0, size).
//
// Each segment's records are read as its header counts them when that leads exactly to the next
// segment header or to the end of the file. Otherwise the count is not to be trusted (a walk whose
// STOP never came keeps a provisional count), and the records are taken one by one for as long as
// they look like records of the format: channel 1 or 2, at most 99 levels, each level within the
// range of a signed byte. The disagreement is reported. Reading stops at the first bytes that can
// be neither.
_surveycontents ParseSurvey(const uint8_t *data, size_t size, bool bKeepLevels = true);

// Whether the first nBytes bytes at p (nBytes at most 53) hold values the collector writes into a
// segment header: the coordinates flag 0 or 1, a month, a day, times of day (or 255 where the
// clock could not be read), and the last byte 0. Bytes beyond nBytes are not looked at.
bool SegmentHeaderFieldsFit(const uint8_t *p, uint64_t nBytes);

// Whether the nBytes bytes at p are the beginning of a channel record that the file ends inside:
// fewer bytes than the record needs, and whatever of its channel number (1 or 2), its level count
// (at most 99) and its levels (-128 to 127) is there fits a record the collector writes.
bool IsCutChannelRecord(const uint8_t *p, uint64_t nBytes);

// Loads a whole file for ParseSurvey. Raises CFileException naming the file when it cannot be read.
// nShare is the CFile sharing flag to open it with.
std::vector<uint8_t> LoadSurveyFile(const std::string &path, unsigned nShare);

// One line naming the file and the offset: "\"path\", offset 33: ...".
std::string DescribeSurveyError(const std::string &path, const _surveyerror &error);
