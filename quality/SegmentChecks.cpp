#include "quality/SegmentChecks.h"

#include "quality/LevelChecks.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// The shortest length that is not taken for a segment of length 0.
constexpr double QUALITY_ZERO_LENGTH_M = 0.005;

std::string Format(const char *pFormat, double d) {
  char text[64];
  std::snprintf(text, sizeof text, pFormat, d);
  return text;
}

std::string Metres(double d) { return Format(d < 10 ? "%.1f m" : "%.0f m", d); }
std::string Percent(double dShare) { return Format("%.0f %%", dShare * 100); }

// The frequency of a code (units of 50 kHz) in MHz, without trailing zeros: "425 MHz", "425.0125 MHz".
std::string MHz(uint32_t nCode) {
  std::string text = Format("%.4f", nCode * 50.0 / 1000.0);
  while (text.back() == '0') {
    text.pop_back();
  }
  if (text.back() == '.') {
    text.pop_back();
  }
  return text + " MHz";
}

std::string MHz(const std::set<uint32_t> &codes) {
  std::string text;
  for (const uint32_t nCode : codes) {
    text += (text.empty() ? "" : " and ") + MHz(nCode);
  }
  return text;
}

// Where a fraction of the way lies: "at 14 m", or "at 40 % of the way" without a length.
std::string Place(const _segmentfacts &facts, double dFraction) {
  return "at " + (facts.bLength ? Metres(dFraction * facts.dLengthM) : Percent(dFraction) + " of the way");
}

class CChecker {
public:
  CChecker(const _surveycontents &contents, const _segmentfacts &facts, const _qualitysettings &settings)
      : m_segment(contents.segments.at(facts.nSegment - 1)), m_facts(facts), m_settings(settings) {
    m_quality.facts = facts;
  }

  void Points();
  void Gaps(const _walkgaps *pWalk);
  void Rate(const _surveynorms &norms);
  void Speed();
  void Still();
  void Clipping();
  void Channels(const _surveynorms &norms);

  _segmentquality m_quality;

private:
  void Add(QualityCheck check, const std::string &reason, double dFraction = -1, double dSeconds = 0) {
    _qualityfinding finding{check, reason, dFraction >= 0 && m_facts.bLength, 0, dFraction, dSeconds};
    if (finding.bPlaced) {
      finding.dAtM = dFraction * m_facts.dLengthM;
    }
    m_quality.findings.push_back(finding);
  }
  void Skip(QualityCheck check, const std::string &why) { m_quality.skipped.push_back({check, why}); }
  bool Timed(QualityCheck check) {
    if (m_facts.timing.bTimed) {
      return true;
    }
    Skip(check, m_facts.timing.strNote);
    return false;
  }

  const _surveysegmententry &m_segment;
  const _segmentfacts &m_facts;
  const _qualitysettings &m_settings;
};

void CChecker::Points() {
  if (m_facts.bSamePoint) {
    Add(QualityCheck::points, "its stop point is its start point");
  } else if (m_facts.bLength && m_facts.dLengthM < QUALITY_ZERO_LENGTH_M) {
    Add(QualityCheck::points, "it is 0 m long");
  }
}

void CChecker::Gaps(const _walkgaps *pWalk) {
  if (pWalk == nullptr) {
    Skip(QualityCheck::gap, "no arrival times were kept during the walk");
    return;
  }
  for (const auto &gap : pWalk->gaps) {
    const double dSeconds = static_cast<double>(gap.nDurationMs) / 1000.0;
    const double dFraction = pWalk->StartFraction(gap);
    Add(QualityCheck::gap,
        Format("%.1f s", dSeconds) + " without levels on channel " + std::to_string(gap.nChannel) + " " +
            Place(m_facts, dFraction) + " (" + Percent(pWalk->Share(gap)) + " of the walk)",
        dFraction, dSeconds);
  }
}

void CChecker::Rate(const _surveynorms &norms) {
  const auto one = m_facts.counts.find(1);
  const auto two = m_facts.counts.find(2);
  if (one != m_facts.counts.end() && two != m_facts.counts.end()) {
    const double dMore = std::max(one->second, two->second);
    const double dDifference = std::fabs(static_cast<double>(one->second) - two->second) / dMore;
    if (dDifference > m_settings.dChannelDifference) {
      const bool bTwoFewer = two->second < one->second;
      Add(QualityCheck::rate, "channel " + std::string(bTwoFewer ? "2" : "1") + " has " + Percent(dDifference) +
                                  " fewer levels than channel " + (bTwoFewer ? "1" : "2") + " (" +
                                  std::to_string(std::min(one->second, two->second)) + " against " +
                                  std::to_string(std::max(one->second, two->second)) + ")");
    }
  }
  if (!Timed(QualityCheck::rate) || m_facts.timing.nDurationMs <= 0) {
    return;
  }
  for (const auto &[nChannel, nCount] : m_facts.counts) {
    const auto median = norms.medianRate.find(nChannel);
    if (median == norms.medianRate.end()) {
      continue;
    }
    const double dRate = nCount / m_facts.Seconds();
    if (dRate < m_settings.dRateLow * median->second || dRate > m_settings.dRateHigh * median->second) {
      Add(QualityCheck::rate, Format("%.1f levels/s", dRate) + " on channel " + std::to_string(nChannel) +
                                  ", the survey's median is " + Format("%.1f", median->second));
    }
  }
}

void CChecker::Speed() {
  if (!Timed(QualityCheck::speed)) {
    return;
  }
  const double dSeconds = m_facts.Seconds();
  if (dSeconds < m_settings.dWalkMinS) {
    Add(QualityCheck::speed,
        Format("walked in %.0f s", dSeconds) + ", shorter than " + Format("%g s", m_settings.dWalkMinS));
    return;
  }
  if (!m_facts.bLength) {
    Skip(QualityCheck::speed, m_facts.strNoLength);
    return;
  }
  if (m_facts.bSamePoint || m_facts.dLengthM < QUALITY_ZERO_LENGTH_M) {
    return; // the points' check says it
  }
  const double dSpeed = m_facts.dLengthM / dSeconds;
  if (dSpeed < m_settings.dSpeedMinMS) {
    Add(QualityCheck::speed,
        Format("walked at %.2f m/s", dSpeed) + ", slower than " + Format("%g m/s", m_settings.dSpeedMinMS));
  } else if (dSpeed > m_settings.dSpeedMaxMS) {
    Add(QualityCheck::speed,
        Format("walked at %.1f m/s", dSpeed) + ", faster than " + Format("%g m/s", m_settings.dSpeedMaxMS));
  }
}

void CChecker::Still() {
  if (!Timed(QualityCheck::still) || m_facts.timing.nDurationMs <= 0) {
    return;
  }
  _levelstretch longest;
  uint16_t nLongestChannel = 0;
  double dLongestSeconds = 0;
  for (const auto &[nChannel, nCount] : m_facts.counts) {
    const double dRate = nCount / m_facts.Seconds();
    const _levelstretch still = LongestStillStretch(ChannelLevels(m_segment, nChannel), dRate, m_settings);
    if (still.bFound && static_cast<double>(still.nCount) / dRate > dLongestSeconds) {
      longest = still;
      nLongestChannel = nChannel;
      dLongestSeconds = static_cast<double>(still.nCount) / dRate;
    }
  }
  if (longest.bFound) {
    const double dFraction = LevelFraction(static_cast<uint32_t>(longest.nFirst), m_facts.counts.at(nLongestChannel));
    Add(QualityCheck::still,
        Format("standing still for %.1f s ", dLongestSeconds) + Place(m_facts, dFraction) + " (channel " +
            std::to_string(nLongestChannel) + "'s levels hardly change)",
        dFraction, dLongestSeconds);
  }
}

void CChecker::Clipping() {
  for (const auto &[nChannel, nCount] : m_facts.counts) {
    const std::vector<int16_t> levels = ChannelLevels(m_segment, nChannel);
    if (levels.empty()) {
      continue;
    }
    const double dClipped = static_cast<double>(ClippedCount(levels)) / static_cast<double>(levels.size());
    if (dClipped > m_settings.dClipShare) {
      Add(QualityCheck::clipping,
          Percent(dClipped) + " of channel " + std::to_string(nChannel) + "'s levels at the scale's end (-128 or 127)");
    }
    const _levelstretch run = LongestEqualRun(levels);
    if (static_cast<double>(run.nCount) >= m_settings.dEqualRun) {
      const double dFraction = LevelFraction(static_cast<uint32_t>(run.nFirst), static_cast<uint32_t>(levels.size()));
      Add(QualityCheck::clipping,
          std::to_string(run.nCount) + " equal levels (" + std::to_string(run.nValue) + ") in a row on channel " +
              std::to_string(nChannel) + " " + Place(m_facts, dFraction),
          dFraction);
    }
  }
}

void CChecker::Channels(const _surveynorms &norms) {
  if (m_facts.counts.empty()) {
    Add(QualityCheck::channels, "it holds no levels");
    return;
  }
  for (const auto &[nChannel, codes] : norms.channels) {
    const auto own = m_facts.frequencies.find(nChannel);
    if (own == m_facts.frequencies.end()) {
      Add(QualityCheck::channels, "no levels on channel " + std::to_string(nChannel));
    } else if (own->second != codes) {
      Add(QualityCheck::channels,
          "channel " + std::to_string(nChannel) + " at " + MHz(own->second) + ", the survey's is at " + MHz(codes));
    }
  }
  for (const auto &[nChannel, codes] : m_facts.frequencies) {
    if (norms.channels.count(nChannel) == 0) {
      Add(QualityCheck::channels, "levels on channel " + std::to_string(nChannel) + " (" + MHz(codes) +
                                      "), which the survey's other segments do not have");
    }
  }
}

} // namespace

const char *QualityCheckName(QualityCheck check) {
  switch (check) {
  case QualityCheck::points:
    return "points";
  case QualityCheck::gap:
    return "gap";
  case QualityCheck::rate:
    return "rate";
  case QualityCheck::speed:
    return "speed";
  case QualityCheck::still:
    return "still";
  case QualityCheck::clipping:
    return "clipping";
  case QualityCheck::channels:
    return "channels";
  }
  return "?";
}

std::string QualitySentence(const _segmentquality &quality) {
  std::string text = "Segment " + std::to_string(quality.facts.nSegment);
  if (quality.Passed()) {
    return text + " passed";
  }
  for (size_t i = 0; i < quality.findings.size(); ++i) {
    text += (i == 0 ? ": " : "; ") + quality.findings[i].strReason;
  }
  return text;
}

_segmentquality CheckSegment(const _surveycontents &contents, const _segmentfacts &facts, const _surveynorms &norms,
                             const _walkgaps *pWalk, const _qualitysettings &settings) {
  CChecker checker(contents, facts, settings);
  checker.Points();
  checker.Gaps(pWalk);
  checker.Rate(norms);
  checker.Speed();
  checker.Still();
  checker.Clipping();
  checker.Channels(norms);
  return std::move(checker.m_quality);
}

_surveyquality CheckSurvey(const _surveycontents &contents, const CSiteProjection *pProjection,
                           const _qualityrecord &record, const _qualitysettings &settings) {
  std::vector<_segmentfacts> facts;
  facts.reserve(contents.segments.size());
  for (size_t i = 0; i < contents.segments.size(); ++i) {
    facts.push_back(SegmentFacts(contents, i, pProjection));
  }
  _surveyquality quality;
  quality.norms = SurveyNorms(facts, record);
  for (const auto &segment : facts) {
    quality.segments.push_back(CheckSegment(contents, segment, quality.norms, record.Walk(segment.nSegment), settings));
  }
  return quality;
}
