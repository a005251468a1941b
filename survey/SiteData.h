#pragma once

#include "platform/File.h"
#include "projection/SitePlan.h"
#include "survey/SurveyClock.h"
#include "survey/SurveyFormat.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

// The open survey data file: creates a new file or reads an existing one, builds the header of
// the segment being walked, buffers the incoming levels per channel and appends them as channel
// records. The file is opened for each single operation and closed again.
//
// Every failure raises CFileException naming the file, the offset and what failed. A failed
// write leaves the object as the file is: counts are not advanced for what was not written, and
// levels that were not written wait for the next write. No level is ever dropped for lack of
// room: a channel buffer that cannot take a message's levels is written as a record first.
class CSiteData {
public:
  enum Mode { modeCreateNew = 0, modeOpenExisting = 1 };

  // Creates (mode 0) or reads (mode 1) the file at path; reading puts the file's segments into
  // plan's marker tables. Raises CFileException when the file cannot be created, opened or read
  // as it claims.
  CSiteData(const std::string &path, int nMode, CSitePlan &plan, const CSurveyClock &clock = CSurveyClock::System());
  // Writes the levels still buffered behind the segment being collected first.
  virtual ~CSiteData();
  CSiteData(const CSiteData &) = delete;
  CSiteData &operator=(const CSiteData &) = delete;

  // Announces segment n, which must be the next one (segments in the file + 1, at most 500): the
  // count at offset 29 is rewritten and the end of the file becomes the segment's offset. Levels
  // still waiting from the previous segment are written behind it first. Anything refused or
  // failed changes nothing, m_nSegmentCount included.
  void NewSegment(int32_t n);
  // Kind 1: m_ptLastPoint becomes the start point and the coordinates flag 0. Kind 2: the stop
  // point. Coordinates are cut to 16 bits. Nothing is written.
  void SetSegmentPoint(int nKind);
  // Kind 1 stores the start point's coordinates, kind 2 the stop point's; both set the flag.
  void SetSegmentCoordinates(int nKind, double dLongitude, double dLatitude);
  // Kind 1 (BEGIN): date and start time. Kind 2 (STOP): stop time and the record count.
  void StampSegmentTime(int nKind);
  // Writes the header being built at segment n's offset; n must be the segment announced last.
  void WriteSegmentHeader(int32_t n);
  // New channel buffers for nCount channels (0 to 2). Levels still buffered are written first,
  // with the frequencies they were measured at.
  void SetChannels(const uint32_t *pFrequencies, int nCount);
  // Buffers the levels of one level message: the first byte of each of the first nItems / 2
  // two-byte items of the level data, in order. Levels of a channel without a buffer are dropped.
  void AddLevels(int nChannel, const uint8_t *pBytes, uint32_t nItems);
  // Writes the channel's buffered levels (and every record still waiting) as records.
  void WriteChannelRecord(int nChannel);
  // STOP: writes every level still buffered as records of the walked segment, so that the count
  // that StampSegmentTime(2) takes includes them and nothing spills into the next segment.
  void FlushSegmentLevels();
  // Opens the file for reading and writing, shutting out other writers, at its end.
  void ReopenForAppend();

  int GetChannelCount() const { return m_nChannelCount; }
  // Records filled but not yet in the file because a write failed.
  size_t GetWaitingRecordCount() const { return m_waiting.size(); }
  // Levels buffered for a channel, not yet a record.
  uint32_t GetBufferedLevels(int nChannel) const;

  CFile m_file;
  std::string m_strPath;
  std::string m_strFileName;
  int64_t m_nFileLength = 0;
  int32_t m_nSegmentCount = 0;
  int32_t m_nRecordCount = 0;
  int64_t m_segmentOffsets[SURVEY_MAX_SEGMENTS + 1] = {};
  _pixelpoint m_ptLastPoint;
  _surveyheader m_header;
  _segmentheader m_segment;
  float m_fTotalDistance = 0.0F;
  std::unique_ptr<_channelrecord[]> m_pChannels;

private:
  void CreateSurvey();
  void ReadSurvey(CSitePlan &plan);
  // Writes n bytes at nOffset (at most the end of what has been written) in one open of the file.
  // A failed write that would have extended the file is cut back off it.
  void WriteAt(uint64_t nOffset, const uint8_t *p, uint32_t n, const std::string &what);
  // Moves every non-empty channel buffer into the waiting records.
  void QueueBuffers();
  // Writes the waiting records in the order they filled, one open of the file each.
  void WriteWaitingRecords();
  // Writes what is left of the segment being collected and corrects its header's record count.
  void FinishSegment();
  [[noreturn]] void Refuse(const std::string &text) const;

  const CSurveyClock &m_clock;
  int m_nChannelCount = 0;
  int32_t m_nSegmentsInFile = 0; // the count stored at offset 29
  int32_t m_nOpenSegment = 0;    // the segment announced by this object, whose records are appended
  bool m_bHeaderInFile = false;  // its header has been written
  std::deque<_channelrecord> m_waiting;
};
