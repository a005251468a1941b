// The built tvdtool run as a user runs it, on names that are no regular files and on words that
// are no command: it refuses at once and says why, and writes through an output that is a FIFO.
#include "tests/projection/StreamSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string TVDTOOL = TARVEX_BINARY_DIR "/tools/tvdtool/tvdtool";
const std::string DATA = TARVEX_SOURCE_DIR "/tests/data/";
// A command still running after this long waits for a FIFO's other end: it is killed (SIGALRM)
// and its status tells. A guard, not a timing: every command here ends in well under a second.
constexpr unsigned HANG_GUARD_SECONDS = 20;
constexpr int STATUS_HUNG = 128 + SIGALRM;

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

struct _run {
  int nStatus = -1;
  std::string out;
  std::string err;
};

class RefusalsTest : public TempDirTest {
protected:
  // Runs tvdtool with arguments, its standard input empty and its outputs caught.
  _run Run(const std::vector<std::string> &arguments) {
    const std::string outPath = Path("out.txt");
    const std::string errPath = Path("err.txt");
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(::open("/dev/null", O_RDONLY), 0);
      ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      ::alarm(HANG_GUARD_SECONDS); // outlives the exec
      std::vector<char *> argv{const_cast<char *>(TVDTOOL.c_str())};
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
    const auto out = ReadAll(outPath);
    const auto err = ReadAll(errPath);
    run.out.assign(out.begin(), out.end());
    run.err.assign(err.begin(), err.end());
    return run;
  }

  std::string Fifo(const std::string &name) {
    const std::string path = Path(name);
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    return path;
  }
};

// Projections, surveys, routes and recordings are read by their length, so a FIFO given for one
// is refused at once, named as what it is, instead of waiting for good for a writer.
TEST_F(RefusalsTest, FifosAreRefusedAtOnceWhereFilesAreRead) {
  std::filesystem::copy_file(DATA + "site.gpf", Path("site.gpf"));
  const struct {
    const char *pWhat;
    std::string fifo;
    std::vector<std::string> arguments;
  } cases[] = {
      {"survey", Fifo("walk.tvd"), {"survey", "verify", Path("walk.tvd")}},
      {"survey to repair", Path("walk.tvd"), {"survey", "repair", Path("walk.tvd"), "-o", Path("copy.tvd")}},
      {"projection", Fifo("plan.gpf"), {"projection", "info", Path("plan.gpf")}},
      {"route",
       Fifo("walk.route"),
       {"simulate", "--projection", Path("site.gpf"), "-o", Path("new.tvd"), "--route", Path("walk.route")}},
      {"recording", Fifo("session.bin"), {"monitor", "--replay", Path("session.bin"), "--fast"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.pWhat);
    const _run run = Run(c.arguments);
    EXPECT_EQ(run.nStatus, 1) << run.err;
    EXPECT_TRUE(Contains(run.err, "\"" + c.fifo + "\" is a pipe or FIFO, but it must be a regular file")) << run.err;
    EXPECT_TRUE(std::filesystem::is_fifo(c.fifo));
  }
  EXPECT_FALSE(std::filesystem::exists(Path("copy.tvd")));
  EXPECT_FALSE(std::filesystem::exists(Path("new.tvd")));
}

// A byte stream is read as it comes: frames decode still takes a FIFO, and waits for its writer.
TEST_F(RefusalsTest, FramesDecodeReadsAFifo) {
  const std::string fifo = Fifo("stream");
  const auto bytes = ReadAll(DATA + "receiver.bin");
  const auto previous = std::signal(SIGPIPE, SIG_IGN); // a reader gone early fails the write, not the test
  std::thread writer([&] {
    const int nFd = ::open(fifo.c_str(), O_WRONLY); // until the reader comes
    (void)::write(nFd, bytes.data(), bytes.size());
    ::close(nFd);
  });
  const _run fromFifo = Run({"frames", "decode", fifo, "--json"});
  // A tool that never opened the FIFO leaves the writer waiting: a reader of our own lets it go.
  const int nRelease = fromFifo.nStatus != 0 ? ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK) : -1;
  writer.join();
  if (nRelease >= 0) {
    ::close(nRelease);
  }
  std::signal(SIGPIPE, previous);
  const _run fromFile = Run({"frames", "decode", DATA + "receiver.bin", "--json"});
  EXPECT_EQ(fromFifo.nStatus, 0) << fromFifo.err;
  EXPECT_EQ(fromFifo.out, fromFile.out);
  EXPECT_FALSE(fromFifo.out.empty());
}

// An output that is a FIFO (or a device) is written through, as every command writes one; it is
// never replaced by a file.
TEST_F(RefusalsTest, RepairWritesThroughAFifo) {
  const std::string fifo = Fifo("copy.tvd");
  // Held open for reading (and writing, so that it never blocks), the FIFO keeps what comes.
  const int nReader = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(nReader, 0);
  const _run run = Run({"survey", "repair", DATA + "cut-short.tvd", "-o", fifo});
  std::vector<uint8_t> received(1 << 16);
  const ssize_t nRead = ::read(nReader, received.data(), received.size());
  ::close(nReader);
  received.resize(nRead > 0 ? static_cast<size_t>(nRead) : 0);

  const _run toFile = Run({"survey", "repair", DATA + "cut-short.tvd", "-o", Path("copy-file.tvd")});
  EXPECT_EQ(run.nStatus, 0) << run.err;
  EXPECT_TRUE(std::filesystem::is_fifo(fifo)) << "the FIFO was replaced";
  EXPECT_FALSE(std::filesystem::exists(fifo + ".partial"));
  EXPECT_EQ(toFile.nStatus, 0) << toFile.err;
  EXPECT_EQ(received, ReadAll(Path("copy-file.tvd")));
}

// A word that names no command is named, and the commands there are listed.
TEST_F(RefusalsTest, UnknownWordsAreNamedWithTheCommands) {
  const struct {
    std::vector<std::string> arguments;
    std::string expected;
  } cases[] = {
      {{"bogus"},
       "tvdtool: \"bogus\" is not a command of tvdtool. Its commands are: frames, survey, projection, devices, "
       "monitor, simulate, coverage ('tvdtool --help' says what each does).\n"},
      {{"survey", "veriffy", "walk.tvd"},
       "tvdtool: \"veriffy\" is not a command of tvdtool survey. Its commands are: dump, verify, continue, repair, "
       "check, export, report ('tvdtool survey --help' says what each does).\n"},
      {{"projection"},
       "tvdtool: tvdtool projection needs a command: make, info, decode, locate ('tvdtool projection --help' says "
       "what each does).\n"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.arguments.front());
    const _run run = Run(c.arguments);
    EXPECT_NE(run.nStatus, 0);
    EXPECT_NE(run.nStatus, STATUS_HUNG);
    EXPECT_EQ(run.err, c.expected);
    EXPECT_TRUE(run.out.empty()) << run.out;
  }
}

} // namespace
