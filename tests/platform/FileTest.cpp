#include "platform/File.h"
#include "platform/FileFaults.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

class FileTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("tarvex-file-" + std::to_string(::getpid()));
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

TEST_F(FileTest, MissingFileNamesPathAndCause) {
  CFile file;
  CFileException error(CFileException::none, "", "");
  EXPECT_FALSE(file.Open(Path("absent.tvd"), CFile::modeRead, &error));
  EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
  EXPECT_EQ(error.m_strFileName, Path("absent.tvd"));
  EXPECT_NE(error.GetErrorMessage().find(Path("absent.tvd")), std::string::npos);
  EXPECT_EQ(error.GetErrorMessage(8).size(), 7U);
  EXPECT_FALSE(file.IsOpen());
}

TEST_F(FileTest, WriteSeekReadAndLength) {
  CFile file;
  file.OpenOrThrow(Path("a.bin"), CFile::modeCreate | CFile::modeReadWrite | CFile::shareDenyWrite);
  file.Write("hello world", 11);
  EXPECT_EQ(file.GetLength(), 11U);
  file.Seek(6, CFile::begin);
  file.Write("WORLD", 5);
  EXPECT_EQ(file.SeekToEnd(), 11U);
  file.SeekToBegin();
  char text[11];
  file.ReadExactly(text, 11);
  EXPECT_EQ(std::string(text, 11), "hello WORLD");
  EXPECT_EQ(file.Read(text, 4), 0U);
  EXPECT_EQ(file.GetFileName(), "a.bin");
  file.Close();
  EXPECT_FALSE(file.IsOpen());

  CFile again;
  again.OpenOrThrow(Path("a.bin"), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite);
  EXPECT_EQ(again.GetLength(), 11U);
}

TEST_F(FileTest, ReadingPastTheEndNamesTheOffset) {
  std::ofstream(Path("short.bin")) << "12345";
  CFile file;
  file.OpenOrThrow(Path("short.bin"), CFile::modeRead);
  file.Seek(2, CFile::begin);
  char buffer[8];
  try {
    file.ReadExactly(buffer, 8);
    FAIL() << "no error raised";
  } catch (const CFileException &e) {
    EXPECT_EQ(e.m_cause, CFileException::endOfFile);
    EXPECT_NE(std::string(e.what()).find("offset 2"), std::string::npos) << e.what();
  }
}

TEST_F(FileTest, FullDiskRaisesAndKeepsWhatWasWritten) {
  CFile file;
  file.OpenOrThrow(Path("full.bin"), CFile::modeCreate | CFile::modeWrite);
  CFileFaults::FailWritesAfter(4);
  try {
    file.Write("abcdefgh", 8);
    FAIL() << "no error raised";
  } catch (const CFileException &e) {
    EXPECT_EQ(e.m_cause, CFileException::diskFull);
  }
  EXPECT_THROW(file.Write("x", 1), CFileException);
  file.Close();
  EXPECT_EQ(Contents(Path("full.bin")), "abcd");
}

TEST_F(FileTest, WatchedWritesReportWhereTheyLanded) {
  std::vector<std::string> seen;
  CFileFaults::WatchWrites([&seen](const std::string &path, uint64_t nOffset, uint32_t nCount) {
    seen.push_back(fs::path(path).filename().string() + "@" + std::to_string(nOffset) + "+" + std::to_string(nCount) +
                   ":" + Contents(path));
  });
  CFile file;
  file.OpenOrThrow(Path("w.bin"), CFile::modeCreate | CFile::modeReadWrite);
  file.Write("abcdef", 6);
  file.Seek(2, CFile::begin);
  file.Write("XY", 2);
  CFileFaults::FailWritesAfter(1);
  EXPECT_THROW(file.Write("pq", 2), CFileException); // the byte that reached the file is reported
  file.Flush();
  file.Close();
  EXPECT_THROW(file.Flush(), CFileException);
  EXPECT_EQ(seen, (std::vector<std::string>{"w.bin@0+6:abcdef", "w.bin@2+2:abXYef", "w.bin@4+1:abXYpf"}));
  CFileFaults::WatchWrites(nullptr);
  file.OpenOrThrow(Path("w.bin"), CFile::modeReadWrite);
  CFileFaults::Reset();
  file.Write("z", 1);
  EXPECT_EQ(seen.size(), 3U);
}

TEST_F(FileTest, InjectedOpenFailure) {
  std::ofstream(Path("locked.tvd")) << "x";
  CFileFaults::FailOpen(Path("locked.tvd"), EACCES);
  CFile file;
  CFileException error(CFileException::none, "", "");
  EXPECT_FALSE(file.Open(Path("locked.tvd"), CFile::modeRead, &error));
  EXPECT_EQ(error.m_cause, CFileException::accessDenied);
  CFileFaults::Reset();
  EXPECT_TRUE(file.Open(Path("locked.tvd"), CFile::modeRead));
}

TEST_F(FileTest, SharingModes) {
  const std::string path = Path("shared.tvd");
  std::ofstream(path) << "keep me";

  CFile writer;
  writer.OpenOrThrow(path, CFile::modeReadWrite | CFile::shareDenyWrite);
  CFile other;
  CFileException error(CFileException::none, "", "");
  EXPECT_FALSE(other.Open(path, CFile::modeReadWrite | CFile::shareDenyWrite, &error));
  EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
  // A create that is refused must not have emptied the file.
  EXPECT_FALSE(other.Open(path, CFile::modeCreate | CFile::modeReadWrite | CFile::shareDenyWrite));
  EXPECT_EQ(Contents(path), "keep me");
  EXPECT_TRUE(other.Open(path, CFile::modeRead | CFile::shareDenyNone));
  other.Close();
  writer.Close();

  CFile reader1;
  CFile reader2;
  EXPECT_TRUE(reader1.Open(path, CFile::modeRead | CFile::shareDenyWrite));
  EXPECT_TRUE(reader2.Open(path, CFile::modeRead | CFile::shareDenyWrite));
  EXPECT_FALSE(other.Open(path, CFile::modeRead | CFile::shareExclusive));
  reader1.Close();
  reader2.Close();
  EXPECT_TRUE(other.Open(path, CFile::modeRead | CFile::shareExclusive));
}

// What is read by its length must be a regular file: a pipe or a device would say it holds 0
// bytes, seeking in it fails with a system text that names no cause the user can act on, and a
// FIFO's open waits for a writer. Unless a stream is asked for, each is refused at its open,
// without waiting; a stream opened as one still has no length.
TEST_F(FileTest, PipesAndDevicesAreNamedAsNoRegularFiles) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string pipe = "/dev/fd/" + std::to_string(fds[0]);
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  const struct {
    std::string path;
    const char *pKind;
    unsigned nMode;
  } cases[] = {{pipe, "is a pipe or FIFO", CFile::modeRead},
               {"/dev/null", "is a character device", CFile::modeRead},
               {Path("fifo"), "is a pipe or FIFO", CFile::modeRead},
               {Path("fifo"), "is a pipe or FIFO", CFile::modeWrite}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.path);
    for (const bool bStream : {false, true}) {
      if (bStream && c.path == Path("fifo")) {
        continue; // as a stream it would wait for its other end
      }
      CFile file;
      try {
        file.OpenOrThrow(c.path, c.nMode | (bStream ? CFile::typeStream : 0U));
        (void)file.GetLength();
        ADD_FAILURE() << c.path << " has a length";
      } catch (const CFileException &e) {
        EXPECT_EQ(e.m_cause, CFileException::invalidFile);
        EXPECT_EQ(std::string(e.what()).rfind("\"" + c.path + "\" " + c.pKind + ", but it must be a regular file: ", 0),
                  0U)
            << e.what();
        EXPECT_EQ(file.IsOpen(), bStream);
      }
    }
  }
  CFile piped;
  piped.OpenOrThrow(pipe, CFile::modeRead | CFile::typeStream);
  try {
    piped.Seek(4, CFile::begin);
    ADD_FAILURE() << "a pipe was sought";
  } catch (const CFileException &e) {
    EXPECT_NE(std::string(e.what()).find("failed: it must be a regular file: a pipe or a device has no length"),
              std::string::npos)
        << e.what();
  }
  ::close(fds[0]);
  ::close(fds[1]);
}

// The reasons the system gives reach the message as its own words, whatever the failure; one that
// a test cannot cause as root (no permission) is injected.
TEST_F(FileTest, OpenFailuresNameTheFileAndTheSystemsReason) {
  std::ofstream(Path("secret.tvd")) << "x";
  CFileFaults::FailOpen(Path("secret.tvd"), EACCES);
  const struct {
    std::string path;
    CFileException::Cause cause;
    const char *pReason;
  } cases[] = {{Path("secret.tvd"), CFileException::accessDenied, "Permission denied"},
               {m_dir.string(), CFileException::accessDenied, "Is a directory"},
               {Path("absent/x.bin"), CFileException::fileNotFound, "No such file or directory"}};
  for (const auto &c : cases) {
    CFile file;
    CFileException error(CFileException::none, "", "");
    EXPECT_FALSE(file.Open(c.path, CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, c.cause);
    EXPECT_EQ(error.GetErrorMessage(), "Opening \"" + c.path + "\" failed: " + c.pReason + ".");
  }
}

TEST_F(FileTest, DirectoryIsNotAFile) {
  CFile file;
  CFileException error(CFileException::none, "", "");
  EXPECT_FALSE(file.Open(m_dir.string(), CFile::modeRead, &error));
  EXPECT_EQ(error.m_cause, CFileException::accessDenied);
}

} // namespace
