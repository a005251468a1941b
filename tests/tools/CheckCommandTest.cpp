#include "tools/tvdtool/CheckCommand.h"
#include "tools/tvdtool/ExportCommand.h"
#include "tools/tvdtool/SurveyCommand.h"

#include "quality/QualityFile.h"
#include "tests/quality/QualitySurvey.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <sstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string SITE = std::string(TARVEX_BINARY_DIR) + "/resources/sample-site/";

struct _run {
  int nCode = -1;
  std::string out;
  std::string err;
};

// The walk of a segment as the collector watches it: a message every 100 ms on both channels for
// 20 s, and with bDropout none on channel 2 from 8.0 s to 14.2 s.
_walkgaps Watched(bool bDropout) {
  CGapWatch watch;
  watch.Begin(0);
  for (int64_t t = 100; t < 20000; t += 100) {
    watch.Levels(1, 1, t);
    if (!bDropout || t <= 8000 || t >= 14200) {
      watch.Levels(2, 1, t);
    }
  }
  return watch.Stop(20000);
}

class CheckCommand : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("tarvex-check-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }
  std::string Path(const std::string &name) const { return (m_dir / name).string(); }

  // Three walks of 30 m in 20 s; channel 2 dropped out for 6.2 s in the second, which was walked
  // again as the fourth (same points, a minute later). bReplaced: the surveyor kept the new one.
  std::string MakeSurvey(bool bReplaced, bool bCoordinates = true) {
    std::vector<_walk> walks{OrdinaryWalk(0), OrdinaryWalk(1), OrdinaryWalk(2), OrdinaryWalk(3)};
    for (size_t i = 0; i < walks.size(); ++i) {
      walks[i].nX = static_cast<uint16_t>(i == 3 ? 101 : 100 + i);
      walks[i].bCoordinates = bCoordinates;
    }
    const std::string path = Path("site.tvd");
    WriteFile(path, SurveyOf(walks));
    _qualityrecord record;
    record.nSurveyCreated = 1700000000;
    for (uint32_t n = 1; n <= 4; ++n) {
      RecordWalk(record, n, WalkHeader(walks[n - 1]), Watched(n == 2));
    }
    if (bReplaced) {
      RecordReplacement(record, 2, WalkHeader(walks[1]), 4, WalkHeader(walks[3]));
    }
    WriteQualityFile(path, record);
    return path;
  }

  static _run Check(const std::string &survey, bool bJson = false, const std::string &projection = "") {
    std::ostringstream out;
    std::ostringstream err;
    _checkrequest request;
    request.strSurvey = survey;
    request.strProjection = projection;
    request.bJson = bJson;
    const int nCode = CheckSurveyFile(request, out, err);
    return {nCode, out.str(), err.str()};
  }
  static _run Export(const _exportrequest &request) {
    std::ostringstream out;
    std::ostringstream err;
    const int nCode = ExportSurvey(request, out, err);
    return {nCode, out.str(), err.str()};
  }
  static _run Repair(const std::string &input, const std::string &output) {
    std::ostringstream out;
    std::ostringstream err;
    const int nCode = RepairSurveyFile(input, output, out, err);
    return {nCode, out.str(), err.str()};
  }

  fs::path m_dir;
};

const char *GAP_TEXT = "6.2 s without levels on channel 2 at 12 m (31 % of the walk)";

// One line per segment, each beginning with its number; the exit status says whether every
// segment that counts passed.
TEST_F(CheckCommand, OneLinePerSegmentAndTheExitStatus) {
  const std::string survey = MakeSurvey(true);
  const _run replaced = Check(survey);
  EXPECT_EQ(replaced.nCode, SURVEY_EXIT_SOUND) << replaced.err;
  EXPECT_EQ(replaced.out, std::string("1 passed\n2 flagged (replaced by segment 4, not counted): ") + GAP_TEXT +
                              "\n3 passed\n4 passed\n");
  EXPECT_EQ(replaced.err, "");

  const _run json = Check(survey, true);
  const auto parsed = nlohmann::json::parse(json.out);
  const auto &second = parsed["segments"][1];
  EXPECT_EQ(second["counted"], false);
  EXPECT_EQ(second["replaced_by"], 4);
  EXPECT_EQ(second["sentence"], std::string("Segment 2: ") + GAP_TEXT);
  EXPECT_EQ(second["findings"][0]["check"], "gap");
  EXPECT_NEAR(second["findings"][0]["at_m"].get<double>(), 12.0, 1e-6);
  EXPECT_NEAR(second["findings"][0]["seconds"].get<double>(), 6.2, 1e-9);
  EXPECT_EQ(parsed["flagged"], 0);
  EXPECT_EQ(parsed["side_file"]["used"], true);

  // Kept as it was, the flagged segment counts.
  const _run kept = Check(MakeSurvey(false));
  EXPECT_EQ(kept.nCode, SURVEY_EXIT_UNSOUND);
  EXPECT_EQ(kept.out, std::string("1 passed\n2 flagged: ") + GAP_TEXT + "\n3 passed\n4 passed\n");

  // Without the side file nothing says when the levels came.
  fs::remove(QualityFilePath(survey));
  const _run bare = Check(survey);
  EXPECT_EQ(bare.nCode, SURVEY_EXIT_SOUND);
  EXPECT_EQ(bare.out, "1 passed\n2 passed\n3 passed\n4 passed\n");
  EXPECT_EQ(bare.err, "note: gap not checked for segments 1, 2, 3, 4: no arrival times were kept during the walk "
                      "(they are kept in the survey's quality side file while it is walked).\n");
}

TEST_F(CheckCommand, LengthsOfALinearPlanNeedItsProjection) {
  const std::string survey = MakeSurvey(true, false);
  const _run bare = Check(survey);
  EXPECT_EQ(bare.nCode, SURVEY_EXIT_SOUND);
  EXPECT_NE(bare.err.find("note: speed not checked for segments 1, 2, 3, 4: its header holds no coordinates (it was "
                          "walked on a linear plan) and no projection was given (--projection P gives the length).\n"),
            std::string::npos)
      << bare.err;
  EXPECT_NE(bare.out.find("6.2 s without levels on channel 2 at 40 % of the way (31 % of the walk)"),
            std::string::npos);
  // The sample office's linear plan: 33.3333 pixels a metre, so 300 pixels are 9 m.
  const _run placed = Check(survey, false, SITE + "office.lpf");
  EXPECT_EQ(placed.err, "");
  EXPECT_NE(placed.out.find("6.2 s without levels on channel 2 at 3.6 m (31 % of the walk)"), std::string::npos);

  const _run absent = Check(Path("absent.tvd"));
  EXPECT_EQ(absent.nCode, SURVEY_EXIT_FAILED);
  EXPECT_NE(absent.err.find("No such file or directory"), std::string::npos) << absent.err;
  std::ofstream(Path("photo.jpg")) << std::string(64, 'x');
  const _run other = Check(Path("photo.jpg"));
  EXPECT_EQ(other.nCode, SURVEY_EXIT_FAILED);
  EXPECT_NE(other.err.find("nothing checked"), std::string::npos) << other.err;
  EXPECT_EQ(other.out, "");
}

// The export leaves out what was walked again, unless asked for every segment, and marks the
// levels it spreads across a recorded gap.
TEST_F(CheckCommand, ExportFollowsTheSideFile) {
  const std::string survey = MakeSurvey(true);
  _exportrequest request{survey, SITE + "office.gpf", ExportFormat::csv, ""};
  const _run counted = Export(request);
  EXPECT_EQ(counted.nCode, SURVEY_EXIT_SOUND) << counted.err;
  EXPECT_EQ(counted.out.find("\n2,"), std::string::npos);
  EXPECT_NE(counted.out.find("\n4,"), std::string::npos);
  EXPECT_EQ(counted.err, "note: segment 2, replaced or excluded in \"" + QualityFilePath(survey) +
                             "\", is left out (--all-segments exports it).\n");

  request.bAllSegments = true;
  request.bMarkGaps = true;
  const _run all = Export(request);
  std::istringstream lines(all.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line.substr(line.size() - 16), ",time_note,gap_s");
  std::vector<std::string> marked; // segment, channel and index of each level marked
  size_t nRows = 0;
  while (std::getline(lines, line)) {
    ++nRows;
    if (line.substr(line.rfind(',')) == ",6.2") {
      marked.push_back(line.substr(0, line.find(',', line.find(',', line.find(',') + 1) + 1)));
    }
  }
  EXPECT_EQ(nRows, 1600U);
  // Channel 2's levels 80 to 141 of 200 are spread over 40 % to 71 % of the way.
  ASSERT_EQ(marked.size(), 62U);
  EXPECT_EQ(marked.front(), "2,2,80");
  EXPECT_EQ(marked.back(), "2,2,141");

  request.strOutput = Path("levels.tvd.quality.json");
  const _run named = Export(request);
  EXPECT_EQ(named.nCode, SURVEY_EXIT_FAILED);
  EXPECT_NE(named.err.find("has the name of a survey's quality side file"), std::string::npos) << named.err;
  EXPECT_FALSE(fs::exists(request.strOutput));
}

// A repaired copy carries the side file along, so it reads as the survey did.
TEST_F(CheckCommand, RepairCarriesTheSideFile) {
  const std::string survey = MakeSurvey(true);
  const std::string copy = Path("copy.tvd");
  const _run repaired = Repair(survey, copy);
  EXPECT_EQ(repaired.nCode, SURVEY_EXIT_SOUND) << repaired.err;
  EXPECT_NE(
      repaired.out.find("carried \"" + QualityFilePath(survey) + "\" along to \"" + QualityFilePath(copy) + "\".\n"),
      std::string::npos)
      << repaired.out;
  EXPECT_EQ(Check(copy).out, Check(survey).out);

  fs::remove(QualityFilePath(survey));
  const _run again = Repair(survey, copy);
  EXPECT_NE(again.out.find("removed \"" + QualityFilePath(copy) + "\", which belonged to the file \"" + copy +
                           "\" replaced.\n"),
            std::string::npos)
      << again.out;
  EXPECT_FALSE(fs::exists(QualityFilePath(copy)));

  const _run named = Repair(survey, Path("copy.tvd.quality.json"));
  EXPECT_EQ(named.nCode, SURVEY_EXIT_FAILED);
  EXPECT_NE(named.err.find("has the name of a survey's quality side file"), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("copy.tvd.quality.json")));
}

} // namespace
