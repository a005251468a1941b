// How the survey data copes with files it cannot write or read: full disks, files that vanished
// or that another program holds, and files that do not read back as they claim.
#include "survey/SiteData.h"
#include "survey/SurveyReader.h"
#include "tests/survey/SurveyTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

namespace {

std::string MessageOf(const std::function<void()> &action, CFileException::Cause *pCause = nullptr) {
  try {
    action();
  } catch (const CFileException &e) {
    if (pCause != nullptr) {
      *pCause = e.m_cause;
    }
    return e.what();
  }
  ADD_FAILURE() << "no file exception";
  return {};
}

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

class SiteDataFaults : public SurveyTest {
protected:
  // A survey with one begun segment and a channel buffer of 90 levels, ready for a message that
  // makes it a record.
  std::unique_ptr<CSiteData> Walking() {
    auto data = Create();
    const uint32_t frequency = 8500;
    data->SetChannels(&frequency, 1);
    Begin(*data, {0, 0}, {0, 0});
    Add(*data, 1, Ramp(90));
    return data;
  }

  // A sound file of two segments: 33 + (53 + 16) + (53 + 200) bytes.
  std::vector<uint8_t> TwoSegments() {
    {
      auto data = Create();
      const uint32_t frequency = 8500;
      data->SetChannels(&frequency, 1);
      for (int n = 1; n <= 2; ++n) {
        Walk(*data, {0, 0}, {0, 0}, {Ramp(n == 1 ? 3 : 95)});
      }
    }
    return Bytes(Path());
  }
};

TEST_F(SiteDataFaults, FullDiskKeepsTheLevelsAndTheCountsForTheNextTry) {
  auto data = Walking();
  const auto before = Bytes(Path());
  CFileFaults::FailWritesAfter(7); // the record is cut short after 7 bytes
  CFileException::Cause cause = CFileException::none;
  const auto text = MessageOf([&] { Add(*data, 1, Ramp(20, 90)); }, &cause);
  EXPECT_EQ(cause, CFileException::diskFull);
  EXPECT_TRUE(Contains(text, Path())) << text;
  EXPECT_TRUE(Contains(text, "offset 86")) << text;
  EXPECT_TRUE(Contains(text, "record of 90 levels of channel 1")) << text;
  // Nothing half-written stays in the file, and nothing is counted that is not there.
  EXPECT_EQ(Bytes(Path()), before);
  EXPECT_EQ(data->m_nRecordCount, 0);
  EXPECT_EQ(data->m_nFileLength, 86);
  EXPECT_EQ(data->GetWaitingRecordCount(), 1U);
  EXPECT_EQ(data->GetBufferedLevels(1), 20U);

  // Still full at STOP: the flush fails the same way and keeps everything.
  EXPECT_THROW(data->FlushSegmentLevels(), CFileException);
  EXPECT_EQ(data->GetWaitingRecordCount(), 2U);

  CFileFaults::Reset();
  Add(*data, 1, Ramp(5, 110));
  data->FlushSegmentLevels();
  data->StampSegmentTime(2);
  data->WriteSegmentHeader(1);
  EXPECT_EQ(data->m_nRecordCount, 3);
  const auto bytes = Bytes(Path());
  const auto contents = ParseSurvey(bytes.data(), bytes.size());
  ASSERT_TRUE(contents.IsSound());
  std::vector<int16_t> levels;
  for (const auto &record : contents.segments.at(0).records) {
    levels.insert(levels.end(), record.levels.begin(), record.levels.end());
  }
  const auto expected = Ramp(115);
  EXPECT_EQ(levels, std::vector<int16_t>(expected.begin(), expected.end()));
}

TEST_F(SiteDataFaults, HeaderThatFailedAtBeginIsWrittenBeforeTheFirstRecord) {
  auto data = Create();
  const uint32_t frequency = 8500;
  data->SetChannels(&frequency, 1);
  data->m_nSegmentCount = 1;
  data->NewSegment(1);
  data->StampSegmentTime(1);
  CFileFaults::FailWritesAfter(0);
  EXPECT_THROW(data->WriteSegmentHeader(1), CFileException);
  EXPECT_EQ(Bytes(Path()).size(), 33U);
  Add(*data, 1, Ramp(60));
  EXPECT_THROW(Add(*data, 1, Ramp(60, 60)), CFileException); // the record waits, with its header
  CFileFaults::Reset();
  data->FlushSegmentLevels();
  data->StampSegmentTime(2);
  data->WriteSegmentHeader(1);
  const auto bytes = Bytes(Path());
  const auto contents = ParseSurvey(bytes.data(), bytes.size());
  ASSERT_TRUE(contents.IsSound());
  EXPECT_EQ(contents.segments.at(0).records.size(), 2U);
  EXPECT_EQ(contents.LevelCount(), 120U);
}

TEST_F(SiteDataFaults, VanishedFileIsNotRecreated) {
  auto data = Walking();
  std::filesystem::remove(Path());
  CFileException::Cause cause = CFileException::none;
  const auto text = MessageOf([&] { Add(*data, 1, Ramp(20)); }, &cause);
  EXPECT_EQ(cause, CFileException::fileNotFound);
  EXPECT_TRUE(Contains(text, Path())) << text;
  EXPECT_FALSE(std::filesystem::exists(Path()));
  EXPECT_EQ(data->GetWaitingRecordCount(), 1U);
  EXPECT_EQ(data->m_nRecordCount, 0);
}

TEST_F(SiteDataFaults, LockedFileChangesNothing) {
  auto data = Create();
  const auto before = Bytes(Path());
  CFileFaults::FailOpen(Path(), EWOULDBLOCK);
  data->m_nSegmentCount = 1;
  CFileException::Cause cause = CFileException::none;
  const auto text = MessageOf([&] { data->NewSegment(1); }, &cause);
  EXPECT_EQ(cause, CFileException::sharingViolation);
  EXPECT_TRUE(Contains(text, "in use by another program")) << text;
  EXPECT_EQ(data->m_nSegmentCount, 0);
  EXPECT_EQ(data->m_segmentOffsets[1], 0);
  CFileFaults::Reset();
  EXPECT_EQ(Bytes(Path()), before);
  data->m_nSegmentCount = 1;
  data->NewSegment(1);
  EXPECT_EQ(U32At(Bytes(Path()), 29), 1U);
}

TEST_F(SiteDataFaults, NewChannelsDuringAFullDiskKeepTheOldLevelsWaiting) {
  auto data = Walking();
  CFileFaults::FailWritesAfter(0);
  const uint32_t frequency = 9100;
  EXPECT_THROW(data->SetChannels(&frequency, 1), CFileException);
  // The new frequency applies at once; the old levels keep theirs.
  EXPECT_EQ(data->m_pChannels[0].nFrequency, 9100U);
  EXPECT_EQ(data->GetWaitingRecordCount(), 1U);
  CFileFaults::Reset();
  Add(*data, 1, Ramp(3));
  data->FlushSegmentLevels();
  const auto bytes = Bytes(Path());
  const auto contents = ParseSurvey(bytes.data(), bytes.size());
  ASSERT_EQ(contents.segments.at(0).records.size(), 2U);
  EXPECT_EQ(contents.segments[0].records[0].nFrequency, 8500U);
  EXPECT_EQ(contents.segments[0].records[0].nLevels, 90U);
  EXPECT_EQ(contents.segments[0].records[1].nFrequency, 9100U);
}

TEST_F(SiteDataFaults, AnnouncingAfterAFailedStopFinishesThePreviousSegmentFirst) {
  auto data = Walking();
  CFileFaults::FailWritesAfter(0);
  EXPECT_THROW(data->FlushSegmentLevels(), CFileException); // STOP ends here
  CFileFaults::Reset();
  data->m_nSegmentCount = 2;
  data->NewSegment(2);
  const auto bytes = Bytes(Path());
  const auto contents = ParseSurvey(bytes.data(), bytes.size());
  EXPECT_EQ(contents.nUnwrittenSegments, 1U);
  ASSERT_EQ(contents.segments.size(), 1U);
  EXPECT_EQ(contents.segments[0].header.nRecordCount, 1);
  EXPECT_EQ(contents.segments[0].records.at(0).nLevels, 90U);
  EXPECT_EQ(data->m_segmentOffsets[2], static_cast<int64_t>(bytes.size()));
}

TEST_F(SiteDataFaults, FileShortenedByAnotherProgramIsNotWrittenTo) {
  auto data = Walking();
  auto bytes = Bytes(Path());
  bytes.resize(50);
  WriteBytes(Path(), bytes);
  CFileException::Cause cause = CFileException::none;
  const auto text = MessageOf([&] { Add(*data, 1, Ramp(20)); }, &cause);
  EXPECT_EQ(cause, CFileException::invalidFile);
  EXPECT_TRUE(Contains(text, "another program")) << text;
  EXPECT_EQ(Bytes(Path()).size(), 50U);
}

TEST_F(SiteDataFaults, CreateAndOpenFailuresNameTheFile) {
  CFileException::Cause cause = CFileException::none;
  auto text = MessageOf([&] { Create("missing-folder/Data.tvd"); }, &cause);
  EXPECT_EQ(cause, CFileException::fileNotFound);
  EXPECT_TRUE(Contains(text, Path("missing-folder/Data.tvd"))) << text;
  text = MessageOf([&] { Open("absent.tvd"); }, &cause);
  EXPECT_EQ(cause, CFileException::fileNotFound);
  Create();
  CFileFaults::FailOpen(Path(), EWOULDBLOCK);
  text = MessageOf([&] { Open(); }, &cause);
  EXPECT_EQ(cause, CFileException::sharingViolation);
  EXPECT_THROW(CSiteData(Path(), 2, *m_plan, m_clock), CFileException);
}

TEST_F(SiteDataFaults, FilesThatDoNotReadBackAsTheyClaimAreRefusedWithTheirOffset) {
  const auto sound = TwoSegments();
  ASSERT_EQ(sound.size(), 33U + 69U + 253U);
  struct Case {
    const char *name;
    std::function<void(std::vector<uint8_t> &)> damage;
    CFileException::Cause cause;
    const char *offset;
  };
  const Case cases[] = {
      {"truncated record", [](auto &b) { b.resize(b.size() - 7); }, CFileException::endOfFile, "offset 155"},
      {"truncated header", [](auto &b) { b.resize(120); }, CFileException::endOfFile, "offset 102"},
      {"too many levels", [](auto &b) { WriteUInt32LE(b.data() + 155 + 6, 150); }, CFileException::invalidFile,
       "offset 161"},
      {"counts beyond the end", [](auto &b) { WriteUInt16LE(b.data() + 102 + 50, 4); }, CFileException::invalidFile,
       "offset 152"},
      {"not a survey", [](auto &b) { b[5] = 'X'; }, CFileException::invalidFile, "offset 4"},
      {"bytes after the end",
       [](auto &b) {
         b.insert(b.end(), {1, 2, 3});
       },
       CFileException::endOfFile, "offset 355"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    auto bytes = sound;
    c.damage(bytes);
    WriteBytes(Path(), bytes);
    CFileException::Cause cause = CFileException::none;
    const auto text = MessageOf([&] { Open(); }, &cause);
    EXPECT_EQ(cause, c.cause);
    EXPECT_TRUE(Contains(text, Path())) << text;
    EXPECT_TRUE(Contains(text, c.offset)) << text;
    EXPECT_EQ(Bytes(Path()), bytes); // reading never writes
  }
}

} // namespace
