#pragma once

#include "survey/SurveyFormat.h"
#include "survey/SurveySource.h"

#include <cstddef>
#include <cstdint>
#include <functional>
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

// Bytes that reading in resynchronise mode stepped over to find the next segment header or record.
struct _surveyskip {
  uint64_t nOffset = 0;
  uint64_t nLength = 0;
  std::string strWhy; // what is wrong with the bytes at nOffset
};

struct _surveysegmententry {
  uint64_t nOffset = 0;
  _segmentheader header;
  std::vector<_surveyrecordentry> records; // the records found behind the header, when they are kept
  uint64_t nRecords = 0;                   // how many records were found, kept or not
  uint64_t nLevels = 0;                    // the levels they hold
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
  // Where the readable content ends: every byte before it belongs to a header or a record read
  // (or, when resynchronising, to the bytes skipped).
  uint64_t nEnd = 0;
  std::vector<_surveyerror> errors;
  std::vector<_surveyskip> skipped; // when resynchronising: what was stepped over, in file order

  bool IsSound() const { return errors.empty(); }
  // The first error that keeps a survey from being continued, or nullptr. Segments announced but
  // never written are left by every interrupted set-up and do not keep it from being continued.
  const _surveyerror *FirstBlockingError() const;
  uint64_t RecordCount() const;
  uint64_t LevelCount() const;
};

// How far reading goes past bytes that are neither a record nor a segment header.
enum class SurveyReading {
  stopAtDamage, // reading ends there: what the collector and the tools read
  // reading looks on, byte by byte, for the next segment header or record recognised by its shape
  // (records only while the segment's count wants more of them) that is followed by more of the
  // file's content, steps over the bytes in between (skipped) and reads on; segments found after
  // those the count names are read too, up to 500: what 'tvdtool survey repair' keeps
  resynchronise,
};

// How a survey is read.
struct _surveyreadoptions {
  bool bKeepLevels = true;  // each record's levels, or only its offset, channel and count
  bool bKeepRecords = true; // false: a segment's records are dropped once the handler has seen them
  SurveyReading reading = SurveyReading::stopAtDamage;
};

// Called with what has been read so far as soon as the records of contents.segments[nIndex] have
// been read: its records (with their levels when they are kept), the headers of the segments
// before it and the errors found up to its end (a header count that disagrees with its records
// among them). Errors found after it are not there yet.
using SurveySegmentHandler = std::function<void(const _surveycontents &contents, size_t nIndex)>;

// Reads a survey from source segment by segment, handing each to onSegment (which may be empty).
// With options.bKeepRecords false, memory grows with the segments (at most 500 headers) and not
// with the records or levels: every segment keeps its header, offset and counts.
//
// Each segment's records are read as its header counts them when that leads exactly to the next
// segment header or to the end of the file. Otherwise the count is not to be trusted (a walk whose
// STOP never came keeps a provisional count), and the records are taken one by one for as long as
// they look like records of the format: channel 1 or 2, at most 99 levels, each level within the
// range of a signed byte. A count agrees with the records found when it equals their number
// modulo 65536 (RecordCountFits): writers before the record limit let the 16-bit count wrap past
// 65535, and such segments are read whole by the shape of their records. Any other disagreement is
// reported. At the first bytes that can be neither a record nor a header, reading stops or
// resynchronises, as options.reading says. A resynchronisation looks only as far as the segments
// the count still names could reach (each at most a header and 65535 records of 99 levels, one
// more past the last of them): past the last readable segment, reading stops at the first
// impossible record and reports its offset, however many bytes follow.
_surveycontents StreamSurvey(const CSurveySource &source, const _surveyreadoptions &options,
                             const SurveySegmentHandler &onSegment = {});

// Reads a whole survey data file held in memory, as StreamSurvey does, keeping every record.
// Never reads outside data[0, size).
_surveycontents ParseSurvey(const uint8_t *data, size_t size, bool bKeepLevels = true,
                            SurveyReading reading = SurveyReading::stopAtDamage);

// Whether a segment header's 16-bit count nCounted agrees with nRecords records: equal, or equal
// to their number modulo 65536 (the count of a segment of more than 65535 records, as writers
// before the record limit stored it).
bool RecordCountFits(uint64_t nRecords, uint16_t nCounted);

// Whether the first nBytes bytes at p (nBytes at most 53) hold values the collector writes into a
// segment header: the coordinates flag 0 or 1, a month, a day, times of day (or 255 where the
// clock could not be read), and the last byte 0. Bytes beyond nBytes are not looked at.
bool SegmentHeaderFieldsFit(const uint8_t *p, uint64_t nBytes);

// Whether the nBytes bytes at p are the beginning of a channel record that the file ends inside:
// fewer bytes than the record needs, and whatever of its channel number (1 or 2), its level count
// (at most 99) and its levels (-128 to 127) is there fits a record the collector writes.
bool IsCutChannelRecord(const uint8_t *p, uint64_t nBytes);

// Reads the survey data file at path, opened with the CFile sharing flag nShare, as StreamSurvey
// does, through a window: memory grows with what is kept, never with the length of the file.
// Raises CFileException naming the file when it cannot be read or is longer than any survey can be.
_surveycontents ReadSurveyFile(const std::string &path, unsigned nShare, const _surveyreadoptions &options,
                               const SurveySegmentHandler &onSegment = {});

// Loads a whole file for ParseSurvey. Raises CFileException naming the file when it cannot be read,
// when it is longer than any survey can be (refused before it is read), or when more than
// SURVEY_LOAD_UNREADABLE_LIMIT bytes follow everything that any reading of it can use (refused
// with the offset where they begin and what they are, once they have been read through a window).
// nShare is the CFile sharing flag to open it with.
std::vector<uint8_t> LoadSurveyFile(const std::string &path, unsigned nShare);
constexpr uint64_t SURVEY_LOAD_UNREADABLE_LIMIT = uint64_t{1} << 20;

// One line naming the file and the offset: "\"path\", offset 33: ...".
std::string DescribeSurveyError(const std::string &path, const _surveyerror &error);
