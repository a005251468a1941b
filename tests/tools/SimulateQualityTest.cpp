// tvdtool simulate checks each segment at STOP as the collector does: a channel that stops
// delivering levels while a segment is walked is flagged with the gap's length and place, kept in
// the survey's quality side file, listed by `survey check` and marked in the export.
#include "tools/tvdtool/CheckCommand.h"
#include "tools/tvdtool/ExportCommand.h"
#include "tools/tvdtool/SimulateCommand.h"
#include "tools/tvdtool/SurveyCommand.h"

#include "platform/D2xxRegistry.h"
#include "quality/QualityFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

class SimulateQuality : public ::testing::Test {
protected:
  void SetUp() override {
    D2xxDisableAllBackends();
    m_dir = fs::temp_directory_path() / ("tarvex-simquality-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    fs::copy_file(fs::path(TARVEX_BINARY_DIR) / "resources" / "sample-site" / "office.gpf", m_dir / "office.gpf");
    std::ofstream(Path("route.txt")) << "300 300\n900 300\n900 600\n";
  }
  void TearDown() override {
    D2xxDisableAllBackends();
    fs::remove_all(m_dir);
  }
  std::string Path(const std::string &name) const { return (m_dir / name).string(); }

  // Two segments of 12 simulated seconds each along the route.
  _simulateoptions Options() const {
    _simulateoptions options;
    options.strProjection = Path("office.gpf");
    options.strOutput = Path("survey.tvd");
    options.strRoute = Path("route.txt");
    options.dSecondsPerSegment = 12.0;
    options.dSetupSeconds = 1.0;
    options.nStartTime = 1717236000;
    options.nLinkWaitMs = 10000;
    return options;
  }

  fs::path m_dir;
};

// Channel 2 paused for 6 s from 3 s into the first walk: the check at STOP says so in one line,
// `survey check` lists it, and the export marks the levels spread across it; a new survey made
// over the old one's name starts with no side file of its own.
TEST_F(SimulateQuality, ADropoutIsFlaggedAtStopListedAndMarked) {
  _simulateoptions options = Options();
  options.pauses = {ParsePause("2,1,3,6")};
  std::ostringstream out;
  std::ostringstream err;
  _simulatesummary summary;
  ASSERT_EQ(RunSimulate(options, out, err, &summary), 0) << out.str() << err.str();
  ASSERT_EQ(summary.checks.size(), 2U) << out.str();
  // 6 s without levels, starting a quarter of the way along the 600 pixel segment.
  const std::regex flagged(R"(Segment 1: 6\.\d s without levels on channel 2 at ([0-9.]+) m \(5\d % of the walk\))");
  std::smatch match;
  ASSERT_TRUE(std::regex_search(summary.checks[0], match, flagged)) << summary.checks[0];
  EXPECT_TRUE(Contains(out.str(), "\n  " + summary.checks[0] + "\n")) << out.str();
  EXPECT_EQ(summary.checks[1], "Segment 2 passed");
  EXPECT_TRUE(fs::exists(QualityFilePath(options.strOutput)));

  std::ostringstream checked;
  std::ostringstream notes;
  _checkrequest check;
  check.strSurvey = options.strOutput;
  EXPECT_EQ(CheckSurveyFile(check, checked, notes), SURVEY_EXIT_UNSOUND) << notes.str();
  EXPECT_TRUE(Contains(checked.str(), "1 flagged: " + summary.checks[0].substr(11))) << checked.str();
  EXPECT_TRUE(Contains(checked.str(), "\n2 passed\n")) << checked.str();
  // The gap begins a quarter of the way along: 3 s into a 12 s walk.
  check.bJson = true;
  std::ostringstream json;
  (void)CheckSurveyFile(check, json, notes);
  const double dLength = nlohmann::json::parse(json.str())["segments"][0]["length_m"].get<double>();
  EXPECT_NEAR(std::stod(match[1].str()), dLength / 4, 0.5) << summary.checks[0];
  check.bJson = false;

  _exportrequest request{options.strOutput, options.strProjection, ExportFormat::csv, ""};
  request.bMarkGaps = true;
  std::ostringstream csv;
  ASSERT_EQ(ExportSurvey(request, csv, notes), SURVEY_EXIT_SOUND) << notes.str();
  std::istringstream rows(csv.str());
  std::string row;
  size_t nMarked = 0;
  while (std::getline(rows, row)) {
    nMarked += row.rfind("1,2,", 0) == 0 && row.back() != ',' ? 1 : 0;
  }
  EXPECT_GT(nMarked, 0U) << "channel 2's levels placed across the gap are marked";

  options.pauses.clear();
  options.bForce = true;
  ASSERT_EQ(RunSimulate(options, out, err, &summary), 0) << err.str();
  std::ostringstream rechecked;
  EXPECT_EQ(CheckSurveyFile(check, rechecked, notes), SURVEY_EXIT_SOUND) << rechecked.str();
  EXPECT_EQ(rechecked.str(), "1 passed\n2 passed\n");
}

// No survey is ever given a side file's name.
TEST_F(SimulateQuality, ASideFileNameIsRefusedAsOutput) {
  _simulateoptions options = Options();
  options.strOutput = Path("x.tvd.quality.json");
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunSimulate(options, out, err), 2);
  EXPECT_TRUE(Contains(err.str(), "has the name of a survey's quality side file")) << err.str();
  EXPECT_FALSE(fs::exists(options.strOutput));
}

} // namespace
