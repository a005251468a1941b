// Surveys left behind by an interrupted walk: which can be continued, and continuing them.
#include "survey/SurveyContinue.h"
#include "survey/SurveyReader.h"
#include "tests/survey/SurveyBuilder.h"
#include "tests/survey/SurveyTestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace {

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t nDrop) {
  bytes.resize(bytes.size() - nDrop);
  return bytes;
}

struct _assessmentcase {
  const char *name;
  std::vector<uint8_t> bytes;
  SurveyState state;
  const char *description; // the whole description when continuable, else a part of it
};

// Sound, continuable, repairable and refused files, each with the state and description its
// assessment must give.
std::vector<_assessmentcase> AssessmentCases() {
  const auto two = [](uint16_t nLastClaimed) {
    CSurveyBuilder file(2);
    file.Segment(2).Record(1, 3).Record(2, 4).Segment(nLastClaimed).Record(1, 5).Record(1, 6);
    return file.m_bytes;
  };
  const auto withBytes = [](std::vector<uint8_t> bytes, std::initializer_list<uint8_t> more) {
    bytes.insert(bytes.end(), more);
    return bytes;
  };
  CSurveyBuilder announced(3);
  announced.Segment(1).Record(1, 3).Segment(0);
  CSurveyBuilder twiceAnnounced(4);
  twiceAnnounced.Segment(1).Record(1, 3).Segment(0);
  CSurveyBuilder begun(3); // segment 3's header cut after 20 bytes
  begun.Segment(1).Record(1, 3).Segment(1).Record(2, 2).Segment(0);
  begun.m_bytes.resize(begun.m_bytes.size() - 33);
  CSurveyBuilder firstBegun(1);
  firstBegun.Segment(0);
  firstBegun.m_bytes.resize(40);
  CSurveyBuilder middle(2); // segment 1's count is wrong, segment 2 is fine
  middle.Segment(3).Record(1, 3).Record(1, 3).Segment(1).Record(1, 3);
  CSurveyBuilder twoDamaged(3); // segment 2 never stopped, and segment 3's header cut short
  twoDamaged.Segment(1).Record(1, 3).Segment(0).Record(1, 2).Segment(0);
  twoDamaged.m_bytes.resize(twoDamaged.m_bytes.size() - 30);
  CSurveyBuilder loud(1); // a level no receiver gives: not written by the collector
  loud.Segment(0).Record(1, 2, 200);
  CSurveyBuilder badHeader(1);
  badHeader.Segment(1).Record(1, 2);
  WriteUInt32LE(&badHeader.m_bytes[0], 26);
  auto foreign = two(2);
  foreign[5] = 'X';

  return {
      {"sound", two(2), SurveyState::sound, ""},
      {"last count provisional", two(0), SurveyState::continuable,
       "segment 2 was interrupted during its walk: 2 records of it are in the file"},
      {"last record cut in its levels", Cut(two(2), 3), SurveyState::continuable,
       "segment 2 was interrupted during its walk: 1 record of it is in the file"},
      {"last record cut in its head", Cut(two(0), 20), SurveyState::continuable,
       "segment 2 was interrupted during its walk: 1 record of it is in the file"},
      {"header cut at BEGIN", begun.m_bytes, SurveyState::continuable,
       "segment 3 was interrupted as its walk began: nothing of it is in the file"},
      {"first header cut at BEGIN", firstBegun.m_bytes, SurveyState::continuable,
       "segment 1 was interrupted as its walk began: nothing of it is in the file"},
      {"announced, never begun", announced.m_bytes, SurveyState::continuable,
       "segment 3 was announced, but its walk never began: nothing of it is in the file"},
      {"announced twice", twiceAnnounced.m_bytes, SurveyState::continuable,
       "segments 3 to 4 were announced, but their walks never began: nothing of them is in the file"},
      {"damage before the last segment", middle.m_bytes, SurveyState::repairable, "offset 83: segment 1's header"},
      {"two segments damaged", twoDamaged.m_bytes, SurveyState::repairable, ""},
      {"bytes after the last record",
       withBytes(two(2), {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}),
       SurveyState::repairable, ""},
      {"a level out of range", loud.m_bytes, SurveyState::repairable, ""},
      {"file header length", badHeader.m_bytes, SurveyState::repairable, "offset 0"},
      {"not a survey", foreign, SurveyState::refused, "not a survey data file"},
      {"shorter than its header", Cut(two(2), two(2).size() - 30), SurveyState::refused, "offset 30"},
  };
}

TEST(SurveyAssessment, OnlyDamageInTheLastSegmentIsContinuable) {
  for (const auto &c : AssessmentCases()) {
    SCOPED_TRACE(c.name);
    const auto assessment = AssessSurvey(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(assessment.state, c.state);
    if (c.state == SurveyState::continuable) {
      EXPECT_EQ(assessment.strDescription, c.description);
    } else {
      EXPECT_TRUE(Contains(assessment.strDescription, c.description)) << assessment.strDescription;
    }
  }
}

class SurveyContinue : public SurveyTest {
protected:
  // Segment 2 walked, then killed during its walk: 2 records, the header still counting 0, and a
  // third record cut short.
  std::vector<uint8_t> Interrupted() {
    CSurveyBuilder file(2);
    file.Segment(1).Record(1, 3).Segment(0, 11).Record(1, 5).Record(2, 6).Record(1, 40);
    file.m_bytes.resize(file.m_bytes.size() - 31);
    return file.m_bytes;
  }
};

TEST_F(SurveyContinue, AnInterruptedSurveyIsKeptAsItWasAndContinuedInPlace) {
  const auto interrupted = Interrupted();
  WriteBytes(Path(), interrupted);
  WriteBytes(Path() + ".bak", {1, 2, 3}); // an earlier backup stays as it is

  const auto continuation = ContinueSurvey(Path());
  EXPECT_TRUE(continuation.bChanged);
  EXPECT_EQ(continuation.strDescription, "segment 2 was interrupted during its walk: 2 records of it are in the file");
  EXPECT_EQ(continuation.strBackupPath, Path() + ".2.bak");
  EXPECT_EQ(continuation.nNextSegment, 3U);
  EXPECT_EQ(Bytes(Path() + ".2.bak"), interrupted);
  EXPECT_EQ(Bytes(Path() + ".bak"), std::vector<uint8_t>({1, 2, 3}));
  EXPECT_FALSE(continuation.changes.empty());

  const auto bytes = Bytes(Path());
  const auto contents = ParseSurvey(bytes.data(), bytes.size());
  ASSERT_TRUE(contents.IsSound());
  ASSERT_EQ(contents.segments.size(), 2U);
  EXPECT_EQ(contents.segments[1].records.size(), 2U);
  EXPECT_EQ(contents.LevelCount(), 14U);
  // Only the record count changed: no stop time is made up.
  const size_t nHeader = contents.segments[1].nOffset;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i != nHeader + 50) {
      EXPECT_EQ(bytes[i], interrupted[i]) << "offset " << i;
    }
  }

  // The collector opens it and walks on at segment 3.
  auto data = Open();
  Walk(*data, {1, 1}, {2, 2}, {});
  data->Close();
  const auto walked = Bytes(Path());
  EXPECT_TRUE(ParseSurvey(walked.data(), walked.size()).IsSound());
}

TEST_F(SurveyContinue, SoundAndDamagedSurveysAreNotTouched) {
  CSurveyBuilder sound(1);
  sound.Segment(1).Record(1, 3);
  WriteBytes(Path(), sound.m_bytes);
  const auto same = ContinueSurvey(Path());
  EXPECT_FALSE(same.bChanged);
  EXPECT_EQ(same.nNextSegment, 2U);
  EXPECT_FALSE(std::filesystem::exists(Path() + ".bak"));

  CSurveyBuilder damaged(2);
  damaged.Segment(4).Record(1, 3).Segment(1).Record(1, 3);
  WriteBytes(Path(), damaged.m_bytes);
  try {
    (void)ContinueSurvey(Path());
    FAIL() << "a damaged survey was continued";
  } catch (const CFileException &e) {
    EXPECT_EQ(e.m_cause, CFileException::invalidFile);
    EXPECT_TRUE(Contains(e.what(), "\"" + Path() + "\" cannot be continued")) << e.what();
    EXPECT_TRUE(Contains(e.what(), "tvdtool survey repair")) << e.what();
  }
  EXPECT_EQ(Bytes(Path()), damaged.m_bytes);
  EXPECT_FALSE(std::filesystem::exists(Path() + ".bak"));
  EXPECT_THROW((void)ContinueSurvey(Path("absent.tvd")), CFileException);
}

TEST_F(SurveyContinue, AFullDiskLeavesTheSurveyAsItWas) {
  const auto interrupted = Interrupted();
  WriteBytes(Path(), interrupted);
  CFileFaults::FailWritesAfter(static_cast<int64_t>(interrupted.size()) + 10); // the backup, not the survey
  EXPECT_THROW((void)ContinueSurvey(Path()), CFileException);
  EXPECT_EQ(Bytes(Path()), interrupted);
  EXPECT_FALSE(std::filesystem::exists(Path() + ".partial"));
  EXPECT_EQ(Bytes(Path() + ".bak"), interrupted);
}

// A walk of five segments on two channels, with every write to the survey file recorded, killed at
// twenty moments chosen at random (with a fixed seed): inside any write, after any number of its
// bytes. An in-place rewrite of a few bytes (the count, a header) is cut like an append; the
// segment count stays below 256, whose low byte alone changes.
class SurveyKill : public SurveyTest {
protected:
  struct _write {
    uint64_t nOffset = 0;
    uint32_t nCount = 0;
    std::vector<uint8_t> after; // the whole file after the write
  };

  void WalkAndRecord() {
    CFileFaults::WatchWrites([this](const std::string &path, uint64_t nOffset, uint32_t nCount) {
      if (path == Path()) {
        m_writes.push_back({nOffset, nCount, Bytes(path)});
      }
    });
    std::mt19937 random(8);
    auto data = Create();
    const uint32_t frequencies[] = {8500, 9000};
    data->SetChannels(frequencies, 2);
    CSegmentWalk &walk = WalkOf(*data);
    for (int n = 1; n <= 5; ++n) {
      Done(walk.NewSegment());
      if (n == 3) {
        Done(walk.NewSegment()); // pressed twice
      }
      Done(n > 1 ? walk.StartAtPreviousStop() : walk.SetStartPoint({10, 10}));
      Done(walk.SetStopPoint({10 + 50 * n, 10 + 30 * n}));
      Done(walk.Begin());
      for (int i = 0; i < 12; ++i) {
        const auto nLevels = std::uniform_int_distribution<size_t>(1, 40)(random);
        Add(*data, 1 + i % 2, Ramp(nLevels, 10 * i));
      }
      if (n == 4) {
        const uint32_t report[] = {8600, 9100}; // a new channel report during the walk
        data->SetChannels(report, 2);
        Add(*data, 1, Ramp(5));
      }
      Done(walk.Stop());
    }
    data->Close();
    CFileFaults::WatchWrites(nullptr);
  }

  // The file as a kill inside write i, after nBytes of its bytes, leaves it.
  std::vector<uint8_t> KilledAt(size_t i, uint32_t nBytes) const {
    std::vector<uint8_t> bytes = m_writes[i - 1].after;
    const _write &write = m_writes[i];
    if (bytes.size() < write.nOffset + nBytes) {
      bytes.resize(write.nOffset + nBytes);
    }
    std::copy_n(write.after.begin() + static_cast<std::ptrdiff_t>(write.nOffset), nBytes,
                bytes.begin() + static_cast<std::ptrdiff_t>(write.nOffset));
    return bytes;
  }

  struct _record {
    size_t nSegment;
    uint16_t nChannel;
    uint32_t nFrequency;
    std::vector<int16_t> levels;
    bool operator==(const _record &other) const {
      return nSegment == other.nSegment && nChannel == other.nChannel && nFrequency == other.nFrequency &&
             levels == other.levels;
    }
  };
  // The records of contents, with the segment each belongs to; those of the complete walk only
  // when they end within nLength bytes, that is, when they had reached the disk.
  static std::vector<_record> Records(const _surveycontents &contents, uint64_t nLength = UINT64_MAX) {
    std::vector<_record> records;
    for (size_t k = 0; k < contents.segments.size(); ++k) {
      for (const auto &record : contents.segments[k].records) {
        if (record.nOffset + ChannelRecordSize(record.nLevels) <= nLength) {
          records.push_back({k, record.nChannel, record.nFrequency, record.levels});
        }
      }
    }
    return records;
  }

  // Headers are kept as the kill left them, but for their record counts.
  static void ExpectHeadersKept(const _surveycontents &contents, const std::vector<uint8_t> &bytes,
                                const std::vector<uint8_t> &killed) {
    for (const auto &segment : contents.segments) {
      for (size_t j = 0; j < SURVEY_SEGMENT_HEADER_LENGTH; ++j) {
        if (j != 50 && j != 51) {
          ASSERT_EQ(bytes[segment.nOffset + j], killed[segment.nOffset + j]) << "header byte " << j;
        }
      }
    }
  }

  // The continued survey at path (contents, nLength bytes) is walked on: the next segment is the
  // one the continuation named, and it is added after every record that was there.
  void WalkOn(const std::string &path, uint32_t nNextSegment, const _surveycontents &contents, size_t nLength) {
    m_pWalk.reset();
    auto data = std::make_unique<CSiteData>(path, CSiteData::modeOpenExisting, *m_plan, m_clock);
    const uint32_t frequency = 8800;
    data->SetChannels(&frequency, 1);
    CSegmentWalk walk(*data, *m_plan, m_projection);
    Done(walk.NewSegment());
    EXPECT_EQ(walk.GetSegment(), static_cast<int32_t>(nNextSegment));
    Done(walk.SetStartPoint({1, 1}));
    Done(walk.SetStopPoint({2, 2}));
    Done(walk.Begin());
    Add(*data, 1, Ramp(33));
    Done(walk.Stop());
    data->Close();
    const auto after = Bytes(path);
    const auto walked = ParseSurvey(after.data(), after.size());
    ASSERT_TRUE(walked.IsSound());
    ASSERT_EQ(walked.segments.size(), contents.segments.size() + 1);
    EXPECT_EQ(walked.segments.back().records.size(), 1U);
    EXPECT_TRUE(Records(walked, nLength) == Records(contents));
  }

  std::vector<_write> m_writes;
};

TEST_F(SurveyKill, AWalkKilledAtAnyMomentCanBeContinuedWithEverythingThatReachedTheDisk) {
  WalkAndRecord();
  ASSERT_GT(m_writes.size(), 30U);
  const auto complete = m_writes.back().after;
  const _surveycontents whole = ParseSurvey(complete.data(), complete.size());
  ASSERT_TRUE(whole.IsSound());
  ASSERT_EQ(whole.segments.size(), 5U);

  std::mt19937 random(20240601);
  int nContinued = 0;
  for (int nKill = 0; nKill < 20; ++nKill) {
    // Write 0 created the file; a walk begins after it.
    const size_t i = std::uniform_int_distribution<size_t>(1, m_writes.size() - 1)(random);
    const auto nBytes = std::uniform_int_distribution<uint32_t>(0, m_writes[i].nCount)(random);
    SCOPED_TRACE("killed in write " + std::to_string(i) + " after " + std::to_string(nBytes) + " of " +
                 std::to_string(m_writes[i].nCount) + " bytes at offset " + std::to_string(m_writes[i].nOffset));
    const auto killed = KilledAt(i, nBytes);
    const std::string path = Path("killed-" + std::to_string(nKill) + ".tvd");
    WriteBytes(path, killed);

    const auto assessment = AssessSurvey(killed.data(), killed.size());
    ASSERT_TRUE(assessment.state == SurveyState::sound || assessment.state == SurveyState::continuable)
        << assessment.strDescription;
    const auto continuation = ContinueSurvey(path);
    EXPECT_EQ(continuation.bChanged, assessment.state == SurveyState::continuable);
    nContinued += continuation.bChanged ? 1 : 0;
    if (continuation.bChanged) {
      EXPECT_EQ(Bytes(continuation.strBackupPath), killed);
    }

    const auto bytes = Bytes(path);
    const auto contents = ParseSurvey(bytes.data(), bytes.size());
    ASSERT_TRUE(contents.IsSound()) << contents.errors.front().strText;
    EXPECT_TRUE(Records(contents) == Records(whole, killed.size())) << "every record that reached the disk stays";
    ASSERT_NO_FATAL_FAILURE(ExpectHeadersKept(contents, bytes, killed));
    ASSERT_NO_FATAL_FAILURE(WalkOn(path, continuation.nNextSegment, contents, bytes.size()));
  }
  EXPECT_GT(nContinued, 10) << "the moments should mostly fall inside a walk";
}

} // namespace
