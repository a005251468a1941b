#include "platform/StreamRecording.h"
#include "platform/D2xx.h"
#include "platform/D2xxRegistry.h"
#include "platform/D2xxReplayBackend.h"
#include "platform/Event.h"
#include "platform/FileFaults.h"
#include "platform/UsbIds.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr uint32_t LONG_WAIT_MS = 10000;

class StreamRecordingTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("tarvex-recording-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    D2xxDisableAllBackends();
  }
  void TearDown() override {
    CFileFaults::Reset();
    D2xxDisableAllBackends();
    fs::remove_all(m_dir);
  }
  std::string Path(const std::string &name) const { return (m_dir / name).string(); }
  static void WriteText(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  // The failure LoadRecording raises for a side file with this text, or "" when it loads.
  std::string LoadError(const std::string &strBytes, const std::string &strArrivals) const {
    WriteText(Path("s.bin"), strBytes);
    WriteText(ArrivalsPath(Path("s.bin")), strArrivals);
    try {
      LoadRecording(Path("s.bin"));
      return "";
    } catch (const std::exception &e) {
      return e.what();
    }
  }

  fs::path m_dir;
};

TEST_F(StreamRecordingTest, RecordedSessionLoadsBack) {
  {
    CStreamRecorder recorder(Path("session.bin"));
    const uint8_t first[] = {0xAA, 0x02, 0x00};
    const uint8_t second[] = {0x1C, 0x1C};
    recorder.Append(first, 3, 0);
    recorder.Append(second, 0, 5); // nothing arrived: no line
    recorder.Append(second, 2, 17);
    EXPECT_EQ(recorder.GetBytesWritten(), 5U);
    recorder.Close();
  }
  const _recording recording = LoadRecording(Path("session.bin"));
  EXPECT_EQ(recording.bytes, (std::vector<uint8_t>{0xAA, 0x02, 0x00, 0x1C, 0x1C}));
  ASSERT_EQ(recording.arrivals.size(), 2U);
  EXPECT_EQ(recording.arrivals[0].nTimeMs, 0U);
  EXPECT_EQ(recording.arrivals[0].nCount, 3U);
  EXPECT_EQ(recording.arrivals[1].nTimeMs, 17U);
  EXPECT_EQ(recording.arrivals[1].nCount, 2U);

  // A plain capture with no side file loads as bytes alone.
  fs::remove(ArrivalsPath(Path("session.bin")));
  const _recording plain = LoadRecording(Path("session.bin"));
  EXPECT_EQ(plain.bytes.size(), 5U);
  EXPECT_TRUE(plain.arrivals.empty());
}

TEST_F(StreamRecordingTest, SideFileProblemsNameTheFileAndLine) {
  const std::string strSide = ArrivalsPath(Path("s.bin"));
  EXPECT_EQ(LoadError("abcd", "# comment\r\n\n  0 1\r\n5\t3\n"), "");
  EXPECT_EQ(LoadError("abcd", "0 1\n5 x\n"), strSide + ", line 2: expected a time in milliseconds and a byte count");
  EXPECT_EQ(LoadError("abcd", "0 1\n5 3 7\n"), strSide + ", line 2: expected a time in milliseconds and a byte count");
  EXPECT_EQ(LoadError("abcd", "0 -4\n"), strSide + ", line 1: expected a time in milliseconds and a byte count");
  EXPECT_EQ(LoadError("abcd", "0 4\n0 0\n"), strSide + ", line 2: an arrival of 0 bytes");
  EXPECT_EQ(LoadError("abcd", "9 1\n# note\n8 3\n"), strSide + ", line 3: the time goes back");
  EXPECT_EQ(LoadError("abcd", "0 1\n1 2\n"),
            strSide + ": the arrivals account for 3 bytes, but " + Path("s.bin") + " holds 4");
  EXPECT_EQ(LoadError("abcd", "0 99999999999\n"),
            strSide + ", line 1: expected a time in milliseconds and a byte count");
}

// A replay waits until each arrival's time after the open; a time near the largest integer would
// overflow that clock. Times up to the limit load; later ones, and numbers too large for any
// integer, are refused with the file, the line and the time as written.
TEST_F(StreamRecordingTest, TimesBeyondTheLimitAreRefusedWithTheFileAndLine) {
  const std::string strSide = ArrivalsPath(Path("s.bin"));
  const std::string strLimit = std::to_string(ARRIVAL_MAX_TIME_MS);
  const std::string strRange = " is out of range: a recording's times run from 0 to 1000000000000 ms (about 31 years)";
  EXPECT_EQ(LoadError("abcd", "0 1\n" + strLimit + " 3\n"), "");
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"0 1\n9223372036854775807 3\n", strSide + ", line 2: the time 9223372036854775807" + strRange},
      {"1000000000001 4\n", strSide + ", line 1: the time 1000000000001" + strRange},
      {"18446744073709551615 4\n", strSide + ", line 1: the time 18446744073709551615" + strRange},
      {"# a long one\n 99999999999999999999999999 4\n",
       strSide + ", line 2: the time 99999999999999999999999999" + strRange},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(LoadError("abcd", c.text), c.expected);
  }
}

TEST_F(StreamRecordingTest, MissingRecordingAndFullDiskAreReportedWithTheFile) {
  try {
    LoadRecording(Path("absent.bin"));
    FAIL() << "no exception";
  } catch (const CFileException &e) {
    EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(e.m_strFileName, Path("absent.bin"));
  }

  CStreamRecorder recorder(Path("full.bin"));
  const uint8_t bytes[64] = {};
  CFileFaults::FailWritesAfter(10);
  try {
    recorder.Append(bytes, sizeof bytes, 0);
    FAIL() << "no exception";
  } catch (const CFileException &e) {
    EXPECT_EQ(e.m_cause, CFileException::diskFull);
    EXPECT_EQ(e.m_strFileName, Path("full.bin"));
  }
}

class ReplayTest : public StreamRecordingTest {
protected:
  // Opens the replay device and reads whatever arrives until nCount bytes have come.
  std::string ReadAll(size_t nCount) {
    FT_HANDLE hDevice = nullptr;
    EXPECT_EQ(FT_OpenEx(CD2xxReplayBackend::REPLAY_SERIAL_NUMBER, FT_OPEN_BY_SERIAL_NUMBER, &hDevice), FT_OK);
    CEvent rx;
    EXPECT_EQ(FT_SetEventNotification(hDevice, FT_EVENT_RXCHAR, &rx), FT_OK);
    std::string text;
    m_nWakes = 0;
    while (text.size() < nCount && rx.Wait(LONG_WAIT_MS)) {
      ++m_nWakes;
      uint32_t nRx = 0;
      uint32_t nTx = 0;
      uint32_t nEvents = 0;
      EXPECT_EQ(FT_GetStatus(hDevice, &nRx, &nTx, &nEvents), FT_OK);
      std::string chunk(nRx, '\0');
      uint32_t nRead = 0;
      EXPECT_EQ(FT_Read(hDevice, chunk.data(), nRx, &nRead), FT_OK);
      text += chunk.substr(0, nRead);
    }
    uint32_t nWritten = 0;
    EXPECT_EQ(FT_Write(hDevice, "\xAA\x02\x00\x1C\x1C", 5, &nWritten), FT_OK);
    EXPECT_EQ(nWritten, 5U);
    EXPECT_EQ(FT_Close(hDevice), FT_OK);
    return text;
  }
  int m_nWakes = 0;
};

TEST_F(ReplayTest, ListedAsAReceiverAndPlaysTheBytesBackAtTheirPace) {
  WriteText(Path("r.bin"), "abcdefgh");
  WriteText(ArrivalsPath(Path("r.bin")), "0 3\n2 4\n4 1\n");
  D2xxEnableBackend(std::make_shared<CD2xxReplayBackend>(Path("r.bin"), false));

  FT_HANDLE hInfo = FT_W32_CreateFile(CD2xxReplayBackend::REPLAY_SERIAL_NUMBER, GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED | FT_OPEN_BY_SERIAL_NUMBER, nullptr);
  uint32_t nId = 0;
  char description[FT_DESCRIPTION_SIZE];
  ASSERT_EQ(FT_GetDeviceInfo(hInfo, nullptr, &nId, nullptr, description, nullptr), FT_OK);
  EXPECT_EQ(nId, static_cast<uint32_t>(USB_VENDOR_VEXLOR) << 16 | USB_PRODUCT_TARVEX);
  EXPECT_STREQ(description, "Replay of r.bin");
  FT_Close(hInfo);

  EXPECT_EQ(ReadAll(8), "abcdefgh");
  // Played again from the start on the next open.
  EXPECT_EQ(ReadAll(8), "abcdefgh");
}

TEST_F(ReplayTest, AsFastAsPossibleHandsEverythingOverAtOnce) {
  WriteText(Path("r.bin"), "abcdefgh");
  WriteText(ArrivalsPath(Path("r.bin")), "0 3\n60000 5\n");
  D2xxEnableBackend(std::make_shared<CD2xxReplayBackend>(Path("r.bin"), true));
  EXPECT_EQ(ReadAll(8), "abcdefgh");
  EXPECT_EQ(m_nWakes, 1);
}

// An arrival at the latest time a recording may hold is waited for without overflowing the
// clock (the sanitizer pass would stop here), and closing the device ends the wait.
TEST_F(ReplayTest, ArrivalAtTheLatestTimeIsWaitedForUntilTheClose) {
  WriteText(Path("r.bin"), "abcdefgh");
  WriteText(ArrivalsPath(Path("r.bin")), "0 3\n" + std::to_string(ARRIVAL_MAX_TIME_MS) + " 5\n");
  D2xxEnableBackend(std::make_shared<CD2xxReplayBackend>(Path("r.bin"), false));
  EXPECT_EQ(ReadAll(3), "abc");
}

TEST_F(ReplayTest, BadRecordingIsRefusedWhenEnabled) {
  WriteText(Path("r.bin"), "abc");
  WriteText(ArrivalsPath(Path("r.bin")), "0 2\n");
  EXPECT_THROW(CD2xxReplayBackend(Path("r.bin"), false), std::runtime_error);
}

} // namespace
