// A segment's level profile: its axes' ticks and labels as the chart writes them, and where a
// channel's levels fall when it delivered nothing for a while.
#include "coverage/ProfileAxes.h"
#include "coverage/SegmentProfile.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(LevelProfile, AxisTicksAndLabels) {
  const struct {
    double dFrom, dTo;
    int nMaxTicks;
    std::vector<std::string> labels;
  } cases[] = {
      {0, 14.2, 5, {"0", "5", "10"}},
      {0, 1.4, 4, {"0", "0.5", "1"}},
      {-90, -40, 5, {"-90", "-80", "-70", "-60", "-50", "-40"}},
      {0, 0.07, 4, {"0", "0.02", "0.04", "0.06"}},
      {0, 0.07, 3, {"0", "0.05"}},
      {-1, 1, 2, {"-1", "0", "1"}},
  };
  for (const auto &c : cases) {
    const double dStep = TickStep(c.dTo - c.dFrom, c.nMaxTicks);
    std::vector<std::string> labels;
    for (const double dTick : AxisTicks({c.dFrom, c.dTo}, c.nMaxTicks)) {
      labels.push_back(TickLabel(dTick, dStep));
    }
    EXPECT_EQ(labels, c.labels) << c.dFrom << " to " << c.dTo;
  }
  // The levels' axis: widened to whole steps, at least 10 high.
  const _axisrange levels = LevelRange(-83, -47, 4);
  EXPECT_EQ(levels.dFrom, -90);
  EXPECT_EQ(levels.dTo, -40);
  const _axisrange flat = LevelRange(-60, -60, 4);
  EXPECT_LE(flat.dFrom, -65);
  EXPECT_GE(flat.dTo, -55);
  EXPECT_DOUBLE_EQ(AxisPixel(-65, {-90, -40}, 200, 0), 100);
}

// 100 levels of channel 1 and 50 of channel 2, which was silent for the walk's middle fifth, on a
// 20 m segment in 1 m bins: channel 2's bins from 8 m to 12 m hold nothing; every other bin of
// both channels holds levels, and their mean lies between their lowest and highest.
TEST(LevelProfile, AGapHoldsNoLevels) {
  _surveysegmententry segment;
  for (uint16_t nChannel = 1; nChannel <= 2; ++nChannel) {
    _surveyrecordentry record;
    record.nChannel = nChannel;
    for (int i = 0; i < (nChannel == 1 ? 100 : 50); ++i) {
      record.levels.push_back(static_cast<int16_t>(-60 - i % 7));
    }
    record.nLevels = static_cast<uint32_t>(record.levels.size());
    segment.records.push_back(record);
  }
  const _track track = MakeTrack(0, 0, 20, 0, _planmetric{}, 1.0);
  const _levelprofile profile = SegmentProfile(segment, track, {{2, {{0.4, 0.6}}}});
  ASSERT_EQ(profile.channels.size(), 2U);
  EXPECT_EQ(profile.nLow, -66);
  EXPECT_EQ(profile.nHigh, -60);
  for (const _profilechannel &channel : profile.channels) {
    ASSERT_EQ(channel.bins.size(), 20U);
    for (uint32_t i = 0; i < 20; ++i) {
      const bool bInGap = channel.nChannel == 2 && profile.BinFrom(i) >= 8 && profile.BinTo(i) <= 12;
      EXPECT_EQ(channel.bins[i].nCount == 0, bInGap) << "channel " << channel.nChannel << ", bin " << i;
    }
  }
  ASSERT_EQ(profile.channels[1].gaps.size(), 1U);
  EXPECT_DOUBLE_EQ(profile.channels[1].gaps[0].dFrom, 8);
  EXPECT_DOUBLE_EQ(profile.channels[1].gaps[0].dTo, 12);
  EXPECT_TRUE(profile.channels[0].gaps.empty());
}

} // namespace
