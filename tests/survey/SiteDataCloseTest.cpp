// Closing a survey on purpose, and saving a sound copy of it when its own file cannot take more.
#include "survey/SiteData.h"
#include "survey/SurveyFiles.h"
#include "survey/SurveyReader.h"
#include "tests/survey/SurveyTestSupport.h"

#include <gtest/gtest.h>

namespace {

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

class SiteDataClose : public SurveyTest {
protected:
  // A survey walked once, then walking segment 2 with levels buffered on both channels.
  std::unique_ptr<CSiteData> MidWalk() {
    auto data = Create();
    const uint32_t frequencies[] = {8500, 9000};
    data->SetChannels(frequencies, 2);
    Walk(*data, {1, 2}, {3, 4}, {Ramp(50)});
    Begin(*data, {3, 4}, {5, 6});
    Add(*data, 1, Ramp(70));
    Add(*data, 2, Ramp(20, 100));
    Add(*data, 1, Ramp(40, 70)); // channel 1's first 70 are a record in the file
    return data;
  }

  static _surveycontents ReadFile(const std::string &path) {
    const auto bytes = Bytes(path);
    return ParseSurvey(bytes.data(), bytes.size());
  }

  static std::vector<int16_t> LevelsOf(const _surveysegmententry &segment, uint16_t nChannel) {
    std::vector<int16_t> levels;
    for (const auto &record : segment.records) {
      if (record.nChannel == nChannel) {
        levels.insert(levels.end(), record.levels.begin(), record.levels.end());
      }
    }
    return levels;
  }

  // Segment 2 of MidWalk holds all its levels, and its header counts its records.
  static void ExpectEverything(const _surveycontents &contents) {
    ASSERT_TRUE(contents.IsSound()) << contents.errors.front().strText;
    ASSERT_EQ(contents.segments.size(), 2U);
    const auto ramp1 = Ramp(110);
    const auto ramp2 = Ramp(20, 100);
    EXPECT_EQ(LevelsOf(contents.segments[1], 1), std::vector<int16_t>(ramp1.begin(), ramp1.end()));
    EXPECT_EQ(LevelsOf(contents.segments[1], 2), std::vector<int16_t>(ramp2.begin(), ramp2.end()));
    EXPECT_EQ(contents.segments[1].header.nRecordCount, contents.segments[1].records.size());
  }
};

TEST_F(SiteDataClose, CloseWritesWhatWaitsAndTheDestructorThenWritesNothing) {
  auto data = MidWalk();
  data->Close();
  EXPECT_TRUE(data->IsClosed());
  ExpectEverything(ReadFile(Path()));

  int nWrites = 0;
  CFileFaults::WatchWrites([&nWrites](const std::string &, uint64_t, uint32_t) { ++nWrites; });
  EXPECT_THROW(Add(*data, 1, Ramp(3)), CFileException);
  EXPECT_THROW(data->WriteSegmentHeader(2), CFileException);
  data->Close(); // a second close has nothing to do
  data.reset();
  EXPECT_EQ(nWrites, 0);
}

TEST_F(SiteDataClose, AFailedCloseKeepsEverythingForRetry) {
  auto data = MidWalk();
  CFileFaults::FailWritesAfter(25); // the first waiting record is cut short and taken back
  try {
    data->Close();
    FAIL() << "the close did not fail";
  } catch (const CFileException &e) {
    EXPECT_EQ(e.m_cause, CFileException::diskFull);
    EXPECT_EQ(e.m_strFileName, Path());
    EXPECT_TRUE(Contains(e.what(), Path())) << e.what();
  }
  EXPECT_FALSE(data->IsClosed());
  EXPECT_GT(data->GetWaitingRecordCount(), 0U);
  CFileFaults::Reset();
  data->Close(); // Retry
  ExpectEverything(ReadFile(Path()));
}

TEST_F(SiteDataClose, ACopyHoldsTheFileAndEveryLevelStillWaiting) {
  auto data = MidWalk();
  CFileFaults::FailWritesAfter(0);
  EXPECT_THROW(data->Close(), CFileException);
  const auto original = Bytes(Path());
  // The disk of the survey is full; the copy goes elsewhere (faults off for it).
  CFileFaults::Reset();
  WriteBytes(Path("copy.tvd"), {1, 2, 3}); // an older file of that name is replaced whole
  data->SaveCopyAs(Path("copy.tvd"));
  ExpectEverything(ReadFile(Path("copy.tvd")));
  EXPECT_EQ(Bytes(Path()), original) << "the survey itself is not changed";
  EXPECT_GT(data->GetWaitingRecordCount() + data->GetBufferedLevels(1), 0U) << "what waits still waits";
  EXPECT_FALSE(std::filesystem::exists(Path("copy.tvd.partial")));

  // The copy is a survey like any other: it opens and continues at segment 3.
  auto copy = Open("copy.tvd");
  EXPECT_EQ(copy->m_nSegmentCount, 2);
}

TEST_F(SiteDataClose, ACopyOfAWalkWhoseHeaderNeverReachedTheFileCarriesTheHeader) {
  auto data = Create();
  const uint32_t frequency = 8500;
  data->SetChannels(&frequency, 1);
  CFileFaults::FailWritesAfter(4); // the count of New Segment, not the header of BEGIN
  CSegmentWalk &walk = WalkOf(*data);
  Done(walk.NewSegment());
  Done(walk.SetStartPoint({5, 6}));
  Done(walk.SetStopPoint({7, 8}));
  EXPECT_THROW((void)walk.Begin(), CFileException);
  CFileFaults::Reset();
  // Levels that came all the same (the survey data takes them while a segment is announced).
  Add(*data, 1, Ramp(12));
  data->SaveCopyAs(Path("copy.tvd"));
  const auto contents = ReadFile(Path("copy.tvd"));
  ASSERT_TRUE(contents.IsSound());
  ASSERT_EQ(contents.segments.size(), 1U);
  EXPECT_EQ(contents.segments[0].header.nStopX, 7);
  EXPECT_EQ(contents.LevelCount(), 12U);
}

TEST_F(SiteDataClose, ACopyCountsNoSegmentThatWasNeverBegun) {
  auto data = Create();
  Walk(*data, {1, 1}, {2, 2}, {});
  Done(WalkOf(*data).NewSegment());
  data->SaveCopyAs(Path("copy.tvd"));
  const auto contents = ReadFile(Path("copy.tvd"));
  EXPECT_TRUE(contents.IsSound());
  EXPECT_EQ(contents.nSegmentCount, 1U);
}

TEST_F(SiteDataClose, ACopyThatCannotBeWrittenLeavesNothingBehind) {
  auto data = MidWalk();
  const std::vector<uint8_t> older{9, 9, 9};
  WriteBytes(Path("copy.tvd"), older);
  CFileFaults::FailWritesAfter(100);
  try {
    data->SaveCopyAs(Path("copy.tvd"));
    FAIL() << "the copy did not fail";
  } catch (const CFileException &e) {
    EXPECT_EQ(e.m_cause, CFileException::diskFull);
    EXPECT_EQ(e.m_strFileName, Path("copy.tvd"));
    EXPECT_TRUE(Contains(e.what(), "left as it was")) << e.what();
  }
  EXPECT_EQ(Bytes(Path("copy.tvd")), older);
  EXPECT_FALSE(std::filesystem::exists(Path("copy.tvd.partial")));
  CFileFaults::Reset();

  // Neither the survey itself nor a file another program has cut short are copied.
  EXPECT_THROW(data->SaveCopyAs(Path()), CFileException);
  EXPECT_THROW(data->SaveCopyAs((m_dir / "." / "Data.tvd").string()), CFileException);
  auto bytes = Bytes(Path());
  bytes.resize(40);
  WriteBytes(Path(), bytes);
  EXPECT_THROW(data->SaveCopyAs(Path("other.tvd")), CFileException);
  EXPECT_FALSE(std::filesystem::exists(Path("other.tvd")));
}

TEST_F(SiteDataClose, BackupNamesNeverTakeAnExistingFile) {
  EXPECT_EQ(FreeBackupName(Path()), Path() + ".bak");
  WriteBytes(Path() + ".bak", {1});
  WriteBytes(Path() + ".2.bak", {2});
  EXPECT_EQ(FreeBackupName(Path()), Path() + ".3.bak");
}

} // namespace
