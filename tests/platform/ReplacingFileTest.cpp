#include "platform/ReplacingFile.h"
#include "platform/FileFaults.h"
#include "platform/FileIdentity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

class ReplacingFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("tarvex-replacing-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    CFileFaults::Reset();
    fs::remove_all(m_dir);
  }
  std::string Path(const std::string &name) const { return (m_dir / name).string(); }
  static std::string Contents(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::vector<std::string> Listing() const {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(m_dir)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path m_dir;
};

TEST_F(ReplacingFileTest, TheTargetChangesOnlyAtCommit) {
  for (const bool bSync : {false, true}) {
    std::ofstream(Path("out.csv")) << "old";
    fs::permissions(Path("out.csv"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    CReplacingFile file(Path("out.csv"), bSync);
    file.Write("new ", 4);
    file.Write("text", 4);
    EXPECT_EQ(Contents(Path("out.csv")), "old");
    EXPECT_EQ(file.GetTemporaryPath(), Path("out.csv") + ".partial");
    file.Close();
    EXPECT_EQ(Contents(file.GetTemporaryPath()), "new text"); // complete, and readable, before Commit
    file.Commit();
    EXPECT_EQ(Contents(Path("out.csv")), "new text");
    EXPECT_EQ(fs::status(Path("out.csv")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Listing(), std::vector<std::string>{"out.csv"});
  }
}

TEST_F(ReplacingFileTest, FailuresAndAbandonedWritesLeaveTheTargetAsItWas) {
  std::ofstream(Path("out.csv")) << "old";
  {
    CReplacingFile abandoned(Path("out.csv"), false);
    abandoned.Write("half", 4);
  }
  EXPECT_EQ(Contents(Path("out.csv")), "old");
  EXPECT_EQ(Listing(), std::vector<std::string>{"out.csv"});

  for (const int64_t nBudget : {0, 3, 7}) {
    SCOPED_TRACE(nBudget);
    CFileFaults::FailWritesAfter(nBudget);
    try {
      ReplaceFileContents(Path("out.csv"), reinterpret_cast<const uint8_t *>("12345678"), 8, true);
      FAIL() << "a full disk went unnoticed";
    } catch (const CFileException &e) {
      EXPECT_EQ(e.m_cause, CFileException::diskFull);
      EXPECT_EQ(e.m_strFileName, Path("out.csv"));
      EXPECT_EQ(
          std::string(e.what()).rfind("Writing \"" + Path("out.csv") + "\" failed, and it was left as it was: ", 0), 0U)
          << e.what();
      EXPECT_NE(std::string(e.what()).find("No space left on device"), std::string::npos) << e.what();
    }
    CFileFaults::Reset();
    EXPECT_EQ(Contents(Path("out.csv")), "old");
    EXPECT_EQ(Listing(), std::vector<std::string>{"out.csv"});
  }

  // A new file that fails leaves nothing; a folder or a missing folder is named with the reason.
  CFileFaults::FailWritesAfter(2);
  EXPECT_THROW(ReplaceFileContents(Path("new.csv"), reinterpret_cast<const uint8_t *>("1234"), 4, false),
               CFileException);
  CFileFaults::Reset();
  EXPECT_EQ(Listing(), std::vector<std::string>{"out.csv"});
  fs::create_directory(Path("folder"));
  const struct {
    std::string path;
    const char *pReason;
  } refused[] = {{Path("folder"), "Is a directory"}, {Path("absent/new.csv"), "No such file or directory"}};
  for (const auto &r : refused) {
    try {
      CReplacingFile file(r.path, false);
      FAIL() << r.path;
    } catch (const CFileException &e) {
      EXPECT_NE(std::string(e.what()).find("\"" + r.path + "\""), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(r.pReason), std::string::npos) << e.what();
    }
  }
}

TEST_F(ReplacingFileTest, SecondWriterOfTheSameTargetIsRefusedAndLeavesTheFirstAlone) {
  CReplacingFile first(Path("out.csv"), false);
  first.Write("first", 5);
  try {
    CReplacingFile second(Path("out.csv"), false);
    FAIL() << "two writers of one file";
  } catch (const CFileException &e) {
    EXPECT_EQ(e.m_cause, CFileException::sharingViolation);
  }
  first.Commit();
  EXPECT_EQ(Contents(Path("out.csv")), "first");
}

// A link is followed: the file it points to gets the bytes and the link stays a link. A device
// cannot be replaced; it is written directly (as root, renaming over /dev/null would replace it).
TEST_F(ReplacingFileTest, LinksAreFollowedAndDevicesWrittenInPlace) {
  std::ofstream(Path("real.csv")) << "old";
  fs::create_symlink("real.csv", Path("link.csv"));
  fs::create_symlink(Path("later.csv"), Path("dangling.csv"));
  ReplaceFileContents(Path("link.csv"), reinterpret_cast<const uint8_t *>("new"), 3, true);
  ReplaceFileContents(Path("dangling.csv"), reinterpret_cast<const uint8_t *>("made"), 4, false);
  EXPECT_TRUE(fs::is_symlink(Path("link.csv")));
  EXPECT_TRUE(fs::is_symlink(Path("dangling.csv")));
  EXPECT_EQ(Contents(Path("real.csv")), "new");
  EXPECT_EQ(Contents(Path("later.csv")), "made");

  ReplaceFileContents("/dev/null", reinterpret_cast<const uint8_t *>("gone"), 4, true);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_FALSE(fs::exists("/dev/null.partial"));
}

// The same file under another spelling, through a link or a second hard link, is the same; a
// file about to be made is the same as another path to its place.
TEST_F(ReplacingFileTest, SameFileWhateverItsSpelling) {
  std::ofstream(Path("site.gpf")) << "x";
  std::ofstream(Path("other.gpf")) << "x";
  fs::create_symlink("site.gpf", Path("link.gpf"));
  fs::create_hard_link(Path("site.gpf"), Path("hard.gpf"));
  fs::create_symlink("site.gpfc", Path("side-link"));
  fs::create_directory(Path("sub"));
  const std::string dotted = (m_dir / "sub" / ".." / "." / "site.gpf").string();
  for (const auto &same : {Path("site.gpf"), dotted, Path("link.gpf"), Path("hard.gpf")}) {
    EXPECT_TRUE(IsSameFile(same, Path("site.gpf"))) << same;
  }
  EXPECT_FALSE(IsSameFile(Path("other.gpf"), Path("site.gpf")));
  EXPECT_TRUE(IsSameFile((m_dir / "sub" / ".." / "site.gpfc").string(), Path("site.gpfc")));
  EXPECT_TRUE(IsSameFile(Path("side-link"), Path("site.gpfc"))); // neither exists yet
  EXPECT_FALSE(IsSameFile(Path("site.gpfb"), Path("site.gpfc")));

  const auto cwd = fs::current_path();
  fs::current_path(m_dir);
  EXPECT_TRUE(IsSameFile("./site.gpfb", Path("site.gpfb")));
  EXPECT_EQ(FindSameFile("site.gpfc", {Path("site.gpf"), Path("site.gpfc"), Path("site.gpfb")}), Path("site.gpfc"));
  EXPECT_EQ(FindSameFile("out.bmp", {Path("site.gpf"), Path("site.gpfc")}), std::nullopt);
  fs::current_path(cwd);
}

} // namespace
