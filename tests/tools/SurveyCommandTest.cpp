#include "tools/tvdtool/SurveyCommand.h"
#include "tools/tvdtool/Commands.h"

#include "projection/ProjectionHeader.h"
#include "projection/SiteProjection.h"
#include "survey/SegmentWalk.h"
#include "survey/SiteData.h"
#include "tests/survey/SurveyBuilder.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
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

class CFixedClock : public CSurveyClock {
public:
  int64_t Now() const override { return 1717236000; }
  bool ToLocalTime(int64_t, _localtime &local) const override {
    local = m_local;
    return true;
  }
  _localtime m_local{2024, 6, 1, 9, 5, 3};
};

class SurveyCommand : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("tarvex-tvdtool-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }
  std::string Path(const std::string &name) const { return (m_dir / name).string(); }

  static std::vector<uint8_t> Bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static uint16_t U16(const std::vector<uint8_t> &bytes, size_t nOffset) {
    return ReadUInt16LE(bytes.data() + nOffset);
  }
  static void WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  // Two walked segments (the first geo-coded, with both channels) and a third only announced, as
  // a collector killed before BEGIN leaves them: the third is counted and not in the file.
  std::string MakeSurvey(const std::string &name = "site.tvd") {
    const std::string path = Path(name);
    const std::string strKilled = MakeWalkedSurvey(path);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << strKilled;
    return path;
  }
  std::string MakeWalkedSurvey(const std::string &path) {
    auto plan = std::make_unique<CSitePlan>();
    CSiteData data(path, CSiteData::modeCreateNew, *plan, m_clock);
    const uint32_t frequencies[] = {8500, 9000};
    data.SetChannels(frequencies, 2);
    // Segment 1 under a geo-coded projection of 80 pixels per degree: pixel (10, 20) lies at
    // latitude 46.5, longitude 7.25; segment 2 under a linear one.
    CSiteProjection projection;
    projection.m_nKind = PROJECTION_GEO;
    SetProjectionTransform(projection, {80, 0, 0, 80, -3710, -560});
    CSegmentWalk walk(data, *plan, projection);
    for (int n = 1; n <= 2; ++n) {
      if (n == 2) {
        projection.m_nKind = PROJECTION_LINEAR;
      }
      EXPECT_TRUE(walk.NewSegment());
      EXPECT_TRUE(walk.SetStartPoint({10 * n, 20 * n}));
      EXPECT_TRUE(walk.SetStopPoint({30 * n, 40 * n}));
      m_clock.m_local.nMinute = static_cast<int>(5 * n);
      EXPECT_TRUE(walk.Begin());
      const uint8_t levels[] = {0xF6, 0, 0xEC, 0, 0x05, 0, 0, 0};
      data.AddLevels(1, levels, 4);
      if (n == 1) {
        data.AddLevels(2, levels + 4, 2);
      }
      m_clock.m_local.nMinute += 2;
      EXPECT_TRUE(walk.Stop());
    }
    EXPECT_TRUE(walk.NewSegment());
    return FileAsLeft(path); // closing would take segment 3 out of the count
  }

  fs::path m_dir;
  CFixedClock m_clock;
};

TEST_F(SurveyCommand, JsonDumpShowsEverythingUnderItsKeys) {
  const auto path = MakeSurvey();
  std::ostringstream out;
  DumpSurvey(path, out, true);
  const auto dump = nlohmann::json::parse(out.str());

  EXPECT_EQ(dump["header"], nlohmann::json({{"length", 25},
                                            {"magic", " DVT"},
                                            {"version_major", 1},
                                            {"version_minor", 0},
                                            {"flag", 0},
                                            {"created", 1717236000},
                                            {"trailer", 25}}));
  EXPECT_EQ(dump["segment_header_length"], 53);
  EXPECT_EQ(dump["segment_count"], 3);
  ASSERT_EQ(dump["segments"].size(), 2U);
  const auto &first = dump["segments"][0];
  std::vector<std::string> keys;
  for (const auto &item : first.items()) {
    keys.push_back(item.key());
  }
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, std::vector<std::string>({"coords_flag", "day", "month", "offset", "record_count", "records", "start",
                                            "start_lat", "start_lon", "start_time", "stop", "stop_lat", "stop_lon",
                                            "stop_time", "year"}));
  EXPECT_EQ(first["offset"], 33);
  EXPECT_EQ(first["coords_flag"], 1);
  EXPECT_EQ(first["year"], 2024);
  EXPECT_EQ(first["month"], 6);
  EXPECT_EQ(first["start_time"], "09:05:03");
  EXPECT_EQ(first["stop_time"], "09:07:03");
  EXPECT_EQ(first["start"], nlohmann::json({10, 20}));
  EXPECT_EQ(first["stop"], nlohmann::json({30, 40}));
  EXPECT_EQ(first["start_lon"], 7.25);
  EXPECT_EQ(first["stop_lat"], 46.75);
  EXPECT_EQ(first["record_count"], 2);
  EXPECT_EQ(
      first["records"][0],
      nlohmann::json({{"frequency_code", 8500}, {"frequency_mhz", 425.0}, {"channel", 1}, {"levels", {-10, -20}}}));
  EXPECT_EQ(first["records"][1]["channel"], 2);
  EXPECT_EQ(first["records"][1]["levels"], nlohmann::json({5}));
  EXPECT_EQ(dump["segments"][1]["coords_flag"], 0);
  ASSERT_EQ(dump["errors"].size(), 1U);
  EXPECT_NE(dump["errors"][0].get<std::string>().find("segment 3 is counted but never written"), std::string::npos);
}

TEST_F(SurveyCommand, DumpOfADamagedFileShowsWhatCouldBeRead) {
  const auto path = MakeSurvey();
  auto bytes = Bytes(path);
  bytes.resize(bytes.size() - 3);
  WriteBytes(path, bytes);
  std::ostringstream json;
  DumpSurvey(path, json, true);
  const auto dump = nlohmann::json::parse(json.str());
  ASSERT_EQ(dump["segments"].size(), 2U);
  EXPECT_EQ(dump["segments"][0]["records"].size(), 2U);
  EXPECT_EQ(dump["segments"][1]["records"].size(), 0U);
  ASSERT_EQ(dump["errors"].size(), 1U);
  EXPECT_NE(dump["errors"][0].get<std::string>().find("offset 165: the file ends inside record 1 of segment 2"),
            std::string::npos)
      << dump["errors"][0];

  std::ostringstream text;
  DumpSurvey(path, text, false);
  EXPECT_NE(text.str().find("segment 1  offset 33, 2024-06-01 09:05:03 to 09:07:03, start (10, 20), stop (30, 40)"),
            std::string::npos)
      << text.str();
  EXPECT_NE(text.str().find("channel 1, code 8500 (425.0000 MHz), 2 levels: -10 -20"), std::string::npos);
  EXPECT_NE(text.str().find("error      offset 165"), std::string::npos);
}

TEST_F(SurveyCommand, VerifyPassesASoundFileAndExplainsAnUnsoundOne) {
  const auto path = MakeSurvey();
  std::ostringstream out;
  EXPECT_EQ(VerifySurvey(path, out), SURVEY_EXIT_UNSOUND);
  EXPECT_NE(out.str().find("segment 3 is counted but never written"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find(path +
                           ": continuable: segment 3 was announced, but its walk never began: nothing of "
                           "it is in the file.\n'tvdtool survey continue " +
                           path + "' continues it in place"),
            std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("segment count (offset 29): 3 -> 2"), std::string::npos) << out.str();

  const auto repaired = Path("repaired.tvd");
  std::ostringstream report;
  ASSERT_EQ(RepairSurveyFile(path, repaired, report, report), SURVEY_EXIT_SOUND) << report.str();
  EXPECT_NE(report.str().find("2 segments, 3 records, 5 levels"), std::string::npos) << report.str();
  std::ostringstream again;
  EXPECT_EQ(VerifySurvey(repaired, again), SURVEY_EXIT_SOUND) << again.str();
  EXPECT_EQ(again.str(), repaired + ": sound: 2 segments, 3 records, 5 levels.\n");
}

TEST_F(SurveyCommand, RepairNeverWritesItsInput) {
  const auto path = MakeSurvey();
  auto bytes = Bytes(path);
  WriteUInt16LE(bytes.data() + 33 + 50, 9); // a provisional count
  WriteBytes(path, bytes);
  // The input under any spelling: itself, through "." and "..", a link, a second hard link. The
  // refusals go to the standard error, and nothing to the standard output.
  fs::create_directory(Path("sub"));
  fs::create_symlink(path, Path("link.tvd"));
  fs::create_hard_link(path, Path("hard.tvd"));
  for (const auto &same : {path, (m_dir / "." / "site.tvd").string(), (m_dir / "sub" / ".." / "site.tvd").string(),
                           Path("link.tvd"), Path("hard.tvd")}) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RepairSurveyFile(path, same, out, err), SURVEY_EXIT_FAILED) << same;
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("must go to another file"), std::string::npos) << err.str();
  }
  EXPECT_EQ(Bytes(path), bytes);

  std::ostringstream report;
  ASSERT_EQ(RepairSurveyFile(path, Path("fixed.tvd"), report, report), SURVEY_EXIT_SOUND);
  EXPECT_EQ(Bytes(path), bytes);
  EXPECT_NE(report.str().find("segment 1 (offset 33): record count 9 -> 2"), std::string::npos) << report.str();
  auto fixed = Bytes(Path("fixed.tvd"));
  EXPECT_EQ(U16(fixed, 33 + 50), 2);

  WriteBytes(Path("photo.jpg"), {0xFF, 0xD8, 0xFF, 0xE0});
  std::ostringstream printed;
  std::ostringstream refused;
  EXPECT_EQ(RepairSurveyFile(Path("photo.jpg"), Path("out.tvd"), printed, refused), SURVEY_EXIT_FAILED);
  EXPECT_FALSE(fs::exists(Path("out.tvd")));
  EXPECT_NE(refused.str().find("cannot be repaired"), std::string::npos) << refused.str();
  EXPECT_EQ(printed.str(), "");
}

TEST_F(SurveyCommand, ContinueRepairsAnInterruptedWalkInPlaceAndNothingElse) {
  const auto path = MakeSurvey();
  auto bytes = Bytes(path);
  const size_t nSecond = 33 + 53 + 14 + 12; // segment 2's header, after two records of 2 and 1 levels
  ASSERT_EQ(U16(bytes, nSecond + 50), 1);
  WriteUInt16LE(bytes.data() + nSecond + 50, 0);          // its STOP never reached the file
  bytes.insert(bytes.end(), {0x34, 0x21, 0, 0, 1, 0, 7}); // and a record was cut short
  WriteBytes(path, bytes);
  std::ostringstream verify;
  EXPECT_EQ(VerifySurvey(path, verify), SURVEY_EXIT_UNSOUND);
  EXPECT_NE(verify.str().find(path + ": continuable: segment 2 was interrupted during its walk: 1 record of it is in "
                                     "the file.\n"),
            std::string::npos)
      << verify.str();

  std::ostringstream out;
  ASSERT_EQ(ContinueSurveyFile(path, out, out), SURVEY_EXIT_SOUND) << out.str();
  EXPECT_NE(out.str().find("kept the file as it was in \"" + path + ".bak\""), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("continued \"" + path + "\": the next segment is 3."), std::string::npos) << out.str();
  EXPECT_EQ(Bytes(path + ".bak"), bytes);
  std::ostringstream sound;
  EXPECT_EQ(VerifySurvey(path, sound), SURVEY_EXIT_SOUND) << sound.str();
  std::ostringstream again;
  EXPECT_EQ(ContinueSurveyFile(path, again, again), SURVEY_EXIT_SOUND);
  EXPECT_NE(again.str().find("is sound: nothing to continue"), std::string::npos) << again.str();

  // Damage before the last segment is for repair, and nothing is written.
  auto damaged = Bytes(path);
  WriteUInt16LE(damaged.data() + 33 + 50, 9);
  WriteBytes(path, damaged);
  std::ostringstream printed;
  std::ostringstream refused;
  EXPECT_EQ(ContinueSurveyFile(path, printed, refused), SURVEY_EXIT_FAILED);
  EXPECT_EQ(printed.str(), "");
  EXPECT_NE(refused.str().find("cannot be continued"), std::string::npos) << refused.str();
  EXPECT_NE(refused.str().find("tvdtool survey repair " + path + " -o OUT"), std::string::npos) << refused.str();
  EXPECT_EQ(Bytes(path), damaged);
  EXPECT_FALSE(fs::exists(path + ".2.bak"));
}

// A survey given through a pipe has no length to read it by: it is named as no regular file
// instead of "Illegal seek" or an empty survey.
TEST_F(SurveyCommand, SurveysThroughAPipeAreNamedAsNoRegularFile) {
  const auto bytes = Bytes(MakeSurvey());
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_EQ(::write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ::close(fds[1]);
  const std::string pipe = "/dev/fd/" + std::to_string(fds[0]);
  std::ostringstream out;
  try {
    VerifySurvey(pipe, out);
    ADD_FAILURE() << "read from a pipe";
  } catch (const CFileException &e) {
    EXPECT_NE(std::string(e.what()).find("\"" + pipe + "\" is a pipe or FIFO, but it must be a regular file"),
              std::string::npos)
        << e.what();
  }
  EXPECT_EQ(out.str(), "");
  ::close(fds[0]);
}

// Zeros that take no room on the disk after the last record are named by their offset at once, and
// a file longer than any survey can be is refused before it is read.
TEST_F(SurveyCommand, VerifyNamesWhereTheSurveyEndsHoweverLongTheFile) {
  CSurveyBuilder survey(1);
  survey.Segment(1).Record(1, 99);
  const auto path = Path("padded.tvd");
  WriteBytes(path, survey.m_bytes);
  const std::string nSurvey = std::to_string(survey.m_bytes.size());
  fs::resize_file(path, survey.m_bytes.size() + (uint64_t{3} << 30));
  std::ostringstream out;
  EXPECT_EQ(VerifySurvey(path, out), SURVEY_EXIT_UNSOUND);
  EXPECT_EQ(out.str(),
            path + ": not sound:\n  \"" + path + "\", offset " + nSurvey +
                ": 3221225472 bytes follow the last segment's records and cannot be read as records.\n"
                "'tvdtool survey repair " +
                path + " -o OUT' would write a copy with these changes:\n  dropped 3221225472 bytes from offset " +
                nSurvey + ": 3221225472 bytes follow the last segment's records and cannot be read as records\n");

  fs::resize_file(path, SURVEY_MAX_FILE_LENGTH + 1);
  try {
    VerifySurvey(path, out);
    ADD_FAILURE() << "a file longer than any survey was read";
  } catch (const CFileException &e) {
    EXPECT_EQ(std::string(e.what()),
              "\"" + path +
                  "\" is 6815666534 bytes long, more than any survey data file can be: 500 "
                  "segments of 65535 records of 99 levels take 6815666533 bytes. It is not read.");
  }
}

TEST_F(SurveyCommand, CommandLineReportsUnsoundFilesByItsExitCode) {
  const auto path = MakeSurvey();
  CLI::App app;
  RegisterSurveyCommands(app);
  testing::internal::CaptureStdout();
  int nCode = 0;
  try {
    app.parse(std::vector<std::string>{path, "verify", "survey"}); // CLI11 takes them in reverse
  } catch (const CLI::Error &e) {
    nCode = e.get_exit_code();
  }
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(nCode, SURVEY_EXIT_UNSOUND);
  EXPECT_NE(printed.find("not sound"), std::string::npos) << printed;

  CLI::App missing;
  RegisterSurveyCommands(missing);
  EXPECT_THROW(missing.parse(std::vector<std::string>{Path("absent.tvd"), "dump", "survey"}), CFileException);
}

} // namespace
