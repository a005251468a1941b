#include "survey/SurveyFormat.h"

#include <algorithm>

std::array<uint8_t, SURVEY_HEADER_LENGTH> EncodeSurveyHeader(const _surveyheader &header) {
  std::array<uint8_t, SURVEY_HEADER_LENGTH> bytes{};
  WriteUInt32LE(&bytes[0], header.nLength);
  std::copy(header.magic.begin(), header.magic.end(), bytes.begin() + 4);
  WriteUInt16LE(&bytes[8], header.nVersionMajor);
  WriteUInt16LE(&bytes[10], header.nVersionMinor);
  bytes[12] = header.nFlag;
  WriteInt64LE(&bytes[13], header.nCreated);
  WriteUInt32LE(&bytes[21], header.nTrailer);
  return bytes;
}

_surveyheader DecodeSurveyHeader(const uint8_t *p) {
  _surveyheader header;
  header.nLength = ReadUInt32LE(p);
  std::copy(p + 4, p + 8, header.magic.begin());
  header.nVersionMajor = ReadUInt16LE(p + 8);
  header.nVersionMinor = ReadUInt16LE(p + 10);
  header.nFlag = p[12];
  header.nCreated = ReadInt64LE(p + 13);
  header.nTrailer = ReadUInt32LE(p + 21);
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
  WriteUInt16LE(&bytes[10], header.nStartX);
  WriteUInt16LE(&bytes[12], header.nStartY);
  WriteUInt16LE(&bytes[14], header.nStopX);
  WriteUInt16LE(&bytes[16], header.nStopY);
  WriteDoubleLE(&bytes[18], header.dStartLon);
  WriteDoubleLE(&bytes[26], header.dStartLat);
  WriteDoubleLE(&bytes[34], header.dStopLon);
  WriteDoubleLE(&bytes[42], header.dStopLat);
  WriteUInt16LE(&bytes[50], header.nRecordCount);
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
  header.nStartX = ReadUInt16LE(p + 10);
  header.nStartY = ReadUInt16LE(p + 12);
  header.nStopX = ReadUInt16LE(p + 14);
  header.nStopY = ReadUInt16LE(p + 16);
  header.dStartLon = ReadDoubleLE(p + 18);
  header.dStartLat = ReadDoubleLE(p + 26);
  header.dStopLon = ReadDoubleLE(p + 34);
  header.dStopLat = ReadDoubleLE(p + 42);
  header.nRecordCount = ReadUInt16LE(p + 50);
  header.nReserved = p[52];
  return header;
}

void AppendChannelRecord(std::vector<uint8_t> &out, const _channelrecord &record) {
  const uint32_t nLevels = std::min(record.nLevels, SURVEY_BUFFER_LEVELS);
  const size_t nStart = out.size();
  out.resize(nStart + ChannelRecordSize(nLevels));
  uint8_t *p = out.data() + nStart;
  WriteUInt32LE(p, record.nFrequency);
  WriteUInt16LE(p + 4, record.nChannel);
  WriteUInt32LE(p + 6, nLevels);
  for (uint32_t i = 0; i < nLevels; ++i) {
    WriteUInt16LE(p + SURVEY_RECORD_HEADER_LENGTH + 2 * i, static_cast<uint16_t>(record.levels[i]));
  }
}
