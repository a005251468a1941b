#include "survey/LevelPlacement.h"
#include "tests/survey/SurveyTestSupport.h"

#include <gtest/gtest.h>

namespace {

class LevelPlacement : public SurveyTest {
protected:
  void SetUp() override {
    SurveyTest::SetUp();
    m_clock.m_local = {2008, 3, 5, 14, 7, 9};
  }
  void SetTime(int nHour, int nMinute, int nSecond) {
    m_clock.m_local.nHour = nHour;
    m_clock.m_local.nMinute = nMinute;
    m_clock.m_local.nSecond = nSecond;
  }
  _surveycontents Read(const std::string &name = "Data.tvd") const {
    const auto bytes = Bytes(Path(name));
    return ParseSurvey(bytes.data(), bytes.size(), true);
  }
  // The times of a segment's placed levels, as text ("-" for none).
  static std::vector<std::string> Times(const std::vector<_placedlevel> &placed) {
    std::vector<std::string> times;
    for (const auto &level : placed) {
      times.push_back(level.bTimed ? FormatLocalTime(level.nTimeMs) : "-");
    }
    return times;
  }
  static std::vector<_placedlevel> Place(const _surveycontents &contents, size_t nIndex) {
    return PlaceSegmentLevels(contents, nIndex, SegmentTiming(contents, nIndex));
  }
};

TEST_F(LevelPlacement, LevelsAreSpreadEvenlyOverTheWayAndTheTime) {
  auto data = Create();
  const uint32_t frequencies[] = {8500, 9000};
  data->SetChannels(frequencies, 2);
  Begin(*data, {100, 200}, {300, 600});
  Add(*data, 2, {-5});
  data->WriteChannelRecord(2); // channel 2's first record comes first in the file
  Add(*data, 1, {-10, -20});
  Add(*data, 2, {-6});
  Add(*data, 1, {-30, -40});
  SetTime(14, 8, 9); // a walk of 60 s
  Stop(*data);
  data.reset();

  const auto contents = Read();
  ASSERT_TRUE(contents.IsSound());
  const auto timing = SegmentTiming(contents, 0);
  ASSERT_TRUE(timing.bTimed) << timing.strNote;
  EXPECT_EQ(timing.nDurationMs, 60000);
  EXPECT_EQ(FormatLocalTime(timing.nStartMs), "2008-03-05T14:07:09.000");

  const auto placed = PlaceSegmentLevels(contents, 0, timing);
  ASSERT_EQ(placed.size(), 6U);
  // Channel 1 first: four levels at 1/8, 3/8, 5/8 and 7/8 of the way and of the 60 s.
  const double xs[] = {125, 175, 225, 275, 150, 250};
  const double ys[] = {250, 350, 450, 550, 300, 500};
  const int16_t levels[] = {-10, -20, -30, -40, -5, -6};
  for (size_t i = 0; i < placed.size(); ++i) {
    SCOPED_TRACE(i);
    const bool bFirst = i < 4;
    EXPECT_EQ(placed[i].nSegment, 1U);
    EXPECT_EQ(placed[i].nChannel, bFirst ? 1 : 2);
    EXPECT_EQ(placed[i].nIndex, bFirst ? i : i - 4);
    EXPECT_EQ(placed[i].nCount, bFirst ? 4U : 2U);
    EXPECT_EQ(placed[i].nFrequency, bFirst ? 8500U : 9000U);
    EXPECT_EQ(placed[i].nLevel, levels[i]);
    EXPECT_DOUBLE_EQ(placed[i].dX, xs[i]);
    EXPECT_DOUBLE_EQ(placed[i].dY, ys[i]);
  }
  EXPECT_EQ(Times(placed), std::vector<std::string>({"2008-03-05T14:07:16.500", "2008-03-05T14:07:31.500",
                                                     "2008-03-05T14:07:46.500", "2008-03-05T14:08:01.500",
                                                     "2008-03-05T14:07:24.000", "2008-03-05T14:07:54.000"}));
}

TEST_F(LevelPlacement, AChannelsLevelsRunOnAcrossItsRecordsWithTheirOwnFrequencies) {
  auto data = Create();
  const uint32_t before[] = {8500};
  data->SetChannels(before, 1);
  // Walking right to left: the stop point's coordinates are smaller than the start point's.
  Begin(*data, {1000, 40}, {200, 40});
  Add(*data, 1, Ramp(150, -75)); // one record of 99, the rest buffered
  const uint32_t after[] = {8600};
  data->SetChannels(after, 1); // writes the 51 buffered at 8500
  Add(*data, 1, Ramp(10, 100));
  SetTime(14, 8, 29);
  Stop(*data);
  data.reset();

  const auto contents = Read();
  ASSERT_EQ(contents.segments.at(0).records.size(), 3U);
  const auto placed = Place(contents, 0);
  ASSERT_EQ(placed.size(), 160U);
  auto expected = Ramp(150, -75);
  const auto tail = Ramp(10, 100);
  expected.insert(expected.end(), tail.begin(), tail.end());
  for (uint32_t k = 0; k < 160; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(placed[k].nIndex, k);
    EXPECT_EQ(placed[k].nCount, 160U);
    EXPECT_EQ(placed[k].nLevel, expected[k]);
    EXPECT_EQ(placed[k].nFrequency, k < 150 ? 8500U : 8600U);
    EXPECT_DOUBLE_EQ(placed[k].dX, 1000.0 - 800.0 * (k + 0.5) / 160.0);
    EXPECT_EQ(placed[k].dY, 40.0);
    EXPECT_EQ(placed[k].nTimeMs - placed[0].nTimeMs, 500 * static_cast<int64_t>(k)); // 80 s over 160 levels
  }
  EXPECT_EQ(FormatLocalTime(placed.back().nTimeMs), "2008-03-05T14:08:28.750");
}

TEST_F(LevelPlacement, TimesCrossMidnightMonthAndYearAndRoundToMilliseconds) {
  auto data = Create();
  const uint32_t frequencies[] = {8500};
  data->SetChannels(frequencies, 1);
  // 2008 is a leap year: 23:59:40 on 28 February to 00:00:20 is a walk of 40 s into the 29th.
  m_clock.m_local = {2008, 2, 28, 23, 59, 40};
  Begin(*data, {0, 0}, {40, 0});
  Add(*data, 1, {1, 2});
  SetTime(0, 0, 20);
  Stop(*data);
  // The last minute of a year to the first of the next.
  m_clock.m_local = {2008, 12, 31, 23, 59, 0};
  Begin(*data, {0, 0}, {40, 0});
  Add(*data, 1, {3});
  SetTime(0, 1, 0);
  Stop(*data);
  // Three levels in one second: 1/6, 1/2 and 5/6 of it.
  m_clock.m_local = {2009, 1, 1, 10, 0, 0};
  Begin(*data, {0, 0}, {40, 0});
  Add(*data, 1, {4, 5, 6});
  SetTime(10, 0, 1);
  Stop(*data);
  data.reset();

  const auto contents = Read();
  EXPECT_EQ(SegmentTiming(contents, 0).nDurationMs, 40000);
  EXPECT_EQ(Times(Place(contents, 0)),
            std::vector<std::string>({"2008-02-28T23:59:50.000", "2008-02-29T00:00:10.000"}));
  EXPECT_EQ(SegmentTiming(contents, 1).nDurationMs, 120000);
  EXPECT_EQ(Times(Place(contents, 1)), std::vector<std::string>({"2009-01-01T00:00:00.000"}));
  // Moments before 1970 still count their milliseconds forward from the start of their day.
  EXPECT_EQ(FormatLocalTime(-1), "1969-12-31T23:59:59.999");
  EXPECT_EQ(Times(Place(contents, 2)), std::vector<std::string>({"2009-01-01T10:00:00.167", "2009-01-01T10:00:00.500",
                                                                 "2009-01-01T10:00:00.833"}));
}

TEST_F(LevelPlacement, AStopThatWasNeverStampedGivesNoTime) {
  {
    // The first segment of a new file, closed without STOP: its stop time is still blank.
    auto data = Create("first.tvd");
    const uint32_t frequencies[] = {8500};
    data->SetChannels(frequencies, 1);
    Begin(*data, {0, 0}, {100, 0});
    Add(*data, 1, {1, 2});
  }
  const auto first = Read("first.tvd");
  ASSERT_TRUE(first.IsSound()); // closing corrected the record count
  const auto blank = SegmentTiming(first, 0);
  EXPECT_FALSE(blank.bTimed);
  EXPECT_NE(blank.strNote.find("STOP was never stamped"), std::string::npos) << blank.strNote;
  const auto placed = PlaceSegmentLevels(first, 0, blank);
  ASSERT_EQ(placed.size(), 2U);
  EXPECT_EQ(Times(placed), std::vector<std::string>({"-", "-"}));
  EXPECT_DOUBLE_EQ(placed[1].dX, 75.0); // the way is still known

  // A walked segment, then one left without STOP: the header still carries the first's stop.
  {
    auto data = Create();
    const uint32_t frequencies[] = {8500};
    data->SetChannels(frequencies, 1);
    Begin(*data, {0, 0}, {100, 0});
    Add(*data, 1, {1});
    SetTime(14, 9, 0);
    Stop(*data);
    SetTime(14, 10, 0);
    Begin(*data, {100, 0}, {100, 100});
    Add(*data, 1, {2});
  }
  auto contents = Read();
  ASSERT_TRUE(contents.IsSound());
  EXPECT_TRUE(SegmentTiming(contents, 0).bTimed);
  const auto stale = SegmentTiming(contents, 1);
  EXPECT_FALSE(stale.bTimed);
  EXPECT_NE(stale.strNote.find("14:09:00 is the previous segment's"), std::string::npos) << stale.strNote;

  // Continued the next day: the header buffer starts as the file's last header.
  m_clock.m_local = {2008, 3, 6, 8, 0, 0};
  {
    auto data = Open();
    const uint32_t frequencies[] = {8500};
    data->SetChannels(frequencies, 1);
    data->m_nSegmentCount = 2;
    Begin(*data, {0, 0}, {0, 100});
    Add(*data, 1, {3});
  }
  contents = Read();
  ASSERT_EQ(contents.segments.size(), 3U);
  EXPECT_FALSE(SegmentTiming(contents, 2).bTimed);
}

TEST_F(LevelPlacement, AHeaderThatStopNeverRewroteGivesNoTime) {
  auto data = Create();
  const uint32_t frequencies[] = {8500};
  data->SetChannels(frequencies, 1);
  Begin(*data, {0, 0}, {100, 0});
  Add(*data, 1, {1, 2});
  data->FlushSegmentLevels();
  // The file as a crash right now would leave it: the header written at BEGIN counts 0 records.
  auto bytes = Bytes(Path());
  ASSERT_EQ(U16At(bytes, 33 + 50), 0);
  // Even a stop time that differs from the blank one is then not this walk's.
  bytes[33 + 7] = 14;
  bytes[33 + 8] = 30;
  WriteBytes(Path("crash.tvd"), bytes);

  const auto contents = Read("crash.tvd");
  const auto timing = SegmentTiming(contents, 0);
  EXPECT_FALSE(timing.bTimed);
  EXPECT_NE(timing.strNote.find("record count 0 disagrees with the 1 records"), std::string::npos) << timing.strNote;
  EXPECT_EQ(Place(contents, 0).size(), 2U);
}

TEST_F(LevelPlacement, TimesThatAreNoTimesGiveNoTime) {
  auto data = Create();
  const uint32_t frequencies[] = {8500};
  data->SetChannels(frequencies, 1);
  Begin(*data, {0, 0}, {100, 0});
  Add(*data, 1, {1});
  m_clock.m_bLocalWorks = false; // STOP stamps 255s
  Stop(*data);
  Begin(*data, {0, 0}, {100, 0}); // BEGIN stamps no date
  Add(*data, 1, {2});
  m_clock.m_bLocalWorks = true;
  SetTime(15, 0, 0);
  Stop(*data);
  data.reset();

  auto bytes = Bytes(Path());
  auto contents = ParseSurvey(bytes.data(), bytes.size(), true);
  ASSERT_TRUE(contents.IsSound());
  ASSERT_EQ(contents.segments.size(), 2U);
  EXPECT_EQ(SegmentTiming(contents, 0).strNote, "no stop time: the local time could not be read at STOP");
  EXPECT_EQ(SegmentTiming(contents, 1).strNote, "no date: the local time could not be read at BEGIN");
  EXPECT_FALSE(Place(contents, 0).at(0).bTimed);

  // Fields that no clock gives: 24 o'clock (the first header is the one the reader takes without
  // checking its fields), 30 February.
  const size_t nFirst = contents.segments[0].nOffset;
  bytes[nFirst + 4] = 24;
  const size_t nSecond = contents.segments[1].nOffset;
  bytes[nSecond + 1] = 2;
  bytes[nSecond + 2] = 30;
  bytes[nSecond + 3] = 28;
  contents = ParseSurvey(bytes.data(), bytes.size(), true);
  ASSERT_EQ(contents.segments.size(), 2U);
  EXPECT_EQ(SegmentTiming(contents, 0).strNote, "no start time: 24:07:09 is not a time of day");
  EXPECT_EQ(SegmentTiming(contents, 1).strNote, "no date: 2008-02-30 is not a date");
}

} // namespace
