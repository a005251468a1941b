#pragma once

#include "survey/SurveyFormat.h"

#include <cstdint>
#include <vector>

// Builds survey files byte by byte, independently of the writer.
class CSurveyBuilder {
public:
  explicit CSurveyBuilder(uint32_t nCount) {
    _surveyheader header;
    header.nCreated = 1700000000;
    const auto bytes = EncodeSurveyHeader(header);
    m_bytes.assign(bytes.begin(), bytes.end());
    m_bytes.resize(SURVEY_FIRST_SEGMENT_OFFSET);
    WriteUInt32LE(&m_bytes[25], SURVEY_SEGMENT_HEADER_LENGTH);
    WriteUInt32LE(&m_bytes[29], nCount);
  }
  CSurveyBuilder &Segment(uint16_t nClaimed, uint8_t nHour = 10) {
    _segmentheader header;
    header.nMonth = 6;
    header.nDay = 1;
    header.nStartHour = nHour;
    header.nStopHour = nHour;
    header.nRecordCount = nClaimed;
    const auto bytes = EncodeSegmentHeader(header);
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
  }
  CSurveyBuilder &Record(uint16_t nChannel, uint32_t nLevels, int16_t nFirst = -60) {
    _channelrecord record;
    record.nFrequency = 8500 + nChannel;
    record.nChannel = nChannel;
    record.nLevels = nLevels;
    for (uint32_t i = 0; i < nLevels; ++i) {
      record.levels[i] = static_cast<int16_t>(nFirst + static_cast<int16_t>(i));
    }
    AppendChannelRecord(m_bytes, record);
    return *this;
  }
  std::vector<uint8_t> m_bytes;
};
