#include "tools/tvdtool/ExportCommand.h"
#include "tools/tvdtool/SurveyCommand.h"

#include "platform/FileFaults.h"
#include "platform/LittleEndian.h"
#include "projection/ProjectionHeader.h"
#include "projection/SiteProjection.h"
#include "survey/SegmentWalk.h"
#include "survey/SiteData.h"
#include "tools/tvdtool/Commands.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace {

// The bytes of the file at path, as a program killed now would leave them.
std::string FileAsLeft(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace fs = std::filesystem;

const std::string SITE = std::string(TARVEX_BINARY_DIR) + "/resources/sample-site/";

// The sample site's calibration: the outer corners of the office at these coordinates.
constexpr double NORTH = 48.1376000;
constexpr double SOUTH = 48.1372550;
constexpr double WEST = 11.5752000;
constexpr double EAST = 11.5759592;
constexpr double PIXELS_PER_METRE = 33.3333;

class CWalkClock : public CSurveyClock {
public:
  int64_t Now() const override { return 1717232703; }
  bool ToLocalTime(int64_t, _localtime &local) const override {
    local = m_local;
    return true;
  }
  _localtime m_local{2024, 6, 1, 9, 5, 3};
};

std::vector<std::string> Split(const std::string &text, char cSeparator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, cSeparator)) {
    parts.push_back(part);
  }
  if (!text.empty() && text.back() == cSeparator) {
    parts.emplace_back();
  }
  return parts;
}

class ExportCommand : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("tarvex-export-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    CFileFaults::Reset();
    fs::remove_all(m_dir);
  }
  std::string Path(const std::string &name) const { return (m_dir / name).string(); }
  static std::string Read(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // Walked on the office floor: segment 1 along the north wall from the west corner to the east
  // corner in 120 s, both channels; segment 2 down the west wall, left without STOP when the
  // program ended; segment 3 announced when the survey was opened again. The coordinates stored
  // in the headers are wrong on purpose: they come from another projection than the office's.
  std::string MakeSurvey() {
    const std::string path = Path("office.tvd");
    CSitePlan plan;
    CSiteProjection elsewhere;
    elsewhere.m_nKind = PROJECTION_GEO;
    SetProjectionTransform(elsewhere, {1, 0, 0, 1, 0, 0});
    {
      CSiteData data(path, CSiteData::modeCreateNew, plan, m_clock);
      const uint32_t frequencies[] = {8500, 9000};
      data.SetChannels(frequencies, 2);
      CSegmentWalk walk(data, plan, elsewhere);
      Announce(walk, {60, 60}, {1940, 60});
      EXPECT_TRUE(walk.Begin());
      const uint8_t levels[] = {0xF6, 0, 0xEC, 0, 0x05, 0, 0, 0}; // -10, -20 and 5
      data.AddLevels(1, levels, 4);
      data.AddLevels(2, levels + 4, 2);
      m_clock.m_local.nMinute += 2;
      EXPECT_TRUE(walk.Stop());

      Announce(walk, {60, 60}, {60, 1340});
      m_clock.m_local.nMinute += 1;
      EXPECT_TRUE(walk.Begin());
      const uint8_t more[] = {0xE2, 0, 0, 0}; // -30
      data.AddLevels(1, more, 2);
    }
    // Segment 3 announced by a collector killed before BEGIN: counted, and not in the file.
    std::string strKilled;
    {
      CSiteData data(path, CSiteData::modeOpenExisting, plan, m_clock);
      CSegmentWalk walk(data, plan, elsewhere);
      EXPECT_TRUE(walk.NewSegment());
      EXPECT_EQ(walk.GetSegment(), 3);
      strKilled = FileAsLeft(path); // closing would take it out of the count
    }
    std::ofstream(path, std::ios::binary | std::ios::trunc) << strKilled;
    return path;
  }
  static void Announce(CSegmentWalk &walk, _pixelpoint start, _pixelpoint stop) {
    EXPECT_TRUE(walk.NewSegment());
    EXPECT_TRUE(walk.SetStartPoint(start));
    EXPECT_TRUE(walk.SetStopPoint(stop));
  }

  struct _result {
    int nCode = -1;
    std::string out;
    std::string err;
  };
  _result Export(const std::string &survey, const std::string &projection, ExportFormat format = ExportFormat::csv,
                 const std::string &output = "") {
    std::ostringstream out;
    std::ostringstream err;
    _result result;
    result.nCode = ExportSurvey({survey, projection, format, output}, out, err);
    result.out = out.str();
    result.err = err.str();
    return result;
  }
  // The CSV rows after the header row, each cut into its fields.
  static std::vector<std::vector<std::string>> Rows(const std::string &csv) {
    std::vector<std::vector<std::string>> rows;
    const auto lines = Split(csv, '\n');
    for (size_t i = 1; i < lines.size(); ++i) {
      if (!lines[i].empty()) {
        rows.push_back(Split(lines[i], ','));
      }
    }
    return rows;
  }

  fs::path m_dir;
  CWalkClock m_clock;
};

TEST_F(ExportCommand, CsvPlacesEachLevelOnTheGeoCodedPlan) {
  const auto result = Export(MakeSurvey(), SITE + "office.gpf");
  EXPECT_EQ(result.nCode, SURVEY_EXIT_SOUND) << result.err;
  EXPECT_EQ(Split(result.out, '\n').at(0),
            "segment,channel,index,count,plan_x,plan_y,latitude,longitude,time,frequency_mhz,level,time_note");
  const auto rows = Rows(result.out);
  ASSERT_EQ(rows.size(), 4U) << result.out;
  for (const auto &row : rows) {
    ASSERT_EQ(row.size(), 12U);
  }
  // Channel 1's two levels at 1/4 and 3/4 of the north wall and of the 120 s; channel 2's one
  // level half way. The coordinates follow from the projection, not from the header.
  const double fractions[] = {0.25, 0.75, 0.5};
  const char *times[] = {"2024-06-01T09:05:33.000", "2024-06-01T09:06:33.000", "2024-06-01T09:06:03.000"};
  const char *expected[][4] = {{"1", "0", "2", "-10"}, {"1", "1", "2", "-20"}, {"2", "0", "1", "5"}};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const auto &row = rows[i];
    EXPECT_EQ(row[0], "1");
    EXPECT_EQ(row[1], expected[i][0]);
    EXPECT_EQ(row[2], expected[i][1]);
    EXPECT_EQ(row[3], expected[i][2]);
    EXPECT_NEAR(std::stod(row[4]), 60 + fractions[i] * 1880, 1e-3);
    EXPECT_EQ(row[5], "60.000");
    EXPECT_NEAR(std::stod(row[6]), NORTH, 1e-8);
    EXPECT_NEAR(std::stod(row[7]), WEST + fractions[i] * (EAST - WEST), 1e-8);
    EXPECT_EQ(row[8], times[i]);
    EXPECT_EQ(row[9], i < 2 ? "425.0000" : "450.0000");
    EXPECT_EQ(row[10], expected[i][3]);
    EXPECT_EQ(row[11], "");
  }
  // Segment 2 was never stopped: placed half way down the west wall, with no time.
  EXPECT_EQ(rows[3][0], "2");
  EXPECT_EQ(rows[3][5], "700.000");
  EXPECT_NEAR(std::stod(rows[3][6]), (NORTH + SOUTH) / 2, 1e-8);
  EXPECT_NEAR(std::stod(rows[3][7]), WEST, 1e-8);
  EXPECT_EQ(rows[3][8], "");
  EXPECT_NE(rows[3][11].find("STOP was never stamped"), std::string::npos) << rows[3][11];
  EXPECT_NE(result.err.find("note: segment 2: no stop time"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("note: \"" + Path("office.tvd") + "\", offset"), std::string::npos) << result.err;
}

TEST_F(ExportCommand, CsvGivesLinearXAndY) {
  const auto result = Export(MakeSurvey(), SITE + "office.lpf");
  EXPECT_EQ(result.nCode, SURVEY_EXIT_SOUND) << result.err;
  EXPECT_EQ(Split(result.out, '\n').at(0),
            "segment,channel,index,count,plan_x,plan_y,linear_x,linear_y,time,frequency_mhz,level,time_note");
  const auto rows = Rows(result.out);
  ASSERT_EQ(rows.size(), 4U);
  EXPECT_NEAR(std::stod(rows[1][6]), 0.75 * 1880 / PIXELS_PER_METRE, 1e-4);
  EXPECT_NEAR(std::stod(rows[1][7]), 0, 1e-9);
  EXPECT_NEAR(std::stod(rows[3][6]), 0, 1e-9);
  EXPECT_NEAR(std::stod(rows[3][7]), 640 / PIXELS_PER_METRE, 1e-4);

  // Units so small that the numbers take hundreds of digits are written whole.
  std::string huge = Read(SITE + "office.lpf").substr(0, 141);
  const double dScale = 1e300;
  WriteDoubleLE(reinterpret_cast<uint8_t *>(huge.data()) + 13, dScale); // a: Y per pixel
  WriteDoubleLE(reinterpret_cast<uint8_t *>(huge.data()) + 53, dScale); // d: X per pixel
  std::ofstream(Path("huge.lpf"), std::ios::binary) << huge;
  const auto far = Rows(Export(Path("office.tvd"), Path("huge.lpf")).out);
  ASSERT_EQ(far.size(), 4U);
  EXPECT_DOUBLE_EQ(std::stod(far[1][6]), 0.75 * 1880 * dScale);
  EXPECT_DOUBLE_EQ(std::stod(far[3][7]), 640 * dScale);
}

TEST_F(ExportCommand, GeoJsonPointsAreLongitudeThenLatitude) {
  const auto survey = MakeSurvey();
  const auto result = Export(survey, SITE + "office.gpf", ExportFormat::geojson);
  EXPECT_EQ(result.nCode, SURVEY_EXIT_SOUND) << result.err;
  const auto json = nlohmann::json::parse(result.out);
  EXPECT_EQ(json["type"], "FeatureCollection");
  ASSERT_EQ(json["features"].size(), 4U);
  const auto &first = json["features"][0];
  EXPECT_EQ(first["type"], "Feature");
  EXPECT_EQ(first["geometry"]["type"], "Point");
  EXPECT_NEAR(first["geometry"]["coordinates"][0].get<double>(), WEST + 0.25 * (EAST - WEST), 1e-8);
  EXPECT_NEAR(first["geometry"]["coordinates"][1].get<double>(), NORTH, 1e-8);
  const auto &p = first["properties"];
  EXPECT_EQ(p["segment"], 1);
  EXPECT_EQ(p["channel"], 1);
  EXPECT_EQ(p["index"], 0);
  EXPECT_EQ(p["count"], 2);
  EXPECT_DOUBLE_EQ(p["plan_x"].get<double>(), 530);
  EXPECT_EQ(p["time"], "2024-06-01T09:05:33.000");
  EXPECT_TRUE(p["time_note"].is_null());
  EXPECT_EQ(p["frequency_mhz"], 425.0);
  EXPECT_EQ(p["level"], -10);
  const auto &unstopped = json["features"][3]["properties"];
  EXPECT_TRUE(unstopped["time"].is_null());
  EXPECT_NE(unstopped["time_note"].get<std::string>().find("never stamped"), std::string::npos);

  // GeoJSON positions are longitude and latitude, which a linear plan does not have.
  const auto linear = Export(survey, SITE + "office.lpf", ExportFormat::geojson, Path("linear.geojson"));
  EXPECT_EQ(linear.nCode, SURVEY_EXIT_FAILED);
  EXPECT_EQ(linear.out, "");
  EXPECT_NE(linear.err.find("is a linear projection"), std::string::npos) << linear.err;
  EXPECT_FALSE(fs::exists(Path("linear.geojson")));
}

TEST_F(ExportCommand, DamagedSurveysExportWhatCanBeRead) {
  const auto survey = MakeSurvey();
  fs::resize_file(survey, fs::file_size(survey) - 3); // into segment 2's record
  const auto cut = Export(survey, SITE + "office.gpf");
  EXPECT_EQ(cut.nCode, SURVEY_EXIT_UNSOUND);
  EXPECT_EQ(Rows(cut.out).size(), 3U);
  EXPECT_NE(cut.err.find("error: \"" + survey + "\", offset 165: the file ends inside record 1 of segment 2"),
            std::string::npos)
      << cut.err;

  // A geo-coded transform that cannot be inverted places nothing.
  std::string singular = Read(SITE + "office.gpf").substr(0, 141);
  singular.replace(13, 128, std::string(128, '\0'));
  std::ofstream(Path("flat.gpf"), std::ios::binary) << singular;
  const auto flat = Export(survey, Path("flat.gpf"));
  EXPECT_EQ(flat.nCode, SURVEY_EXIT_FAILED);
  EXPECT_NE(flat.err.find("cannot be inverted"), std::string::npos) << flat.err;
  EXPECT_EQ(flat.out, "");

  std::ofstream(Path("photo.jpg"), std::ios::binary) << std::string(40, '\xFF');
  const auto other = Export(Path("photo.jpg"), SITE + "office.gpf");
  EXPECT_EQ(other.nCode, SURVEY_EXIT_FAILED);
  EXPECT_EQ(other.out, "");
  EXPECT_NE(other.err.find("not a survey data file"), std::string::npos) << other.err;
  EXPECT_THROW(Export(Path("absent.tvd"), SITE + "office.gpf"), CFileException);
  EXPECT_THROW(Export(survey, Path("absent.gpf")), CFileException);
}

TEST_F(ExportCommand, OutputFileIsTheOnlyFileWritten) {
  const auto survey = MakeSurvey();
  fs::copy_file(SITE + "office.gpf", Path("office.gpf"));
  const std::string before = Read(survey);
  const auto listing = [this] {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(m_dir)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  };

  const auto toStdout = Export(survey, Path("office.gpf"), ExportFormat::geojson);
  const auto toFile = Export(survey, Path("office.gpf"), ExportFormat::geojson, Path("levels.geojson"));
  EXPECT_EQ(toFile.nCode, SURVEY_EXIT_SOUND);
  EXPECT_EQ(Read(Path("levels.geojson")), toStdout.out);
  EXPECT_EQ(toFile.out, "wrote \"" + Path("levels.geojson") + "\": 4 levels of 2 segments.\n");
  EXPECT_EQ(listing(), std::vector<std::string>({"levels.geojson", "office.gpf", "office.tvd"}));

  // An input is never the output.
  for (const auto &target : {survey, Path("office.gpf"), (m_dir / "." / "office.tvd").string()}) {
    const auto refused = Export(survey, Path("office.gpf"), ExportFormat::csv, target);
    EXPECT_EQ(refused.nCode, SURVEY_EXIT_FAILED) << target;
    EXPECT_NE(refused.err.find("one of its inputs"), std::string::npos);
  }
  EXPECT_EQ(Read(survey), before);

  // A disk that fills up leaves no half-written export behind.
  CFileFaults::FailWritesAfter(100);
  EXPECT_THROW(Export(survey, Path("office.gpf"), ExportFormat::csv, Path("full.csv")), CFileException);
  CFileFaults::Reset();
  EXPECT_FALSE(fs::exists(Path("full.csv")));
  EXPECT_EQ(Read(survey), before);
  // So does a standard output that takes nothing more.
  std::ostringstream broken;
  broken.setstate(std::ios::badbit);
  std::ostringstream err;
  EXPECT_THROW(ExportSurvey({survey, Path("office.gpf"), ExportFormat::csv, ""}, broken, err), std::runtime_error);
}

// A file that is empty or ends inside the file header and segment count holds nothing to
// export: exit 2, and nothing is written, neither a header row nor an output file.
TEST_F(ExportCommand, FilesWithoutAHeaderExportNothing) {
  const auto survey = MakeSurvey();
  const std::string whole = Read(survey);
  for (const size_t nLength : {size_t{0}, size_t{10}, size_t{25}, size_t{32}}) {
    SCOPED_TRACE(nLength);
    std::ofstream(Path("cut.tvd"), std::ios::binary) << whole.substr(0, nLength);
    const auto toStdout = Export(Path("cut.tvd"), SITE + "office.gpf");
    EXPECT_EQ(toStdout.nCode, SURVEY_EXIT_FAILED);
    EXPECT_EQ(toStdout.out, "");
    EXPECT_NE(toStdout.err.find("tvdtool: nothing exported: \"" + Path("cut.tvd") + "\", offset"), std::string::npos)
        << toStdout.err;
    std::ofstream(Path("old.csv")) << "kept";
    const auto toFile = Export(Path("cut.tvd"), SITE + "office.gpf", ExportFormat::csv, Path("old.csv"));
    EXPECT_EQ(toFile.nCode, SURVEY_EXIT_FAILED);
    EXPECT_EQ(Read(Path("old.csv")), "kept");
    EXPECT_EQ(Export(Path("cut.tvd"), SITE + "office.gpf", ExportFormat::csv, Path("new.csv")).nCode,
              SURVEY_EXIT_FAILED);
    EXPECT_FALSE(fs::exists(Path("new.csv")));
  }
  // With its header and count whole, a survey of no segment exports its header row.
  std::ofstream(Path("cut.tvd"), std::ios::binary) << whole.substr(0, 33);
  const auto headerOnly = Export(Path("cut.tvd"), SITE + "office.gpf");
  EXPECT_EQ(headerOnly.nCode, SURVEY_EXIT_SOUND) << headerOnly.err;
  EXPECT_EQ(headerOnly.out.rfind("segment,channel,", 0), 0U) << headerOnly.out;
}

// An export that fails part way leaves the file that was there before as it was.
TEST_F(ExportCommand, FullDiskKeepsTheEarlierExport) {
  const auto survey = MakeSurvey();
  std::ofstream(Path("levels.csv")) << "the export of yesterday";
  CFileFaults::FailWritesAfter(100);
  EXPECT_THROW(Export(survey, SITE + "office.gpf", ExportFormat::csv, Path("levels.csv")), CFileException);
  CFileFaults::Reset();
  EXPECT_EQ(Read(Path("levels.csv")), "the export of yesterday");
  EXPECT_FALSE(fs::exists(Path("levels.csv.partial")));
  EXPECT_EQ(Export(survey, SITE + "office.gpf", ExportFormat::csv, Path("levels.csv")).nCode, SURVEY_EXIT_SOUND);
  EXPECT_EQ(Read(Path("levels.csv")), Export(survey, SITE + "office.gpf").out);
}

TEST_F(ExportCommand, CommandLineDefaultsToCsvAndReportsByItsExitCode) {
  const auto survey = MakeSurvey();
  const auto run = [](const std::vector<std::string> &arguments, std::string &printed) {
    CLI::App app;
    RegisterSurveyCommands(app);
    std::ostringstream captured;
    auto *pOld = std::cout.rdbuf(captured.rdbuf());
    int nCode = 0;
    try {
      app.parse(std::vector<std::string>(arguments.rbegin(), arguments.rend())); // CLI11 takes them reversed
    } catch (const CLI::Error &e) {
      nCode = e.get_exit_code();
    }
    std::cout.rdbuf(pOld);
    printed = captured.str();
    return nCode;
  };
  std::string printed;
  EXPECT_EQ(run({"survey", "export", survey, "--projection", SITE + "office.gpf"}, printed), 0);
  EXPECT_EQ(printed, Export(survey, SITE + "office.gpf").out);
  EXPECT_EQ(run({"survey", "export", survey, "--projection", SITE + "office.lpf", "--format", "geojson"}, printed),
            SURVEY_EXIT_FAILED);
  EXPECT_EQ(printed, "");
  EXPECT_NE(run({"survey", "export", survey, "--projection", SITE + "office.gpf", "--format", "kml"}, printed), 0);
  EXPECT_NE(run({"survey", "export", survey}, printed), 0);
}

} // namespace
