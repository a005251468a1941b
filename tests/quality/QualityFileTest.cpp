#include "quality/QualityFile.h"
#include "platform/FileException.h"
#include "platform/FileFaults.h"
#include "tests/quality/QualitySurvey.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Four walks of the same length, each on its own line of the plan.
std::vector<_walk> FourWalks() {
  std::vector<_walk> walks;
  for (uint8_t n = 0; n < 4; ++n) {
    walks.push_back(OrdinaryWalk(n));
    walks.back().nX = static_cast<uint16_t>(100 + n);
  }
  return walks;
}

// Segment 2 walked again as segment 4, segment 3 left out.
_qualityrecord Decisions(const std::vector<_walk> &walks) {
  _qualityrecord record;
  record.nSurveyCreated = 1700000000; // as CSurveyBuilder stamps it
  RecordReplacement(record, 2, WalkHeader(walks[1]), 4, WalkHeader(walks[3]));
  SetExcluded(record, 3, WalkHeader(walks[2]), true);
  SetExcluded(record, 1, WalkHeader(walks[0]), true);
  SetExcluded(record, 1, WalkHeader(walks[0]), false); // and brought back: nothing is said of it
  return record;
}

struct _sidecase {
  const char *pName;
  // Changes the walks of the survey and the side file's text as written (empty: no side file).
  std::function<void(std::vector<_walk> &, std::string &)> fnChange;
  bool bUsed;
  std::vector<uint32_t> counting; // the segments that count
  const char *pFirstNote;         // after the side file's quoted name; nullptr: no note
  size_t nNotes;
};

std::string WithCreated(const std::string &text, int64_t nCreated) {
  auto json = nlohmann::ordered_json::parse(text);
  json["survey_created"] = nCreated;
  return json.dump();
}

const _sidecase SIDE_CASES[] = {
    {"asWritten", [](auto &, auto &) {}, true, {1, 4}, nullptr, 0},
    {"none", [](auto &, std::string &text) { text.clear(); }, false, {1, 2, 3, 4}, nullptr, 0},
    {"otherSurvey",
     [](auto &, std::string &text) { text = WithCreated(text, 1699999999); },
     false,
     {1, 2, 3, 4},
     " is ignored: it belongs to a survey created 2023-11-14 22:13:19 UTC, and \"SURVEY\" was created 2023-11-14 "
     "22:13:20 UTC (a new survey made under an old one's name).",
     1},
    {"notJson",
     [](auto &, std::string &text) { text = "{\"tarvex_quality\": 1, "; },
     false,
     {1, 2, 3, 4},
     " is ignored: it cannot be read as a quality side file (",
     1},
    {"gapOutsideItsWalk",
     [](auto &, std::string &text) {
       auto json = nlohmann::ordered_json::parse(text);
       json["segments"][0]["walk_ms"] = 1000;
       json["segments"][0]["gaps"] = {{{"channel", 2}, {"start_ms", 900}, {"duration_ms", 6200}}};
       text = json.dump();
     },
     false,
     {1, 2, 3, 4},
     " is ignored: it cannot be read as a quality side file (segment 2: a gap lies outside its "
     "walk).",
     1},
    // A copy without the first segment: the others are found by their walks.
    {"firstSegmentGone",
     [](std::vector<_walk> &walks, auto &) { walks.erase(walks.begin()); },
     true,
     {3},
     ": segment 2 (walked 2024-06-01 10:01:00 (101,100)-(101,400)) is segment 1 of \"SURVEY\".",
     3},
    {"replacementGone",
     [](std::vector<_walk> &walks, auto &) { walks.pop_back(); },
     true,
     {1, 2},
     ": segment 2 (walked 2024-06-01 10:01:00 (101,100)-(101,400)) was replaced by a segment that is not in "
     "\"SURVEY\"; it counts again.",
     2},
};

class QualitySideFile : public ::testing::TestWithParam<_sidecase> {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("tarvex-side-" + std::to_string(::getpid()));
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    CFileFaults::Reset();
    fs::remove_all(m_dir);
  }
  std::string Path(const std::string &name) const { return (m_dir / name).string(); }
  fs::path m_dir;
};

TEST_P(QualitySideFile, BelongsOnlyToItsSurvey) {
  const _sidecase &c = GetParam();
  const std::string survey = Path(std::string(c.pName) + ".tvd");
  std::vector<_walk> walks = FourWalks();
  WriteQualityFile(survey, Decisions(walks));
  std::string text = ReadFile(QualityFilePath(survey));
  c.fnChange(walks, text);
  fs::remove(QualityFilePath(survey));
  if (!text.empty()) {
    std::ofstream(QualityFilePath(survey)) << text;
  }
  WriteFile(survey, SurveyOf(walks));

  const std::string bytes = ReadFile(survey);
  const auto contents = ParseSurvey(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), false);
  const _qualityload load = LoadQualityFile(survey, contents);
  EXPECT_EQ(load.bFound, !text.empty());
  EXPECT_EQ(load.bUsed, c.bUsed);
  EXPECT_EQ(load.record.CountingSegments(static_cast<uint32_t>(contents.segments.size())), c.counting);
  ASSERT_EQ(load.notes.size(), c.nNotes);
  if (c.pFirstNote != nullptr) {
    std::string expected = "\"" + QualityFilePath(survey) + "\"" + c.pFirstNote;
    if (const size_t nAt = expected.find("SURVEY"); nAt != std::string::npos) {
      expected.replace(nAt, 6, survey);
    }
    EXPECT_EQ(load.notes[0].substr(0, expected.size()), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, QualitySideFile, ::testing::ValuesIn(SIDE_CASES),
                         [](const auto &test) { return std::string(test.param.pName); });

// The side file is put in place whole or not at all, says what it holds in words a reader
// follows, and goes when a survey is made anew under its survey's name.
TEST_F(QualitySideFile, IsWrittenWholeOrNotAtAll) {
  const std::string survey = Path("Data.tvd");
  const auto walks = FourWalks();
  _qualityrecord record = Decisions(walks);
  CGapWatch watch;
  watch.Begin(1000);
  for (int64_t t = 1100; t <= 9000; t += t < 2000 || t >= 8000 ? 100 : 6000) {
    watch.Levels(2, 3, t);
  }
  RecordWalk(record, 4, WalkHeader(walks[3]), watch.Stop(9000));
  WriteQualityFile(survey, record);
  const std::string written = ReadFile(QualityFilePath(survey));
  const auto json = nlohmann::ordered_json::parse(written);
  EXPECT_EQ(json["survey"], "Data.tvd");
  EXPECT_EQ(json["survey_created"], 1700000000);
  EXPECT_EQ(json["segments"].dump(),
            "[{\"segment\":2,\"walked\":\"2024-06-01 10:01:00 (101,100)-(101,400)\",\"replaced_by\":4},"
            "{\"segment\":3,\"walked\":\"2024-06-01 10:02:00 (102,100)-(102,400)\",\"excluded\":true},"
            "{\"segment\":4,\"walked\":\"2024-06-01 10:03:00 (103,100)-(103,400)\",\"walk_ms\":8000,\"gaps\":"
            "[{\"channel\":2,\"start_ms\":1000,\"duration_ms\":6000}]}]");

  SetExcluded(record, 4, WalkHeader(walks[3]), true);
  CFileFaults::FailWritesAfter(40); // the disk fills up
  EXPECT_THROW(WriteQualityFile(survey, record), CFileException);
  CFileFaults::Reset();
  EXPECT_EQ(ReadFile(QualityFilePath(survey)), written);
  EXPECT_FALSE(fs::exists(QualityFilePath(survey) + ".partial"));

  EXPECT_TRUE(RemoveQualityFile(survey));
  EXPECT_FALSE(fs::exists(QualityFilePath(survey)));
  EXPECT_FALSE(RemoveQualityFile(survey));

  // No survey and no output may take a side file's name.
  EXPECT_TRUE(IsQualityFilePath(QualityFilePath(survey)));
  EXPECT_FALSE(IsQualityFilePath(survey));
  fs::create_symlink(QualityFilePath(survey), Path("link.csv"));
  EXPECT_TRUE(IsQualityFilePath(Path("link.csv")));
}

} // namespace
