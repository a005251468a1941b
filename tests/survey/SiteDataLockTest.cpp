// A survey is written by one program at a time: the survey data object holds a lock on its file
// for the whole time it has it open, and nothing else writes, empties, replaces or continues it
// meanwhile.
#include "survey/SiteData.h"
#include "survey/SurveyContinue.h"
#include "survey/SurveyFiles.h"
#include "survey/SurveyReader.h"
#include "tests/survey/SurveyTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

namespace {

class SiteDataLock : public SurveyTest {
protected:
  // A survey walking its second segment, with levels written and levels buffered.
  std::unique_ptr<CSiteData> Walking() {
    auto data = Create();
    const uint32_t frequency = 8500;
    data->SetChannels(&frequency, 1);
    Walk(*data, {1, 1}, {2, 2}, {Ramp(20)});
    Begin(*data, {2, 2}, {3, 3});
    Add(*data, 1, Ramp(90));
    Add(*data, 1, Ramp(30));
    return data;
  }

  // Expects action to be refused as writing a survey in use, naming it.
  void ExpectInUse(const std::function<void()> &action, const std::string &path) {
    try {
      action();
      ADD_FAILURE() << "not refused";
    } catch (const CFileException &e) {
      EXPECT_EQ(e.m_cause, CFileException::sharingViolation);
      EXPECT_EQ(e.m_strFileName, path);
      EXPECT_EQ(std::string(e.what()), "\"" + path +
                                           "\" is in use: another program (a collector or tvdtool) is "
                                           "writing this survey. Close it there first, or choose another file.");
    }
  }
};

TEST_F(SiteDataLock, ASecondSurveyObjectIsRefusedTheFileAndChangesNothing) {
  auto data = Walking();
  const auto before = Bytes(Path());
  CSitePlan plan;
  for (const int nMode : {CSiteData::modeCreateNew, CSiteData::modeOpenExisting}) {
    SCOPED_TRACE(nMode);
    ExpectInUse([&] { CSiteData other(Path(), nMode, plan, m_clock); }, Path());
    EXPECT_EQ(Bytes(Path()), before) << "a refused creation empties nothing";
  }
  EXPECT_EQ(plan.m_nSegmentCount, 0) << "nothing was read into the second plan";

  // The first goes on writing, and readers read along.
  Add(*data, 1, Ramp(90, 30));
  Stop(*data);
  const auto shared = LoadSurveyFile(Path(), CFile::shareDenyNone);
  EXPECT_TRUE(ParseSurvey(shared.data(), shared.size()).IsSound());

  // Once it is closed, the survey is free for the next one.
  data->Close();
  auto next = Open();
  EXPECT_EQ(next->m_nSegmentCount, 2);
  ExpectInUse([&] { CSiteData other(Path(), CSiteData::modeOpenExisting, plan, m_clock); }, Path());
  next.reset(); // ending the object lets go of the file too
  CSiteData last(Path(), CSiteData::modeOpenExisting, plan, m_clock);
  EXPECT_EQ(last.m_nSegmentCount, 2);
}

TEST_F(SiteDataLock, NoCopyRepairOrContinuationReplacesASurveyInUse) {
  auto data = Walking();
  const auto before = Bytes(Path());
  CSitePlan plan;
  CSiteData other(Path("other.tvd"), CSiteData::modeCreateNew, plan, m_clock);
  ExpectInUse([&] { other.SaveCopyAs(Path()); }, Path());
  ExpectInUse([&] { ReplaceFileWith(Path(), {1, 2, 3}); }, Path());
  ExpectInUse([&] { (void)ContinueSurvey(Path()); }, Path());
  EXPECT_EQ(Bytes(Path()), before);
  EXPECT_FALSE(std::filesystem::exists(Path() + ".partial"));
  EXPECT_FALSE(std::filesystem::exists(Path() + ".bak"));

  // A survey's own copy goes elsewhere as before, and once it is closed it may be replaced.
  data->SaveCopyAs(Path("copy.tvd"));
  const auto copy = Bytes(Path("copy.tvd"));
  EXPECT_TRUE(ParseSurvey(copy.data(), copy.size()).IsSound());
  data->Close();
  other.SaveCopyAs(Path());
  const auto replaced = Bytes(Path());
  EXPECT_EQ(ParseSurvey(replaced.data(), replaced.size()).segments.size(), 0U);
}

TEST_F(SiteDataLock, OnlyRegularFilesAreSurveys) {
  ASSERT_EQ(::mkfifo(Path("pipe.tvd").c_str(), 0600), 0);
  for (const int nMode : {CSiteData::modeCreateNew, CSiteData::modeOpenExisting}) {
    try {
      CSiteData data(Path("pipe.tvd"), nMode, *m_plan, m_clock);
      ADD_FAILURE() << "a pipe was taken for a survey";
    } catch (const CFileException &e) {
      EXPECT_EQ(std::string(e.what()),
                "\"" + Path("pipe.tvd") + "\" is not a regular file: a survey data file must be one.");
    }
  }
}

} // namespace
