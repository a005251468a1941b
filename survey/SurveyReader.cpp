#include "survey/SurveyReader.h"

#include "platform/File.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

// At most this many records are counted by a segment header's 16-bit field.
constexpr size_t MAX_SEGMENT_RECORDS = std::numeric_limits<uint16_t>::max();

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
  CSurveyParser(const uint8_t *data, size_t size, bool bKeepLevels)
      : m_data(data), m_nSize(size), m_bKeepLevels(bKeepLevels) {}

  _surveycontents Parse();

private:
  uint64_t Remaining(uint64_t nOffset) const { return nOffset >= m_nSize ? 0 : m_nSize - nOffset; }

  // Whether a segment header of the format could start at nOffset: every field within the range
  // the writer gives it (a local time that could not be had is stored as 255).
  bool LooksLikeSegmentHeader(uint64_t nOffset) const {
    return Remaining(nOffset) >= SURVEY_SEGMENT_HEADER_LENGTH &&
           SegmentHeaderFieldsFit(m_data + nOffset, SURVEY_SEGMENT_HEADER_LENGTH);
  }

  // Whether the file ends at nOffset inside what begins as a segment header: what a process
  // killed while BEGIN appended the header leaves.
  bool LooksLikeCutSegmentHeader(uint64_t nOffset) const {
    const uint64_t nLeft = Remaining(nOffset);
    return nLeft > 0 && nLeft < SURVEY_SEGMENT_HEADER_LENGTH && SegmentHeaderFieldsFit(m_data + nOffset, nLeft);
  }

  // Whether a whole record that could have been written by the collector starts at nOffset.
  bool LooksLikeRecord(uint64_t nOffset) const {
    if (Remaining(nOffset) < SURVEY_RECORD_HEADER_LENGTH) {
      return false;
    }
    const uint8_t *p = m_data + nOffset;
    const uint16_t nChannel = ReadUInt16LE(p + 4);
    const uint32_t nLevels = ReadUInt32LE(p + 6);
    if ((nChannel != 1 && nChannel != 2) || nLevels > SURVEY_MAX_RECORD_LEVELS ||
        Remaining(nOffset) < ChannelRecordSize(nLevels)) {
      return false;
    }
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
    const uint32_t nLevels = ReadUInt32LE(m_data + nOffset + 6);
    return nLevels <= SURVEY_MAX_RECORD_LEVELS && Remaining(nOffset) >= ChannelRecordSize(nLevels);
  }

  _surveyrecordentry ReadRecord(uint64_t nOffset) const {
    const uint8_t *p = m_data + nOffset;
    _surveyrecordentry record;
    record.nOffset = nOffset;
    record.nFrequency = ReadUInt32LE(p);
    record.nChannel = ReadUInt16LE(p + 4);
    record.nLevels = ReadUInt32LE(p + 6);
    if (m_bKeepLevels) {
      record.levels.resize(record.nLevels);
      for (uint32_t i = 0; i < record.nLevels; ++i) {
        record.levels[i] = static_cast<int16_t>(ReadUInt16LE(p + SURVEY_RECORD_HEADER_LENGTH + 2 * i));
      }
    }
    return record;
  }

  void Error(SurveyProblem kind, uint64_t nOffset, std::string text) {
    m_contents.errors.push_back({kind, nOffset, std::move(text)});
  }

  // Reads the records of segment k (of nSegments) behind its header; returns false when reading
  // has to stop at unreadable bytes.
  bool ReadRecords(_surveysegmententry &segment, uint32_t k, uint32_t nSegments, uint64_t &nOffset);
  // Says what the unreadable bytes at nOffset are.
  void ReportUnreadable(const _surveysegmententry &segment, uint32_t k, uint32_t nSegments, uint64_t nOffset);

  const uint8_t *m_data;
  uint64_t m_nSize;
  bool m_bKeepLevels;
  _surveycontents m_contents;
};

_surveycontents CSurveyParser::Parse() {
  m_contents.nLength = m_nSize;
  if (m_nSize < SURVEY_HEADER_LENGTH) {
    Error(SurveyProblem::truncated, 0,
          "the file header needs 25 bytes, but the file holds only " + std::to_string(m_nSize));
    return std::move(m_contents);
  }
  m_contents.header = DecodeSurveyHeader(m_data);
  m_contents.bHeaderRead = true;
  m_contents.nEnd = SURVEY_HEADER_LENGTH;
  if (m_contents.header.magic != SURVEY_MAGIC) {
    Error(SurveyProblem::notSurvey, 4,
          "this is not a survey data file: the magic is " + HexBytes(m_data + 4, 4) + " instead of 20 44 56 54");
    return std::move(m_contents);
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
      m_contents.nSegmentHeaderLength = ReadUInt32LE(m_data + SURVEY_HEADER_LENGTH_OFFSET);
    }
    return std::move(m_contents);
  }
  m_contents.bSegmentHeaderLengthRead = true;
  m_contents.nSegmentHeaderLength = ReadUInt32LE(m_data + SURVEY_HEADER_LENGTH_OFFSET);
  m_contents.bCountRead = true;
  m_contents.nSegmentCount = ReadUInt32LE(m_data + SURVEY_COUNT_OFFSET);
  if (m_contents.nSegmentHeaderLength != SURVEY_SEGMENT_HEADER_LENGTH) {
    Error(SurveyProblem::notSurvey, SURVEY_HEADER_LENGTH_OFFSET,
          "segment headers are said to be " + std::to_string(m_contents.nSegmentHeaderLength) +
              " bytes long; survey data files have headers of 53 bytes");
    return std::move(m_contents);
  }
  m_contents.nEnd = SURVEY_FIRST_SEGMENT_OFFSET;

  uint32_t nSegments = m_contents.nSegmentCount;
  if (nSegments > static_cast<uint32_t>(SURVEY_MAX_SEGMENTS)) {
    Error(SurveyProblem::tooManySegments, SURVEY_COUNT_OFFSET,
          "the segment count is " + std::to_string(nSegments) +
              "; a survey holds at most 500 segments, and only the first 500 are read");
    nSegments = SURVEY_MAX_SEGMENTS;
  }

  uint64_t nOffset = SURVEY_FIRST_SEGMENT_OFFSET;
  for (uint32_t k = 1; k <= nSegments; ++k) {
    if (nOffset == m_nSize) {
      m_contents.nUnwrittenSegments = nSegments - k + 1;
      Error(SurveyProblem::unwrittenSegments, nOffset,
            (k == nSegments ? "segment " + std::to_string(k) + " is"
                            : "segments " + std::to_string(k) + " to " + std::to_string(nSegments) + " are") +
                " counted but never written: the file ends after segment " + std::to_string(k - 1));
      return std::move(m_contents);
    }
    if (Remaining(nOffset) < SURVEY_SEGMENT_HEADER_LENGTH) {
      Error(SurveyProblem::truncated, nOffset,
            "the header of segment " + std::to_string(k) + " is cut short: 53 bytes are needed, only " +
                std::to_string(Remaining(nOffset)) + " remain");
      return std::move(m_contents);
    }
    _surveysegmententry segment;
    segment.nOffset = nOffset;
    segment.header = DecodeSegmentHeader(m_data + nOffset);
    nOffset += SURVEY_SEGMENT_HEADER_LENGTH;
    const bool bGoOn = ReadRecords(segment, k, nSegments, nOffset);
    m_contents.segments.push_back(std::move(segment));
    m_contents.nEnd = nOffset;
    if (!bGoOn) {
      return std::move(m_contents);
    }
  }
  if (nOffset < m_nSize && m_contents.nSegmentCount <= static_cast<uint32_t>(SURVEY_MAX_SEGMENTS)) {
    Error(SurveyProblem::trailingBytes, nOffset,
          std::to_string(m_nSize - nOffset) + " bytes follow the last segment's records and belong to no segment");
  }
  return std::move(m_contents);
}

bool CSurveyParser::ReadRecords(_surveysegmententry &segment, uint32_t k, uint32_t nSegments, uint64_t &nOffset) {
  // First as the header counts them.
  const uint32_t nClaimed = segment.header.nRecordCount;
  uint64_t nEnd = nOffset;
  bool bAsCounted = true;
  for (uint32_t i = 0; i < nClaimed; ++i) {
    if (!IsWholeRecord(nEnd)) {
      bAsCounted = false;
      break;
    }
    nEnd += ChannelRecordSize(ReadUInt32LE(m_data + nEnd + 6));
  }
  // A header cut short behind the counted records is the next segment's, interrupted at its BEGIN.
  if (bAsCounted &&
      (nEnd == m_nSize || (k < nSegments && (LooksLikeSegmentHeader(nEnd) || LooksLikeCutSegmentHeader(nEnd))))) {
    segment.records.reserve(nClaimed);
    for (uint32_t i = 0; i < nClaimed; ++i) {
      segment.records.push_back(ReadRecord(nOffset));
      nOffset += ChannelRecordSize(segment.records.back().nLevels);
    }
    return true;
  }

  // The count does not fit what follows: take the records that are there.
  while (segment.records.size() < MAX_SEGMENT_RECORDS && LooksLikeRecord(nOffset)) {
    segment.records.push_back(ReadRecord(nOffset));
    nOffset += ChannelRecordSize(segment.records.back().nLevels);
  }
  const bool bBoundary = nOffset == m_nSize || (k < nSegments && LooksLikeSegmentHeader(nOffset));
  // At a boundary the counts differ (the same records would have ended at the same place);
  // before unreadable bytes only surplus records are worth a word of their own.
  if (bBoundary || segment.records.size() > nClaimed) {
    Error(SurveyProblem::countMismatch, segment.nOffset + 50,
          "segment " + std::to_string(k) + "'s header counts " + std::to_string(nClaimed) + " records, but " +
              std::to_string(segment.records.size()) + " follow it");
  }
  if (bBoundary) {
    return true;
  }
  ReportUnreadable(segment, k, nSegments, nOffset);
  return false;
}

void CSurveyParser::ReportUnreadable(const _surveysegmententry &segment, uint32_t k, uint32_t nSegments,
                                     uint64_t nOffset) {
  const uint64_t nLeft = Remaining(nOffset);
  const bool bRecordExpected = segment.records.size() < segment.header.nRecordCount;
  const bool bHeaderExpected = !bRecordExpected && k < nSegments;
  const std::string what =
      bRecordExpected   ? "record " + std::to_string(segment.records.size() + 1) + " of segment " + std::to_string(k)
      : bHeaderExpected ? "the header of segment " + std::to_string(k + 1)
                        : "a record after the last segment's records";
  if (nLeft < SURVEY_RECORD_HEADER_LENGTH || (bHeaderExpected && nLeft < SURVEY_SEGMENT_HEADER_LENGTH)) {
    Error(SurveyProblem::truncated, nOffset,
          "the file ends inside " + what + ": only " + std::to_string(nLeft) + " bytes remain");
    return;
  }
  if (!bHeaderExpected) {
    const uint32_t nLevels = ReadUInt32LE(m_data + nOffset + 6);
    if (nLevels > SURVEY_MAX_RECORD_LEVELS) {
      Error(SurveyProblem::tooManyLevels, nOffset + 6,
            "the record of segment " + std::to_string(k) + " here claims " + std::to_string(nLevels) +
                " levels; a record holds at most 99");
      return;
    }
    if (nLeft < ChannelRecordSize(nLevels)) {
      Error(SurveyProblem::truncated, nOffset,
            "the file ends inside " + what + ": a record of " + std::to_string(nLevels) + " levels needs " +
                std::to_string(ChannelRecordSize(nLevels)) + " bytes, only " + std::to_string(nLeft) + " remain");
      return;
    }
  }
  if (!bRecordExpected && !bHeaderExpected) {
    Error(SurveyProblem::trailingBytes, nOffset,
          std::to_string(nLeft) + " bytes follow the last segment's records and cannot be read as records");
    return;
  }
  Error(SurveyProblem::unreadable, nOffset,
        what + " was expected here, but the bytes (" + HexBytes(m_data + nOffset, nLeft < 10 ? nLeft : 10) +
            " ...) are neither a channel record nor a segment header");
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
    n += segment.records.size();
  }
  return n;
}

uint64_t _surveycontents::LevelCount() const {
  uint64_t n = 0;
  for (const auto &segment : segments) {
    for (const auto &record : segment.records) {
      n += record.nLevels;
    }
  }
  return n;
}

_surveycontents ParseSurvey(const uint8_t *data, size_t size, bool bKeepLevels) {
  return CSurveyParser(data, size, bKeepLevels).Parse();
}

std::vector<uint8_t> LoadSurveyFile(const std::string &path, unsigned nShare) {
  CFile file;
  file.OpenOrThrow(path, CFile::modeRead | nShare);
  const uint64_t nLength = file.GetLength();
  if (nLength > std::numeric_limits<uint32_t>::max()) {
    throw CFileException(CFileException::invalidFile, path,
                         "\"" + path + "\" is " + std::to_string(nLength) +
                             " bytes long, more than any survey data file can be.");
  }
  std::vector<uint8_t> bytes(nLength);
  file.ReadExactly(bytes.data(), static_cast<uint32_t>(nLength));
  file.Close();
  return bytes;
}

std::string DescribeSurveyError(const std::string &path, const _surveyerror &error) {
  return "\"" + path + "\", offset " + std::to_string(error.nOffset) + ": " + error.strText + ".";
}
