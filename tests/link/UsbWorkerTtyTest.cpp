// The link over a serial port, with a pseudo-terminal playing the receiver.
#include "link/Usb.h"
#include "platform/D2xxRegistry.h"
#include "platform/D2xxTtyBackend.h"
#include "tests/link/LinkTestSupport.h"
#include "tests/platform/FakeSysfs.h"
#include "tests/platform/PortSettings.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>

namespace {

namespace fs = std::filesystem;

class UsbWorkerTtyTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("tarvex-link-tty-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir / "dev");
    char name[128];
    ASSERT_EQ(::openpty(&m_nMaster, &m_nSlave, name, nullptr, nullptr), 0);
    fs::create_symlink(name, m_dir / "dev" / "ttyUSB0");
    CFakeSysfs sysfs(m_dir / "sys");
    sysfs.AddPort("ttyUSB0", "ftdi_sio", "1-1", "2b7e", "0200", "TVX00001", "TARVEX Receiver");
    D2xxDisableAllBackends();
    D2xxEnableBackend(std::make_shared<CD2xxTtyBackend>((m_dir / "sys").string(), (m_dir / "dev").string()));
    m_link.StartWorker();
  }
  void TearDown() override {
    m_link.StopWorker();
    for (const int nFd : {m_nMaster, m_nSlave}) {
      if (nFd >= 0) {
        ::close(nFd);
      }
    }
    D2xxDisableAllBackends();
    fs::remove_all(m_dir);
  }

  void ReceiverWrite(const std::vector<uint8_t> &bytes) const {
    ASSERT_EQ(::write(m_nMaster, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  std::vector<uint8_t> ReceiverRead(size_t nCount) const {
    std::vector<uint8_t> bytes;
    while (bytes.size() < nCount) {
      pollfd pfd{m_nMaster, POLLIN, 0};
      if (::poll(&pfd, 1, static_cast<int>(LONG_WAIT_MS)) <= 0) {
        break;
      }
      uint8_t buffer[64];
      const ssize_t n = ::read(m_nMaster, buffer, std::min(sizeof buffer, nCount - bytes.size()));
      if (n <= 0) {
        break;
      }
      bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
  }

  fs::path m_dir;
  int m_nMaster = -1;
  int m_nSlave = -1;
  CPacketLink m_link;
};

TEST_F(UsbWorkerTtyTest, OpenAtBaudZeroProgramsTheBridgeRate) {
  ASSERT_TRUE(m_link.Open("TVX00001", 0));
  _portsettings settings;
  ASSERT_TRUE(ReadPortSettings(m_nSlave, settings));
  EXPECT_EQ(settings.nOutputSpeed, 38461U);
  EXPECT_TRUE(settings.bEightBits);
  EXPECT_FALSE(settings.bParity);
  EXPECT_FALSE(settings.bHardwareFlow);
  EXPECT_TRUE(settings.bRaw);
  std::string strWhy;
  EXPECT_FALSE(m_link.Open("TVX99999", 38400, &strWhy));
  EXPECT_EQ(strWhy, "no receiver with the serial number \"TVX99999\" is attached");
}

// A port whose device node has gone from the device folder is not found.
TEST_F(UsbWorkerTtyTest, PortWithoutItsDeviceNodeIsNotFound) {
  CFakeSysfs sysfs(m_dir / "sys");
  sysfs.AddPort("ttyUSB1", "ftdi_sio", "1-2", "2b7e", "0200", "TVX00002", "TARVEX Receiver");
  std::string strWhy;
  EXPECT_FALSE(m_link.Open("TVX00002", 38400, &strWhy));
  EXPECT_EQ(strWhy, "no receiver with the serial number \"TVX00002\" is attached");
}

TEST_F(UsbWorkerTtyTest, CommandsGoOutAndSplitFramesComeIn) {
  ASSERT_TRUE(m_link.Open("TVX00001", 38400));
  ASSERT_TRUE(m_link.SendCommandByte(0x1C));
  EXPECT_EQ(ReceiverRead(5), (std::vector<uint8_t>{0xAA, 0x02, 0x00, 0x1C, 0x1C}));

  // The answer in two pieces, the second only after the first has been read.
  ReceiverWrite({0x0D, 0xAA, 0x07, 0x00, 0x1C, 'T'});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(LONG_WAIT_MS);
  int nQueued = 1;
  while (nQueued > 0 && std::chrono::steady_clock::now() < deadline) {
    ASSERT_EQ(::ioctl(m_nSlave, FIONREAD, &nQueued), 0);
  }
  ReceiverWrite({'X', '5', '3', '0', '1', 0x0A});
  ASSERT_TRUE(m_link.WaitForPackets(1));
  EXPECT_EQ(m_link.Packets()[0], (std::vector<uint8_t>{0x1C, 'T', 'X', '5', '3', '0', '1'}));
}

TEST_F(UsbWorkerTtyTest, StreamInRandomPiecesArrivesWhole) {
  ASSERT_TRUE(m_link.Open("TVX00001", 38400));
  std::mt19937 rng(3);
  std::vector<uint8_t> stream;
  std::vector<std::vector<uint8_t>> sent;
  for (int i = 0; i < 200; ++i) {
    std::vector<uint8_t> payload{static_cast<uint8_t>(i % 2 == 0 ? 0x02 : 0x03)};
    for (int j = 0; j < 33; ++j) {
      payload.push_back(static_cast<uint8_t>(rng()));
    }
    stream.insert(stream.end(), {0xAA, 34, 0x00});
    stream.insert(stream.end(), payload.begin(), payload.end());
    sent.push_back(payload);
  }
  for (size_t nOffset = 0; nOffset < stream.size();) {
    const size_t nPiece = std::min<size_t>(1 + rng() % 40, stream.size() - nOffset);
    ReceiverWrite({stream.begin() + static_cast<std::ptrdiff_t>(nOffset),
                   stream.begin() + static_cast<std::ptrdiff_t>(nOffset + nPiece)});
    nOffset += nPiece;
  }
  ASSERT_TRUE(m_link.WaitForPackets(sent.size())) << m_link.Packets().size();
  EXPECT_EQ(m_link.Packets(), sent);
}

TEST_F(UsbWorkerTtyTest, HangUpIsReportedAndLeavesTheLinkAnsweringAndStoppable) {
  ASSERT_TRUE(m_link.Open("TVX00001", 38400));
  ReceiverWrite({0xAA, 0x01, 0x00, 0x42});
  ASSERT_TRUE(m_link.WaitForPackets(1));
  ::close(m_nMaster);
  m_nMaster = -1;
  ASSERT_TRUE(m_link.WaitForLost());
  EXPECT_EQ(m_link.Kinds(), "pL");
  EXPECT_NE(m_link.LostReasons()[0].find("the receiver is gone"), std::string::npos) << m_link.LostReasons()[0];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(m_link.SendCommandByte(0x1C));
  EXPECT_EQ(m_link.PostCommand({USB_CLOSE, 0, nullptr}), 0);
  EXPECT_TRUE(m_link.StopWorker());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(LONG_WAIT_MS / 2));
}

} // namespace
