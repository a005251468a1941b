#pragma once

#include "coverage/CoverageSurvey.h"
#include "projection/ProjectionHeader.h"
#include "projection/SiteProjection.h"
#include "survey/SurveyFormat.h"

#include <algorithm>
#include <memory>
#include <vector>

// A linear projection of dMetresPerPixel metres per plan pixel, X and Y from the top-left corner.
inline std::unique_ptr<CSiteProjection> LinearProjection(double dMetresPerPixel) {
  auto projection = std::make_unique<CSiteProjection>();
  projection->m_nKind = PROJECTION_LINEAR;
  SetProjectionTransform(*projection, {dMetresPerPixel, 0, 0, dMetresPerPixel, 0, 0});
  return projection;
}

// A survey's bytes, made segment by segment with the points, times and levels a test gives.
class CSurveyBytes {
public:
  CSurveyBytes() {
    const auto header = EncodeSurveyHeader(_surveyheader{});
    m_bytes.assign(header.begin(), header.end());
    m_bytes.resize(SURVEY_FIRST_SEGMENT_OFFSET);
    WriteUInt32LE(&m_bytes[SURVEY_HEADER_LENGTH_OFFSET], SURVEY_SEGMENT_HEADER_LENGTH);
  }
  // A segment walked from (x0, y0) to (x1, y1) between two times of 2024-06-01 (seconds of the
  // day), each channel's levels in records of 99 as the collector writes them.
  CSurveyBytes &Segment(uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1, int nStartSecond, int nStopSecond,
                        const std::vector<int16_t> &channel1, const std::vector<int16_t> &channel2 = {}) {
    _segmentheader header;
    header.nMonth = 6;
    header.nDay = 1;
    header.nYear = 2024 - 1980;
    header.nStartHour = static_cast<uint8_t>(nStartSecond / 3600);
    header.nStartMinute = static_cast<uint8_t>(nStartSecond / 60 % 60);
    header.nStartSecond = static_cast<uint8_t>(nStartSecond % 60);
    header.nStopHour = static_cast<uint8_t>(nStopSecond / 3600);
    header.nStopMinute = static_cast<uint8_t>(nStopSecond / 60 % 60);
    header.nStopSecond = static_cast<uint8_t>(nStopSecond % 60);
    header.nStartX = x0;
    header.nStartY = y0;
    header.nStopX = x1;
    header.nStopY = y1;
    std::vector<uint8_t> records;
    uint16_t nRecords = 0;
    for (uint16_t nChannel = 1; nChannel <= 2; ++nChannel) {
      const auto &levels = nChannel == 1 ? channel1 : channel2;
      for (size_t i = 0; i < levels.size(); i += SURVEY_MAX_RECORD_LEVELS) {
        _channelrecord record;
        record.nChannel = nChannel;
        record.nFrequency = nChannel == 1 ? 8500 : 9000;
        record.nLevels = static_cast<uint32_t>(std::min<size_t>(SURVEY_MAX_RECORD_LEVELS, levels.size() - i));
        std::copy_n(levels.begin() + static_cast<std::ptrdiff_t>(i), record.nLevels, record.levels.begin());
        AppendChannelRecord(records, record);
        ++nRecords;
      }
    }
    header.nRecordCount = nRecords;
    m_headers.push_back(header);
    const auto bytes = EncodeSegmentHeader(header);
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    m_bytes.insert(m_bytes.end(), records.begin(), records.end());
    WriteUInt32LE(&m_bytes[SURVEY_COUNT_OFFSET], static_cast<uint32_t>(m_headers.size()));
    return *this;
  }
  // Reads the survey into coverage as a reopened survey is read.
  _coveragesurvey AddTo(CCoverage &coverage) const {
    const CSurveySource source(m_bytes.data(), m_bytes.size());
    return AddSurveyToCoverage(source, coverage);
  }

  std::vector<uint8_t> m_bytes;
  std::vector<_segmentheader> m_headers;
};
