// tvdtool simulate --start-time: the survey's clock fixed from the command line, so that a run can
// be repeated byte for byte (the reference surveys of tests/data are made this way).
#include "tools/tvdtool/Commands.h"

#include "platform/D2xxRegistry.h"
#include "platform/File.h"
#include "survey/SurveyReader.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class SimulateStartTime : public ::testing::Test {
protected:
  void SetUp() override {
    D2xxDisableAllBackends();
    m_dir = fs::temp_directory_path() / ("tarvex-start-time-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    fs::copy_file(fs::path(TARVEX_BINARY_DIR) / "resources" / "sample-site" / "office.lpf", m_dir / "office.lpf");
    std::ofstream(m_dir / "route.txt") << "100 700\n1900 700\n";
  }
  void TearDown() override {
    D2xxDisableAllBackends();
    fs::remove_all(m_dir);
  }

  // Runs tvdtool simulate with the given extra arguments; returns its exit code.
  int Simulate(const std::string &strOutput, const std::vector<std::string> &extra) {
    std::vector<std::string> arguments{"simulate",
                                       "--projection",
                                       (m_dir / "office.lpf").string(),
                                       "--route",
                                       (m_dir / "route.txt").string(),
                                       "--seconds-per-segment",
                                       "1",
                                       "-o",
                                       (m_dir / strOutput).string()};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    CLI::App app;
    RegisterSimulateCommands(app);
    std::ostringstream captured;
    auto *pOld = std::cout.rdbuf(captured.rdbuf());
    int nCode = 0;
    try {
      app.parse(std::vector<std::string>(arguments.rbegin(), arguments.rend())); // CLI11 takes them reversed
    } catch (const CLI::Error &e) {
      nCode = e.get_exit_code();
    }
    std::cout.rdbuf(pOld);
    return nCode;
  }

  std::vector<uint8_t> Bytes(const std::string &name) const {
    return LoadSurveyFile((m_dir / name).string(), CFile::shareDenyNone);
  }

  fs::path m_dir;
};

TEST_F(SimulateStartTime, FixedClockWritesTheSameSurveyAgain) {
  ASSERT_EQ(Simulate("first.tvd", {"--start-time", "1717236000"}), 0);
  ASSERT_EQ(Simulate("second.tvd", {"--start-time", "1717236000"}), 0);
  const auto first = Bytes("first.tvd");
  const auto contents = ParseSurvey(first.data(), first.size());
  ASSERT_TRUE(contents.IsSound());
  EXPECT_EQ(contents.header.nCreated, 1717236000); // 2024-06-01 10:00:00 UTC
  EXPECT_EQ(first, Bytes("second.tvd"));

  ASSERT_EQ(Simulate("later.tvd", {"--start-time", "1717236060"}), 0);
  const auto later = Bytes("later.tvd");
  EXPECT_EQ(ParseSurvey(later.data(), later.size()).header.nCreated, 1717236060);
}

TEST_F(SimulateStartTime, NegativeTimeIsRefused) {
  EXPECT_NE(Simulate("refused.tvd", {"--start-time", "-5"}), 0);
  EXPECT_FALSE(fs::exists(m_dir / "refused.tvd"));
}

} // namespace
