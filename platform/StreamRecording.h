#pragma once

#include "platform/File.h"

#include <cstdint>
#include <string>
#include <vector>

// A recorded receiver session: the raw bytes as read from the port, in a file of their own that
// any byte-stream tool can read, and next to it (path + ".arrivals") a small text file that says
// when they came:
//
//   # milliseconds since the port was opened, bytes
//   0 7
//   18 34
//
// one line per arrival, times never decreasing, counts adding up to the size of the byte file.

// The latest arrival a recording may hold, in milliseconds after the open: about 31 years, far
// beyond any session, and small enough that a replay can add it to its clock without overflow.
constexpr uint64_t ARRIVAL_MAX_TIME_MS = 1'000'000'000'000;

struct _arrival {
  uint64_t nTimeMs = 0;
  uint32_t nCount = 0;
};

struct _recording {
  std::vector<uint8_t> bytes;
  std::vector<_arrival> arrivals; // empty when the side file is missing
};

std::string ArrivalsPath(const std::string &strPath);

// Writes a session as it is read. Every failure raises CFileException naming the file.
class CStreamRecorder {
public:
  explicit CStreamRecorder(const std::string &strPath);
  void Append(const uint8_t *pData, uint32_t nCount, uint64_t nTimeMs);
  void Close();
  uint64_t GetBytesWritten() const { return m_nBytes; }

private:
  CFile m_data;
  CFile m_arrivals;
  uint64_t m_nBytes = 0;
};

// Reads the side file's text. A line that is not "time count", a time beyond ARRIVAL_MAX_TIME_MS,
// a time that goes back or a count of 0 raises std::runtime_error naming the file and the line.
std::vector<_arrival> ParseArrivals(const std::string &strText, const std::string &strFileName);

// Loads a recording. Raises CFileException when the byte file cannot be read, and
// std::runtime_error when the side file is malformed or does not account for every byte.
_recording LoadRecording(const std::string &strPath);
