#include "tools/tvdtool/MonitorCommand.h"
#include "platform/D2xxRegistry.h"
#include "platform/D2xxSimBackend.h"
#include "platform/SimulatedReceiver.h"
#include "tools/tvdtool/DevicesCommand.h"
#include "tools/tvdtool/FramesCommand.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

class MonitorCommandTest : public ::testing::Test {
protected:
  void SetUp() override {
    D2xxDisableAllBackends();
    m_dir = fs::temp_directory_path() / ("tarvex-monitor-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    D2xxDisableAllBackends();
    fs::remove_all(m_dir);
  }

  // A monitor of a simulated receiver that runs at a hundred times real time until nPackets
  // have come; the time limit is a guard that a passing run never reaches.
  _monitoroptions SimulatedWatch(uint64_t nPackets) {
    _monitoroptions options;
    options.backends.bSimulate = true;
    options.backends.pSimulator = m_pSim;
    options.dSimulatorSpeed = 100.0;
    options.nMaxPackets = nPackets;
    options.dSeconds = 30.0;
    return options;
  }

  fs::path m_dir;
  std::shared_ptr<CSimulatedReceiver> m_pSim = std::make_shared<CSimulatedReceiver>();
};

TEST_F(MonitorCommandTest, ShowsTheWholeExchangeOfASimulatedReceiver) {
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunMonitor(SimulatedWatch(8), out, err), 0) << err.str();
  const auto lines = Lines(out.str());
  ASSERT_EQ(lines.size(), 8U) << out.str();
  EXPECT_NE(lines[0].find("serial       TX5301"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("receiver     receiver 1: Installed, channels 32000..37600"), std::string::npos);
  EXPECT_NE(lines[2].find("channels     channel 1 = 34000, channel 2 = 20000"), std::string::npos);
  for (size_t i = 3; i < lines.size(); ++i) {
    EXPECT_NE(lines[i].find("levels       channel "), std::string::npos) << lines[i];
  }
  EXPECT_EQ(err.str().rfind("device TVX10417\tTARVEX Receiver\tTARVEX\tVexlor, Inc\n", 0), 0U) << err.str();
  // The serial number command first, the description command when the serial number came.
  EXPECT_EQ(m_pSim->ReceivedBytes(),
            (std::vector<uint8_t>{0xAA, 0x02, 0x00, 0x1C, 0x1C, 0xAA, 0x02, 0x00, 0x01, 0x01}));
  // The listing's query and the link's connection, each closed again.
  EXPECT_EQ(m_pSim->GetSettings().nOpens, 2U);
  EXPECT_EQ(m_pSim->GetSettings().nCloses, 2U);
}

TEST_F(MonitorCommandTest, OneChannelAndJson) {
  auto options = SimulatedWatch(6);
  options.bJson = true;
  options.nSimulatorChannels = 1;
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunMonitor(options, out, err), 0) << err.str();
  const auto lines = Lines(out.str());
  ASSERT_EQ(lines.size(), 6U);
  std::vector<std::string> types;
  double dLastTime = -1.0;
  for (const auto &line : lines) {
    const auto json = nlohmann::json::parse(line);
    types.push_back(json["type"]);
    EXPECT_GE(json["t"].get<double>(), dLastTime);
    dLastTime = json["t"];
    if (json["type"] == "levels") {
      EXPECT_EQ(json["channel"], 1);
    }
  }
  EXPECT_EQ(types, (std::vector<std::string>{"serial_number", "receiver_info", "channel_report", "levels", "levels",
                                             "levels"}));
  EXPECT_EQ(nlohmann::json::parse(lines[2])["channel2"], 0);
}

TEST_F(MonitorCommandTest, RecordingDecodesAndReplaysAsTheSameMessages) {
  const std::string strPath = (m_dir / "session.bin").string();
  auto options = SimulatedWatch(12);
  options.strRecordPath = strPath;
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunMonitor(options, out, err), 0) << err.str();
  ASSERT_TRUE(fs::exists(strPath + ".arrivals"));

  // The message text of each printed line, without its arrival time.
  auto messages = [](const std::string &text) {
    std::vector<std::string> result;
    for (const auto &line : Lines(text)) {
      result.push_back(line.size() > 11 ? line.substr(11) : line);
    }
    return result;
  };
  const auto watched = messages(out.str());

  std::ifstream in(strPath, std::ios::binary);
  std::ostringstream decoded;
  const unsigned long nPackets = DecodeFrames(in, decoded, false);
  ASSERT_GE(nPackets, watched.size());
  const auto decodedLines = Lines(decoded.str());
  EXPECT_TRUE(std::equal(watched.begin(), watched.end(), decodedLines.begin()));

  _monitoroptions replay;
  replay.backends.strReplayPath = strPath;
  replay.backends.bReplayAsFastAsPossible = true;
  replay.nMaxPackets = watched.size();
  replay.dSeconds = 30.0;
  std::ostringstream replayed;
  std::ostringstream replayErr;
  ASSERT_EQ(RunMonitor(replay, replayed, replayErr), 0) << replayErr.str();
  EXPECT_EQ(messages(replayed.str()), watched);
  EXPECT_NE(replayErr.str().find("device REPLAY\tReplay of session.bin\tTARVEX\tVexlor, Inc"), std::string::npos);
}

TEST_F(MonitorCommandTest, RecordingThatCannotBeWrittenIsReported) {
  auto options = SimulatedWatch(3);
  options.strRecordPath = (m_dir / "missing-folder" / "session.bin").string();
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_THROW(RunMonitor(options, out, err), std::exception);
}

TEST_F(MonitorCommandTest, NoDeviceOrAnUnknownOne) {
  std::ostringstream out;
  std::ostringstream err;
  _monitoroptions options;
  options.dSeconds = 30.0;
  EXPECT_EQ(RunMonitor(options, out, err), 1);
  EXPECT_EQ(err.str(), "tvdtool: no devices found\n");

  options = SimulatedWatch(3);
  options.strDevice = "NOSUCH";
  err.str("");
  EXPECT_EQ(RunMonitor(options, out, err), 1);
  EXPECT_EQ(err.str(), "tvdtool: no device with the serial number \"NOSUCH\"\n");
  EXPECT_TRUE(out.str().empty());

  // An unplugged unit is no longer listed.
  m_pSim->Unplug();
  options.strDevice.clear();
  err.str("");
  EXPECT_EQ(RunMonitor(options, out, err), 1);
  EXPECT_EQ(err.str(), "tvdtool: no device with the serial number \"TVX10417\"\n");
}

TEST_F(MonitorCommandTest, DeviceHeldElsewhereCannotBeOpenedAndLeavesNothingBehind) {
  std::unique_ptr<CD2xxDevice> pHeld;
  ASSERT_EQ(m_pSim->OpenPort(pHeld), FT_OK);
  auto options = SimulatedWatch(3);
  options.strRecordPath = (m_dir / "session.bin").string();
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunMonitor(options, out, err), 1);
  EXPECT_NE(err.str().find("tvdtool: device TVX10417 could not be opened: the receiver \"TVX10417\" is in use by "
                           "another program or connection\n"),
            std::string::npos)
      << err.str();
  // The recording no longer listens to reads once the watch is over.
  D2xxEnableBackend(std::make_shared<CD2xxSimBackend>(m_pSim));
  pHeld->Close();
  m_pSim->SetDelivery(SimDelivery::immediate);
  FT_HANDLE hDevice = nullptr;
  ASSERT_EQ(FT_OpenEx("TVX10417", FT_OPEN_BY_SERIAL_NUMBER, &hDevice), FT_OK);
  const uint8_t command[] = {0xAA, 0x02, 0x00, 0x1C, 0x1C};
  uint32_t nCount = 0;
  ASSERT_EQ(FT_Write(hDevice, command, 5, &nCount), FT_OK);
  uint8_t answer[10];
  EXPECT_EQ(FT_Read(hDevice, answer, 10, &nCount), FT_OK);
  EXPECT_EQ(nCount, 10U);
  FT_Close(hDevice);
  EXPECT_EQ(fs::file_size(options.strRecordPath), 0U);
}

// A receiver unplugged during the watch ends it at once with the reason on standard error and a
// failing exit status; what came before it is shown.
TEST_F(MonitorCommandTest, LostReceiverEndsTheWatchWithAnError) {
  auto options = SimulatedWatch(0);
  std::ostringstream out;
  std::ostringstream err;
  bool bUnplugged = false;
  size_t nLinesAtUnplug = 0;
  // Polled on the watching thread, between its takes from the link.
  options.pfnInterrupted = [&] {
    if (!bUnplugged && Lines(out.str()).size() >= 4) {
      nLinesAtUnplug = Lines(out.str()).size();
      m_pSim->Unplug();
      bUnplugged = true;
    }
    return false;
  };
  EXPECT_EQ(RunMonitor(options, out, err), 1) << err.str();
  ASSERT_TRUE(bUnplugged);
  EXPECT_NE(err.str().find("tvdtool: device TVX10417: the receiver is gone: "), std::string::npos) << err.str();
  EXPECT_EQ(err.str().find("could not be sent"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find(std::to_string(Lines(out.str()).size()) + " packets in "), std::string::npos)
      << "the summary counts what was shown";
  EXPECT_GE(Lines(out.str()).size(), nLinesAtUnplug);
}

TEST_F(MonitorCommandTest, InterruptEndsTheWatch) {
  auto options = SimulatedWatch(0);
  options.dSeconds = 0.0; // until interrupted
  int nPolls = 0;
  options.pfnInterrupted = [&] { return ++nPolls > 1; };
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunMonitor(options, out, err), 0);
  EXPECT_EQ(nPolls, 2);
}

TEST(DevicesCommand, ListsTheSimulatedReceiver) {
  D2xxDisableAllBackends();
  CDeviceBackends::_options options;
  options.bSimulate = true;
  {
    CDeviceBackends backends(options);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(PrintDevices(out, err, false), 0);
    EXPECT_EQ(out.str(), "TVX10417\tTARVEX Receiver\tTARVEX\tVexlor, Inc\n");
    out.str("");
    EXPECT_EQ(PrintDevices(out, err, true), 0);
    EXPECT_EQ(nlohmann::json::parse(out.str()), nlohmann::json({{"serial", "TVX10417"},
                                                                {"description", "TARVEX Receiver"},
                                                                {"product", "TARVEX"},
                                                                {"manufacturer", "Vexlor, Inc"}}));
    EXPECT_TRUE(err.str().empty());
  }
  // The simulated receiver goes with the command that enabled it.
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(PrintDevices(out, err, false), 0);
  EXPECT_TRUE(out.str().empty());
  EXPECT_EQ(err.str(), "no devices found\n");
}

} // namespace
