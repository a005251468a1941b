#include "survey/SiteData.h"
#include "survey/SurveyReader.h"
#include "tests/survey/SurveyTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using SiteData = SurveyTest;

// Every level of a sound file, per channel, in file order.
std::vector<int16_t> LevelsOf(const std::vector<uint8_t> &bytes, int nChannel) {
  const auto contents = ParseSurvey(bytes.data(), bytes.size());
  EXPECT_TRUE(contents.IsSound()) << (contents.errors.empty() ? "" : contents.errors[0].strText);
  std::vector<int16_t> levels;
  for (const auto &segment : contents.segments) {
    for (const auto &record : segment.records) {
      if (record.nChannel == nChannel) {
        levels.insert(levels.end(), record.levels.begin(), record.levels.end());
      }
    }
  }
  return levels;
}

std::vector<int16_t> Widened(const std::vector<int8_t> &levels) { return {levels.begin(), levels.end()}; }

TEST_F(SiteData, NewFileIsHeaderLengthAndEmptyCount) {
  const auto data = Create();
  const auto bytes = Bytes(Path());
  ASSERT_EQ(bytes.size(), 33U);
  EXPECT_EQ(U32At(bytes, 0), 25U);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 4, bytes.begin() + 8), std::vector<uint8_t>({0x20, 0x44, 0x56, 0x54}));
  EXPECT_EQ(U16At(bytes, 8), 1);
  EXPECT_EQ(U16At(bytes, 10), 0);
  EXPECT_EQ(bytes[12], 0);
  EXPECT_EQ(ReadInt64LE(bytes.data() + 13), m_clock.m_nNow);
  EXPECT_EQ(U32At(bytes, 21), 25U);
  EXPECT_EQ(U32At(bytes, 25), 53U);
  EXPECT_EQ(U32At(bytes, 29), 0U);

  EXPECT_EQ(data->m_nFileLength, 33);
  EXPECT_EQ(data->m_strFileName, "Data.tvd");
  EXPECT_EQ(data->m_nSegmentCount, 0);
  EXPECT_EQ(data->m_segmentOffsets[0], 29);
  EXPECT_EQ(data->m_fTotalDistance, 0.0F);
  EXPECT_EQ(data->m_header.nCreated, m_clock.m_nNow);
  // A new file's header buffer is all zeros, so a segment begun without points carries zeros.
  const auto segment = EncodeSegmentHeader(data->m_segment);
  EXPECT_TRUE(std::all_of(segment.begin(), segment.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(SiteData, CreatingTruncatesAnExistingFile) {
  WriteBytes(Path(), std::vector<uint8_t>(500, 0xEE));
  Create();
  EXPECT_EQ(Bytes(Path()).size(), 33U);
}

TEST_F(SiteData, OneSegmentWithOneRecordIsLaidOutByteForByte) {
  auto data = Create();
  const uint32_t frequencies[] = {8500, 9000};
  data->SetChannels(frequencies, 2);

  data->m_nSegmentCount = 1;
  data->NewSegment(1);
  auto bytes = Bytes(Path());
  EXPECT_EQ(bytes.size(), 33U);
  EXPECT_EQ(U32At(bytes, 29), 1U);
  EXPECT_EQ(data->m_segmentOffsets[1], 33);

  data->m_ptLastPoint = {0x12345, 40}; // x is cut to 16 bits
  data->SetSegmentPoint(1);
  data->m_ptLastPoint = {300, 400};
  data->SetSegmentPoint(2);
  data->SetSegmentCoordinates(1, 7.25, 46.5);
  data->SetSegmentCoordinates(2, 7.5, 46.75);
  data->m_segment.nRecordCount = 2; // the channel choice of Open Collection
  data->StampSegmentTime(1);
  data->WriteSegmentHeader(1);
  bytes = Bytes(Path());
  ASSERT_EQ(bytes.size(), 86U);
  EXPECT_EQ(U16At(bytes, 83), 2); // provisional count: what the buffer held at BEGIN

  Add(*data, 1, {-10, -20, -30});
  EXPECT_EQ(Bytes(Path()).size(), 86U); // buffered only
  m_clock.m_local = {2008, 3, 5, 14, 9, 59};
  data->FlushSegmentLevels();
  data->StampSegmentTime(2);
  data->WriteSegmentHeader(1);

  bytes = Bytes(Path());
  ASSERT_EQ(bytes.size(), 102U);
  EXPECT_EQ(data->m_nFileLength, 102);
  EXPECT_EQ(U32At(bytes, 29), 1U);
  const size_t h = 33;
  EXPECT_EQ(bytes[h + 0], 1);  // coordinates flag
  EXPECT_EQ(bytes[h + 1], 3);  // month
  EXPECT_EQ(bytes[h + 2], 5);  // day
  EXPECT_EQ(bytes[h + 3], 28); // 2008 - 1980
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + h + 4, bytes.begin() + h + 10),
            std::vector<uint8_t>({14, 7, 9, 14, 9, 59}));
  EXPECT_EQ(U16At(bytes, h + 10), 0x2345);
  EXPECT_EQ(U16At(bytes, h + 12), 40);
  EXPECT_EQ(U16At(bytes, h + 14), 300);
  EXPECT_EQ(U16At(bytes, h + 16), 400);
  EXPECT_EQ(ReadDoubleLE(bytes.data() + h + 18), 7.25); // longitude first
  EXPECT_EQ(ReadDoubleLE(bytes.data() + h + 26), 46.5);
  EXPECT_EQ(ReadDoubleLE(bytes.data() + h + 34), 7.5);
  EXPECT_EQ(ReadDoubleLE(bytes.data() + h + 42), 46.75);
  EXPECT_EQ(U16At(bytes, 83), 1);
  EXPECT_EQ(bytes[85], 0);
  const size_t r = 86;
  EXPECT_EQ(U32At(bytes, r), 8500U);
  EXPECT_EQ(U16At(bytes, r + 4), 1);
  EXPECT_EQ(U32At(bytes, r + 6), 3U);
  EXPECT_EQ(static_cast<int16_t>(U16At(bytes, r + 10)), -10);
  EXPECT_EQ(static_cast<int16_t>(U16At(bytes, r + 12)), -20);
  EXPECT_EQ(static_cast<int16_t>(U16At(bytes, r + 14)), -30);
}

TEST_F(SiteData, AnnouncingRewritesOnlyTheCount) {
  auto data = Create();
  const uint32_t frequency = 8500;
  data->SetChannels(&frequency, 1);
  Walk(*data, {1, 2}, {3, 4}, {Ramp(40), Ramp(40)});
  const auto before = Bytes(Path());
  data->m_nSegmentCount = 2;
  data->NewSegment(2);
  auto after = Bytes(Path());
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(U32At(after, 29), 2U);
  std::copy(before.begin() + 29, before.begin() + 33, after.begin() + 29);
  EXPECT_EQ(after, before);
  EXPECT_EQ(data->m_segmentOffsets[2], static_cast<int64_t>(before.size()));
  EXPECT_EQ(data->m_nRecordCount, 0);
}

TEST_F(SiteData, StopRewritesTheBeginHeaderInPlace) {
  auto data = Create();
  data->m_nSegmentCount = 1;
  data->NewSegment(1);
  data->StampSegmentTime(1);
  data->WriteSegmentHeader(1);
  const auto begun = Bytes(Path());
  EXPECT_EQ(begun.size(), 33U + 53U);
  m_clock.m_local.nHour = 15;
  data->StampSegmentTime(2);
  data->WriteSegmentHeader(1);
  const auto stopped = Bytes(Path());
  ASSERT_EQ(stopped.size(), begun.size());
  EXPECT_EQ(stopped[33 + 7], 15);
  EXPECT_EQ(begun[33 + 7], 0);
}

TEST_F(SiteData, ExistingFileWithKSegmentsContinuesAtKPlusOne) {
  {
    auto data = Create();
    const uint32_t frequencies[] = {8500, 9000};
    data->SetChannels(frequencies, 2);
    Walk(*data, {100, 50}, {250, 175}, {Ramp(60), Ramp(60)});
    Walk(*data, {250, 175}, {600, 450}, {Ramp(10)}, 2);
  }
  const auto before = Bytes(Path());
  m_plan->ZoomIn(); // window (200, 600, 150, 450): screen = (plan - corner) * 2
  auto data = Open();
  EXPECT_EQ(data->m_nSegmentCount, 2);
  EXPECT_EQ(m_plan->m_nSegmentCount, 2);
  EXPECT_EQ(data->m_nFileLength, static_cast<int64_t>(before.size()));
  EXPECT_EQ(data->m_segmentOffsets[1], 33);
  EXPECT_EQ(data->m_segmentOffsets[2], 33 + 53 + 2 * (10 + 2 * 60));
  EXPECT_EQ(data->m_segment.nStopX, 600); // the last segment's header
  EXPECT_EQ(data->m_segment.nRecordCount, 1);
  EXPECT_EQ(m_plan->m_Start[0].nPlanX, 100);
  EXPECT_EQ(m_plan->m_Start[0].nScreenX, -200);
  EXPECT_EQ(m_plan->m_Stop[0].nScreenX, 100);
  EXPECT_EQ(m_plan->m_Stop[0].nScreenY, 50);
  EXPECT_EQ(m_plan->m_Stop[1].nPlanY, 450);
  EXPECT_EQ(m_plan->m_Stop[1].nScreenY, 600);
  EXPECT_EQ(m_plan->m_Stop[1].bPlaced, 1);

  const uint32_t frequency = 7000;
  data->SetChannels(&frequency, 1);
  Walk(*data, {1, 1}, {2, 2}, {Ramp(5)});
  const auto after = Bytes(Path());
  EXPECT_EQ(U32At(after, 29), 3U);
  EXPECT_EQ(data->m_segmentOffsets[3], static_cast<int64_t>(before.size()));
  EXPECT_TRUE(std::equal(before.begin() + 33, before.end(), after.begin() + 33));
  const auto contents = ParseSurvey(after.data(), after.size());
  ASSERT_TRUE(contents.IsSound());
  ASSERT_EQ(contents.segments.size(), 3U);
  EXPECT_EQ(contents.segments[2].records.at(0).nFrequency, 7000U);
}

TEST_F(SiteData, TwoAnnouncementsWithoutAWalkShareAnOffset) {
  {
    auto data = Create();
    data->m_nSegmentCount = 1;
    data->NewSegment(1);
    data->m_nSegmentCount = 2;
    data->NewSegment(2);
    EXPECT_EQ(data->m_segmentOffsets[1], data->m_segmentOffsets[2]);
    // Only the segment announced last is collected; the earlier one's header is never written.
    EXPECT_THROW(data->WriteSegmentHeader(1), CFileException);
    data->StampSegmentTime(1);
    data->WriteSegmentHeader(2);
    data->StampSegmentTime(2);
    data->WriteSegmentHeader(2);
  }
  const auto bytes = Bytes(Path());
  EXPECT_EQ(bytes.size(), 33U + 53U);
  EXPECT_EQ(U32At(bytes, 29), 2U);

  // Counted but not written: the file still opens with the one segment it holds, so the next
  // segment is 2, as the file will read it back, and the count matches the headers again.
  auto data = Open();
  EXPECT_EQ(data->m_nSegmentCount, 1);
  EXPECT_EQ(m_plan->m_nSegmentCount, 1);
  EXPECT_EQ(m_plan->m_Start[1].bPlaced, 0);
  EXPECT_EQ(m_plan->m_Start[0].bPlaced, 1);
  data->m_nSegmentCount = 2;
  data->NewSegment(2);
  EXPECT_EQ(data->m_segmentOffsets[2], 86);
  data->StampSegmentTime(1);
  data->WriteSegmentHeader(2);
  data.reset();
  const auto walked = Bytes(Path());
  EXPECT_EQ(U32At(walked, 29), 2U);
  EXPECT_TRUE(ParseSurvey(walked.data(), walked.size()).IsSound());
}

TEST_F(SiteData, CoordinatesFlagFollowsTheLastPointsChosen) {
  auto data = Create();
  data->SetSegmentPoint(1);
  data->SetSegmentPoint(2);
  EXPECT_EQ(data->m_segment.nCoordsFlag, 0); // linear projection: points only
  data->SetSegmentCoordinates(2, 1.0, 2.0);
  EXPECT_EQ(data->m_segment.nCoordsFlag, 1);
  data->SetSegmentPoint(1); // a new start point clears it until its coordinates come
  EXPECT_EQ(data->m_segment.nCoordsFlag, 0);
  data->SetSegmentPoint(2);
  EXPECT_EQ(data->m_segment.nCoordsFlag, 0);
  data->SetSegmentCoordinates(1, 3.0, 4.0);
  EXPECT_EQ(data->m_segment.nCoordsFlag, 1);
  EXPECT_EQ(data->m_segment.dStartLon, 3.0);
  EXPECT_EQ(data->m_segment.dStopLat, 2.0);
}

TEST_F(SiteData, TimeStampsComeFromTheLocalClock) {
  auto data = Create();
  m_clock.m_local = {2300, 12, 31, 23, 59, 58};
  data->m_segment.nReserved = 9;
  data->m_nRecordCount = 70000;
  data->StampSegmentTime(1);
  EXPECT_EQ(data->m_segment.nYear, (2300 - 1980) % 256);
  EXPECT_EQ(data->m_segment.nMonth, 12);
  EXPECT_EQ(data->m_segment.nStartSecond, 58);
  EXPECT_EQ(data->m_segment.nReserved, 0);
  EXPECT_EQ(data->m_segment.nRecordCount, 0); // BEGIN leaves the count alone
  data->StampSegmentTime(2);
  EXPECT_EQ(data->m_segment.nStopHour, 23);
  EXPECT_EQ(data->m_segment.nRecordCount, 70000 % 65536);

  // Without a local time: 255 for the clock, 0 for day and month, 68 for the year.
  m_clock.m_bLocalWorks = false;
  data->StampSegmentTime(1);
  data->StampSegmentTime(2);
  EXPECT_EQ(data->m_segment.nStartHour, 255);
  EXPECT_EQ(data->m_segment.nStartMinute, 255);
  EXPECT_EQ(data->m_segment.nStopSecond, 255);
  EXPECT_EQ(data->m_segment.nDay, 0);
  EXPECT_EQ(data->m_segment.nMonth, 0);
  EXPECT_EQ(data->m_segment.nYear, 68);
}

TEST_F(SiteData, OneLevelPerMessageFillsRecordsOf99AndLosesNone) {
  auto data = Create();
  const uint32_t frequency = 8500;
  data->SetChannels(&frequency, 1);
  std::vector<std::vector<int8_t>> messages;
  std::vector<int8_t> sent;
  for (int i = 0; i < 250; ++i) {
    messages.push_back({static_cast<int8_t>(i - 125)});
    sent.push_back(static_cast<int8_t>(i - 125));
  }
  Walk(*data, {0, 0}, {10, 10}, messages);
  const auto bytes = Bytes(Path());
  const auto contents = ParseSurvey(bytes.data(), bytes.size());
  ASSERT_TRUE(contents.IsSound());
  ASSERT_EQ(contents.segments.at(0).records.size(), 3U);
  EXPECT_EQ(contents.segments[0].records[0].nLevels, 99U);
  EXPECT_EQ(contents.segments[0].records[1].nLevels, 99U);
  EXPECT_EQ(contents.segments[0].records[2].nLevels, 52U); // written at STOP
  EXPECT_EQ(contents.segments[0].header.nRecordCount, 3);
  EXPECT_EQ(LevelsOf(bytes, 1), Widened(sent));
}

TEST_F(SiteData, RecordsBreakBetweenMessagesAndKeepArrivalOrder) {
  auto data = Create();
  const uint32_t frequency = 8500;
  data->SetChannels(&frequency, 1);
  const auto first = Ramp(60, -100);
  const auto second = Ramp(39, 10);
  const auto third = Ramp(2, 60);
  Walk(*data, {0, 0}, {10, 10}, {first, second, third});
  const auto bytes = Bytes(Path());
  const auto contents = ParseSurvey(bytes.data(), bytes.size());
  ASSERT_EQ(contents.segments.at(0).records.size(), 2U);
  // 60 + 39 = 99 fit in one record; the third message starts the next one.
  EXPECT_EQ(contents.segments[0].records[0].nLevels, 99U);
  EXPECT_EQ(contents.segments[0].records[1].levels, Widened(third));
  std::vector<int8_t> all = first;
  all.insert(all.end(), second.begin(), second.end());
  all.insert(all.end(), third.begin(), third.end());
  EXPECT_EQ(LevelsOf(bytes, 1), Widened(all));
}

TEST_F(SiteData, MessageLongerThanARecordIsSplit) {
  auto data = Create();
  const uint32_t frequency = 8500;
  data->SetChannels(&frequency, 1);
  const auto before = Ramp(10, 1);
  const auto longMessage = Ramp(250, -128);
  data->m_nSegmentCount = 1;
  data->NewSegment(1);
  data->WriteSegmentHeader(1);
  Add(*data, 1, before);
  Add(*data, 1, longMessage);
  EXPECT_EQ(data->m_nRecordCount, 3); // 10, 99, 99
  EXPECT_EQ(data->GetBufferedLevels(1), 52U);
  data->FlushSegmentLevels();
  data->StampSegmentTime(2);
  data->WriteSegmentHeader(1);
  std::vector<int8_t> all = before;
  all.insert(all.end(), longMessage.begin(), longMessage.end());
  EXPECT_EQ(LevelsOf(Bytes(Path()), 1), Widened(all));
}

TEST_F(SiteData, OnlyTheFirstByteOfTheFirstHalfOfTheItemsIsALevel) {
  auto data = Create();
  const uint32_t frequency = 8500;
  data->SetChannels(&frequency, 1);
  data->m_nSegmentCount = 1;
  data->NewSegment(1);
  data->WriteSegmentHeader(1);
  const uint8_t payload[] = {0xF6, 0x00, 0xEC, 0x00, 0xE2, 0x00, 0xD8, 0x00, 0x00};
  data->AddLevels(1, payload, 4); // (10 - 2) / 2 items: levels -10 and -20
  data->AddLevels(1, payload, 1); // one item: no level
  EXPECT_EQ(data->GetBufferedLevels(1), 2U);
  EXPECT_EQ(data->m_pChannels[0].levels[1], -20);
}

TEST_F(SiteData, StopWritesTheWalkedSegmentsLevelsBehindItsOwnHeader) {
  auto data = Create();
  const uint32_t frequencies[] = {8500, 9000};
  data->SetChannels(frequencies, 2);
  const auto a = Ramp(30, 5);
  const auto b = Ramp(20, -50);
  Walk(*data, {0, 0}, {10, 10}, {a});
  Add(*data, 2, b); // no segment is walked, but one is open: still segment 1's
  EXPECT_EQ(data->GetBufferedLevels(2), 20U);
  Walk(*data, {10, 10}, {20, 20}, {Ramp(7)});
  const auto bytes = Bytes(Path());
  const auto contents = ParseSurvey(bytes.data(), bytes.size());
  ASSERT_TRUE(contents.IsSound());
  ASSERT_EQ(contents.segments.size(), 2U);
  // Segment 1's count includes its STOP record; the late channel-2 levels were written before
  // segment 2 was announced, and its header corrected.
  ASSERT_EQ(contents.segments[0].records.size(), 2U);
  EXPECT_EQ(contents.segments[0].header.nRecordCount, 2);
  EXPECT_EQ(contents.segments[0].records[0].levels, Widened(a));
  EXPECT_EQ(contents.segments[0].records[1].levels, Widened(b));
  ASSERT_EQ(contents.segments[1].records.size(), 1U);
  EXPECT_EQ(contents.segments[1].records[0].nLevels, 7U);
}

TEST_F(SiteData, NewChannelsFirstWriteTheLevelsOfTheOldOnes) {
  auto data = Create();
  const uint32_t frequencies[] = {8500, 9000};
  data->SetChannels(frequencies, 2);
  data->m_nSegmentCount = 1;
  data->NewSegment(1);
  data->StampSegmentTime(1);
  data->WriteSegmentHeader(1);
  Add(*data, 1, Ramp(5));
  Add(*data, 2, Ramp(6));
  const uint32_t single = 7000;
  data->SetChannels(&single, 1);
  EXPECT_EQ(data->m_nRecordCount, 2);
  EXPECT_EQ(data->GetChannelCount(), 1);
  Add(*data, 2, Ramp(3)); // channel 2 has no buffer any more: dropped
  Add(*data, 1, Ramp(4));
  data->FlushSegmentLevels();
  const auto bytes = Bytes(Path());
  const auto contents = ParseSurvey(bytes.data(), bytes.size());
  ASSERT_EQ(contents.segments.at(0).records.size(), 3U);
  EXPECT_EQ(contents.segments[0].records[0].nFrequency, 8500U);
  EXPECT_EQ(contents.segments[0].records[0].nLevels, 5U);
  EXPECT_EQ(contents.segments[0].records[1].nFrequency, 9000U);
  EXPECT_EQ(contents.segments[0].records[1].nChannel, 2);
  EXPECT_EQ(contents.segments[0].records[2].nFrequency, 7000U);
  EXPECT_EQ(contents.segments[0].records[2].nLevels, 4U);
}

TEST_F(SiteData, LevelsBeforeAnyChannelReportAreDropped) {
  auto data = Create();
  data->m_nSegmentCount = 1;
  data->NewSegment(1);
  Add(*data, 1, Ramp(5));
  Add(*data, 3, Ramp(5));
  EXPECT_EQ(data->GetBufferedLevels(1), 0U);
  EXPECT_EQ(data->m_nFileLength, 33);
}

TEST_F(SiteData, DestroyingTheObjectWritesWhatIsBuffered) {
  {
    auto data = Create();
    const uint32_t frequency = 8500;
    data->SetChannels(&frequency, 1);
    data->m_nSegmentCount = 1;
    data->NewSegment(1);
    data->m_segment.nRecordCount = 1; // provisional count of BEGIN
    data->StampSegmentTime(1);
    data->WriteSegmentHeader(1);
    for (int i = 0; i < 5; ++i) {
      Add(*data, 1, Ramp(40, i));
    }
    EXPECT_EQ(data->m_nRecordCount, 2);
  } // the walk never saw STOP
  const auto bytes = Bytes(Path());
  const auto contents = ParseSurvey(bytes.data(), bytes.size());
  ASSERT_TRUE(contents.IsSound());
  EXPECT_EQ(contents.LevelCount(), 200U);
  EXPECT_EQ(contents.segments.at(0).header.nRecordCount, 3);
}

TEST_F(SiteData, LevelsNeedAnAnnouncedSegment) {
  auto data = Create();
  const uint32_t frequency = 8500;
  data->SetChannels(&frequency, 1);
  const auto message = LevelData(Ramp(3));
  EXPECT_THROW(data->AddLevels(1, message.bytes.data(), message.nItems), CFileException);
  EXPECT_EQ(data->GetBufferedLevels(1), 0U);
  EXPECT_EQ(Bytes(Path()).size(), 33U);
}

TEST_F(SiteData, RecordsWaitForTheirHeader) {
  // Levels that fill a record before BEGIN's header reached the file make it be written first,
  // so no record ever lands where the header belongs.
  auto data = Create();
  const uint32_t frequency = 8500;
  data->SetChannels(&frequency, 1);
  data->m_nSegmentCount = 1;
  data->NewSegment(1);
  data->m_ptLastPoint = {5, 6};
  data->SetSegmentPoint(1);
  Add(*data, 1, Ramp(60));
  Add(*data, 1, Ramp(60));
  data->FlushSegmentLevels();
  data->StampSegmentTime(2);
  data->WriteSegmentHeader(1);
  const auto bytes = Bytes(Path());
  const auto contents = ParseSurvey(bytes.data(), bytes.size());
  ASSERT_TRUE(contents.IsSound());
  EXPECT_EQ(contents.segments.at(0).header.nStartX, 5);
  EXPECT_EQ(contents.segments[0].records.size(), 2U);
}

TEST_F(SiteData, AnnouncingBeyondFiveHundredIsRefused) {
  auto data = Create();
  for (int n = 1; n <= 500; ++n) {
    data->m_nSegmentCount = n;
    data->NewSegment(n);
  }
  const auto before = Bytes(Path());
  data->m_nSegmentCount = 501;
  try {
    data->NewSegment(501);
    FAIL() << "segment 501 was announced";
  } catch (const CFileException &e) {
    EXPECT_NE(std::string(e.what()).find("at most 500"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find(Path()), std::string::npos) << e.what();
  }
  EXPECT_EQ(data->m_nSegmentCount, 500);
  EXPECT_EQ(Bytes(Path()), before);
  EXPECT_EQ(data->m_segmentOffsets[500], 33);
}

TEST_F(SiteData, OnlyTheNextSegmentCanBeAnnounced) {
  auto data = Create();
  data->m_nSegmentCount = 2;
  EXPECT_THROW(data->NewSegment(2), CFileException);
  EXPECT_EQ(data->m_nSegmentCount, 0);
  EXPECT_THROW(data->NewSegment(0), CFileException);
  EXPECT_THROW(data->NewSegment(-3), CFileException);
  EXPECT_EQ(U32At(Bytes(Path()), 29), 0U);
}

} // namespace
