#pragma once

#include "platform/File.h"
#include "platform/FileLock.h"
#include "projection/SitePlan.h"
#include "survey/SurveyClock.h"
#include "survey/SurveyFormat.h"

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

// The open survey data file: creates a new file or reads an existing one, builds the header of
// the segment being walked, buffers the incoming levels per channel and appends them as channel
// records. The file is opened for each single operation and closed again.
//
// While the object has the survey open (from construction until a successful Close, or its end)
// it holds a lock on the file (CFileLock): a second survey data object, in this program or
// another collector or tvdtool, is refused the file, and so is every program that would write
// it; programs that only read it (tvdtool survey dump, verify, export) go on reading.
//
// What is written reaches the disk in time (fdatasync): every write of a segment header or of
// the segment count (New Segment, BEGIN, STOP, closing) before the call returns, and appended
// records at least once a second of the survey clock (CSurveyClock::NowMs), so that a power
// loss costs at most the records of the last second and the levels still buffered in memory.
//
// Every failure raises CFileException naming the file, the offset and what failed. A failed
// write leaves the object as the file is: counts are not advanced for what was not written, and
// levels that were not written wait for the next write. No level is ever dropped for lack of
// room: a channel buffer that cannot take a message's levels is written as a record first.
class CSiteData {
public:
  enum Mode { modeCreateNew = 0, modeOpenExisting = 1 };

  // Creates (mode 0) or reads (mode 1) the file at path; reading puts the file's segments into
  // plan's marker tables. Segments the file counts but never began are not taken: the next
  // segment announced takes the number of the first of them. Raises CFileException when the
  // file cannot be created, opened or read as it claims (see AssessSurvey for what then), and
  // with SURVEY_TEXT_IN_USE (sharingViolation) when another program is writing it: an existing
  // file is then neither read nor emptied.
  CSiteData(const std::string &path, int nMode, CSitePlan &plan, const CSurveyClock &clock = CSurveyClock::System());
  // The last resort when Close was not called or failed: tries once more to write what is
  // waiting, and drops it silently when that fails. Does nothing after a successful Close.
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
  //
  // Returns false, taking none of the message's levels and changing nothing, when they would
  // make the open segment hold more than SURVEY_MAX_SEGMENT_RECORDS records (counting the records
  // written, those waiting and the levels buffered, each buffer a record of its own): the segment
  // is full (IsSegmentFull), every further message is refused until the next segment is
  // announced, and the walk is to be ended as STOP ends it (CSegmentWalk::Stop says so to the
  // operator). A segment's record count thus never wraps. Returns true otherwise.
  bool AddLevels(int nChannel, const uint8_t *pBytes, uint32_t nItems);
  // The same for levels already taken from their message (LevelsMessage::levels), in order.
  bool AddLevels(int nChannel, std::span<const int8_t> levels);
  // Whether AddLevels has refused levels because the open segment holds the most records a
  // segment can hold; false again after the next New Segment.
  bool IsSegmentFull() const { return m_bSegmentFull; }
  // Writes the channel's buffered levels (and every record still waiting) as records.
  void WriteChannelRecord(int nChannel);
  // STOP: writes every level still buffered as records of the walked segment, so that the count
  // that StampSegmentTime(2) takes includes them and nothing spills into the next segment.
  void FlushSegmentLevels();
  // After a write failed (a full disk): brings the header of the open segment in the file up to
  // date with the records that are in the file and the header being built (the stop time of
  // STOP), when it is in the file and differs. The header is overwritten in place, which needs no
  // new room on the disk, so the file reads back sound while the rest waits in memory. Returns
  // false when that write failed too (the header in the file is then as it was).
  bool KeepHeaderInStep() noexcept;
  // The header being built takes the number of records written for the open segment as its
  // record count; StampSegmentTime(2) does this together with the stop time.
  void CountSegmentRecords();
  // Opens the file for reading and writing, shutting out other writers, at its end.
  void ReopenForAppend();

  // Ends the work on the file: writes every level still buffered or waiting behind the open
  // segment and brings that segment's header in the file up to date (its record count; after a
  // STOP whose header could not be written, its stop time too). A segment announced and never
  // begun is taken out of the segment count again, so that the file counts the segments it holds
  // (the next segment announced when it is opened again takes that number). Raises CFileException naming
  // the file and what failed; everything then stays waiting in memory, so that Close can be
  // called again (Retry) or SaveCopyAs can write it elsewhere, and the header in the file counts
  // the records that reached it. After a successful Close nothing more is written (writing
  // operations are refused), the lock on the file is given up, and a further Close does nothing.
  void Close();
  bool IsClosed() const { return m_bClosed; }

  // Writes a sound copy of the whole survey to path: what is in the file, plus every level still
  // waiting in memory as records of the open segment, whose header carries the records of both;
  // segments announced but never begun are not counted. The copy is written to a temporary file
  // beside path and renamed to path only when complete. The survey itself and what waits in
  // memory are not changed. Raises CFileException naming the file: the survey cannot be read (or
  // another program has cut it short), path is the survey itself, or path cannot be written.
  void SaveCopyAs(const std::string &path) const;

  int GetChannelCount() const { return m_nChannelCount; }
  // The headers of the segments the file held when it was opened (none for a new survey), in
  // order: segment 1 first.
  const std::vector<_segmentheader> &GetSegmentsRead() const { return m_segmentsRead; }
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
  // Writes n bytes at nOffset (at most the end of what has been written) in one open of the file,
  // synchronised to the disk before it returns when bSync. A failed write that would have extended
  // the file is cut back off it.
  void WriteAt(uint64_t nOffset, const uint8_t *p, uint32_t n, const std::string &what, bool bSync);
  // Synchronises records appended since the last synchronisation when a second has passed since
  // it (or at once when bNow).
  void SyncRecords(bool bNow);
  // The records the open segment will hold once everything taken so far is written.
  size_t RecordsTaken() const;
  // Whether a message of nLevels levels for the buffer fits into the open segment.
  bool MessageFits(const _channelrecord &buffer, uint32_t nLevels) const;
  // Moves every non-empty channel buffer into the waiting records.
  void QueueBuffers();
  // Writes the waiting records in the order they filled, one open of the file each.
  void WriteWaitingRecords();
  // Writes what is left of the segment being collected and brings its header in the file up to
  // date with the record count and whatever else of it changed since it was written; when the
  // records cannot be written, the header still counts those in the file.
  void FinishSegment();
  // Brings the open segment's header in the file (when it is there) up to date: the records
  // written and the header being built.
  void UpdateHeaderInFile();
  // Closing: a segment announced by this object whose header never reached the file is taken out
  // of the count at offset 29.
  void UncountUnbegunSegment();
  // The bytes of the copy SaveCopyAs writes.
  std::vector<uint8_t> SoundCopy() const;
  [[noreturn]] void Refuse(const std::string &text) const;

  const CSurveyClock &m_clock;
  CFileLock m_lock; // held while the survey is open
  int m_nChannelCount = 0;
  int32_t m_nSegmentsInFile = 0; // the segments of the file; the next one announced is one more
  int32_t m_nOpenSegment = 0;    // the segment announced by this object, whose records are appended
  bool m_bHeaderInFile = false;  // its header has been written
  std::array<uint8_t, SURVEY_SEGMENT_HEADER_LENGTH> m_headerInFile{}; // as it was last written
  bool m_bClosed = false;
  bool m_bSegmentFull = false; // AddLevels refused levels for the open segment
  bool m_bUnsynced = false;    // records appended since the last synchronisation
  int64_t m_nLastSyncMs = 0;   // the survey clock at the last synchronisation
  std::deque<_channelrecord> m_waiting;
  std::vector<_segmentheader> m_segmentsRead;
};
