// Reading a survey data file segment by segment through a CSurveySource.
#include "survey/SurveyReader.h"

#include <algorithm>
#include <cstdio>

namespace {

// A record chain of this many records after a resynchronisation point is taken as the file's
// content even when it does not reach a segment header or the end of the file.
constexpr int SYNC_CHAIN_RECORDS = 4;
// A segment header or a record has a byte that is not zero among its bytes 1 to 4: a month, the
// year mark of a clock that could not be read, or a channel number.
constexpr uint64_t SYNC_NONZERO_WITHIN = 4;

std::string HexBytes(const uint8_t *p, size_t n) {
  std::string text;
  char digits[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(digits, sizeof digits, "%02X", p[i]);
    text += (i == 0 ? "" : " ");
    text += digits;
  }
  return text;
}

bool IsTimeField(uint8_t n, uint8_t nMax) { return n <= nMax || n == 255; }

bool LevelFits(const uint8_t *p) {
  const auto nLevel = static_cast<int16_t>(ReadUInt16LE(p));
  return nLevel >= -128 && nLevel <= 127;
}

class CSurveyParser {
public:
  CSurveyParser(const CSurveySource &source, const _surveyreadoptions &options, const SurveySegmentHandler &onSegment)
      : m_source(source), m_nSize(source.Size()), m_options(options),
        m_bResync(options.reading == SurveyReading::resynchronise), m_onSegment(onSegment) {}

  _surveycontents Parse();

private:
  // Reads the file header, the segment header length and the count; false when no segment can be
  // read after them.
  bool ReadFileHeader();
  // Reads the segments the count names (m_nSegments), and those found after them when
  // resynchronising.
  void ReadSegments();
  // Hands the segment just read to the handler and drops its records when they are not kept.
  void Deliver();
  // Resynchronising, when the segments the count names have been read and bytes remain at
  // nOffset: reports them and finds the first segment header among them (nOffset moves to it);
  // false when there is none.
  bool FindUncountedSegments(uint64_t &nOffset);
  uint64_t Remaining(uint64_t nOffset) const { return nOffset >= m_nSize ? 0 : m_nSize - nOffset; }
  // The nCount bytes at nOffset, which must remain.
  const uint8_t *At(uint64_t nOffset, size_t nCount) const { return m_source.At(nOffset, nCount); }
  uint32_t LevelsAt(uint64_t nOffset) const { return ReadUInt32LE(At(nOffset + 6, 4)); }

  // Whether a segment header of the format could start at nOffset: every field within the range
  // the writer gives it (a local time that could not be had is stored as 255).
  bool LooksLikeSegmentHeader(uint64_t nOffset) const {
    return Remaining(nOffset) >= SURVEY_SEGMENT_HEADER_LENGTH &&
           SegmentHeaderFieldsFit(At(nOffset, SURVEY_SEGMENT_HEADER_LENGTH), SURVEY_SEGMENT_HEADER_LENGTH);
  }

  // Whether a segment header as the collector writes it at BEGIN starts at nOffset: its fields fit,
  // and it carries a date and a start time (or the marks of a clock that could not be read). Zeros
  // left by a file system after a crash do not pass.
  bool LooksLikeStampedHeader(uint64_t nOffset) const {
    if (!LooksLikeSegmentHeader(nOffset)) {
      return false;
    }
    const uint8_t *p = At(nOffset, SURVEY_SEGMENT_HEADER_LENGTH);
    const bool bDated = p[1] >= 1 && p[1] <= 12 && p[2] >= 1 && p[2] <= 31 && p[4] <= 23 && p[5] <= 59 && p[6] <= 60;
    const bool bNoClock = p[1] == 0 && p[2] == 0 && p[3] == 68 && p[4] == 255 && p[5] == 255 && p[6] == 255;
    return bDated || bNoClock;
  }

  // Whether segment k's records may be followed by another segment header.
  bool HeaderMayFollow(uint32_t k) const {
    return k < m_nSegments || (m_bResync && k < static_cast<uint32_t>(SURVEY_MAX_SEGMENTS));
  }
  // Whether the header of segment k + 1 starts at nOffset: any header for a segment the count
  // names, a stamped one for a segment beyond it.
  bool LooksLikeNextHeader(uint32_t k, uint64_t nOffset) const {
    return k < m_nSegments ? LooksLikeSegmentHeader(nOffset) : LooksLikeStampedHeader(nOffset);
  }

  // Whether the file ends at nOffset inside what begins as a segment header: what a process
  // killed while BEGIN appended the header leaves.
  bool LooksLikeCutSegmentHeader(uint64_t nOffset) const {
    const uint64_t nLeft = Remaining(nOffset);
    return nLeft > 0 && nLeft < SURVEY_SEGMENT_HEADER_LENGTH &&
           SegmentHeaderFieldsFit(At(nOffset, static_cast<size_t>(nLeft)), nLeft);
  }

  // Whether a whole record that could have been written by the collector starts at nOffset.
  bool LooksLikeRecord(uint64_t nOffset) const {
    if (Remaining(nOffset) < SURVEY_RECORD_HEADER_LENGTH) {
      return false;
    }
    const uint8_t *p = At(nOffset, SURVEY_RECORD_HEADER_LENGTH);
    const uint16_t nChannel = ReadUInt16LE(p + 4);
    const uint32_t nLevels = ReadUInt32LE(p + 6);
    if ((nChannel != 1 && nChannel != 2) || nLevels > SURVEY_MAX_RECORD_LEVELS ||
        Remaining(nOffset) < ChannelRecordSize(nLevels)) {
      return false;
    }
    p = At(nOffset, static_cast<size_t>(ChannelRecordSize(nLevels)));
    for (uint32_t i = 0; i < nLevels; ++i) {
      if (!LevelFits(p + SURVEY_RECORD_HEADER_LENGTH + 2 * i)) {
        return false;
      }
    }
    return true;
  }

  // Whether a record of the format's size limits starts at nOffset, whatever its values.
  bool IsWholeRecord(uint64_t nOffset) const {
    if (Remaining(nOffset) < SURVEY_RECORD_HEADER_LENGTH) {
      return false;
    }
    const uint32_t nLevels = LevelsAt(nOffset);
    return nLevels <= SURVEY_MAX_RECORD_LEVELS && Remaining(nOffset) >= ChannelRecordSize(nLevels);
  }

  // Reads the whole record at nOffset into segment.
  void ReadRecord(_surveysegmententry &segment, uint64_t nOffset) const;

  void Error(SurveyProblem kind, uint64_t nOffset, std::string text) {
    m_contents.errors.push_back({kind, nOffset, std::move(text)});
  }

  // Reads the records of segment k behind its header; returns false when reading has to stop at
  // unreadable bytes, true when it goes on with the next segment header at nOffset.
  bool ReadRecords(_surveysegmententry &segment, uint32_t k, uint64_t &nOffset);
  // Reads segment k's records as its header counts them; false when they do not lead to a boundary.
  bool ReadAsCounted(_surveysegmententry &segment, uint32_t k, uint64_t &nOffset);
  // Says what the unreadable bytes at nOffset are.
  void ReportUnreadable(const _surveysegmententry &segment, uint32_t k, uint64_t nOffset);
  // Reports a record at nOffset that claims more levels than a record holds, or that the file ends
  // inside; false when it is neither.
  bool ReportRecordSize(uint32_t k, uint64_t nOffset, const std::string &what);

  // Where reading resynchronises after unreadable bytes at nFrom.
  enum class SyncKind { none, header, record };
  struct _syncpoint {
    SyncKind kind = SyncKind::none;
    uint64_t nOffset = 0;
  };
  // Looks from nFrom on for the next record (bRecords) or header of the segment after k, as far as
  // the segments the count still names could reach from segment k's header at nSegmentOffset.
  _syncpoint FindSyncPoint(uint64_t nFrom, bool bRecords, uint32_t k, uint64_t nSegmentOffset) const;
  // Whether the records from nOffset on lead to more of the file's content: a few of them, the end
  // of the file, a stamped segment header or a record cut short by the end of the file.
  bool ChainFits(uint64_t nOffset, bool bAfterHeader) const;
  // Whether a cut-short record begins at nOffset and runs to the end of the file.
  bool IsCutRecordAt(uint64_t nOffset) const {
    // A look of a span holds more than a whole record: what lies beyond it changes nothing.
    const auto nLeft = static_cast<size_t>(std::min<uint64_t>(Remaining(nOffset), SURVEY_SOURCE_SPAN));
    return nLeft > 0 && IsCutChannelRecord(At(nOffset, nLeft), nLeft);
  }

  const CSurveySource &m_source;
  uint64_t m_nSize;
  _surveyreadoptions m_options;
  bool m_bResync;
  const SurveySegmentHandler &m_onSegment;
  uint32_t m_nSegments = 0; // the segments the count names, at most 500
  _surveycontents m_contents;
};

_surveycontents CSurveyParser::Parse() {
  m_contents.nLength = m_nSize;
  if (ReadFileHeader()) {
    ReadSegments();
  }
  return std::move(m_contents);
}

bool CSurveyParser::ReadFileHeader() {
  if (m_nSize < SURVEY_HEADER_LENGTH) {
    Error(SurveyProblem::truncated, 0,
          "the file header needs 25 bytes, but the file holds only " + std::to_string(m_nSize));
    return false;
  }
  m_contents.header = DecodeSurveyHeader(At(0, SURVEY_HEADER_LENGTH));
  m_contents.bHeaderRead = true;
  m_contents.nEnd = SURVEY_HEADER_LENGTH;
  if (m_contents.header.magic != SURVEY_MAGIC) {
    Error(SurveyProblem::notSurvey, 4,
          "this is not a survey data file: the magic is " + HexBytes(At(4, 4), 4) + " instead of 20 44 56 54");
    return false;
  }
  if (m_contents.header.nLength != SURVEY_HEADER_LENGTH) {
    Error(SurveyProblem::badHeader, 0,
          "the file header gives its length as " + std::to_string(m_contents.header.nLength) + " instead of 25");
  }
  if (m_contents.header.nTrailer != SURVEY_HEADER_LENGTH) {
    Error(SurveyProblem::badHeader, 21,
          "the file header ends with " + std::to_string(m_contents.header.nTrailer) + " instead of 25");
  }
  if (m_nSize < SURVEY_FIRST_SEGMENT_OFFSET) {
    Error(SurveyProblem::truncated, m_nSize,
          "the file ends after " + std::to_string(m_nSize) +
              " bytes, before the segment header length and the segment count (33 bytes are needed)");
    if (m_nSize >= SURVEY_COUNT_OFFSET) {
      m_contents.bSegmentHeaderLengthRead = true;
      m_contents.nSegmentHeaderLength = ReadUInt32LE(At(SURVEY_HEADER_LENGTH_OFFSET, 4));
    }
    return false;
  }
  m_contents.bSegmentHeaderLengthRead = true;
  m_contents.nSegmentHeaderLength = ReadUInt32LE(At(SURVEY_HEADER_LENGTH_OFFSET, 4));
  m_contents.bCountRead = true;
  m_contents.nSegmentCount = ReadUInt32LE(At(SURVEY_COUNT_OFFSET, 4));
  if (m_contents.nSegmentHeaderLength != SURVEY_SEGMENT_HEADER_LENGTH) {
    Error(SurveyProblem::notSurvey, SURVEY_HEADER_LENGTH_OFFSET,
          "segment headers are said to be " + std::to_string(m_contents.nSegmentHeaderLength) +
              " bytes long; survey data files have headers of 53 bytes");
    return false;
  }
  m_contents.nEnd = SURVEY_FIRST_SEGMENT_OFFSET;

  uint32_t nSegments = m_contents.nSegmentCount;
  if (nSegments > static_cast<uint32_t>(SURVEY_MAX_SEGMENTS)) {
    Error(SurveyProblem::tooManySegments, SURVEY_COUNT_OFFSET,
          "the segment count is " + std::to_string(nSegments) +
              "; a survey holds at most 500 segments, and only the first 500 are read");
    nSegments = SURVEY_MAX_SEGMENTS;
  }
  m_nSegments = nSegments;
  return true;
}

void CSurveyParser::ReadSegments() {
  const uint32_t nSegments = m_nSegments;
  uint64_t nOffset = SURVEY_FIRST_SEGMENT_OFFSET;
  for (uint32_t k = 1; k <= static_cast<uint32_t>(SURVEY_MAX_SEGMENTS); ++k) {
    if (k > nSegments) {
      // Resynchronising, the last segment read may have found a header after it.
      if (!m_bResync || nOffset >= m_nSize) {
        break;
      }
      if (k == nSegments + 1 && !FindUncountedSegments(nOffset)) {
        return;
      }
    }
    if (nOffset == m_nSize) {
      m_contents.nUnwrittenSegments = nSegments - k + 1;
      Error(SurveyProblem::unwrittenSegments, nOffset,
            (k == nSegments ? "segment " + std::to_string(k) + " is"
                            : "segments " + std::to_string(k) + " to " + std::to_string(nSegments) + " are") +
                " counted but never written: the file ends after segment " + std::to_string(k - 1));
      return;
    }
    if (Remaining(nOffset) < SURVEY_SEGMENT_HEADER_LENGTH) {
      Error(SurveyProblem::truncated, nOffset,
            "the header of segment " + std::to_string(k) + " is cut short: 53 bytes are needed, only " +
                std::to_string(Remaining(nOffset)) + " remain");
      return;
    }
    _surveysegmententry segment;
    segment.nOffset = nOffset;
    segment.header = DecodeSegmentHeader(At(nOffset, SURVEY_SEGMENT_HEADER_LENGTH));
    nOffset += SURVEY_SEGMENT_HEADER_LENGTH;
    const bool bGoOn = ReadRecords(segment, k, nOffset);
    m_contents.segments.push_back(std::move(segment));
    m_contents.nEnd = nOffset;
    Deliver();
    if (!bGoOn) {
      return;
    }
  }
  if (nOffset < m_nSize && m_contents.nSegmentCount <= static_cast<uint32_t>(SURVEY_MAX_SEGMENTS)) {
    Error(SurveyProblem::trailingBytes, nOffset,
          std::to_string(m_nSize - nOffset) + " bytes follow the last segment's records and belong to no segment");
  }
}

void CSurveyParser::Deliver() {
  if (m_onSegment) {
    m_onSegment(m_contents, m_contents.segments.size() - 1);
  }
  if (!m_options.bKeepRecords) {
    std::vector<_surveyrecordentry>().swap(m_contents.segments.back().records);
  }
}

bool CSurveyParser::FindUncountedSegments(uint64_t &nOffset) {
  // After a counted segment, reading went on only because a stamped header follows it.
  if (m_nSegments > 0 || LooksLikeStampedHeader(nOffset)) {
    Error(SurveyProblem::trailingBytes, nOffset,
          "segment headers follow the last of the " + std::to_string(m_nSegments) + " segments the count names");
    return true;
  }
  Error(SurveyProblem::trailingBytes, nOffset,
        std::to_string(m_nSize - nOffset) + " bytes follow the segment count, which names no segment");
  const _syncpoint sync = FindSyncPoint(nOffset, false, 0, SURVEY_FIRST_SEGMENT_OFFSET);
  if (sync.kind == SyncKind::none) {
    return false;
  }
  m_contents.skipped.push_back({nOffset, sync.nOffset - nOffset, m_contents.errors.back().strText});
  nOffset = sync.nOffset;
  return true;
}

void CSurveyParser::ReadRecord(_surveysegmententry &segment, uint64_t nOffset) const {
  const uint32_t nLevels = LevelsAt(nOffset);
  const uint8_t *p = At(nOffset, static_cast<size_t>(ChannelRecordSize(nLevels)));
  _surveyrecordentry record;
  record.nOffset = nOffset;
  record.nFrequency = ReadUInt32LE(p);
  record.nChannel = ReadUInt16LE(p + 4);
  record.nLevels = nLevels;
  if (m_options.bKeepLevels) {
    record.levels.resize(record.nLevels);
    for (uint32_t i = 0; i < record.nLevels; ++i) {
      record.levels[i] = static_cast<int16_t>(ReadUInt16LE(p + SURVEY_RECORD_HEADER_LENGTH + 2 * i));
    }
  }
  segment.records.push_back(std::move(record));
  ++segment.nRecords;
  segment.nLevels += nLevels;
}

bool CSurveyParser::ReadAsCounted(_surveysegmententry &segment, uint32_t k, uint64_t &nOffset) {
  const uint32_t nClaimed = segment.header.nRecordCount;
  uint64_t nEnd = nOffset;
  for (uint32_t i = 0; i < nClaimed; ++i) {
    if (!IsWholeRecord(nEnd)) {
      return false;
    }
    nEnd += ChannelRecordSize(LevelsAt(nEnd));
  }
  // A header cut short behind the counted records is the next segment's, interrupted at its BEGIN.
  if (nEnd != m_nSize &&
      !(HeaderMayFollow(k) && (LooksLikeNextHeader(k, nEnd) || (k < m_nSegments && LooksLikeCutSegmentHeader(nEnd))))) {
    return false;
  }
  segment.records.reserve(nClaimed);
  for (uint32_t i = 0; i < nClaimed; ++i) {
    ReadRecord(segment, nOffset);
    nOffset += ChannelRecordSize(segment.records.back().nLevels);
  }
  return true;
}

bool CSurveyParser::ReadRecords(_surveysegmententry &segment, uint32_t k, uint64_t &nOffset) {
  if (ReadAsCounted(segment, k, nOffset)) {
    return true;
  }
  // The count does not fit what follows: take the records that are there.
  const uint32_t nClaimed = segment.header.nRecordCount;
  bool bMismatchReported = false;
  for (;;) {
    while (LooksLikeRecord(nOffset)) {
      ReadRecord(segment, nOffset);
      nOffset += ChannelRecordSize(segment.records.back().nLevels);
    }
    const bool bBoundary = nOffset == m_nSize || (HeaderMayFollow(k) && LooksLikeNextHeader(k, nOffset));
    // At a boundary the counts differ (the same records would have ended at the same place), but
    // for a count that wrapped; before unreadable bytes only surplus records are worth a word.
    if (!bMismatchReported && !RecordCountFits(segment.nRecords, static_cast<uint16_t>(nClaimed)) &&
        (bBoundary || segment.nRecords > nClaimed)) {
      Error(SurveyProblem::countMismatch, segment.nOffset + 50,
            "segment " + std::to_string(k) + "'s header counts " + std::to_string(nClaimed) + " records, but " +
                std::to_string(segment.nRecords) + " follow it");
      bMismatchReported = true;
    }
    if (bBoundary) {
      return true;
    }
    ReportUnreadable(segment, k, nOffset);
    if (!m_bResync) {
      return false;
    }
    const _syncpoint sync = FindSyncPoint(nOffset, segment.nRecords < nClaimed, k, segment.nOffset);
    if (sync.kind == SyncKind::none) {
      return false;
    }
    m_contents.skipped.push_back({nOffset, sync.nOffset - nOffset, m_contents.errors.back().strText});
    nOffset = sync.nOffset;
    if (sync.kind == SyncKind::header) {
      return true;
    }
  }
}

CSurveyParser::_syncpoint CSurveyParser::FindSyncPoint(uint64_t nFrom, bool bRecords, uint32_t k,
                                                       uint64_t nSegmentOffset) const {
  const bool bHeaders = HeaderMayFollow(k);
  if (!bHeaders && !bRecords) {
    return {};
  }
  // Segment k and those the count names after it take at most this much of the file.
  const uint64_t nReach = (std::max(m_nSegments, k) - k + 1) * SURVEY_MAX_SEGMENT_LENGTH;
  const uint64_t nLimit = std::min(m_nSize, nSegmentOffset + nReach);
  uint64_t q = nFrom;
  while (q < nLimit) {
    // Nothing can start at q before a byte that is not zero comes near.
    const uint64_t nNonZero = m_source.NextNonZero(q + 1, nLimit + SYNC_NONZERO_WITHIN);
    if (nNonZero > q + SYNC_NONZERO_WITHIN) {
      q = nNonZero - SYNC_NONZERO_WITHIN;
      continue;
    }
    if (bHeaders && LooksLikeStampedHeader(q) && ChainFits(q + SURVEY_SEGMENT_HEADER_LENGTH, true)) {
      return {SyncKind::header, q};
    }
    if (bRecords && LooksLikeRecord(q) && ChainFits(q, false)) {
      return {SyncKind::record, q};
    }
    ++q;
  }
  return {};
}

bool CSurveyParser::ChainFits(uint64_t nOffset, bool bAfterHeader) const {
  int nRecords = 0;
  while (nRecords < SYNC_CHAIN_RECORDS && LooksLikeRecord(nOffset)) {
    nOffset += ChannelRecordSize(LevelsAt(nOffset));
    ++nRecords;
  }
  return nRecords >= SYNC_CHAIN_RECORDS || nOffset == m_nSize || LooksLikeStampedHeader(nOffset) ||
         ((bAfterHeader || nRecords > 0) && IsCutRecordAt(nOffset));
}

void CSurveyParser::ReportUnreadable(const _surveysegmententry &segment, uint32_t k, uint64_t nOffset) {
  const uint64_t nLeft = Remaining(nOffset);
  const bool bRecordExpected = segment.nRecords < segment.header.nRecordCount;
  const bool bHeaderExpected = !bRecordExpected && k < m_nSegments;
  const std::string what = bRecordExpected
                               ? "record " + std::to_string(segment.nRecords + 1) + " of segment " + std::to_string(k)
                           : bHeaderExpected ? "the header of segment " + std::to_string(k + 1)
                                             : "a record after the last segment's records";
  if (nLeft < SURVEY_RECORD_HEADER_LENGTH || (bHeaderExpected && nLeft < SURVEY_SEGMENT_HEADER_LENGTH)) {
    Error(SurveyProblem::truncated, nOffset,
          "the file ends inside " + what + ": only " + std::to_string(nLeft) + " bytes remain");
    return;
  }
  if (!bHeaderExpected && ReportRecordSize(k, nOffset, what)) {
    return;
  }
  if (!bRecordExpected && !bHeaderExpected) {
    Error(SurveyProblem::trailingBytes, nOffset,
          std::to_string(nLeft) + " bytes follow the last segment's records and cannot be read as records");
    return;
  }
  const size_t nShown = nLeft < 10 ? static_cast<size_t>(nLeft) : 10;
  Error(SurveyProblem::unreadable, nOffset,
        what + " was expected here, but the bytes (" + HexBytes(At(nOffset, nShown), nShown) +
            " ...) are neither a channel record nor a segment header");
}

bool CSurveyParser::ReportRecordSize(uint32_t k, uint64_t nOffset, const std::string &what) {
  const uint64_t nLeft = Remaining(nOffset);
  const uint32_t nLevels = LevelsAt(nOffset);
  if (nLevels > SURVEY_MAX_RECORD_LEVELS) {
    Error(SurveyProblem::tooManyLevels, nOffset + 6,
          "the record of segment " + std::to_string(k) + " here claims " + std::to_string(nLevels) +
              " levels; a record holds at most 99");
    return true;
  }
  if (nLeft < ChannelRecordSize(nLevels)) {
    Error(SurveyProblem::truncated, nOffset,
          "the file ends inside " + what + ": a record of " + std::to_string(nLevels) + " levels needs " +
              std::to_string(ChannelRecordSize(nLevels)) + " bytes, only " + std::to_string(nLeft) + " remain");
    return true;
  }
  return false;
}

} // namespace

bool SegmentHeaderFieldsFit(const uint8_t *p, uint64_t nBytes) {
  // The fields and the largest value the collector writes into each; 255 marks a time that could
  // not be had.
  struct _field {
    size_t nOffset;
    uint8_t nMax;
    bool bTime;
  };
  static constexpr _field FIELDS[] = {{0, 1, false}, {1, 12, false}, {2, 31, false}, {4, 23, true}, {5, 59, true},
                                      {6, 60, true}, {7, 23, true},  {8, 59, true},  {9, 60, true}, {52, 0, false}};
  for (const _field &field : FIELDS) {
    if (field.nOffset < nBytes &&
        !(field.bTime ? IsTimeField(p[field.nOffset], field.nMax) : p[field.nOffset] <= field.nMax)) {
      return false;
    }
  }
  return true;
}

bool IsCutChannelRecord(const uint8_t *p, uint64_t nBytes) {
  if (nBytes == 0) {
    return false;
  }
  // The channel number, 1 or 2, as far as it is there.
  if (nBytes > 4 && p[4] != 1 && p[4] != 2) {
    return false;
  }
  if (nBytes > 5 && p[5] != 0) {
    return false;
  }
  // The level count, at most 99, as far as it is there.
  if (nBytes > 6 && p[6] > SURVEY_MAX_RECORD_LEVELS) {
    return false;
  }
  for (uint64_t i = 7; i < std::min<uint64_t>(nBytes, SURVEY_RECORD_HEADER_LENGTH); ++i) {
    if (p[i] != 0) {
      return false;
    }
  }
  if (nBytes < SURVEY_RECORD_HEADER_LENGTH) {
    return true;
  }
  const uint32_t nLevels = ReadUInt32LE(p + 6);
  if (nBytes >= ChannelRecordSize(nLevels)) {
    return false; // a whole record
  }
  for (uint64_t i = SURVEY_RECORD_HEADER_LENGTH; i + 1 < nBytes; i += 2) {
    if (!LevelFits(p + i)) {
      return false;
    }
  }
  // A level cut in half: its low byte alone says nothing wrong.
  return true;
}

_surveycontents StreamSurvey(const CSurveySource &source, const _surveyreadoptions &options,
                             const SurveySegmentHandler &onSegment) {
  return CSurveyParser(source, options, onSegment).Parse();
}
