#pragma once

#include "platform/LittleEndian.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The byte layout of survey data files (.tvd). Every number is little-endian and the records are
// packed; they are turned into bytes and back field by field, never copied as structures.
//
//   0   file header (25 bytes)
//   25  u32 segment header length, always 53
//   29  u32 segment count, rewritten each time a segment is announced
//   33  the segments in the order they were walked: a segment header followed by its records

constexpr uint32_t SURVEY_HEADER_LENGTH = 25;
constexpr uint32_t SURVEY_SEGMENT_HEADER_LENGTH = 53;
constexpr uint64_t SURVEY_HEADER_LENGTH_OFFSET = 25;
constexpr uint64_t SURVEY_COUNT_OFFSET = 29;
constexpr uint64_t SURVEY_FIRST_SEGMENT_OFFSET = 33;
constexpr int SURVEY_MAX_SEGMENTS = 500;
// A channel record: u32 frequency code, u16 channel number, u32 level count, then the levels.
constexpr uint32_t SURVEY_RECORD_HEADER_LENGTH = 10;
// No record ever holds more levels than this; every reader of the format relies on it.
constexpr uint32_t SURVEY_MAX_RECORD_LEVELS = 99;
// No segment holds more records than its header's 16-bit count can say: the writer ends a walk
// there rather than let the count wrap.
constexpr uint32_t SURVEY_MAX_SEGMENT_RECORDS = 65535;
// Room for levels in a channel buffer.
constexpr uint32_t SURVEY_BUFFER_LEVELS = 100;
// The magic: the characters of 'TVD ' stored as a little-endian 32-bit value.
constexpr std::array<uint8_t, 4> SURVEY_MAGIC{0x20, 0x44, 0x56, 0x54};

// The file header, written once when the file is created.
struct _surveyheader {
  uint32_t nLength = SURVEY_HEADER_LENGTH;
  std::array<uint8_t, 4> magic = SURVEY_MAGIC;
  uint16_t nVersionMajor = 1;
  uint16_t nVersionMinor = 0;
  uint8_t nFlag = 0;
  int64_t nCreated = 0; // seconds since 1970-01-01 00:00 UTC
  uint32_t nTrailer = SURVEY_HEADER_LENGTH;
};

// The header of one segment (53 bytes). Times are local; the year byte is the year - 1980,
// modulo 256. The coordinate fields mean something only when nCoordsFlag is 1.
struct _segmentheader {
  uint8_t nCoordsFlag = 0;
  uint8_t nMonth = 0;
  uint8_t nDay = 0;
  uint8_t nYear = 0;
  uint8_t nStartHour = 0;
  uint8_t nStartMinute = 0;
  uint8_t nStartSecond = 0;
  uint8_t nStopHour = 0;
  uint8_t nStopMinute = 0;
  uint8_t nStopSecond = 0;
  uint16_t nStartX = 0;
  uint16_t nStartY = 0;
  uint16_t nStopX = 0;
  uint16_t nStopY = 0;
  double dStartLon = 0.0;
  double dStartLat = 0.0;
  double dStopLon = 0.0;
  double dStopLat = 0.0;
  uint16_t nRecordCount = 0; // the segment's record count; files of old writers hold its low 16 bits
  uint8_t nReserved = 0;
};

// A block of levels of one channel: in the file 10 + 2n bytes; in memory a channel buffer with
// room for SURVEY_BUFFER_LEVELS levels.
struct _channelrecord {
  uint32_t nFrequency = 0; // frequency code, units of 50 kHz
  uint16_t nChannel = 0;   // 1 or 2
  uint32_t nLevels = 0;    // levels held
  std::array<int16_t, SURVEY_BUFFER_LEVELS> levels{};
};

std::array<uint8_t, SURVEY_HEADER_LENGTH> EncodeSurveyHeader(const _surveyheader &header);
_surveyheader DecodeSurveyHeader(const uint8_t *p);

std::array<uint8_t, SURVEY_SEGMENT_HEADER_LENGTH> EncodeSegmentHeader(const _segmentheader &header);
_segmentheader DecodeSegmentHeader(const uint8_t *p);

// Appends the record's bytes (10 + 2 * nLevels, at most SURVEY_BUFFER_LEVELS levels) to out.
void AppendChannelRecord(std::vector<uint8_t> &out, const _channelrecord &record);
// The stored size of a record holding nLevels levels.
constexpr uint64_t ChannelRecordSize(uint32_t nLevels) { return SURVEY_RECORD_HEADER_LENGTH + 2ULL * nLevels; }
