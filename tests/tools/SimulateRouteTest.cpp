#include "tools/tvdtool/SimulateRoute.h"

#include "platform/FileFaults.h"
#include "tests/projection/StreamSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>
#include <string>

namespace {

using Bytes = std::vector<uint8_t>;

class RouteFileTest : public TempDirTest {
protected:
  void TearDown() override {
    CFileFaults::Reset();
    TempDirTest::TearDown();
  }
  // What LoadRoute raises for the file at path.
  static std::string LoadError(const std::string &path) {
    try {
      LoadRoute(path, 100, 100);
      ADD_FAILURE() << path << " loaded";
    } catch (const std::runtime_error &e) {
      return e.what();
    }
    return "";
  }
};

// A route file that cannot be read is named with the system's reason; one that cannot be opened
// as root (no permission) is injected.
TEST_F(RouteFileTest, FilesThatCannotBeReadAreNamedWithTheReason) {
  WriteAll(Path("secret.txt"), Bytes{'1', ' ', '1', '\n'});
  CFileFaults::FailOpen(Path("secret.txt"), EACCES);
  const struct {
    std::string path;
    const char *pReason;
  } cases[] = {{Path("secret.txt"), "Permission denied"},
               {m_dir.string(), "Is a directory"},
               {Path("absent/route.txt"), "No such file or directory"}};
  for (const auto &c : cases) {
    EXPECT_EQ(LoadError(c.path), "the route cannot be read: Opening \"" + c.path + "\" failed: " + c.pReason + ".");
  }
}

// A binary file given as a route never has its bytes echoed to the terminal: a zero byte names
// it as no text file, other bytes that are no text are shown as \xHH, and a long word is cut.
TEST_F(RouteFileTest, BinaryFilesAreNotEchoed) {
  const std::string name = Path("photo.jpg");
  const struct {
    Bytes bytes;
    std::string expected;
  } cases[] = {
      {{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00},
       "\"" + name + "\", line 1: a zero byte at column 5: this is not a text file; a route is text"},
      {{'1', ' ', '2', '\n', 0x1B, '[', '2', 'J', 0xC3, 0xA9, ' ', '4', '\n'},
       "\"" + name + "\", line 2: \"\\x1B[2J\\xC3\\xA9\" is not a whole number"},
      {Bytes(100, 'x'), "line 1: \"" + std::string(32, 'x') + "...\" is not a whole number"},
  };
  for (const auto &c : cases) {
    WriteAll(name, c.bytes);
    const std::string error = LoadError(name);
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    for (const char ch : error) {
      EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << "byte " << int{static_cast<unsigned char>(ch)} << " in " << error;
    }
  }
  WriteAll(name, Bytes((1 << 20) + 1, '#'));
  EXPECT_NE(LoadError(name).find("far more than any route"), std::string::npos);
}

TEST_F(RouteFileTest, TextRoutesStillLoad) {
  const std::string text = "# the corridor, caf\xC3\xA9 included\n10 10\n90,90\n";
  WriteAll(Path("route.txt"), Bytes(text.begin(), text.end()));
  const auto route = LoadRoute(Path("route.txt"), 100, 100);
  ASSERT_EQ(route.size(), 2U);
  EXPECT_EQ(route[1].x, 90);
}

} // namespace
