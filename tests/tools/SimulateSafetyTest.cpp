// tvdtool simulate keeps what it must not write over: existing surveys, a survey that another run
// writes, its own inputs; and it walks only on a projection whose plan pixels have coordinates.
#include "tools/tvdtool/SimulateCommand.h"

#include "platform/D2xxRegistry.h"
#include "platform/FileFaults.h"
#include "projection/ProjectionFormat.h"
#include "projection/SitePlan.h"
#include "projection/SiteProjection.h"
#include "survey/SegmentWalk.h"
#include "survey/SiteData.h"
#include "survey/SurveyReader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The bytes of the file at path, as a program killed now would leave them.
std::string FileAsLeft(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace fs = std::filesystem;

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

class SimulateSafety : public ::testing::Test {
protected:
  void SetUp() override {
    D2xxDisableAllBackends();
    m_dir = fs::temp_directory_path() / ("tarvex-simsafe-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    const fs::path site = fs::path(TARVEX_BINARY_DIR) / "resources" / "sample-site";
    fs::copy_file(site / "office.gpf", m_dir / "office.gpf");
    fs::copy_file(site / "office.lpf", m_dir / "office.lpf");
    std::ofstream(Path("route.txt")) << "300 300\n600 300\n";
  }
  void TearDown() override {
    CFileFaults::Reset();
    D2xxDisableAllBackends();
    fs::remove_all(m_dir);
  }

  std::string Path(const std::string &name) const { return (m_dir / name).string(); }

  _simulateoptions Options(const std::string &strProjection = "office.gpf") const {
    _simulateoptions options;
    options.strProjection = Path(strProjection);
    options.strOutput = Path("survey.tvd");
    options.strRoute = Path("route.txt");
    options.dSecondsPerSegment = 2.0;
    options.dSetupSeconds = 0.5;
    options.nStartTime = 1717236000;
    options.nLinkWaitMs = 10000;
    return options;
  }

  static std::vector<uint8_t> Bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static _surveycontents Read(const std::string &path) {
    const auto bytes = Bytes(path);
    return ParseSurvey(bytes.data(), bytes.size(), false);
  }

  // Runs simulate; returns its exit status, with what it said on standard error in m_strErr.
  int Run(const _simulateoptions &options) {
    std::ostringstream out;
    std::ostringstream err;
    const int nStatus = RunSimulate(options, out, err);
    m_strOut = out.str();
    m_strErr = err.str();
    return nStatus;
  }

  fs::path m_dir;
  std::string m_strOut;
  std::string m_strErr;
};

TEST_F(SimulateSafety, AnExistingFileIsReplacedOnlyWhenForced) {
  auto options = Options();
  ASSERT_EQ(Run(options), 0) << m_strErr;
  const auto first = Bytes(options.strOutput);
  EXPECT_EQ(Run(options), 2);
  EXPECT_EQ(m_strErr, "tvdtool: \"" + options.strOutput +
                          "\" exists already: --append continues the survey in it, --force replaces it with a new "
                          "one.\n");
  EXPECT_EQ(Bytes(options.strOutput), first);
  std::ofstream(Path("notes.txt")) << "not a survey";
  auto notes = options;
  notes.strOutput = Path("notes.txt");
  EXPECT_EQ(Run(notes), 2);
  EXPECT_EQ(Bytes(Path("notes.txt")),
            std::vector<uint8_t>({'n', 'o', 't', ' ', 'a', ' ', 's', 'u', 'r', 'v', 'e', 'y'}));

  options.bAppend = true;
  ASSERT_EQ(Run(options), 0) << m_strErr;
  EXPECT_EQ(Read(options.strOutput).segments.size(), 2U);
  options.bAppend = false;
  options.bForce = true;
  options.nStartTime += 3600;
  ASSERT_EQ(Run(options), 0) << m_strErr;
  const auto replaced = Read(options.strOutput);
  EXPECT_TRUE(replaced.IsSound());
  EXPECT_EQ(replaced.segments.size(), 1U);
  EXPECT_EQ(replaced.header.nCreated, options.nStartTime);
}

TEST_F(SimulateSafety, ASurveyThatAnotherRunWritesIsRefused) {
  // The second run starts while the first has just begun its walk (its BEGIN header is written).
  const auto first = Options();
  auto second = Options("office.lpf");
  std::vector<int> statuses;
  std::vector<std::string> errors;
  bool bStarted = false;
  CFileFaults::WatchWrites([&](const std::string &path, uint64_t nOffset, uint32_t) {
    if (bStarted || path != first.strOutput || nOffset != SURVEY_FIRST_SEGMENT_OFFSET) {
      return;
    }
    bStarted = true;
    for (const bool bAppend : {false, true}) {
      second.bAppend = bAppend;
      second.bForce = !bAppend;
      std::ostringstream out;
      std::ostringstream err;
      statuses.push_back(RunSimulate(second, out, err));
      errors.push_back(err.str());
    }
  });
  ASSERT_EQ(Run(first), 0) << m_strErr;
  CFileFaults::WatchWrites(nullptr);
  ASSERT_TRUE(bStarted);
  EXPECT_EQ(statuses, (std::vector<int>{2, 2}));
  for (const auto &error : errors) {
    EXPECT_EQ(error, "tvdtool: \"" + first.strOutput +
                         "\" is in use: another program (a collector or tvdtool) is writing this survey. Close it "
                         "there first, or choose another file.\n");
  }
  const auto contents = Read(first.strOutput);
  EXPECT_TRUE(contents.IsSound());
  EXPECT_EQ(contents.segments.size(), 1U) << "the first run's walk is whole";
  EXPECT_FALSE(fs::exists(Path("office.lpfb"))) << "the refused runs loaded nothing";

  // A survey open in a collector is refused the same way.
  CSitePlan plan;
  CSiteData open(first.strOutput, CSiteData::modeOpenExisting, plan);
  second.bAppend = true;
  EXPECT_EQ(Run(second), 2);
  EXPECT_TRUE(Contains(m_strErr, "is in use")) << m_strErr;
}

TEST_F(SimulateSafety, AnOutputThatIsAnInputIsRefusedAndNothingIsWritten) {
  const auto projection = Bytes(Path("office.gpf"));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Path("office.gpf"), "is the projection"},
      {(m_dir / "." / "office.gpf").string(), "is the projection"},
      {Path("office.gpfc"), "is the projection's side file"},
      {Path("office.gpfb"), "is the projection's side file"},
      {Path("route.txt"), "is the route"},
  };
  for (const auto &[output, expected] : cases) {
    SCOPED_TRACE(output);
    auto options = Options();
    options.strOutput = output;
    options.bForce = true;
    EXPECT_EQ(Run(options), 2);
    EXPECT_TRUE(Contains(m_strErr, expected)) << m_strErr;
    EXPECT_TRUE(Contains(m_strErr, "the survey would overwrite it")) << m_strErr;
    EXPECT_EQ(Bytes(Path("office.gpf")), projection);
    EXPECT_FALSE(fs::exists(Path("office.gpfc")));
    EXPECT_FALSE(fs::exists(Path("office.gpfb")));
    EXPECT_EQ(fs::file_size(Path("route.txt")), 16U);
  }
}

TEST_F(SimulateSafety, AProjectionWhoseTransformCannotBeInvertedIsRefused) {
  const auto original = Bytes(Path("office.gpf"));
  const double dNaN = std::numeric_limits<double>::quiet_NaN();
  // a d = b c: every plan pixel on one line of latitudes and longitudes; or a number that is none.
  const std::vector<std::pair<std::string, std::vector<std::pair<int, double>>>> cases = {
      {"det 0", {{0, 2.0}, {1, 4.0}, {4, 1.0}, {5, 2.0}}},
      {"NaN in the matrix", {{1, dNaN}}},
      {"NaN offset", {{3, dNaN}}},
  };
  for (const auto &[name, changes] : cases) {
    SCOPED_TRACE(name);
    auto bytes = original;
    for (const auto &[nIndex, dValue] : changes) {
      WriteDoubleLE(bytes.data() + ProjectionMatrixOffset(nIndex / 4, nIndex % 4), dValue);
    }
    std::ofstream(Path("flat.gpf"), std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(Run(Options("flat.gpf")), 2);
    EXPECT_EQ(m_strErr, "tvdtool: \"" + Path("flat.gpf") +
                            "\"'s transform cannot be inverted (a * d - b * c is 0, or one of its numbers is not "
                            "finite), so its plan pixels have no coordinates: no survey is walked on it.\n");
    EXPECT_FALSE(fs::exists(Path("survey.tvd")));
    EXPECT_FALSE(fs::exists(Path("flat.gpfb")));
  }
}

TEST_F(SimulateSafety, AppendAfterASegmentAnnouncedButNeverBegunContinuesItsNumber) {
  auto options = Options();
  std::ofstream(Path("route.txt")) << "300 300\n600 300\n600 600\n";
  ASSERT_EQ(Run(options), 0) << m_strErr;
  {
    // The collector announced segment 3 and was killed before BEGIN (a close would take it out
    // of the count).
    std::string strKilled;
    {
      CSitePlan plan;
      CSiteData data(options.strOutput, CSiteData::modeOpenExisting, plan);
      CSiteProjection projection;
      CSegmentWalk walk(data, plan, projection);
      ASSERT_TRUE(walk.NewSegment());
      strKilled = FileAsLeft(options.strOutput);
    }
    std::ofstream(options.strOutput, std::ios::binary | std::ios::trunc) << strKilled;
  }
  const auto announced = Read(options.strOutput);
  ASSERT_EQ(announced.nSegmentCount, 3U);
  ASSERT_EQ(announced.segments.size(), 2U);

  std::ofstream(Path("route.txt")) << "600 600\n900 600\n";
  options.bAppend = true;
  ASSERT_EQ(Run(options), 0) << m_strErr;
  EXPECT_TRUE(Contains(m_strOut, "at segment 3\n")) << m_strOut;
  EXPECT_TRUE(Contains(m_strOut, "segment 3: 600,600 -> 900,600")) << m_strOut;
  const auto after = Read(options.strOutput);
  EXPECT_TRUE(after.IsSound()) << after.errors.front().strText;
  EXPECT_EQ(after.nSegmentCount, 3U);
  ASSERT_EQ(after.segments.size(), 3U);
  EXPECT_EQ(after.segments[2].nOffset, announced.nLength);
  EXPECT_EQ(after.segments[2].header.nStartX, 600);
}

} // namespace
