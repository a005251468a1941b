#include "survey/SurveyReader.h"
#include "survey/SurveyRepair.h"
#include "tests/survey/SurveyBuilder.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

_surveycontents Parse(const std::vector<uint8_t> &bytes) { return ParseSurvey(bytes.data(), bytes.size()); }

std::vector<SurveyProblem> Kinds(const _surveycontents &contents) {
  std::vector<SurveyProblem> kinds;
  for (const auto &error : contents.errors) {
    kinds.push_back(error.kind);
  }
  return kinds;
}

// What repair makes of bytes must read back sound, keeping the records it says it keeps.
_surveycontents RepairedAndReread(const std::vector<uint8_t> &bytes) {
  const auto repair = RepairSurvey(bytes.data(), bytes.size());
  EXPECT_TRUE(repair.bPossible) << repair.strReason;
  auto contents = Parse(repair.bytes);
  EXPECT_TRUE(contents.IsSound()) << (contents.errors.empty() ? "" : contents.errors[0].strText);
  return contents;
}

TEST(SurveyReader, SoundFileIsReadWhole) {
  CSurveyBuilder file(2);
  file.Segment(2).Record(1, 3).Record(2, 99).Segment(0).Segment(1).Record(1, 0);
  WriteUInt32LE(&file.m_bytes[29], 3);
  const auto contents = Parse(file.m_bytes);
  EXPECT_TRUE(contents.IsSound());
  ASSERT_EQ(contents.segments.size(), 3U);
  EXPECT_EQ(contents.segments[0].records.at(1).nOffset, 33U + 53U + 16U);
  EXPECT_EQ(contents.segments[0].records[1].levels.back(), -60 + 98);
  EXPECT_EQ(contents.segments[1].nOffset, 33U + 53U + 16U + 208U);
  EXPECT_EQ(contents.segments[2].records.at(0).nLevels, 0U);
  EXPECT_EQ(contents.RecordCount(), 3U);
  EXPECT_EQ(contents.LevelCount(), 102U);
  EXPECT_EQ(contents.nEnd, file.m_bytes.size());
  EXPECT_EQ(contents.header.nCreated, 1700000000);

  const auto lean = ParseSurvey(file.m_bytes.data(), file.m_bytes.size(), false);
  EXPECT_TRUE(lean.segments[0].records[1].levels.empty());
  EXPECT_EQ(lean.LevelCount(), 102U);
}

TEST(SurveyReader, ProvisionalCountOfAnUnstoppedWalkIsFoundOut) {
  // Segment 1 never saw STOP: its header counts 5, but two records follow before segment 2.
  CSurveyBuilder file(2);
  file.Segment(5).Record(1, 40).Record(2, 40).Segment(1).Record(1, 7);
  const auto contents = Parse(file.m_bytes);
  EXPECT_EQ(Kinds(contents), std::vector<SurveyProblem>{SurveyProblem::countMismatch});
  EXPECT_EQ(contents.errors[0].nOffset, 33U + 50U);
  ASSERT_EQ(contents.segments.size(), 2U);
  EXPECT_EQ(contents.segments[0].records.size(), 2U);
  EXPECT_EQ(contents.segments[1].records.size(), 1U);
  EXPECT_NE(contents.FirstBlockingError(), nullptr);

  const auto repaired = RepairedAndReread(file.m_bytes);
  EXPECT_EQ(repaired.segments.at(0).header.nRecordCount, 2);
  EXPECT_EQ(repaired.LevelCount(), 87U);
}

TEST(SurveyReader, RecordsBeyondTheLastCountAreFoundOut) {
  CSurveyBuilder file(1);
  file.Segment(1).Record(1, 10).Record(1, 20).Record(2, 30);
  const auto contents = Parse(file.m_bytes);
  EXPECT_EQ(Kinds(contents), std::vector<SurveyProblem>{SurveyProblem::countMismatch});
  EXPECT_EQ(contents.segments.at(0).records.size(), 3U);
  const auto repair = RepairSurvey(file.m_bytes.data(), file.m_bytes.size());
  EXPECT_EQ(repair.bytes.size(), file.m_bytes.size());
  ASSERT_EQ(repair.changes.size(), 1U);
  EXPECT_NE(repair.changes[0].find("record count 1 -> 3"), std::string::npos) << repair.changes[0];
}

TEST(SurveyReader, AnnouncedButUnwrittenSegmentsDoNotBlockContinuing) {
  CSurveyBuilder file(4);
  file.Segment(1).Record(1, 5).Segment(0);
  const auto contents = Parse(file.m_bytes);
  EXPECT_EQ(Kinds(contents), std::vector<SurveyProblem>{SurveyProblem::unwrittenSegments});
  EXPECT_EQ(contents.nUnwrittenSegments, 2U);
  EXPECT_EQ(contents.FirstBlockingError(), nullptr);
  EXPECT_NE(contents.errors[0].strText.find("segments 3 to 4"), std::string::npos) << contents.errors[0].strText;
  const auto repaired = RepairedAndReread(file.m_bytes);
  EXPECT_EQ(repaired.nSegmentCount, 2U);
}

TEST(SurveyReader, EveryCutShortFileIsReportedAndNeverReadPast) {
  CSurveyBuilder file(2);
  file.Segment(2).Record(1, 3).Record(2, 4).Segment(1).Record(1, 2);
  const auto &whole = file.m_bytes;
  for (size_t n = 0; n < whole.size(); ++n) {
    SCOPED_TRACE(n);
    // A copy of exactly n bytes, so that a read past its end is caught by the sanitizers.
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
    const auto contents = Parse(cut);
    ASSERT_FALSE(contents.IsSound());
    EXPECT_LE(contents.nEnd, n);
    // Ending before a segment header is what an announcement without a walk leaves.
    const bool bBoundary = n == 33U || n == 33U + 53U + 16U + 18U;
    EXPECT_EQ(contents.FirstBlockingError() == nullptr, bBoundary) << contents.errors[0].strText;
    if (n >= 33) {
      RepairedAndReread(cut);
    }
  }
}

TEST(SurveyReader, AHeaderCutShortAtBeginIsNotTakenForARecord) {
  // Segment 2 begun at 01:00:05 after a stop at 00:00:00, its points near the corner: its first
  // 20 bytes have the shape of a record of channel 1 with 5 levels.
  CSurveyBuilder file(2);
  file.Segment(1).Record(1, 3).Segment(0);
  const size_t nHeader = file.m_bytes.size() - SURVEY_SEGMENT_HEADER_LENGTH;
  const uint8_t times[] = {1, 0, 5, 0, 0, 0};
  std::copy(std::begin(times), std::end(times), file.m_bytes.begin() + static_cast<std::ptrdiff_t>(nHeader + 4));
  file.m_bytes.resize(nHeader + 30);
  const auto contents = Parse(file.m_bytes);
  ASSERT_EQ(contents.segments.size(), 1U);
  EXPECT_EQ(contents.segments[0].records.size(), 1U);
  EXPECT_EQ(Kinds(contents), std::vector<SurveyProblem>{SurveyProblem::truncated});
  EXPECT_EQ(contents.errors[0].nOffset, nHeader);
  EXPECT_EQ(contents.nEnd, nHeader);
}

TEST(SurveyReader, UnreadableContentIsNamedByItsOffset) {
  struct Case {
    const char *name;
    std::vector<uint8_t> bytes;
    SurveyProblem kind;
    uint64_t nOffset;
  };
  CSurveyBuilder tooMany(1);
  tooMany.Segment(2).Record(1, 4).Record(1, 100);
  CSurveyBuilder garbage(2);
  garbage.Segment(1).Record(1, 4);
  garbage.m_bytes.insert(garbage.m_bytes.end(), 60, 0xEE);
  CSurveyBuilder trailing(1);
  trailing.Segment(1).Record(1, 4);
  trailing.m_bytes.insert(trailing.m_bytes.end(), 20, 0xEE);
  CSurveyBuilder wrongHeaders(0);
  WriteUInt32LE(&wrongHeaders.m_bytes[25], 54);
  CSurveyBuilder overFull(501);
  CSurveyBuilder badLength(0);
  WriteUInt32LE(&badLength.m_bytes[21], 26);
  const Case cases[] = {
      {"too many levels", tooMany.m_bytes, SurveyProblem::tooManyLevels, 33 + 53 + 18 + 6},
      {"garbage between segments", garbage.m_bytes, SurveyProblem::unreadable, 33 + 53 + 18},
      {"bytes after the last segment", trailing.m_bytes, SurveyProblem::tooManyLevels, 33 + 53 + 18 + 6},
      {"other segment header size", wrongHeaders.m_bytes, SurveyProblem::notSurvey, 25},
      {"more than 500 segments", overFull.m_bytes, SurveyProblem::tooManySegments, 29},
      {"file header length field", badLength.m_bytes, SurveyProblem::badHeader, 21},
      {"shorter than a header", std::vector<uint8_t>(20, 0), SurveyProblem::truncated, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const auto contents = Parse(c.bytes);
    ASSERT_FALSE(contents.errors.empty());
    EXPECT_EQ(contents.errors[0].kind, c.kind);
    EXPECT_EQ(contents.errors[0].nOffset, c.nOffset);
    const std::string text = DescribeSurveyError("/data/site.tvd", contents.errors[0]);
    EXPECT_EQ(text.rfind("\"/data/site.tvd\", offset " + std::to_string(c.nOffset) + ": ", 0), 0U) << text;
  }
}

TEST(SurveyReader, RepairKeepsWhatCanBeReadAndSaysWhatItDropped) {
  CSurveyBuilder file(3);
  file.Segment(2).Record(1, 4).Record(2, 5).Segment(3).Record(1, 6);
  file.m_bytes.insert(file.m_bytes.end(), 25, 0xEE);
  const auto repair = RepairSurvey(file.m_bytes.data(), file.m_bytes.size());
  ASSERT_TRUE(repair.bPossible);
  const auto contents = Parse(repair.bytes);
  EXPECT_TRUE(contents.IsSound());
  EXPECT_EQ(contents.nSegmentCount, 2U);
  EXPECT_EQ(contents.segments.at(1).records.size(), 1U);
  EXPECT_EQ(contents.LevelCount(), 15U);
  std::string all;
  for (const auto &change : repair.changes) {
    all += change + "\n";
  }
  EXPECT_NE(all.find("segment count (offset 29): 3 -> 2"), std::string::npos) << all;
  EXPECT_NE(all.find("segment 2 (offset 124): record count 3 -> 1"), std::string::npos) << all;
  EXPECT_NE(all.find("dropped 25 bytes from offset 199"), std::string::npos) << all;

  // A sound file comes back unchanged.
  CSurveyBuilder sound(1);
  sound.Segment(1).Record(1, 4);
  const auto same = RepairSurvey(sound.m_bytes.data(), sound.m_bytes.size());
  EXPECT_TRUE(same.changes.empty());
  EXPECT_EQ(same.bytes, sound.m_bytes);

  // Without the magic nothing is a survey's.
  auto foreign = sound.m_bytes;
  foreign[4] = 'P';
  const auto refused = RepairSurvey(foreign.data(), foreign.size());
  EXPECT_FALSE(refused.bPossible);
  EXPECT_NE(refused.strReason.find("not a survey data file"), std::string::npos) << refused.strReason;
}

TEST(SurveyReader, RepairCapsTheSegmentsAtFiveHundred) {
  CSurveyBuilder file(502);
  for (int i = 0; i < 502; ++i) {
    file.Segment(1).Record(1, 1);
  }
  const auto repaired = RepairedAndReread(file.m_bytes);
  EXPECT_EQ(repaired.nSegmentCount, 500U);
  EXPECT_EQ(repaired.RecordCount(), 500U);
}

} // namespace
