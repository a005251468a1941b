// tvdtool simulate: a collection run over the sample site with the simulated receiver, read back
// as any reader of survey files would.
#include "tools/tvdtool/SimulateCommand.h"
#include "tools/tvdtool/SimulateRoute.h"
#include "tools/tvdtool/SurveyCommand.h"

#include "platform/D2xxRegistry.h"
#include "platform/FileFaults.h"
#include "projection/SiteProjection.h"
#include "survey/SurveyClock.h"
#include "survey/SurveyReader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int64_t START_TIME = 1717236000; // 2024-06-01 10:00:00 UTC

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

int SecondOfDay(int nHour, int nMinute, int nSecond) { return nHour * 3600 + nMinute * 60 + nSecond; }

class SimulateCommandTest : public ::testing::Test {
protected:
  void SetUp() override {
    D2xxDisableAllBackends();
    m_dir = fs::temp_directory_path() / ("tarvex-simulate-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    // Loading a projection leaves side files next to it: each test loads its own copy.
    const fs::path site = fs::path(TARVEX_BINARY_DIR) / "resources" / "sample-site";
    fs::copy_file(site / "office.gpf", m_dir / "office.gpf");
    fs::copy_file(site / "office.lpf", m_dir / "office.lpf");
  }
  void TearDown() override {
    CFileFaults::Reset();
    D2xxDisableAllBackends();
    fs::remove_all(m_dir);
  }

  std::string Path(const std::string &name) const { return (m_dir / name).string(); }

  // Short walks: three simulated seconds each, one to choose the points before each.
  _simulateoptions Options(const std::string &strProjection) const {
    _simulateoptions options;
    options.strProjection = Path(strProjection);
    options.strOutput = Path("survey.tvd");
    options.dSecondsPerSegment = 3.0;
    options.dSetupSeconds = 1.0;
    options.nStartTime = START_TIME;
    options.nLinkWaitMs = 10000; // a guard a passing run never reaches
    return options;
  }

  std::string WriteRoute(const std::string &text) const {
    const std::string path = Path("route.txt");
    std::ofstream(path) << text;
    return path;
  }

  _surveycontents Read(const std::string &path) const {
    const auto bytes = LoadSurveyFile(path, CFile::shareDenyNone);
    return ParseSurvey(bytes.data(), bytes.size());
  }

  fs::path m_dir;
  std::ostringstream m_out;
  std::ostringstream m_err;
};

// Levels of each channel in the records of the segments from index nFirst on.
std::array<uint64_t, 2> LevelsInFile(const _surveycontents &contents, size_t nFirst = 0) {
  std::array<uint64_t, 2> levels{};
  for (size_t i = nFirst; i < contents.segments.size(); ++i) {
    for (const auto &record : contents.segments[i].records) {
      levels.at(record.nChannel - 1U) += record.levels.size();
    }
  }
  return levels;
}

// Segment i of the simulated walk along route: its header holds the route's points, their
// coordinates and the times of the walk, its records the receiver's frequencies.
void ExpectSegmentAsWalked(const CSiteProjection &projection, const _surveysegmententry &segment,
                           const std::vector<_pixelpoint> &route, size_t i) {
  const auto &header = segment.header;
  EXPECT_EQ(header.nRecordCount, segment.records.size());
  EXPECT_EQ(header.nCoordsFlag, 1);
  EXPECT_EQ(header.nStartX, route[i].x);
  EXPECT_EQ(header.nStartY, route[i].y);
  EXPECT_EQ(header.nStopX, route[i + 1].x);
  EXPECT_EQ(header.nStopY, route[i + 1].y);
  double dLat = 0;
  double dLon = 0;
  projection.ToCoordinates(route[i].x, route[i].y, dLat, dLon);
  EXPECT_DOUBLE_EQ(header.dStartLon, dLon);
  EXPECT_DOUBLE_EQ(header.dStartLat, dLat);
  projection.ToCoordinates(route[i + 1].x, route[i + 1].y, dLat, dLon);
  EXPECT_DOUBLE_EQ(header.dStopLon, dLon);
  EXPECT_DOUBLE_EQ(header.dStopLat, dLat);
  EXPECT_NEAR(header.dStartLat, 48.1374, 0.0003);
  EXPECT_NEAR(header.dStartLon, 11.5756, 0.0005);

  // Times of the simulated walk: each segment starts after a second of choosing points and
  // ends three seconds later.
  _localtime begin;
  ASSERT_TRUE(CSurveyClock::System().ToLocalTime(START_TIME + 1 + 4 * static_cast<int64_t>(i), begin));
  EXPECT_EQ(header.nMonth, begin.nMonth);
  EXPECT_EQ(header.nDay, begin.nDay);
  EXPECT_EQ(header.nYear, begin.nYear - 1980);
  EXPECT_EQ(SecondOfDay(header.nStartHour, header.nStartMinute, header.nStartSecond),
            SecondOfDay(begin.nHour, begin.nMinute, begin.nSecond));
  const int nWalked = (SecondOfDay(header.nStopHour, header.nStopMinute, header.nStopSecond) -
                       SecondOfDay(header.nStartHour, header.nStartMinute, header.nStartSecond) + 86400) %
                      86400;
  EXPECT_EQ(nWalked, 3);

  // Both channels at the frequencies the receiver's channels give: 425 MHz and 500 MHz.
  for (const auto &record : segment.records) {
    EXPECT_EQ(record.nFrequency, record.nChannel == 1 ? 8500U : 10000U);
    EXPECT_LE(record.nLevels, 99U);
  }
}

TEST_F(SimulateCommandTest, GeoCodedSurveyIsSoundAndHoldsEveryLevelSentDuringTheWalks) {
  auto pSimulator = std::make_shared<CSimulatedReceiver>();
  auto options = Options("office.gpf");
  options.pSimulator = pSimulator;
  _simulatesummary summary;
  ASSERT_EQ(RunSimulate(options, m_out, m_err, &summary), 0) << m_out.str() << m_err.str();

  const auto contents = Read(options.strOutput);
  ASSERT_TRUE(contents.IsSound()) << DescribeSurveyError(options.strOutput, contents.errors[0]);
  const auto route = DefaultRoute(2000, 1400);
  ASSERT_EQ(contents.nSegmentCount, route.size() - 1);
  ASSERT_EQ(contents.segments.size(), route.size() - 1);
  EXPECT_EQ(contents.header.nCreated, START_TIME);

  // Every level the receiver sent during a walk is in the file, and none of those sent between.
  const auto levels = LevelsInFile(contents);
  EXPECT_EQ(levels, summary.nLevelsSent);
  EXPECT_EQ(levels, summary.nLevelsWritten);
  EXPECT_EQ(summary.nLevelsSent[0] + summary.nLevelsBetween[0], pSimulator->LevelsSent(1));
  EXPECT_EQ(summary.nLevelsSent[1] + summary.nLevelsBetween[1], pSimulator->LevelsSent(2));
  // 40 levels a second on each channel, sent 8 at a time: a three-second walk gets 112 to 120.
  for (size_t k = 0; k < 2; ++k) {
    EXPECT_GE(levels[k], 112U * 5) << k;
    EXPECT_LE(levels[k], 120U * 5) << k;
    EXPECT_GT(summary.nLevelsBetween[k], 0U) << "levels come while the points are chosen, too";
  }
  EXPECT_EQ(summary.nRecords, contents.RecordCount());

  CSiteProjection projection;
  projection.Load(options.strProjection);
  for (size_t i = 0; i < contents.segments.size(); ++i) {
    SCOPED_TRACE("segment " + std::to_string(i + 1));
    ASSERT_NO_FATAL_FAILURE(ExpectSegmentAsWalked(projection, contents.segments[i], route, i));
  }

  // The survey tools agree.
  std::ostringstream verified;
  EXPECT_EQ(VerifySurvey(options.strOutput, verified), SURVEY_EXIT_SOUND) << verified.str();
  EXPECT_TRUE(Contains(m_out.str(), "levels written: channel 1 " + std::to_string(levels[0]) + ", channel 2 " +
                                        std::to_string(levels[1])))
      << m_out.str();
}

TEST_F(SimulateCommandTest, LinearSurveyOfOneChannelAlongARouteFile) {
  auto options = Options("office.lpf");
  options.nChannels = 1;
  options.strRoute = WriteRoute("# along the corridor and into the east wing\n"
                                "100 700\n"
                                "\n"
                                "1900,700   # the east end\n"
                                "1900 1300\n");
  _simulatesummary summary;
  ASSERT_EQ(RunSimulate(options, m_out, m_err, &summary), 0) << m_out.str() << m_err.str();
  EXPECT_EQ(summary.nSegments, 2);

  const auto contents = Read(options.strOutput);
  ASSERT_TRUE(contents.IsSound());
  ASSERT_EQ(contents.segments.size(), 2U);
  EXPECT_EQ(contents.segments[0].header.nStartX, 100);
  EXPECT_EQ(contents.segments[1].header.nStopY, 1300);
  for (const auto &segment : contents.segments) {
    EXPECT_EQ(segment.header.nCoordsFlag, 0);
    EXPECT_EQ(segment.header.nRecordCount, segment.records.size());
    ASSERT_FALSE(segment.records.empty());
    for (const auto &record : segment.records) {
      EXPECT_EQ(record.nChannel, 1);
      EXPECT_EQ(record.nFrequency, 8500U);
    }
  }
  EXPECT_EQ(LevelsInFile(contents), summary.nLevelsSent);
  EXPECT_GT(summary.nLevelsSent[0], 0U);
  EXPECT_EQ(summary.nLevelsSent[1], 0U);
}

TEST_F(SimulateCommandTest, AppendContinuesTheSurveyAfterItsLastSegment) {
  auto options = Options("office.gpf");
  options.strRoute = WriteRoute("300 300\n600 300\n600 600\n");
  ASSERT_EQ(RunSimulate(options, m_out, m_err), 0) << m_err.str();
  const auto before = Read(options.strOutput);

  options.bAppend = true;
  options.strRoute = WriteRoute("600 600\n900 600\n");
  _simulatesummary summary;
  std::ostringstream out;
  ASSERT_EQ(RunSimulate(options, out, m_err, &summary), 0) << m_err.str();
  EXPECT_TRUE(Contains(out.str(), "continuing survey")) << out.str();
  EXPECT_TRUE(Contains(out.str(), "segment 3: 600,600 -> 900,600")) << out.str();

  const auto after = Read(options.strOutput);
  ASSERT_TRUE(after.IsSound());
  ASSERT_EQ(after.segments.size(), 3U);
  // The first two segments are untouched, byte for byte where they lie.
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(after.segments[i].nOffset, before.segments[i].nOffset);
    EXPECT_EQ(after.segments[i].records.size(), before.segments[i].records.size());
  }
  EXPECT_EQ(after.segments[2].nOffset, before.nLength);
  EXPECT_EQ(LevelsInFile(after, 2), summary.nLevelsSent);
}

// --pause silences a channel during one walk: its levels of the pause are missing from that
// segment only, the run still holds every level sent, and the segment's line says so.
TEST_F(SimulateCommandTest, APausedChannelMissesItsSecondsInThatSegmentOnly) {
  auto options = Options("office.gpf");
  options.strRoute = WriteRoute("300 300\n600 300\n600 600\n");
  options.pauses = {ParsePause("2,1,0.5,2")};
  _simulatesummary summary;
  ASSERT_EQ(RunSimulate(options, m_out, m_err, &summary), 0) << m_out.str() << m_err.str();
  EXPECT_TRUE(Contains(m_out.str(), "segment 1: 300,300 -> 600,300, 3 s, ")) << m_out.str();
  EXPECT_TRUE(Contains(m_out.str(), "channel 2 paused 2 s from 0.5 s\n")) << m_out.str();

  const auto contents = Read(options.strOutput);
  ASSERT_EQ(contents.segments.size(), 2U);
  const struct {
    size_t nSegment;
    int nChannel;
    double dLevels; // 40 a second
  } expected[] = {{0, 1, 120}, {0, 2, 40}, {1, 1, 120}, {1, 2, 120}};
  for (const auto &e : expected) {
    uint64_t nLevels = 0;
    for (const auto &record : contents.segments[e.nSegment].records) {
      nLevels += record.nChannel == e.nChannel ? record.levels.size() : 0;
    }
    EXPECT_NEAR(static_cast<double>(nLevels), e.dLevels, 8.0)
        << "segment " << e.nSegment + 1 << ", channel " << e.nChannel;
  }
  for (const char *pszBad : {"3,1,0,6", "2,0,0,6", "2,1,-1,6", "2,1,0,0", "2,1,0", "2,1,0,6,1"}) {
    EXPECT_THROW((void)ParsePause(pszBad), std::runtime_error) << pszBad;
  }
}

// An empty survey, or one cut off inside its file header, holds nothing a repair could keep: the
// refusal does not send the user to 'tvdtool survey repair'.
TEST_F(SimulateCommandTest, ASurveyWithNothingToKeepIsNotSentToRepair) {
  for (const size_t nLength : {size_t{0}, size_t{20}}) {
    SCOPED_TRACE(nLength);
    auto options = Options("office.gpf");
    options.bAppend = true;
    fs::remove(options.strOutput);
    ASSERT_EQ(RunSimulate(options, m_out, m_err), 0) << m_err.str();
    fs::resize_file(options.strOutput, nLength);
    std::ostringstream err;
    EXPECT_EQ(RunSimulate(options, m_out, err), 1);
    EXPECT_FALSE(Contains(err.str(), "survey repair")) << err.str();
    EXPECT_TRUE(Contains(err.str(), "there is nothing to repair: make a new survey in its place.")) << err.str();
  }
}

TEST_F(SimulateCommandTest, BadInputIsRefusedWithAClearMessage) {
  struct _case {
    std::string strName;
    std::function<void(_simulateoptions &)> change;
    std::string strExpected;
  };
  const std::vector<_case> cases = {
      {"route outside the plan", [&](auto &o) { o.strRoute = WriteRoute("10 10\n# fine so far\n2000 10\n"); },
       "route.txt\", line 3: the point 2000,10 lies outside the plan, which is 2000 x 1400 pixels"},
      {"missing route", [&](auto &o) { o.strRoute = Path("nowhere.txt"); },
       "nowhere.txt\" failed: No such file or directory"},
      {"projection that is not one",
       [&](auto &o) {
         std::ofstream(Path("plan.gpf")) << "not a projection";
         o.strProjection = Path("plan.gpf");
       },
       "plan.gpf"},
      {"survey in a folder that does not exist", [&](auto &o) { o.strOutput = Path("no/such/folder/s.tvd"); },
       "no/such/folder/s.tvd"},
      {"no time to walk", [](auto &o) { o.dSecondsPerSegment = 0; }, "--seconds-per-segment"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.strName);
    auto options = Options("office.gpf");
    c.change(options);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunSimulate(options, out, err), 1);
    EXPECT_TRUE(Contains(err.str(), c.strExpected)) << err.str();
    EXPECT_FALSE(fs::exists(Path("survey.tvd"))) << "nothing is written before the input is known to be good";
  }
}

TEST_F(SimulateCommandTest, FullDiskDuringAWalkEndsTheRunNamingTheFile) {
  auto options = Options("office.gpf");
  options.strRoute = WriteRoute("300 300\n600 300\n");
  // Loading the projection writes its two side files; then the new survey, the count and the
  // BEGIN header fit, and the first record does not.
  {
    CSiteProjection projection;
    projection.Load(options.strProjection);
  }
  const auto nSideFiles = fs::file_size(options.strProjection + "c") + fs::file_size(options.strProjection + "b");
  CFileFaults::FailWritesAfter(static_cast<int64_t>(nSideFiles) + 33 + 4 + 53 + 20);
  EXPECT_EQ(RunSimulate(options, m_out, m_err), 1);
  EXPECT_TRUE(Contains(m_err.str(), options.strOutput)) << m_err.str();
  EXPECT_TRUE(Contains(m_err.str(), "appending a record")) << m_err.str();
  CFileFaults::Reset();
  // What reached the disk reads back: the file ends after the segment header.
  const auto contents = Read(options.strOutput);
  EXPECT_EQ(contents.nLength, 33U + 53U);
  EXPECT_EQ(contents.segments.size(), 1U);
}

TEST(SimulateRoute, ParsesPointsCommentsAndSeparators) {
  std::istringstream in("# a route\n  1 2\n\n3,4 # comment\n\t5\t6\r\n+7 8\n");
  const auto route = ParseRoute(in, "r", 10, 10);
  ASSERT_EQ(route.size(), 4U);
  EXPECT_EQ(route[0].x, 1);
  EXPECT_EQ(route[1].y, 4);
  EXPECT_EQ(route[2].x, 5);
  EXPECT_EQ(route[3].x, 7);
}

TEST(SimulateRoute, RefusesWhatIsNotARouteNamingTheLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"1 2\n3 x\n", "r, line 2: \"x\" is not a whole number"},
      {"1 2\n3 4 5\n", "r, line 2: a point is two numbers"},
      {"1 2\n-1 4\n", "r, line 2: the point -1,4 lies outside the plan"},
      {"1 2\n3 10\n", "r, line 2: the point 3,10 lies outside the plan"},
      {"1.5 2\n", "r, line 1: \"1.5\" is not a whole number"},
      {"# only one\n1 2\n", "r holds 1 point, but a route needs at least two"},
      {"", "r holds 0 points"},
  };
  for (const auto &[text, expected] : cases) {
    std::istringstream in(text);
    try {
      ParseRoute(in, "r", 10, 10);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const std::runtime_error &e) {
      EXPECT_TRUE(Contains(e.what(), expected)) << e.what();
    }
  }
  // 501 points make 500 segments, the most a survey holds; one more is refused.
  std::string many;
  for (int i = 0; i < 501; ++i) {
    many += "1 1\n";
  }
  std::istringstream in500(many);
  EXPECT_EQ(ParseRoute(in500, "r", 10, 10).size(), 501U);
  std::istringstream in501(many + "2 2\n");
  EXPECT_THROW(ParseRoute(in501, "r", 10, 10), std::runtime_error);
}

TEST(SimulateRoute, DefaultRouteStaysOnThePlan) {
  for (const auto &[nWidth, nHeight] : std::vector<std::pair<int32_t, int32_t>>{{2000, 1400}, {1, 1}, {640, 480}}) {
    const auto route = DefaultRoute(nWidth, nHeight);
    ASSERT_GE(route.size(), 2U);
    for (const auto &pt : route) {
      EXPECT_TRUE(pt.x >= 0 && pt.x < nWidth && pt.y >= 0 && pt.y < nHeight) << pt.x << "," << pt.y;
    }
  }
}

} // namespace
