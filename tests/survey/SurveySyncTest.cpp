// What reaches the disk when: every header write before the walk goes on, appended records within
// a second of the survey clock, and whole files before their names change.
#include "survey/SiteData.h"
#include "survey/SurveyContinue.h"
#include "survey/SurveyFiles.h"
#include "tests/survey/SurveyBuilder.h"
#include "tests/survey/SurveyTestSupport.h"

#include <gtest/gtest.h>

namespace {

class SurveySync : public SurveyTest {
protected:
  // Writes and synchronisations from now on, in order, with the file's name ("folder" for m_dir).
  void Watch() {
    CFileFaults::WatchWrites([this](const std::string &path, uint64_t nOffset, uint32_t) {
      m_events.push_back("write " + Name(path) + "@" + std::to_string(nOffset));
    });
    CFileFaults::WatchSyncs([this](const std::string &path) { m_events.push_back("sync " + Name(path)); });
  }
  std::string Name(const std::string &path) const {
    return path == m_dir.string() ? "folder" : std::filesystem::path(path).filename().string();
  }
  std::vector<std::string> Take() { return std::exchange(m_events, {}); }

  std::vector<std::string> m_events;
};

using Events = std::vector<std::string>;

TEST_F(SurveySync, EveryHeaderWriteReachesTheDiskBeforeTheWalkGoesOn) {
  auto data = Create();
  const uint32_t frequency = 8500;
  data->SetChannels(&frequency, 1);
  CSegmentWalk &walk = WalkOf(*data);
  Watch();
  Done(walk.NewSegment());
  EXPECT_EQ(Take(), (Events{"write Data.tvd@29", "sync Data.tvd"}));
  Done(walk.SetStartPoint({1, 1}));
  Done(walk.SetStopPoint({2, 2}));
  Done(walk.Begin());
  EXPECT_EQ(Take(), (Events{"write Data.tvd@33", "sync Data.tvd"}));
  Add(*data, 1, Ramp(60));
  Add(*data, 1, Ramp(60)); // a record; the clock stands still, so it waits for the next sync
  EXPECT_EQ(Take(), (Events{"write Data.tvd@86"}));
  Done(walk.Stop()); // the last levels, then the header: everything is on the disk
  EXPECT_EQ(Take(), (Events{"write Data.tvd@216", "write Data.tvd@33", "sync Data.tvd"}));
  Done(walk.NewSegment());
  EXPECT_EQ(Take(), (Events{"write Data.tvd@29", "sync Data.tvd"}));
  data->Close(); // nothing waits; segment 2, never begun, is taken out of the count
  EXPECT_EQ(Take(), (Events{"write Data.tvd@29", "sync Data.tvd"}));
}

TEST_F(SurveySync, AppendedRecordsReachTheDiskWithinASecond) {
  auto data = Create();
  const uint32_t frequency = 8500;
  data->SetChannels(&frequency, 1);
  Begin(*data, {1, 1}, {2, 2});
  Watch();
  Add(*data, 1, Ramp(60));
  Add(*data, 1, Ramp(60));
  EXPECT_EQ(Take(), (Events{"write Data.tvd@86"}));
  m_clock.m_nNow += 1;
  Add(*data, 1, Ramp(1)); // no record, but a second has passed since the record reached the file
  EXPECT_EQ(Take(), (Events{"sync Data.tvd"}));
  Add(*data, 1, Ramp(1));
  Add(*data, 1, Ramp(60)); // a record within the same second: it waits
  EXPECT_EQ(Take(), (Events{"write Data.tvd@216"}));
  m_clock.m_nNow += 5;
  Add(*data, 1, Ramp(60)); // a record long after the last synchronisation goes at once
  EXPECT_EQ(Take(), (Events{"write Data.tvd@350", "sync Data.tvd"}));
  Add(*data, 1, Ramp(60));
  EXPECT_EQ(Take(), (Events{"write Data.tvd@480"}));
  data->Close(); // the last levels, the header, and everything before it on the disk
  EXPECT_EQ(Take(), (Events{"write Data.tvd@610", "write Data.tvd@33", "sync Data.tvd"}));
}

TEST_F(SurveySync, ContinuingKeepsTheBackupOnTheDiskBeforeTheSurveyChanges) {
  CSurveyBuilder file(2);
  file.Segment(1).Record(1, 3).Segment(0, 11).Record(1, 5);
  WriteBytes(Path(), file.m_bytes);
  std::vector<std::string> syncs;
  bool bContinuing = true;
  CFileFaults::WatchSyncs([&](const std::string &path) {
    syncs.push_back(Name(path));
    if (bContinuing && path == m_dir.string() && syncs.size() == 2) {
      // The backup has its name; the survey is still as it was.
      EXPECT_EQ(Bytes(Path() + ".bak"), file.m_bytes);
      EXPECT_EQ(Bytes(Path()), file.m_bytes);
    }
  });
  const auto continuation = ContinueSurvey(Path());
  ASSERT_TRUE(continuation.bChanged);
  EXPECT_EQ(syncs, (Events{"Data.tvd.bak.partial", "folder", "Data.tvd.partial", "folder"}));
  EXPECT_NE(Bytes(Path()), file.m_bytes);

  syncs.clear();
  bContinuing = false;
  ReplaceFileWith(Path("copy.tvd"), file.m_bytes);
  EXPECT_EQ(syncs, (Events{"copy.tvd.partial", "folder"}));
}

} // namespace
