#pragma once

#include "survey/SurveyFormat.h"
#include "tests/survey/SurveyBuilder.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <vector>

// Surveys walked on a geo-coded plan, described segment by segment: where, when, and each
// channel's levels and frequency code. Every segment runs north from its start point, and its
// header stores the coordinates, so its true length needs no projection.
struct _walk {
  uint8_t nStartMinute = 0; // the walk starts at 10:nStartMinute:00 on 2024-06-01
  int nSeconds = 20;        // and lasts this long by the header's clock
  double dMetres = 30;      // from the start point to the stop point
  uint16_t nX = 100;        // plan pixels of the start point; the stop point is 300 pixels below
  bool bSamePoint = false;  // the stop point is the start point, in pixels and coordinates
  bool bCoordinates = true; // the header stores them (a geo-coded plan)
  std::map<uint16_t, std::vector<int16_t>> levels;
  std::map<uint16_t, uint32_t> codes{{1, 8500}, {2, 9000}};
};

constexpr double TEST_METRES_PER_DEGREE = 6378137.0 * 3.14159265358979323846 / 180.0;

// n levels of someone walking: they fade and fluctuate, none twice in a row, none at the scale's end.
inline std::vector<int16_t> WalkingLevels(size_t n) {
  std::vector<int16_t> levels(n);
  for (size_t i = 0; i < n; ++i) {
    levels[i] = static_cast<int16_t>(-68 + static_cast<int>(i * 37 % 17));
  }
  return levels;
}

// An ordinary walk: 30 m in 20 s, 10 levels a second on each channel.
inline _walk OrdinaryWalk(uint8_t nStartMinute) {
  _walk walk;
  walk.nStartMinute = nStartMinute;
  walk.levels = {{1, WalkingLevels(200)}, {2, WalkingLevels(200)}};
  return walk;
}

inline _segmentheader WalkHeader(const _walk &walk) {
  _segmentheader h;
  h.nCoordsFlag = walk.bCoordinates ? 1 : 0;
  h.nMonth = 6;
  h.nDay = 1;
  h.nYear = 2024 - 1980;
  h.nStartHour = 10;
  h.nStartMinute = walk.nStartMinute;
  const int nStop = walk.nStartMinute * 60 + walk.nSeconds;
  h.nStopHour = static_cast<uint8_t>(10 + nStop / 3600);
  h.nStopMinute = static_cast<uint8_t>(nStop / 60 % 60);
  h.nStopSecond = static_cast<uint8_t>(nStop % 60);
  h.nStartX = walk.nX;
  h.nStartY = 100;
  h.nStopX = walk.nX;
  h.nStopY = walk.bSamePoint ? 100 : 400;
  h.dStartLat = 48.0;
  h.dStartLon = 11.0;
  h.dStopLat = walk.bSamePoint ? 48.0 : 48.0 + walk.dMetres / TEST_METRES_PER_DEGREE;
  h.dStopLon = 11.0;
  return h;
}

// The survey's bytes: each walk's header and its records of at most 99 levels, the channels'
// records interleaved as a collector writes them.
inline std::vector<uint8_t> SurveyOf(const std::vector<_walk> &walks) {
  CSurveyBuilder builder(static_cast<uint32_t>(walks.size()));
  for (const auto &walk : walks) {
    std::vector<_channelrecord> records;
    for (size_t nFirst = 0;; nFirst += SURVEY_MAX_RECORD_LEVELS) {
      bool bMore = false;
      for (const auto &[nChannel, levels] : walk.levels) {
        if (nFirst >= levels.size()) {
          continue;
        }
        bMore = true;
        _channelrecord record;
        record.nChannel = nChannel;
        record.nFrequency = walk.codes.at(nChannel);
        record.nLevels = static_cast<uint32_t>(std::min<size_t>(SURVEY_MAX_RECORD_LEVELS, levels.size() - nFirst));
        std::copy_n(levels.begin() + static_cast<std::ptrdiff_t>(nFirst), record.nLevels, record.levels.begin());
        records.push_back(record);
      }
      if (!bMore) {
        break;
      }
    }
    _segmentheader header = WalkHeader(walk);
    header.nRecordCount = static_cast<uint16_t>(records.size());
    const auto bytes = EncodeSegmentHeader(header);
    builder.m_bytes.insert(builder.m_bytes.end(), bytes.begin(), bytes.end());
    for (const auto &record : records) {
      AppendChannelRecord(builder.m_bytes, record);
    }
  }
  return builder.m_bytes;
}

inline void WriteFile(const std::string &path, const std::vector<uint8_t> &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
