#include "survey/SurveyFormat.h"

#include <algorithm>
#include <bit>

void PutU16(uint8_t *p, uint16_t n) {
  p[0] = static_cast<uint8_t>(n);
  p[1] = static_cast<uint8_t>(n >> 8);
}

void PutU32(uint8_t *p, uint32_t n) {
  for (int i = 0; i < 4; ++i) {
    p[i] = static_cast<uint8_t>(n >> (8 * i));
  }
}

void PutI64(uint8_t *p, int64_t n) {
  const auto u = static_cast<uint64_t>(n);
  for (int i = 0; i < 8; ++i) {
    p[i] = static_cast<uint8_t>(u >> (8 * i));
  }
}

void PutF64(uint8_t *p, double d) { PutI64(p, std::bit_cast<int64_t>(d)); }

uint16_t GetU16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t GetU32(const uint8_t *p) {
  uint32_t n = 0;
  for (int i = 3; i >= 0; --i) {
    n = (n << 8) | p[i];
  }
  return n;
}

int64_t GetI64(const uint8_t *p) {
  uint64_t n = 0;
  for (int i = 7; i >= 0; --i) {
    n = (n << 8) | p[i];
  }
  return static_cast<int64_t>(n);
}

double GetF64(const uint8_t *p) { return std::bit_cast<double>(GetI64(p)); }

std::array<uint8_t, SURVEY_HEADER_LENGTH> EncodeSurveyHeader(const _surveyheader &header) {
  std::array<uint8_t, SURVEY_HEADER_LENGTH> bytes{};
  PutU32(&bytes[0], header.nLength);
  std::copy(header.magic.begin(), header.magic.end(), bytes.begin() + 4);
  PutU16(&bytes[8], header.nVersionMajor);
  PutU16(&bytes[10], header.nVersionMinor);
  bytes[12] = header.nFlag;
  PutI64(&bytes[13], header.nCreated);
  PutU32(&bytes[21], header.nTrailer);
  return bytes;
}

_surveyheader DecodeSurveyHeader(const uint8_t *p) {
  _surveyheader header;
  header.nLength = GetU32(p);
  std::copy(p + 4, p + 8, header.magic.begin());
  header.nVersionMajor = GetU16(p + 8);
  header.nVersionMinor = GetU16(p + 10);
  header.nFlag = p[12];
  header.nCreated = GetI64(p + 13);
  header.nTrailer = GetU32(p + 21);
  return header;
}

std::array<uint8_t, SURVEY_SEGMENT_HEADER_LENGTH> EncodeSegmentHeader(const _segmentheader &header) {
  std::array<uint8_t, SURVEY_SEGMENT_HEADER_LENGTH> bytes{};
  bytes[0] = header.nCoordsFlag;
  bytes[1] = header.nMonth;
  bytes[2] = header.nDay;
  bytes[3] = header.nYear;
  bytes[4] = header.nStartHour;
  bytes[5] = header.nStartMinute;
  bytes[6] = header.nStartSecond;
  bytes[7] = header.nStopHour;
  bytes[8] = header.nStopMinute;
  bytes[9] = header.nStopSecond;
  PutU16(&bytes[10], header.nStartX);
  PutU16(&bytes[12], header.nStartY);
  PutU16(&bytes[14], header.nStopX);
  PutU16(&bytes[16], header.nStopY);
  PutF64(&bytes[18], header.dStartLon);
  PutF64(&bytes[26], header.dStartLat);
  PutF64(&bytes[34], header.dStopLon);
  PutF64(&bytes[42], header.dStopLat);
  PutU16(&bytes[50], header.nRecordCount);
  bytes[52] = header.nReserved;
  return bytes;
}

_segmentheader DecodeSegmentHeader(const uint8_t *p) {
  _segmentheader header;
  header.nCoordsFlag = p[0];
  header.nMonth = p[1];
  header.nDay = p[2];
  header.nYear = p[3];
  header.nStartHour = p[4];
  header.nStartMinute = p[5];
  header.nStartSecond = p[6];
  header.nStopHour = p[7];
  header.nStopMinute = p[8];
  header.nStopSecond = p[9];
  header.nStartX = GetU16(p + 10);
  header.nStartY = GetU16(p + 12);
  header.nStopX = GetU16(p + 14);
  header.nStopY = GetU16(p + 16);
  header.dStartLon = GetF64(p + 18);
  header.dStartLat = GetF64(p + 26);
  header.dStopLon = GetF64(p + 34);
  header.dStopLat = GetF64(p + 42);
  header.nRecordCount = GetU16(p + 50);
  header.nReserved = p[52];
  return header;
}

void AppendChannelRecord(std::vector<uint8_t> &out, const _channelrecord &record) {
  const uint32_t nLevels = std::min(record.nLevels, SURVEY_BUFFER_LEVELS);
  const size_t nStart = out.size();
  out.resize(nStart + ChannelRecordSize(nLevels));
  uint8_t *p = out.data() + nStart;
  PutU32(p, record.nFrequency);
  PutU16(p + 4, record.nChannel);
  PutU32(p + 6, nLevels);
  for (uint32_t i = 0; i < nLevels; ++i) {
    PutU16(p + SURVEY_RECORD_HEADER_LENGTH + 2 * i, static_cast<uint16_t>(record.levels[i]));
  }
}
