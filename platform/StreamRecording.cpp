#include "platform/StreamRecording.h"

#include <charconv>
#include <cstdint>
#include <stdexcept>

std::string ArrivalsPath(const std::string &strPath) { return strPath + ".arrivals"; }

CStreamRecorder::CStreamRecorder(const std::string &strPath) {
  // A recording is written as it comes, so it may go to a FIFO or a device too.
  const unsigned nFlags = CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite | CFile::typeStream;
  m_data.OpenOrThrow(strPath, nFlags);
  m_arrivals.OpenOrThrow(ArrivalsPath(strPath), nFlags);
  const std::string strHeader = "# milliseconds since the port was opened, bytes\n";
  m_arrivals.Write(strHeader.data(), static_cast<uint32_t>(strHeader.size()));
}

void CStreamRecorder::Append(const uint8_t *pData, uint32_t nCount, uint64_t nTimeMs) {
  if (nCount == 0) {
    return;
  }
  m_data.Write(pData, nCount);
  m_nBytes += nCount;
  const std::string strLine = std::to_string(nTimeMs) + ' ' + std::to_string(nCount) + '\n';
  m_arrivals.Write(strLine.data(), static_cast<uint32_t>(strLine.size()));
}

void CStreamRecorder::Close() {
  m_data.Close();
  m_arrivals.Close();
}

namespace {

void SkipBlanks(const char *&p, const char *pEnd) {
  while (p < pEnd && (*p == ' ' || *p == '\t')) {
    ++p;
  }
}

template <class T> bool ParseNumber(const char *&p, const char *pEnd, T &value) {
  SkipBlanks(p, pEnd);
  const auto [pNext, error] = std::from_chars(p, pEnd, value);
  if (error != std::errc() || pNext == p) {
    return false;
  }
  p = pNext;
  return true;
}

// Reads the time of an arrival. A number too large for any recording is refused with the digits
// as written, which may be too large for any integer.
bool ParseTime(const char *&p, const char *pEnd, uint64_t &nTimeMs, const std::string &strWhere) {
  SkipBlanks(p, pEnd);
  const char *pDigits = p;
  while (p < pEnd && *p >= '0' && *p <= '9') {
    ++p;
  }
  if (p == pDigits) {
    return false;
  }
  const auto [pNext, error] = std::from_chars(pDigits, p, nTimeMs);
  if (error != std::errc() || pNext != p || nTimeMs > ARRIVAL_MAX_TIME_MS) {
    throw std::runtime_error(strWhere + "the time " + std::string(pDigits, p) +
                             " is out of range: a recording's times run from 0 to " +
                             std::to_string(ARRIVAL_MAX_TIME_MS) + " ms (about 31 years)");
  }
  return true;
}

} // namespace

std::vector<_arrival> ParseArrivals(const std::string &strText, const std::string &strFileName) {
  std::vector<_arrival> arrivals;
  size_t nStart = 0;
  for (unsigned nLine = 1; nStart < strText.size(); ++nLine) {
    size_t nEnd = strText.find('\n', nStart);
    if (nEnd == std::string::npos) {
      nEnd = strText.size();
    }
    const char *p = strText.data() + nStart;
    const char *pEnd = strText.data() + nEnd;
    nStart = nEnd + 1;
    if (pEnd > p && pEnd[-1] == '\r') {
      --pEnd;
    }
    const char *pFirst = p;
    while (pFirst < pEnd && (*pFirst == ' ' || *pFirst == '\t')) {
      ++pFirst;
    }
    if (pFirst == pEnd || *pFirst == '#') {
      continue;
    }
    const std::string strWhere = strFileName + ", line " + std::to_string(nLine) + ": ";
    _arrival arrival;
    const bool bValid = ParseTime(p, pEnd, arrival.nTimeMs, strWhere) && ParseNumber(p, pEnd, arrival.nCount);
    SkipBlanks(p, pEnd);
    if (!bValid || p != pEnd) {
      throw std::runtime_error(strWhere + "expected a time in milliseconds and a byte count");
    }
    if (arrival.nCount == 0) {
      throw std::runtime_error(strWhere + "an arrival of 0 bytes");
    }
    if (!arrivals.empty() && arrival.nTimeMs < arrivals.back().nTimeMs) {
      throw std::runtime_error(strWhere + "the time goes back");
    }
    arrivals.push_back(arrival);
  }
  return arrivals;
}

_recording LoadRecording(const std::string &strPath) {
  _recording recording;
  {
    CFile data;
    data.OpenOrThrow(strPath, CFile::modeRead | CFile::shareDenyWrite);
    if (data.GetLength() > UINT32_MAX) {
      throw CFileException(CFileException::invalidFile, strPath, strPath + " is too large for a recorded session");
    }
    recording.bytes.resize(data.GetLength());
    data.ReadExactly(recording.bytes.data(), static_cast<uint32_t>(recording.bytes.size()));
  }
  const std::string strArrivalsPath = ArrivalsPath(strPath);
  CFile side;
  CFileException error(CFileException::none, "", "");
  if (!side.Open(strArrivalsPath, CFile::modeRead | CFile::shareDenyWrite, &error)) {
    if (error.m_cause == CFileException::fileNotFound) {
      return recording;
    }
    throw error;
  }
  std::string strText(side.GetLength(), '\0');
  side.ReadExactly(strText.data(), static_cast<uint32_t>(strText.size()));
  recording.arrivals = ParseArrivals(strText, strArrivalsPath);
  uint64_t nTotal = 0;
  for (const _arrival &arrival : recording.arrivals) {
    nTotal += arrival.nCount;
  }
  if (nTotal != recording.bytes.size()) {
    throw std::runtime_error(strArrivalsPath + ": the arrivals account for " + std::to_string(nTotal) + " bytes, but " +
                             strPath + " holds " + std::to_string(recording.bytes.size()));
  }
  return recording;
}
