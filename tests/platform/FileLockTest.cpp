// The lock a writer holds on a file for as long as it works on it, the full disk that still takes
// overwrites, and the synchronisation to the disk.
#include "platform/FileLock.h"
#include "platform/File.h"
#include "platform/FileFaults.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

class FileLockTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("tarvex-lock-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
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
  fs::path m_dir;
};

TEST_F(FileLockTest, ASecondHolderAndOtherWritersAreRefusedUntilTheFirstLetsGo) {
  std::ofstream(Path("s.tvd")) << "survey";
  CFileLock first;
  ASSERT_TRUE(first.Acquire(Path("s.tvd"), false));
  EXPECT_TRUE(first.IsHeld());
  EXPECT_TRUE(first.IsRegularFile());

  CFileLock second;
  EXPECT_FALSE(second.Acquire(Path("s.tvd"), true));
  EXPECT_FALSE(second.IsHeld());
  CFile writer;
  CFileException error(CFileException::none, "", "");
  EXPECT_FALSE(writer.Open(Path("s.tvd"), CFile::modeReadWrite | CFile::shareDenyWrite, &error));
  EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
  EXPECT_FALSE(writer.Open(Path("s.tvd"), CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite, &error));
  EXPECT_EQ(Contents(Path("s.tvd")), "survey") << "a refused creation empties nothing";
  // Readers that share go on reading.
  CFile reader;
  ASSERT_TRUE(reader.Open(Path("s.tvd"), CFile::modeRead | CFile::shareDenyNone));
  reader.Close();

  first.Release();
  EXPECT_TRUE(second.Acquire(Path("s.tvd"), false));
}

TEST_F(FileLockTest, CreatesOnlyWhenAskedAndTellsWhatItHolds) {
  CFileLock lock;
  try {
    (void)lock.Acquire(Path("absent.tvd"), false);
    FAIL() << "a missing file was locked";
  } catch (const CFileException &e) {
    EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    EXPECT_NE(std::string(e.what()).find(Path("absent.tvd")), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(Path("absent.tvd")));
  ASSERT_TRUE(lock.Acquire(Path("new.tvd"), true));
  EXPECT_EQ(fs::file_size(Path("new.tvd")), 0U);
  EXPECT_THROW((void)lock.Acquire(m_dir.string(), false), CFileException);
  EXPECT_FALSE(lock.IsHeld());

  // A pipe is opened without waiting for a writer, and is not a regular file.
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  ASSERT_TRUE(lock.Acquire(Path("pipe"), false));
  EXPECT_FALSE(lock.IsRegularFile());

  CFileFaults::FailOpen(Path("new.tvd"), EWOULDBLOCK); // as another holder would
  EXPECT_FALSE(lock.Acquire(Path("new.tvd"), false));
}

TEST_F(FileLockTest, AFullDiskRefusesGrowthButTakesOverwrites) {
  CFile file;
  file.OpenOrThrow(Path("full.bin"), CFile::modeCreate | CFile::modeReadWrite);
  file.Write("abcdef", 6);
  CFileFaults::FillDiskAfter(2);
  try {
    file.Write("ghij", 4); // two bytes of room
    FAIL() << "no error raised";
  } catch (const CFileException &e) {
    EXPECT_EQ(e.m_cause, CFileException::diskFull);
  }
  file.Seek(1, CFile::begin);
  file.Write("XYZ", 3); // in place: no room needed
  file.Seek(6, CFile::begin);
  file.Write("GH", 2); // overwrites the two bytes that did fit
  EXPECT_THROW(file.Write("!", 1), CFileException);
  file.Seek(4, CFile::begin);
  EXPECT_THROW(file.Write("efghi", 5), CFileException) << "four in place, one beyond the end";
  file.Close();
  EXPECT_EQ(Contents(Path("full.bin")), "aXYZefgh");
}

TEST_F(FileLockTest, SynchronisationsAreReportedWithTheirPaths) {
  std::vector<std::string> synced;
  CFileFaults::WatchSyncs([&synced](const std::string &path) { synced.push_back(path); });
  CFile file;
  file.OpenOrThrow(Path("s.bin"), CFile::modeCreate | CFile::modeWrite);
  file.Write("abc", 3);
  file.SyncData();
  file.Flush();
  file.Close();
  CFile::SyncFolderOf(Path("s.bin"));
  EXPECT_EQ(synced, (std::vector<std::string>{Path("s.bin"), Path("s.bin"), m_dir.string()}));
  EXPECT_THROW(file.SyncData(), CFileException) << "a closed file";
  EXPECT_THROW(CFile::SyncFolderOf(Path("no/such/folder/s.bin")), CFileException);
  CFileFaults::WatchSyncs(nullptr);
  std::ofstream(Path("t.bin")) << "t";
  file.OpenOrThrow(Path("t.bin"), CFile::modeRead);
  file.SyncData();
  EXPECT_EQ(synced.size(), 3U);
}

} // namespace
