#include "survey/SiteData.h"

#include "survey/SurveyFiles.h"
#include "survey/SurveyReader.h"
#include "survey/SurveyRepair.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace {

// The lock held for the whole time the survey is open keeps other writers out; each write's own
// open takes no lock of its own, which would collide with it.
constexpr unsigned APPEND_FLAGS = CFile::modeReadWrite | CFile::modeNoTruncate | CFile::shareDenyNone;
// Appended records reach the disk at least this often.
constexpr int64_t RECORD_SYNC_INTERVAL_MS = 1000;

std::string Quoted(const std::string &path) { return "\"" + path + "\""; }

} // namespace

CSiteData::CSiteData(const std::string &path, int nMode, CSitePlan &plan, const CSurveyClock &clock)
    : m_strPath(path), m_clock(clock) {
  m_segmentOffsets[0] = static_cast<int64_t>(SURVEY_COUNT_OFFSET);
  if (nMode != modeCreateNew && nMode != modeOpenExisting) {
    throw CFileException(CFileException::generic, path,
                         "Opening " + Quoted(path) + " failed: unknown mode " + std::to_string(nMode) + ".");
  }
  // Before anything is read or emptied: a survey that another program writes stays as it is.
  LockSurvey(m_lock, m_strPath, nMode == modeCreateNew);
  if (nMode == modeCreateNew) {
    CreateSurvey();
  } else {
    ReadSurvey(plan);
  }
  ReopenForAppend();
  m_strFileName = m_file.GetFileName();
  m_nFileLength = static_cast<int64_t>(m_file.GetLength());
  m_file.Close();
  m_nLastSyncMs = m_clock.NowMs();
}

CSiteData::~CSiteData() {
  if (!m_bClosed) {
    try {
      FinishSegment();
      SyncRecords(true);
      UncountUnbegunSegment();
    } catch (...) {
      // Nothing is left to report to: the levels that could not be written are lost with the
      // object. Close reports this; the destructor is only the last resort.
    }
  }
  m_file.Abort();
}

void CSiteData::Close() {
  if (m_bClosed) {
    return;
  }
  FinishSegment();
  SyncRecords(true);
  UncountUnbegunSegment();
  m_bClosed = true;
  m_lock.Release();
}

void CSiteData::UncountUnbegunSegment() {
  if (m_nOpenSegment == 0 || m_bHeaderInFile) {
    return;
  }
  // Announced and never begun: the file would count a segment it does not hold. Everything
  // waiting has been written by now (which writes the header first), so nothing belongs to it.
  const int32_t n = m_nOpenSegment - 1;
  uint8_t count[4];
  WriteUInt32LE(count, static_cast<uint32_t>(n));
  WriteAt(SURVEY_COUNT_OFFSET, count, sizeof count,
          "writing the segment count " + std::to_string(n) + " (segment " + std::to_string(m_nOpenSegment) +
              " was announced but never begun)",
          true);
  m_nSegmentCount = n;
  m_nSegmentsInFile = n;
  m_nOpenSegment = 0;
}

void CSiteData::CreateSurvey() {
  m_file.OpenOrThrow(m_strPath, CFile::modeCreate | CFile::modeReadWrite | CFile::shareDenyNone);
  try {
    m_header = _surveyheader{};
    m_header.nCreated = m_clock.Now();
    std::vector<uint8_t> bytes(SURVEY_FIRST_SEGMENT_OFFSET);
    const auto header = EncodeSurveyHeader(m_header);
    std::copy(header.begin(), header.end(), bytes.begin());
    WriteUInt32LE(&bytes[SURVEY_HEADER_LENGTH_OFFSET], SURVEY_SEGMENT_HEADER_LENGTH);
    WriteUInt32LE(&bytes[SURVEY_COUNT_OFFSET], 0);
    m_file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    m_file.SyncData();
    m_file.Close();
    CFile::SyncFolderOf(m_strPath); // the new file's name, too
  } catch (...) {
    m_file.Abort();
    throw;
  }
  m_nSegmentCount = 0;
  m_nSegmentsInFile = 0;
  m_segment = _segmentheader{};
}

void CSiteData::ReadSurvey(CSitePlan &plan) {
  const std::vector<uint8_t> bytes = LoadSurveyFile(m_strPath, CFile::shareDenyNone); // the lock is held
  const _surveycontents contents = ParseSurvey(bytes.data(), bytes.size(), false);
  if (const _surveyerror *error = contents.FirstBlockingError()) {
    std::string text = DescribeSurveyError(m_strPath, *error);
    // Only what can help is advised: a repair needs at least the file header and segment count.
    if (error->kind != SurveyProblem::notSurvey) {
      text += RepairSurvey(bytes.data(), bytes.size()).bPossible
                  ? " 'tvdtool survey repair' makes a sound copy that keeps every readable segment and record."
                  : " Not even its file header can be read, so there is nothing to repair: make a new survey in "
                    "its place.";
    }
    throw CFileException(error->kind == SurveyProblem::truncated ? CFileException::endOfFile
                                                                 : CFileException::invalidFile,
                         m_strPath, text);
  }
  m_header = contents.header;
  // Segments counted but never begun hold nothing: the next segment announced takes the number of
  // the first of them, so that the numbers the walk shows are those the file will read back with.
  m_nSegmentCount = static_cast<int32_t>(contents.segments.size());
  m_nSegmentsInFile = m_nSegmentCount;
  plan.m_nSegmentCount = m_nSegmentCount;
  for (size_t i = 0; i < contents.segments.size(); ++i) {
    const auto &segment = contents.segments[i];
    const int nIndex = static_cast<int>(i);
    m_segmentOffsets[i + 1] = static_cast<int64_t>(segment.nOffset);
    m_segment = segment.header;
    m_segmentsRead.push_back(segment.header);
    plan.m_Start[nIndex].nPlanX = segment.header.nStartX;
    plan.m_Start[nIndex].nPlanY = segment.header.nStartY;
    plan.m_Stop[nIndex].nPlanX = segment.header.nStopX;
    plan.m_Stop[nIndex].nPlanY = segment.header.nStopY;
    plan.PlaceStart(nIndex, segment.header.nStartX, segment.header.nStartY);
    plan.PlaceStop(nIndex, segment.header.nStopX, segment.header.nStopY);
  }
  // They have no points to show.
  for (size_t k = contents.segments.size() + 1; k <= contents.nSegmentCount; ++k) {
    plan.m_Start[k - 1] = _planpoint{};
    plan.m_Stop[k - 1] = _planpoint{};
  }
}

void CSiteData::ReopenForAppend() {
  m_file.OpenOrThrow(m_strPath, APPEND_FLAGS);
  const uint64_t nLength = m_file.SeekToEnd();
  if (nLength < static_cast<uint64_t>(m_nFileLength)) {
    m_file.Abort();
    throw CFileException(CFileException::invalidFile, m_strPath,
                         Quoted(m_strPath) + " is " + std::to_string(nLength) + " bytes long, but " +
                             std::to_string(m_nFileLength) +
                             " bytes of this survey have been written to it: another program has changed it, "
                             "and nothing more is written to it.");
  }
}

void CSiteData::WriteAt(uint64_t nOffset, const uint8_t *p, uint32_t n, const std::string &what, bool bSync) {
  if (m_bClosed) {
    Refuse(Quoted(m_strPath) + " has been closed: nothing more is written to it (" + what + ").");
  }
  const auto nOldLength = static_cast<uint64_t>(m_nFileLength);
  ReopenForAppend();
  try {
    m_file.Seek(static_cast<int64_t>(nOffset), CFile::begin);
    m_file.Write(p, n);
    if (bSync) {
      m_file.SyncData();
    }
    m_file.Close();
  } catch (const CFileException &e) {
    m_file.Abort();
    if (nOffset + n > nOldLength) {
      // Whatever part of an append reached the disk is taken back, so the file ends where the
      // survey's last complete write ended.
      std::error_code ignored;
      std::filesystem::resize_file(m_strPath, nOldLength, ignored);
    }
    throw CFileException(e.m_cause, m_strPath,
                         std::string(e.what()) + " (" + what + " at offset " + std::to_string(nOffset) + ")");
  }
  m_nFileLength = static_cast<int64_t>(std::max(nOldLength, nOffset + n));
  if (bSync) {
    m_bUnsynced = false; // every record before it is on the disk too
    m_nLastSyncMs = m_clock.NowMs();
  } else {
    m_bUnsynced = true;
  }
}

void CSiteData::SyncRecords(bool bNow) {
  if (!m_bUnsynced) {
    return;
  }
  const int64_t nNow = m_clock.NowMs();
  if (!bNow && nNow >= m_nLastSyncMs && nNow - m_nLastSyncMs < RECORD_SYNC_INTERVAL_MS) {
    return;
  }
  ReopenForAppend();
  try {
    m_file.SyncData();
    m_file.Close();
  } catch (...) {
    m_file.Abort();
    throw;
  }
  m_bUnsynced = false;
  m_nLastSyncMs = nNow;
}

void CSiteData::Refuse(const std::string &text) const {
  throw CFileException(CFileException::generic, m_strPath, text);
}

void CSiteData::NewSegment(int32_t n) {
  // The caller has raised the count already; whatever goes wrong, it goes back to the file's.
  struct CRestore {
    CSiteData &data;
    bool bDone = false;
    ~CRestore() {
      if (!bDone) {
        data.m_nSegmentCount = data.m_nSegmentsInFile;
      }
    }
  } restore{*this};

  if (n > SURVEY_MAX_SEGMENTS) {
    Refuse("Segment " + std::to_string(n) + " cannot be announced in " + Quoted(m_strPath) +
           ": a survey holds at most 500 segments.");
  }
  if (n != m_nSegmentsInFile + 1) {
    Refuse("Segment " + std::to_string(n) + " cannot be announced in " + Quoted(m_strPath) + ": it holds " +
           std::to_string(m_nSegmentsInFile) + " segments, so the next one is " +
           std::to_string(m_nSegmentsInFile + 1) + ".");
  }
  FinishSegment();
  uint8_t count[4];
  WriteUInt32LE(count, static_cast<uint32_t>(n));
  WriteAt(SURVEY_COUNT_OFFSET, count, sizeof count, "writing the segment count " + std::to_string(n), true);
  m_nSegmentCount = n;
  m_nSegmentsInFile = n;
  m_nRecordCount = 0;
  m_segmentOffsets[n] = m_nFileLength;
  m_nOpenSegment = n;
  m_bHeaderInFile = false;
  m_bSegmentFull = false;
  restore.bDone = true;
}

void CSiteData::SetSegmentPoint(int nKind) {
  if (nKind == 1) {
    m_segment.nStartX = static_cast<uint16_t>(m_ptLastPoint.x);
    m_segment.nStartY = static_cast<uint16_t>(m_ptLastPoint.y);
    m_segment.nCoordsFlag = 0;
  } else if (nKind == 2) {
    m_segment.nStopX = static_cast<uint16_t>(m_ptLastPoint.x);
    m_segment.nStopY = static_cast<uint16_t>(m_ptLastPoint.y);
  }
}

void CSiteData::SetSegmentCoordinates(int nKind, double dLongitude, double dLatitude) {
  if (nKind == 1) {
    m_segment.dStartLon = dLongitude;
    m_segment.dStartLat = dLatitude;
    m_segment.nCoordsFlag = 1;
  } else if (nKind == 2) {
    m_segment.dStopLon = dLongitude;
    m_segment.dStopLat = dLatitude;
    m_segment.nCoordsFlag = 1;
  }
}

void CSiteData::StampSegmentTime(int nKind) {
  if (nKind != 1 && nKind != 2) {
    return;
  }
  _localtime local;
  const bool bLocal = m_clock.ToLocalTime(m_clock.Now(), local);
  const auto hour = static_cast<uint8_t>(bLocal ? local.nHour : 255);
  const auto minute = static_cast<uint8_t>(bLocal ? local.nMinute : 255);
  const auto second = static_cast<uint8_t>(bLocal ? local.nSecond : 255);
  if (nKind == 1) {
    m_segment.nMonth = static_cast<uint8_t>(bLocal ? local.nMonth : 0);
    m_segment.nDay = static_cast<uint8_t>(bLocal ? local.nDay : 0);
    m_segment.nYear = static_cast<uint8_t>(bLocal ? (local.nYear - 1980) & 0xFF : 68);
    m_segment.nStartHour = hour;
    m_segment.nStartMinute = minute;
    m_segment.nStartSecond = second;
  } else {
    m_segment.nStopHour = hour;
    m_segment.nStopMinute = minute;
    m_segment.nStopSecond = second;
    CountSegmentRecords();
  }
  m_segment.nReserved = 0;
}

void CSiteData::CountSegmentRecords() { m_segment.nRecordCount = static_cast<uint16_t>(m_nRecordCount); }

void CSiteData::WriteSegmentHeader(int32_t n) {
  if (m_nOpenSegment == 0 || n != m_nOpenSegment) {
    Refuse("The header of segment " + std::to_string(n) + " cannot be written to " + Quoted(m_strPath) + ": " +
           (m_nOpenSegment == 0 ? std::string("no segment has been announced")
                                : "segment " + std::to_string(m_nOpenSegment) + " is the one being collected") +
           ", and other segments are not overwritten.");
  }
  const auto bytes = EncodeSegmentHeader(m_segment);
  WriteAt(static_cast<uint64_t>(m_segmentOffsets[n]), bytes.data(), SURVEY_SEGMENT_HEADER_LENGTH,
          "writing the header of segment " + std::to_string(n), true);
  m_bHeaderInFile = true;
  m_headerInFile = bytes;
}

void CSiteData::SetChannels(const uint32_t *pFrequencies, int nCount) {
  nCount = std::clamp(nCount, 0, 2);
  QueueBuffers();
  auto channels = std::make_unique<_channelrecord[]>(static_cast<size_t>(std::max(nCount, 1)));
  for (int i = 0; i < nCount; ++i) {
    channels[i].nFrequency = pFrequencies[i];
    channels[i].nChannel = static_cast<uint16_t>(i + 1);
  }
  m_pChannels = std::move(channels);
  m_nChannelCount = nCount;
  WriteWaitingRecords();
}

uint32_t CSiteData::GetBufferedLevels(int nChannel) const {
  return nChannel >= 1 && nChannel <= m_nChannelCount ? m_pChannels[nChannel - 1].nLevels : 0;
}

size_t CSiteData::RecordsTaken() const {
  size_t n = static_cast<size_t>(m_nRecordCount) + m_waiting.size();
  for (int i = 0; i < m_nChannelCount; ++i) {
    n += m_pChannels[i].nLevels > 0 ? 1 : 0;
  }
  return n;
}

bool CSiteData::MessageFits(const _channelrecord &buffer, uint32_t nLevels) const {
  // The records once the message is taken as AddLevels takes it, the buffer counted as one.
  size_t nAfter = RecordsTaken() - (buffer.nLevels > 0 ? 1 : 0);
  uint32_t nBuffered = buffer.nLevels;
  if (nBuffered > 0 && nBuffered + nLevels > SURVEY_MAX_RECORD_LEVELS) {
    ++nAfter;
    nBuffered = 0;
  }
  for (; nLevels > SURVEY_MAX_RECORD_LEVELS; nLevels -= SURVEY_MAX_RECORD_LEVELS) {
    ++nAfter;
  }
  nAfter += nBuffered + nLevels > 0 ? 1 : 0;
  return nAfter <= SURVEY_MAX_SEGMENT_RECORDS;
}

bool CSiteData::AddLevels(int nChannel, const uint8_t *pBytes, uint32_t nItems) {
  std::vector<int8_t> levels(nItems / 2);
  for (size_t i = 0; i < levels.size(); ++i) {
    levels[i] = static_cast<int8_t>(pBytes[2 * i]);
  }
  return AddLevels(nChannel, levels);
}

bool CSiteData::AddLevels(int nChannel, std::span<const int8_t> levels) {
  if (nChannel < 1 || nChannel > m_nChannelCount) {
    return true; // no buffer for this channel: no channel report has named it
  }
  const auto nLevels = static_cast<uint32_t>(levels.size());
  if (nLevels == 0) {
    return true;
  }
  if (m_bClosed) {
    Refuse("Levels of channel " + std::to_string(nChannel) + " cannot be stored in " + Quoted(m_strPath) +
           ": it has been closed.");
  }
  if (m_nOpenSegment == 0) {
    Refuse("Levels of channel " + std::to_string(nChannel) + " cannot be stored in " + Quoted(m_strPath) +
           ": no segment has been announced.");
  }
  _channelrecord &buffer = m_pChannels[nChannel - 1];
  if (m_bSegmentFull || !MessageFits(buffer, nLevels)) {
    m_bSegmentFull = true; // the walk ends here: no later level joins the segment either
    return false;
  }
  // The buffer that cannot take this message's levels becomes a record of its own.
  if (buffer.nLevels + nLevels > SURVEY_MAX_RECORD_LEVELS && buffer.nLevels > 0) {
    m_waiting.push_back(buffer);
    buffer.nLevels = 0;
  }
  // A message longer than a record fills whole records first.
  uint32_t i = 0;
  while (nLevels - i > SURVEY_MAX_RECORD_LEVELS) {
    _channelrecord record = buffer;
    for (uint32_t j = 0; j < SURVEY_MAX_RECORD_LEVELS; ++j, ++i) {
      record.levels[j] = levels[i];
    }
    record.nLevels = SURVEY_MAX_RECORD_LEVELS;
    m_waiting.push_back(record);
  }
  for (; i < nLevels; ++i) {
    buffer.levels[buffer.nLevels++] = levels[i];
  }
  WriteWaitingRecords();
  return true;
}

void CSiteData::WriteChannelRecord(int nChannel) {
  if (nChannel >= 1 && nChannel <= m_nChannelCount && m_pChannels[nChannel - 1].nLevels > 0) {
    m_waiting.push_back(m_pChannels[nChannel - 1]);
    m_pChannels[nChannel - 1].nLevels = 0;
  }
  WriteWaitingRecords();
}

void CSiteData::FlushSegmentLevels() {
  QueueBuffers();
  WriteWaitingRecords();
}

void CSiteData::QueueBuffers() {
  for (int i = 0; i < m_nChannelCount; ++i) {
    if (m_pChannels[i].nLevels > 0) {
      m_waiting.push_back(m_pChannels[i]);
      m_pChannels[i].nLevels = 0;
    }
  }
}

void CSiteData::WriteWaitingRecords() {
  if (m_waiting.empty()) {
    SyncRecords(false);
    return;
  }
  if (m_nOpenSegment == 0) {
    Refuse("Levels cannot be stored in " + Quoted(m_strPath) + ": no segment has been announced.");
  }
  if (!m_bHeaderInFile) {
    // The segment's records must follow its header: when the header could not be written at
    // BEGIN, it is written now, before them.
    WriteSegmentHeader(m_nOpenSegment);
  }
  std::vector<uint8_t> bytes;
  bytes.reserve(ChannelRecordSize(SURVEY_BUFFER_LEVELS));
  while (!m_waiting.empty()) {
    const _channelrecord &record = m_waiting.front();
    bytes.clear();
    AppendChannelRecord(bytes, record);
    WriteAt(static_cast<uint64_t>(m_nFileLength), bytes.data(), static_cast<uint32_t>(bytes.size()),
            "appending a record of " + std::to_string(record.nLevels) + " levels of channel " +
                std::to_string(record.nChannel) + " to segment " + std::to_string(m_nOpenSegment),
            false);
    ++m_nRecordCount;
    m_waiting.pop_front();
  }
  SyncRecords(false);
}

void CSiteData::FinishSegment() {
  if (m_nOpenSegment == 0) {
    return;
  }
  QueueBuffers();
  try {
    WriteWaitingRecords();
  } catch (...) {
    KeepHeaderInStep(); // the records that did reach the file are counted all the same
    throw;
  }
  // A walk that ended without STOP still leaves a header whose count matches its records, and a
  // STOP whose header could not be written leaves its stop time.
  UpdateHeaderInFile();
}

void CSiteData::UpdateHeaderInFile() {
  if (m_nOpenSegment == 0 || !m_bHeaderInFile) {
    return;
  }
  CountSegmentRecords();
  if (EncodeSegmentHeader(m_segment) != m_headerInFile) {
    WriteSegmentHeader(m_nOpenSegment);
  }
}

bool CSiteData::KeepHeaderInStep() noexcept {
  try {
    UpdateHeaderInFile();
    return true;
  } catch (...) {
    return false;
  }
}

std::vector<uint8_t> CSiteData::SoundCopy() const {
  std::vector<uint8_t> bytes = LoadSurveyFile(m_strPath, CFile::shareDenyNone); // the lock is held
  if (bytes.size() < static_cast<uint64_t>(m_nFileLength)) {
    throw CFileException(CFileException::invalidFile, m_strPath,
                         Quoted(m_strPath) + " is " + std::to_string(bytes.size()) + " bytes long, but " +
                             std::to_string(m_nFileLength) +
                             " bytes of this survey have been written to it: another program has changed it, "
                             "and no copy is made of it.");
  }
  bytes.resize(static_cast<size_t>(m_nFileLength)); // what a failed write left behind is not the survey's
  if (m_nOpenSegment != 0) {
    std::vector<_channelrecord> pending(m_waiting.begin(), m_waiting.end());
    for (int i = 0; i < m_nChannelCount; ++i) {
      if (m_pChannels[i].nLevels > 0) {
        pending.push_back(m_pChannels[i]);
      }
    }
    if (m_bHeaderInFile || !pending.empty()) {
      _segmentheader header = m_segment;
      header.nRecordCount = static_cast<uint16_t>(static_cast<size_t>(m_nRecordCount) + pending.size());
      const auto encoded = EncodeSegmentHeader(header);
      const auto nOffset = static_cast<size_t>(m_segmentOffsets[m_nOpenSegment]);
      if (m_bHeaderInFile) {
        std::copy(encoded.begin(), encoded.end(), bytes.begin() + static_cast<std::ptrdiff_t>(nOffset));
      } else {
        bytes.insert(bytes.end(), encoded.begin(), encoded.end());
      }
      for (const _channelrecord &record : pending) {
        AppendChannelRecord(bytes, record);
      }
    }
  }
  // Segments announced but never begun hold nothing and are not counted.
  const _surveycontents contents = ParseSurvey(bytes.data(), bytes.size(), false);
  WriteUInt32LE(bytes.data() + SURVEY_COUNT_OFFSET, static_cast<uint32_t>(contents.segments.size()));
  const _surveycontents copy = ParseSurvey(bytes.data(), bytes.size(), false);
  if (!copy.IsSound()) {
    throw CFileException(CFileException::invalidFile, m_strPath,
                         "No sound copy of " + Quoted(m_strPath) +
                             " can be made: " + DescribeSurveyError(m_strPath, copy.errors.front()));
  }
  return bytes;
}

void CSiteData::SaveCopyAs(const std::string &path) const {
  std::error_code error;
  if (path == m_strPath || std::filesystem::equivalent(path, m_strPath, error)) {
    throw CFileException(CFileException::accessDenied, path,
                         "A copy of the survey " + Quoted(m_strPath) + " must go to another file.");
  }
  ReplaceFileWith(path, SoundCopy());
}
