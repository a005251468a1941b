#include "quality/SegmentFacts.h"

#include "projection/SiteProjection.h"

#include <algorithm>
#include <cmath>

namespace {

bool IsLatitude(double d) { return std::isfinite(d) && std::fabs(d) <= 90.0; }
bool IsLongitude(double d) { return std::isfinite(d) && std::fabs(d) <= 360.0; }

void SetLength(_segmentfacts &facts, const _segmentheader &h, const CSiteProjection *pProjection) {
  if (pProjection != nullptr && pProjection->m_nKind != PROJECTION_NONE) {
    double a1 = 0, a2 = 0, b1 = 0, b2 = 0;
    pProjection->ToCoordinates(h.nStartX, h.nStartY, a1, a2);
    pProjection->ToCoordinates(h.nStopX, h.nStopY, b1, b2);
    facts.dLengthM = pProjection->m_nKind == PROJECTION_GEO ? CSiteProjection::GeoDistance(a1, a2, b1, b2)
                                                            : CSiteProjection::LinearDistance(a1, a2, b1, b2);
    facts.bLength = std::isfinite(facts.dLengthM);
  } else if (h.nCoordsFlag == 1 && IsLatitude(h.dStartLat) && IsLatitude(h.dStopLat) && IsLongitude(h.dStartLon) &&
             IsLongitude(h.dStopLon)) {
    facts.dLengthM = CSiteProjection::GeoDistance(h.dStartLat, h.dStartLon, h.dStopLat, h.dStopLon);
    facts.bLength = true;
  }
  if (!facts.bLength) {
    facts.dLengthM = 0;
    facts.strNoLength = h.nCoordsFlag == 1 ? "the coordinates in its header are no latitude and longitude"
                                           : "its header holds no coordinates (it was walked on a linear plan) "
                                             "and no projection was given";
  }
}

double Median(std::vector<double> values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

} // namespace

uint32_t _segmentfacts::LevelCount() const {
  uint32_t nTotal = 0;
  for (const auto &[nChannel, nCount] : counts) {
    nTotal += nCount;
  }
  return nTotal;
}

_segmentfacts SegmentFacts(const _surveycontents &contents, size_t nIndex, const CSiteProjection *pProjection) {
  const _surveysegmententry &segment = contents.segments.at(nIndex);
  const _segmentheader &h = segment.header;
  _segmentfacts facts;
  facts.nSegment = static_cast<uint32_t>(nIndex + 1);
  facts.timing = SegmentTiming(contents, nIndex);
  facts.bSamePoint = h.nStartX == h.nStopX && h.nStartY == h.nStopY;
  SetLength(facts, h, pProjection);
  for (const auto &record : segment.records) {
    facts.counts[record.nChannel] += record.nLevels;
    facts.frequencies[record.nChannel].insert(record.nFrequency);
  }
  return facts;
}

std::vector<int16_t> ChannelLevels(const _surveysegmententry &segment, uint16_t nChannel) {
  std::vector<int16_t> levels;
  for (const auto &record : segment.records) {
    if (record.nChannel == nChannel) {
      levels.insert(levels.end(), record.levels.begin(), record.levels.end());
    }
  }
  return levels;
}

_surveynorms SurveyNorms(const std::vector<_segmentfacts> &facts, const _qualityrecord &record) {
  std::map<uint16_t, std::vector<double>> rates;
  std::map<std::map<uint16_t, std::set<uint32_t>>, uint32_t> channelSets;
  for (const auto &segment : facts) {
    if (!record.Counts(segment.nSegment) || segment.counts.empty()) {
      continue;
    }
    ++channelSets[segment.frequencies];
    if (segment.timing.bTimed && segment.timing.nDurationMs > 0) {
      for (const auto &[nChannel, nCount] : segment.counts) {
        rates[nChannel].push_back(nCount / segment.Seconds());
      }
    }
  }
  _surveynorms norms;
  for (const auto &[nChannel, values] : rates) {
    norms.medianRate[nChannel] = Median(values);
  }
  uint32_t nMost = 0;
  for (const auto &[channels, nSegments] : channelSets) {
    if (nSegments > nMost) { // the first of equals: the set with the lowest channels and codes
      nMost = nSegments;
      norms.channels = channels;
    }
  }
  return norms;
}
