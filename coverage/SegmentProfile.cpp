#include "coverage/SegmentProfile.h"

#include "survey/LevelPlacement.h"

#include <algorithm>

namespace {

// The gaps within 0 to 1, sorted and merged where they overlap.
std::vector<_walkspan> Tidied(std::vector<_walkspan> gaps) {
  std::vector<_walkspan> tidy;
  for (_walkspan &gap : gaps) {
    gap.dFrom = std::clamp(gap.dFrom, 0.0, 1.0);
    gap.dTo = std::clamp(gap.dTo, gap.dFrom, 1.0);
  }
  std::sort(gaps.begin(), gaps.end(), [](const _walkspan &a, const _walkspan &b) { return a.dFrom < b.dFrom; });
  for (const _walkspan &gap : gaps) {
    if (!tidy.empty() && gap.dFrom <= tidy.back().dTo) {
      tidy.back().dTo = std::max(tidy.back().dTo, gap.dTo);
    } else if (gap.dTo > gap.dFrom) {
      tidy.push_back(gap);
    }
  }
  return tidy;
}

} // namespace

double _levelprofile::BinTo(uint32_t nBin) const { return std::min(dLengthM, (nBin + 1) * dBinM); }

double MeasuredFraction(uint32_t k, uint32_t n, const std::vector<_walkspan> &gaps) {
  double dGapShare = 0;
  for (const _walkspan &gap : gaps) {
    dGapShare += gap.dTo - gap.dFrom;
  }
  const double dMeasured = 1.0 - dGapShare;
  if (!(dMeasured > 1e-9)) {
    return LevelFraction(k, n); // gaps all the way: nothing better is known
  }
  // The measuring time before level k, then stepped over every gap that begins before it.
  double dFraction = LevelFraction(k, n) * dMeasured;
  for (const _walkspan &gap : gaps) {
    if (gap.dFrom <= dFraction) {
      dFraction += gap.dTo - gap.dFrom;
    }
  }
  return std::min(dFraction, 1.0);
}

_levelprofile SegmentProfile(const _surveysegmententry &segment, const _track &track,
                             const std::map<uint16_t, std::vector<_walkspan>> &gaps) {
  _levelprofile profile;
  profile.dLengthM = track.dLength;
  profile.dBinM = track.dBin;
  for (uint16_t nChannel = 1; nChannel <= 2; ++nChannel) {
    _profilechannel channel;
    channel.nChannel = nChannel;
    channel.bins.resize(track.nBins);
    const auto found = gaps.find(nChannel);
    const std::vector<_walkspan> channelGaps = Tidied(found != gaps.end() ? found->second : std::vector<_walkspan>{});
    std::vector<int16_t> levels;
    for (const auto &record : segment.records) {
      if (record.nChannel == nChannel) {
        levels.insert(levels.end(), record.levels.begin(), record.levels.end());
      }
    }
    channel.nLevels = static_cast<uint32_t>(levels.size());
    for (uint32_t k = 0; k < channel.nLevels; ++k) {
      const double dMetres = MeasuredFraction(k, channel.nLevels, channelGaps) * track.dLength;
      channel.bins[track.BinAt(dMetres)].Add(levels[k]);
      profile.nLow = profile.bAnyLevel ? std::min(profile.nLow, levels[k]) : levels[k];
      profile.nHigh = profile.bAnyLevel ? std::max(profile.nHigh, levels[k]) : levels[k];
      profile.bAnyLevel = true;
    }
    for (const _walkspan &gap : channelGaps) {
      channel.gaps.push_back({gap.dFrom * track.dLength, gap.dTo * track.dLength});
    }
    if (channel.nLevels > 0 || !channel.gaps.empty()) {
      profile.channels.push_back(std::move(channel));
    }
  }
  return profile;
}
