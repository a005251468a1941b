#include "survey/SurveySource.h"

#include <algorithm>
#include <cstring>

CSurveySource::CSurveySource(const uint8_t *data, size_t size) : m_pData(data), m_nSize(size) {}

CSurveySource::CSurveySource(const std::string &path, unsigned nShare, size_t nWindow)
    : m_pFile(std::make_unique<CFile>()) {
  m_pFile->OpenOrThrow(path, CFile::modeRead | nShare);
  m_nSize = m_pFile->GetLength(); // a pipe or a device is refused here
  if (m_nSize > SURVEY_MAX_FILE_LENGTH) {
    throw SurveyTooLongError(path, m_nSize);
  }
  m_window.resize(std::max(nWindow, SURVEY_SOURCE_SPAN));
}

CSurveySource::~CSurveySource() = default;

const uint8_t *CSurveySource::At(uint64_t nOffset, size_t nCount) const {
  if (m_pData != nullptr) {
    return m_pData + nOffset;
  }
  if (nOffset >= m_nWindowStart && nOffset + nCount <= m_nWindowStart + m_nWindowLength) {
    return m_window.data() + (nOffset - m_nWindowStart);
  }
  return Fill(nOffset, nCount);
}

const uint8_t *CSurveySource::Fill(uint64_t nOffset, size_t nCount) const {
  const uint64_t nWanted = std::min<uint64_t>(m_window.size(), m_nSize - nOffset);
  m_pFile->Seek(static_cast<int64_t>(nOffset), CFile::begin);
  const uint32_t nRead = m_pFile->Read(m_window.data(), static_cast<uint32_t>(nWanted));
  m_nWindowStart = nOffset;
  m_nWindowLength = nRead;
  if (nRead < nCount) {
    // The file became shorter while it was read.
    m_nWindowLength = 0;
    throw CFileException(CFileException::endOfFile, m_pFile->GetFilePath(),
                         "\"" + m_pFile->GetFilePath() + "\" became shorter while it was read: offset " +
                             std::to_string(nOffset + nRead) + " is now its end.");
  }
  return m_window.data();
}

uint64_t CSurveySource::NextNonZero(uint64_t nFrom, uint64_t nLimit) const {
  nLimit = std::min(nLimit, m_nSize);
  uint64_t nOffset = nFrom;
  while (nOffset < nLimit) {
    // As much of the rest as one look at the window gives.
    const size_t nCount = m_pData != nullptr
                              ? static_cast<size_t>(nLimit - nOffset)
                              : static_cast<size_t>(std::min<uint64_t>(nLimit - nOffset, m_window.size()));
    const uint8_t *p = m_pData != nullptr ? m_pData + nOffset : Fill(nOffset, nCount);
    size_t i = 0;
    for (; i + 8 <= nCount; i += 8) {
      uint64_t nWord = 0;
      std::memcpy(&nWord, p + i, sizeof nWord);
      if (nWord != 0) {
        break;
      }
    }
    for (; i < nCount; ++i) {
      if (p[i] != 0) {
        return nOffset + i;
      }
    }
    nOffset += nCount;
  }
  return nLimit;
}

void CSurveySource::AppendTo(std::vector<uint8_t> &out, uint64_t nOffset, uint64_t nCount) const {
  if (m_pData != nullptr) {
    out.insert(out.end(), m_pData + nOffset, m_pData + nOffset + nCount);
    return;
  }
  if (nCount <= SURVEY_SOURCE_SPAN) {
    const uint8_t *p = At(nOffset, static_cast<size_t>(nCount));
    out.insert(out.end(), p, p + nCount);
    return;
  }
  // Straight from the file into place, in parts that one read takes.
  const size_t nStart = out.size();
  out.resize(nStart + static_cast<size_t>(nCount));
  m_pFile->Seek(static_cast<int64_t>(nOffset), CFile::begin);
  for (uint64_t nDone = 0; nDone < nCount;) {
    const auto nPart = static_cast<uint32_t>(std::min<uint64_t>(nCount - nDone, uint64_t{1} << 30));
    m_pFile->ReadExactly(out.data() + nStart + nDone, nPart);
    nDone += nPart;
  }
}

CFileException SurveyTooLongError(const std::string &path, uint64_t nLength) {
  return {CFileException::invalidFile, path,
          "\"" + path + "\" is " + std::to_string(nLength) +
              " bytes long, more than any survey data file can be: 500 segments of 65535 records of 99 levels "
              "take " +
              std::to_string(SURVEY_MAX_FILE_LENGTH) + " bytes. It is not read."};
}
