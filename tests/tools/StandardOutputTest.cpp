// Runs the built tvdtool with its standard output on a full device, or closed, as a shell does for
// "> /dev/full" and ">&-": whatever the command, output that did not arrive must not pass for
// success.
#include "tests/projection/StreamSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::string TVDTOOL = TARVEX_BINARY_DIR "/tools/tvdtool/tvdtool";
const std::string DATA = TARVEX_SOURCE_DIR "/tests/data/";

struct _run {
  int nStatus = -1;
  std::string err;
};

class StandardOutputTest : public TempDirTest {
protected:
  // Runs tvdtool with arguments, its standard output on strOutput (or closed when it is empty),
  // its standard error caught, its standard input from strInput when one is given.
  _run Run(const std::vector<std::string> &arguments, const std::string &strOutput, const std::string &strInput = "") {
    const std::string errPath = Path("err.txt");
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int nErr = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(nErr, 2);
      ::close(1);
      if (!strOutput.empty()) {
        const int nOut = ::open(strOutput.c_str(), O_WRONLY);
        ::dup2(nOut, 1);
      }
      if (!strInput.empty()) {
        const int nIn = ::open(strInput.c_str(), O_RDONLY);
        ::dup2(nIn, 0);
      }
      std::vector<char *> argv;
      argv.push_back(const_cast<char *>(TVDTOOL.c_str()));
      for (const auto &argument : arguments) {
        argv.push_back(const_cast<char *>(argument.c_str()));
      }
      argv.push_back(nullptr);
      ::execv(TVDTOOL.c_str(), argv.data());
      ::_exit(127);
    }
    int nWait = 0;
    ::waitpid(pid, &nWait, 0);
    _run run;
    run.nStatus = WIFEXITED(nWait) ? WEXITSTATUS(nWait) : 128 + WTERMSIG(nWait);
    const auto bytes = ReadAll(errPath);
    run.err.assign(bytes.begin(), bytes.end());
    return run;
  }
};

TEST_F(StandardOutputTest, EveryCommandReportsOutputThatDidNotArrive) {
  const std::string route = Path("route.txt");
  WriteAll(route, {'2', '0', ' ', '2', '0', '\n', '4', '0', ' ', '2', '0', '\n'});
  // simulate loads the projection, which writes its side files next to it.
  std::filesystem::copy_file(DATA + "site.gpf", Path("site.gpf"));
  const std::vector<std::vector<std::string>> commands = {
      {"frames", "decode", DATA + "receiver.bin"},
      {"frames", "decode", DATA + "receiver.bin", "--json"},
      {"survey", "dump", DATA + "two-channels.tvd"},
      {"survey", "verify", DATA + "two-channels.tvd"},
      {"survey", "export", DATA + "two-channels.tvd", "--projection", DATA + "site.gpf"},
      {"projection", "info", DATA + "site.gpf"},
      {"projection", "locate", DATA + "site.gpf", "10", "10"},
      {"devices", "--simulate"},
      {"monitor", "--simulate", "--count", "3", "--seconds", "30"},
      {"simulate", "--projection", Path("site.gpf"), "-o", Path("walk.tvd"), "--route", route, "--seconds-per-segment",
       "1", "--start-time", "1717232400"},
  };
  for (const auto &command : commands) {
    SCOPED_TRACE(command[0] + " " + command[1]);
    const _run good = Run(command, "/dev/null");
    EXPECT_EQ(good.nStatus, 0) << good.err;
    for (const std::string output : {"/dev/full", ""}) {
      SCOPED_TRACE(output.empty() ? ">&-" : "> " + output);
      std::filesystem::remove(Path("walk.tvd"));
      const _run run = Run(command, output);
      EXPECT_EQ(run.nStatus, 1) << run.err;
      EXPECT_NE(run.err.find("tvdtool: writing to the standard output failed"), std::string::npos) << run.err;
    }
  }
  // With the standard output closed, no file the command opens takes its place: the survey
  // written last holds no line of what simulate printed.
  const _run verify = Run({"survey", "verify", Path("walk.tvd")}, "/dev/null");
  EXPECT_EQ(verify.nStatus, 0) << verify.err;
}

// The reason is the system's when it is known.
TEST_F(StandardOutputTest, AFullDeviceIsNamedAsSuch) {
  const _run run = Run({"survey", "dump", DATA + "two-channels.tvd"}, "/dev/full");
  EXPECT_NE(run.err.find("writing to the standard output failed: No space left on device"), std::string::npos)
      << run.err;
}

// A folder behind the standard input is named as the reason, not taken for an empty stream.
TEST_F(StandardOutputTest, StandardInputThatIsAFolderIsNamed) {
  const _run run = Run({"frames", "decode"}, "/dev/null", m_dir.string());
  EXPECT_EQ(run.nStatus, 1);
  EXPECT_EQ(run.err, "tvdtool: reading the standard input failed: Is a directory\n");
  const _run cut = Run({"frames", "decode", "-"}, "/dev/null", DATA + "receiver.bin");
  EXPECT_EQ(cut.nStatus, 0) << cut.err;
}

} // namespace
