#pragma once

#include "platform/File.h"
#include "survey/SurveyFormat.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The most bytes a survey data file can hold: 500 segments, each a header and 65535 records of
// 99 levels. A longer file is no survey and is refused before anything of it is read.
constexpr uint64_t SURVEY_MAX_SEGMENT_LENGTH =
    SURVEY_SEGMENT_HEADER_LENGTH + uint64_t{SURVEY_MAX_SEGMENT_RECORDS} * ChannelRecordSize(SURVEY_MAX_RECORD_LEVELS);
constexpr uint64_t SURVEY_MAX_FILE_LENGTH =
    SURVEY_FIRST_SEGMENT_OFFSET + SURVEY_MAX_SEGMENTS * SURVEY_MAX_SEGMENT_LENGTH;

// How many bytes a file source holds at a time unless told otherwise.
constexpr size_t SURVEY_SOURCE_WINDOW = size_t{1} << 20;
// The most bytes one look at a source takes: a whole record of 99 levels and more.
constexpr size_t SURVEY_SOURCE_SPAN = 256;

// The bytes of a survey data file as its reader looks at them: held in memory by the caller, or
// read from a file through a window of a fixed size, so that reading a file of any length takes
// the window's memory and no more. Looks are short (at most SURVEY_SOURCE_SPAN bytes) and mostly
// move forward; a look outside the window reads the window again from there.
class CSurveySource {
public:
  CSurveySource(const uint8_t *data, size_t size);
  // Opens path for reading with the CFile sharing flag nShare. Raises CFileException naming the
  // file when it cannot be opened, is not a regular file, or is longer than any survey can be
  // (SurveyTooLongError). nWindow (at least SURVEY_SOURCE_SPAN) is the bytes held at a time.
  CSurveySource(const std::string &path, unsigned nShare, size_t nWindow = SURVEY_SOURCE_WINDOW);
  CSurveySource(const CSurveySource &) = delete;
  CSurveySource &operator=(const CSurveySource &) = delete;
  ~CSurveySource();

  uint64_t Size() const { return m_nSize; }
  // The nCount bytes at nOffset, which must lie in the file (nCount at most SURVEY_SOURCE_SPAN).
  // The pointer is good until the next look at the source.
  const uint8_t *At(uint64_t nOffset, size_t nCount) const;
  // The offset of the first byte at or after nFrom and before nLimit that is not zero, or nLimit
  // (at most Size()) when there is none: how runs of zeros left by a crash are passed over.
  uint64_t NextNonZero(uint64_t nFrom, uint64_t nLimit) const;
  // Appends the nCount bytes at nOffset to out.
  void AppendTo(std::vector<uint8_t> &out, uint64_t nOffset, uint64_t nCount) const;

private:
  // Makes the window hold [nOffset, nOffset + nCount) and returns where nOffset lies in it.
  const uint8_t *Fill(uint64_t nOffset, size_t nCount) const;

  const uint8_t *m_pData = nullptr; // the bytes, when they are held in memory
  uint64_t m_nSize = 0;
  std::unique_ptr<CFile> m_pFile;
  mutable std::vector<uint8_t> m_window;
  mutable uint64_t m_nWindowStart = 0;
  mutable size_t m_nWindowLength = 0;
};

// The failure (invalidFile) for the file at path that is nLength bytes long, longer than
// SURVEY_MAX_FILE_LENGTH.
CFileException SurveyTooLongError(const std::string &path, uint64_t nLength);
