#include "platform/D2xx.h"
#include "platform/D2xxRegistry.h"
#include "platform/D2xxTtyBackend.h"
#include "platform/Event.h"
#include "tests/platform/FakeSysfs.h"
#include "tests/platform/PortSettings.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr uint32_t LONG_WAIT_MS = 10000;

class TtyBackendTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("tarvex-tty-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir / "dev");
    m_pSysfs = std::make_unique<CFakeSysfs>(m_dir / "sys");
    D2xxDisableAllBackends();
    D2xxEnableBackend(std::make_shared<CD2xxTtyBackend>((m_dir / "sys").string(), (m_dir / "dev").string()));
  }
  void TearDown() override {
    if (m_hDevice != nullptr) {
      FT_Close(m_hDevice);
    }
    for (const int nFd : {m_nMaster, m_nSlave}) {
      if (nFd >= 0) {
        ::close(nFd);
      }
    }
    D2xxDisableAllBackends();
    fs::remove_all(m_dir);
  }

  // A pseudo-terminal playing the receiver behind ttyUSB0, opened through the device layer.
  void OpenPty() {
    char name[128];
    ASSERT_EQ(::openpty(&m_nMaster, &m_nSlave, name, nullptr, nullptr), 0);
    fs::create_symlink(name, m_dir / "dev" / "ttyUSB0");
    m_pSysfs->AddPort("ttyUSB0", "ftdi_sio", "1-1", "2b7e", "0200", "TVX00001", "TARVEX Receiver");
    ASSERT_EQ(FT_OpenEx("TVX00001", FT_OPEN_BY_SERIAL_NUMBER, &m_hDevice), FT_OK);
  }

  void MasterWrite(const std::string &text) const {
    ASSERT_EQ(::write(m_nMaster, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  std::string MasterRead(size_t nCount) const {
    std::string text;
    while (text.size() < nCount) {
      pollfd pfd{m_nMaster, POLLIN, 0};
      if (::poll(&pfd, 1, static_cast<int>(LONG_WAIT_MS)) <= 0) {
        break;
      }
      char buffer[256];
      const ssize_t n = ::read(m_nMaster, buffer, std::min(sizeof buffer, nCount - text.size()));
      if (n <= 0) {
        break;
      }
      text.append(buffer, static_cast<size_t>(n));
    }
    return text;
  }

  static std::vector<_d2xxdeviceinfo> List() {
    std::vector<_d2xxdeviceinfo> devices;
    uint32_t nCount = 0;
    EXPECT_EQ(FT_ListDevices(&nCount, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    for (uint32_t i = 0; i < nCount; ++i) {
      char serial[256];
      FT_ListDevices(reinterpret_cast<void *>(static_cast<uintptr_t>(i)), serial,
                     FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER);
      FT_HANDLE hInfo =
          FT_W32_CreateFile(serial, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED | FT_OPEN_BY_SERIAL_NUMBER, nullptr);
      _d2xxdeviceinfo info;
      char description[FT_DESCRIPTION_SIZE] = {};
      char infoSerial[FT_SERIAL_NUMBER_SIZE] = {};
      if (FT_GetDeviceInfo(hInfo, nullptr, &info.nDeviceId, infoSerial, description, nullptr) == FT_OK) {
        info.strSerialNumber = infoSerial;
        info.strDescription = description;
      } else {
        info.strSerialNumber = serial;
      }
      FT_Close(hInfo);
      devices.push_back(info);
    }
    return devices;
  }

  fs::path m_dir;
  std::unique_ptr<CFakeSysfs> m_pSysfs;
  int m_nMaster = -1;
  int m_nSlave = -1;
  FT_HANDLE m_hDevice = nullptr;
  CEvent m_rx; // outlives the port, which sets it until TearDown closes it
};

TEST_F(TtyBackendTest, ListsBridgesOfTheSerialDriverInPortOrder) {
  m_pSysfs->AddPort("ttyUSB10", "ftdi_sio", "1-4", "0403", "6001", "FT9ZQ2", "FT232R USB UART");
  m_pSysfs->AddPort("ttyUSB2", "ftdi_sio", "1-2", "2b7e", "0201", "TVX12345678901234567", "TARVEX Receiver");
  m_pSysfs->AddPort("ttyUSB3", "cp210x", "1-3", "10c4", "ea60", "0001", "CP2102 Bridge");
  m_pSysfs->AddPort("ttyUSB4", "ftdi_sio", "1-5", "2b7e", "0500", "", "No serial");
  m_pSysfs->AddPlainTty("ttyS0");

  const auto devices = List();
  ASSERT_EQ(devices.size(), 3U);
  // The serial number is cut to what the identity query can hold.
  EXPECT_EQ(devices[0].strSerialNumber, "TVX123456789012");
  EXPECT_EQ(devices[0].strDescription, "TARVEX Receiver");
  EXPECT_EQ(devices[0].nDeviceId, 0x2B7E0201U);
  EXPECT_EQ(devices[1].strSerialNumber, "");
  EXPECT_EQ(devices[1].nDeviceId, 0U) << "a device without a serial number cannot be opened or queried";
  EXPECT_EQ(devices[2].strSerialNumber, "FT9ZQ2");
  EXPECT_EQ(devices[2].nDeviceId, 0x04036001U);

  // Nothing to open for a device that has no node.
  FT_HANDLE hDevice = nullptr;
  EXPECT_NE(FT_OpenEx("FT9ZQ2", FT_OPEN_BY_SERIAL_NUMBER, &hDevice), FT_OK);
  EXPECT_NE(FT_OpenEx("", FT_OPEN_BY_SERIAL_NUMBER, &hDevice), FT_OK);
}

TEST_F(TtyBackendTest, NoSerialPortsAtAll) {
  D2xxEnableBackend(std::make_shared<CD2xxTtyBackend>((m_dir / "empty").string(), (m_dir / "dev").string()));
  uint32_t nCount = 99;
  EXPECT_EQ(FT_ListDevices(&nCount, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_EQ(nCount, 0U);
}

TEST_F(TtyBackendTest, OpenSetsRawModeAndSettingsProgramThePort) {
  OpenPty();
  _portsettings settings;
  ASSERT_TRUE(ReadPortSettings(m_nSlave, settings));
  EXPECT_TRUE(settings.bRaw);

  EXPECT_EQ(FT_SetDivisor(m_hDevice, 78), FT_OK);
  EXPECT_EQ(FT_SetDataCharacteristics(m_hDevice, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE), FT_OK);
  EXPECT_EQ(FT_SetFlowControl(m_hDevice, FT_FLOW_NONE, 0, 0), FT_OK);
  EXPECT_EQ(FT_SetTimeouts(m_hDevice, 5000, 5000), FT_OK);
  ASSERT_TRUE(ReadPortSettings(m_nSlave, settings));
  // Divisor 78 is 38461 baud, the rate the bridge really runs at 38400.
  EXPECT_TRUE(settings.bOtherBaud);
  EXPECT_EQ(settings.nOutputSpeed, 38461U);
  EXPECT_EQ(settings.nInputSpeed, 38461U);
  EXPECT_TRUE(settings.bEightBits);
  EXPECT_FALSE(settings.bTwoStopBits);
  EXPECT_FALSE(settings.bParity);
  EXPECT_FALSE(settings.bHardwareFlow);
  EXPECT_FALSE(settings.bSoftwareFlow);

  EXPECT_EQ(FT_SetDivisor(m_hDevice, 313), FT_OK);
  ASSERT_TRUE(ReadPortSettings(m_nSlave, settings));
  EXPECT_EQ(settings.nOutputSpeed, 9584U);

  EXPECT_EQ(FT_SetDivisor(m_hDevice, 0), FT_INVALID_PARAMETER);
  EXPECT_EQ(FT_SetDataCharacteristics(m_hDevice, 7, FT_STOP_BITS_1, FT_PARITY_NONE), FT_INVALID_PARAMETER);
  EXPECT_EQ(FT_SetFlowControl(m_hDevice, 0x0100, 0, 0), FT_INVALID_PARAMETER);
}

TEST_F(TtyBackendTest, EveryArrivalSetsTheEventAndReadsDrainTheQueue) {
  OpenPty();
  ASSERT_EQ(FT_SetEventNotification(m_hDevice, FT_EVENT_RXCHAR, &m_rx), FT_OK);
  MasterWrite("\xAA\x03");
  ASSERT_TRUE(m_rx.Wait(LONG_WAIT_MS));
  // The second part comes while the first is still queued: it is announced all the same.
  MasterWrite(std::string("\x00\x11\x22\x33", 4));
  ASSERT_TRUE(m_rx.Wait(LONG_WAIT_MS));

  uint32_t nRx = 0;
  uint32_t nTx = 0;
  uint32_t nEvents = 0;
  ASSERT_EQ(FT_GetStatus(m_hDevice, &nRx, &nTx, &nEvents), FT_OK);
  ASSERT_EQ(nRx, 6U);
  std::string text(nRx, '\0');
  uint32_t nRead = 0;
  ASSERT_EQ(FT_Read(m_hDevice, text.data(), nRx, &nRead), FT_OK);
  EXPECT_EQ(nRead, 6U);
  EXPECT_EQ(text, std::string("\xAA\x03\x00\x11\x22\x33", 6));
  ASSERT_EQ(FT_GetStatus(m_hDevice, &nRx, &nTx, &nEvents), FT_OK);
  EXPECT_EQ(nRx, 0U);

  // Bytes that are queued when the notification is set are announced at once.
  ASSERT_EQ(FT_SetEventNotification(m_hDevice, 0, &m_rx), FT_OK);
  MasterWrite("z");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(LONG_WAIT_MS);
  while (nRx == 0 && std::chrono::steady_clock::now() < deadline) {
    ASSERT_EQ(FT_GetStatus(m_hDevice, &nRx, &nTx, &nEvents), FT_OK);
    std::this_thread::yield();
  }
  ASSERT_EQ(nRx, 1U);
  m_rx.Reset();
  ASSERT_EQ(FT_SetEventNotification(m_hDevice, FT_EVENT_RXCHAR, &m_rx), FT_OK);
  EXPECT_TRUE(m_rx.IsSignalled());
}

TEST_F(TtyBackendTest, WritesReachTheReceiverUnchanged) {
  OpenPty();
  ASSERT_EQ(FT_SetTimeouts(m_hDevice, 5000, 5000), FT_OK);
  // Bytes a cooked terminal would translate: carriage return, line feed, the interrupt key.
  const std::string frame("\xAA\x02\x00\x0D\x0A\x03", 6);
  uint32_t nWritten = 0;
  ASSERT_EQ(FT_Write(m_hDevice, frame.data(), static_cast<uint32_t>(frame.size()), &nWritten), FT_OK);
  EXPECT_EQ(nWritten, frame.size());
  EXPECT_EQ(MasterRead(frame.size()), frame);
}

TEST_F(TtyBackendTest, HangUpMarksThePortLostAndEveryCallFailsAtOnce) {
  OpenPty();
  ASSERT_EQ(FT_SetEventNotification(m_hDevice, FT_EVENT_RXCHAR, &m_rx), FT_OK);
  ASSERT_EQ(FT_SetTimeouts(m_hDevice, LONG_WAIT_MS, LONG_WAIT_MS), FT_OK);
  ::close(m_nMaster);
  m_nMaster = -1;
  // The reader wakes the consumer on the hang-up, so it finds out without waiting for data.
  ASSERT_TRUE(m_rx.Wait(LONG_WAIT_MS));

  const auto start = std::chrono::steady_clock::now();
  uint32_t nRx = 0;
  uint32_t nTx = 0;
  uint32_t nEvents = 0;
  EXPECT_NE(FT_GetStatus(m_hDevice, &nRx, &nTx, &nEvents), FT_OK);
  uint8_t buffer[4];
  uint32_t nCount = 0;
  EXPECT_NE(FT_Read(m_hDevice, buffer, 4, &nCount), FT_OK);
  EXPECT_NE(FT_Write(m_hDevice, "ab", 2, &nCount), FT_OK);
  EXPECT_NE(FT_SetDivisor(m_hDevice, 78), FT_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(LONG_WAIT_MS / 2));
  EXPECT_EQ(FT_Close(m_hDevice), FT_OK);
  m_hDevice = nullptr;
}

} // namespace
