#include "quality/GapWatch.h"

#include <algorithm>
#include <cmath>

namespace {

int64_t MedianInterval(const std::vector<int64_t> &arrivals) {
  if (arrivals.size() < 2) {
    return 0;
  }
  std::vector<int64_t> intervals;
  intervals.reserve(arrivals.size() - 1);
  for (size_t i = 1; i < arrivals.size(); ++i) {
    intervals.push_back(arrivals[i] - arrivals[i - 1]);
  }
  const auto middle = intervals.begin() + static_cast<std::ptrdiff_t>(intervals.size() / 2);
  std::nth_element(intervals.begin(), middle, intervals.end());
  return *middle;
}

} // namespace

double _walkgaps::StartFraction(const _walkgap &gap) const {
  return nWalkMs > 0 ? std::clamp(static_cast<double>(gap.nStartMs) / static_cast<double>(nWalkMs), 0.0, 1.0) : 0.0;
}

double _walkgaps::Share(const _walkgap &gap) const {
  return nWalkMs > 0 ? std::clamp(static_cast<double>(gap.nDurationMs) / static_cast<double>(nWalkMs), 0.0, 1.0) : 0.0;
}

void CGapWatch::Begin(int64_t nNowMs) {
  m_bWatching = true;
  m_nBeginMs = nNowMs;
  m_arrivals.clear();
}

void CGapWatch::Levels(uint16_t nChannel, uint32_t nLevels, int64_t nArrivalMs) {
  if (!m_bWatching || nLevels == 0) {
    return;
  }
  m_arrivals[nChannel].push_back(std::max(nArrivalMs, m_nBeginMs));
  m_channels.insert(nChannel);
}

_walkgaps CGapWatch::Stop(int64_t nNowMs) {
  _walkgaps result;
  if (!m_bWatching) {
    return result;
  }
  m_bWatching = false;
  const int64_t nStopMs = std::max(nNowMs, m_nBeginMs);
  result.nWalkMs = nStopMs - m_nBeginMs;
  for (const uint16_t nChannel : m_channels) {
    AddGaps(nChannel, m_arrivals[nChannel], nStopMs, result);
  }
  std::stable_sort(result.gaps.begin(), result.gaps.end(),
                   [](const _walkgap &a, const _walkgap &b) { return a.nStartMs < b.nStartMs; });
  m_arrivals.clear();
  return result;
}

void CGapWatch::AddGaps(uint16_t nChannel, std::vector<int64_t> &arrivals, int64_t nStopMs, _walkgaps &result) const {
  std::sort(arrivals.begin(), arrivals.end());
  const auto nFloorMs = static_cast<int64_t>(std::llround(m_settings.dGapMinS * 1000.0));
  const auto nMedianMs =
      static_cast<int64_t>(std::llround(m_settings.dGapMedianFactor * static_cast<double>(MedianInterval(arrivals))));
  const int64_t nThresholdMs = std::max(nFloorMs, nMedianMs);
  // BEGIN, every arrival within the walk, STOP: a gap lies between two neighbours too far apart.
  std::vector<int64_t> moments{m_nBeginMs};
  for (const int64_t nArrival : arrivals) {
    if (nArrival <= nStopMs) {
      moments.push_back(nArrival);
    }
  }
  moments.push_back(nStopMs);
  for (size_t i = 1; i < moments.size(); ++i) {
    if (moments[i] - moments[i - 1] > nThresholdMs) {
      result.gaps.push_back({nChannel, moments[i - 1] - m_nBeginMs, moments[i] - moments[i - 1]});
    }
  }
}
