#include "quality/SegmentTable.h"

#include <algorithm>

namespace {

std::map<uint16_t, _levelstats> LevelStats(const _surveysegmententry &segment) {
  std::map<uint16_t, _levelstats> stats;
  std::map<uint16_t, int64_t> sums;
  for (const auto &record : segment.records) {
    if (record.levels.empty()) {
      continue;
    }
    _levelstats &s = stats[record.nChannel];
    const auto [pMin, pMax] = std::minmax_element(record.levels.begin(), record.levels.end());
    s.nMin = s.nCount == 0 ? *pMin : std::min(s.nMin, *pMin);
    s.nMax = s.nCount == 0 ? *pMax : std::max(s.nMax, *pMax);
    s.nCount += static_cast<uint32_t>(record.levels.size());
    for (const int16_t nLevel : record.levels) {
      sums[record.nChannel] += nLevel;
    }
  }
  for (auto &[nChannel, s] : stats) {
    s.dMean = static_cast<double>(sums[nChannel]) / s.nCount;
  }
  return stats;
}

} // namespace

double _segmentrow::Speed() const {
  const _segmentfacts &facts = quality.facts;
  return facts.bLength && facts.timing.bTimed && facts.timing.nDurationMs > 0 ? facts.dLengthM / facts.Seconds() : 0.0;
}

_segmenttable ReadSegmentTable(const CSurveySource &source, const std::string &strPath,
                               const CSiteProjection *pProjection, const _qualitysettings &settings) {
  _segmenttable table;
  const _surveyreadoptions options{.bKeepLevels = true, .bKeepRecords = false};
  table.contents = StreamSurvey(source, options, [&](const _surveycontents &contents, size_t i) {
    _segmentrow row;
    row.header = contents.segments[i].header;
    row.quality.facts = SegmentFacts(contents, i, pProjection);
    row.levels = LevelStats(contents.segments[i]);
    table.rows.push_back(std::move(row));
  });
  table.side = LoadQualityFile(strPath, table.contents);
  const _qualityrecord &record = table.side.record;
  std::vector<_segmentfacts> facts;
  for (auto &row : table.rows) {
    facts.push_back(row.quality.facts);
    const uint32_t nSegment = row.quality.facts.nSegment;
    row.bCounts = record.Counts(nSegment);
    if (const auto it = record.entries.find(nSegment); it != record.entries.end()) {
      row.nReplacedBy = it->second.nReplacedBy;
      row.bExcluded = it->second.bExcluded;
    }
  }
  const _surveynorms norms = SurveyNorms(facts, record);
  StreamSurvey(source, options, [&](const _surveycontents &contents, size_t i) {
    if (i < table.rows.size()) {
      _segmentrow &row = table.rows[i];
      row.quality =
          CheckSegment(contents, row.quality.facts, norms, record.Walk(static_cast<uint32_t>(i + 1)), settings);
    }
  });
  return table;
}

std::string RowStanding(const _segmentrow &row) {
  if (row.nReplacedBy != 0) {
    return "replaced by segment " + std::to_string(row.nReplacedBy);
  }
  if (row.bExcluded) {
    return "excluded";
  }
  return row.quality.Passed() ? "passed" : "flagged";
}
