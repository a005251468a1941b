// Survey files are read through a window: bytes after the last record cost neither memory nor
// time in proportion to them, and a file longer than any survey can be is refused unread.
#include "survey/SurveyContinue.h"
#include "survey/SurveyReader.h"
#include "survey/SurveyRepair.h"
#include "tests/survey/SurveyBuilder.h"
#include "tests/survey/SurveyTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

namespace {

constexpr uint64_t GIB = uint64_t{1} << 30;

// What each way of reading a file says about it: a read that names the offset where the readable
// survey ends, or a refusal before anything is read.
std::string Outcome(const std::function<void()> &read) {
  try {
    read();
    return "read";
  } catch (const CFileException &e) {
    return e.what();
  }
}

TEST_F(SurveyTest, BytesAfterTheLastRecordAreNamedByTheirOffsetAndNeverLoaded) {
  CSurveyBuilder survey(2);
  survey.Segment(2).Record(1, 99).Record(2, 99).Segment(1).Record(1, 40);
  const uint64_t nSurvey = survey.m_bytes.size();
  const std::string path = Path();
  const std::string trailing = "\"" + path + "\", offset " + std::to_string(nSurvey) + ": ";
  const std::string follow = " bytes follow the last segment's records and cannot be read as records.";
  const std::string repairable =
      follow + " 'tvdtool survey repair' makes a sound copy that keeps every readable segment and record.";
  const std::string tooLong = "\"" + path + "\" is " + std::to_string(SURVEY_MAX_FILE_LENGTH + 1) +
                              " bytes long, more than any survey data file can be: 500 segments of 65535 records of "
                              "99 levels take 6815666533 bytes. It is not read.";
  struct _case {
    const char *name;
    uint64_t nLength; // the survey, then zeros that take no room on the disk
    std::string strRefusal;
  };
  const _case cases[] = {
      {"3 GiB of zeros", nSurvey + 3 * GIB, trailing + std::to_string(3 * GIB) + repairable},
      {"as long as a survey can be", SURVEY_MAX_FILE_LENGTH,
       trailing + std::to_string(SURVEY_MAX_FILE_LENGTH - nSurvey) + repairable},
      {"a byte longer", SURVEY_MAX_FILE_LENGTH + 1, tooLong},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(path, survey.m_bytes);
    std::filesystem::resize_file(path, c.nLength);
    // The window opening the survey, and every tool that loads it whole.
    EXPECT_EQ(Outcome([&] { LoadSurveyFile(path, CFile::shareDenyNone); }), c.strRefusal);
    EXPECT_EQ(Outcome([&] { Open(); }), c.strRefusal);
    if (c.nLength > SURVEY_MAX_FILE_LENGTH) {
      EXPECT_EQ(Outcome([&] { ReadSurveyFile(path, CFile::shareDenyNone, {}); }), tooLong);
      continue;
    }
    // Reading stops where the survey ends, and repair keeps all of it.
    const _surveycontents contents = ReadSurveyFile(path, CFile::shareDenyNone, {});
    ASSERT_EQ(contents.errors.size(), 1U);
    EXPECT_EQ(DescribeSurveyError(path, contents.errors[0]), trailing + std::to_string(c.nLength - nSurvey) + follow);
    EXPECT_EQ(contents.LevelCount(), 238U);
    const CSurveySource source(path, CFile::shareDenyNone);
    EXPECT_EQ(AssessSurvey(source).state, SurveyState::repairable);
    EXPECT_EQ(RepairSurvey(source).bytes, survey.m_bytes);
  }
}

} // namespace
