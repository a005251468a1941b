// The simulated receiver, driven through the device layer and read with the link's decoder and
// the receiver message decoder: two sides written apart that must agree.
#include "link/ReceiverMessages.h"
#include "platform/D2xxRegistry.h"
#include "platform/D2xxSimBackend.h"
#include "platform/Event.h"
#include "platform/ManualWaitClock.h"
#include "tests/link/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <set>

namespace {

class SimulatedReceiverTest : public ::testing::Test {
protected:
  void SetUp() override {
    D2xxDisableAllBackends();
    m_pSim = std::make_shared<CSimulatedReceiver>();
    m_pSim->KeepLog(true);
    D2xxEnableBackend(std::make_shared<CD2xxSimBackend>(m_pSim));
    ASSERT_EQ(FT_OpenEx("TVX10417", FT_OPEN_BY_SERIAL_NUMBER, &m_hDevice), FT_OK);
    ASSERT_EQ(FT_SetEventNotification(m_hDevice, FT_EVENT_RXCHAR, &m_rx), FT_OK);
  }
  void TearDown() override {
    if (m_hDevice != nullptr) {
      FT_Close(m_hDevice);
    }
    D2xxDisableAllBackends();
  }

  void Command(uint8_t nCode) {
    const uint8_t frame[5] = {0xAA, 0x02, 0x00, nCode, nCode};
    uint32_t nWritten = 0;
    ASSERT_EQ(FT_Write(m_hDevice, frame, 5, &nWritten), FT_OK);
  }

  // Everything queued for the host, in one read.
  std::vector<uint8_t> ReadQueued() {
    uint32_t nRx = 0;
    uint32_t nTx = 0;
    uint32_t nEvents = 0;
    EXPECT_EQ(FT_GetStatus(m_hDevice, &nRx, &nTx, &nEvents), FT_OK);
    std::vector<uint8_t> bytes(nRx);
    uint32_t nRead = 0;
    EXPECT_EQ(FT_Read(m_hDevice, bytes.data(), nRx, &nRead), FT_OK);
    bytes.resize(nRead);
    return bytes;
  }

  // The messages in what is queued, decoded.
  std::vector<ReceiverMessage> Messages() { return Decode(ReadQueued()); }

  // The messages that bytes complete, decoded.
  std::vector<ReceiverMessage> Decode(const std::vector<uint8_t> &bytes) {
    m_decoder.ProcessBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
    std::vector<ReceiverMessage> messages;
    const auto packets = m_decoder.Packets();
    for (size_t i = m_nDecoded; i < packets.size(); ++i) {
      messages.push_back(DecodeReceiverMessage(packets[i].data(), static_cast<uint32_t>(packets[i].size())));
    }
    m_nDecoded = packets.size();
    return messages;
  }

  static std::vector<int8_t> LevelsOf(const std::vector<ReceiverMessage> &messages, int nChannel) {
    std::vector<int8_t> levels;
    for (const auto &message : messages) {
      if (const auto *p = std::get_if<LevelsMessage>(&message); p != nullptr && p->nChannel == nChannel) {
        levels.insert(levels.end(), p->levels.begin(), p->levels.end());
      }
    }
    return levels;
  }

  std::shared_ptr<CSimulatedReceiver> m_pSim;
  FT_HANDLE m_hDevice = nullptr;
  CEvent m_rx;
  CPacketLink m_decoder;
  size_t m_nDecoded = 0;
};

TEST_F(SimulatedReceiverTest, AnswersTheCommands) {
  Command(0x1C);
  EXPECT_TRUE(m_rx.Wait(0)) << "the answer is announced through the notification event";
  auto messages = Messages();
  ASSERT_EQ(messages.size(), 1U);
  ASSERT_TRUE(std::holds_alternative<SerialNumberMessage>(messages[0]));
  EXPECT_EQ(std::get<SerialNumberMessage>(messages[0]).strSerial, "TX5301");

  Command(0x01);
  messages = Messages();
  ASSERT_EQ(messages.size(), 1U);
  const auto &info = std::get<ReceiverInfoMessage>(messages[0]);
  EXPECT_EQ(info.nPresence, 0x03);
  ASSERT_TRUE(info.receivers[0] && info.receivers[1]);
  EXPECT_EQ(info.receivers[0]->nMinChannel, 32000U);
  EXPECT_EQ(info.receivers[0]->nMaxChannel, 37600U);
  EXPECT_EQ(info.receivers[0]->fStepKHz, 12.5F);
  EXPECT_EQ(info.receivers[1]->nMinChannel, 16000U);
  EXPECT_EQ(info.receivers[1]->nMaxChannel, 24000U);
  EXPECT_EQ(info.receivers[1]->fStepKHz, 25.0F);

  // Out of measurement mode a resend brings the description alone.
  Command(0x30);
  messages = Messages();
  ASSERT_EQ(messages.size(), 1U);
  EXPECT_TRUE(std::holds_alternative<ReceiverInfoMessage>(messages[0]));

  // Unknown codes, and frames that are not commands, get no answer.
  Command(0x77);
  const uint8_t notCommand[] = {0xAA, 0x02, 0x00, 0x1C, 0x01, 0xAA, 0x01, 0x00, 0x1C, 0xAA, 0x00, 0x00};
  uint32_t nWritten = 0;
  ASSERT_EQ(FT_Write(m_hDevice, notCommand, sizeof notCommand, &nWritten), FT_OK);
  EXPECT_TRUE(ReadQueued().empty());

  // A command split over writes is answered once it is whole.
  const uint8_t first[] = {0xAA, 0x02};
  const uint8_t second[] = {0x00, 0x1C, 0x1C};
  ASSERT_EQ(FT_Write(m_hDevice, first, 2, &nWritten), FT_OK);
  EXPECT_TRUE(ReadQueued().empty());
  ASSERT_EQ(FT_Write(m_hDevice, second, 3, &nWritten), FT_OK);
  EXPECT_EQ(Messages().size(), 1U);
  EXPECT_EQ(m_pSim->ReceivedBytes().size(), 5U * 4 + sizeof notCommand + 5);
}

TEST_F(SimulatedReceiverTest, MeasurementModeStreamsAReportAndLevelsAtTheSampleRate) {
  m_pSim->SetMeasurementMode(true);
  auto messages = Messages();
  ASSERT_EQ(messages.size(), 1U);
  const auto &report = std::get<ChannelReportMessage>(messages[0]);
  EXPECT_EQ(report.nChannel1, 34000U);
  EXPECT_EQ(report.nChannel2, 20000U);

  // 40 levels a second, 8 a message: 5 messages per channel each second, channel 1 first.
  m_pSim->Advance(1000);
  messages = Messages();
  ASSERT_EQ(messages.size(), 10U);
  for (size_t i = 0; i < messages.size(); ++i) {
    const auto &levels = std::get<LevelsMessage>(messages[i]);
    EXPECT_EQ(levels.nChannel, i % 2 == 0 ? 1 : 2);
    EXPECT_EQ(levels.nItems, 16U);
    EXPECT_EQ(levels.levels.size(), 8U);
  }
  EXPECT_EQ(m_pSim->LevelsSent(1), 40U);
  EXPECT_EQ(m_pSim->LevelsSent(2), 40U);

  // Plausible levels that vary over time.
  m_pSim->Advance(9000);
  const auto levels = LevelsOf(Messages(), 1);
  ASSERT_EQ(levels.size(), 360U);
  EXPECT_TRUE(std::all_of(levels.begin(), levels.end(), [](int8_t n) { return n >= -120 && n <= -20; }));
  EXPECT_GE(std::set<int8_t>(levels.begin(), levels.end()).size(), 8U);
  EXPECT_GE(*std::max_element(levels.begin(), levels.end()) - *std::min_element(levels.begin(), levels.end()), 10);
}

TEST_F(SimulatedReceiverTest, TimeMayPassInStepsOfAnySize) {
  _simpanel panel;
  panel.bMeasurementMode = true;
  panel.nSampleRate = 30; // a period that is not a whole number of milliseconds
  panel.nLevelsPerMessage = 7;
  m_pSim->SetPanel(panel);
  for (int i = 0; i < 700; ++i) {
    m_pSim->Advance(3);
  }
  m_pSim->Advance(2900);
  EXPECT_EQ(m_pSim->GetTimeMs(), 5000U);
  EXPECT_EQ(m_pSim->LevelsSent(1), 147U) << "150 levels measured, 21 whole messages sent";
  EXPECT_EQ(m_pSim->LevelsSent(2), 147U);
  EXPECT_EQ(LevelsOf(Messages(), 2).size(), 147U);
}

TEST_F(SimulatedReceiverTest, FrontPanelChanges) {
  m_pSim->SetChannelCount(1);
  m_pSim->SetMeasurementMode(true);
  auto messages = Messages();
  ASSERT_EQ(messages.size(), 1U);
  // Measuring one channel, the unit names no valid channel for receiver 2.
  EXPECT_EQ(std::get<ChannelReportMessage>(messages[0]).nChannel2, 0U);
  m_pSim->Advance(1000);
  messages = Messages();
  EXPECT_EQ(LevelsOf(messages, 1).size(), 40U);
  EXPECT_TRUE(LevelsOf(messages, 2).empty());

  m_pSim->SelectChannel(1, 36000);
  messages = Messages();
  ASSERT_EQ(messages.size(), 1U);
  EXPECT_EQ(std::get<ChannelReportMessage>(messages[0]).nChannel1, 36000U);

  // A resend in measurement mode brings the description and the channels.
  Command(0x30);
  messages = Messages();
  ASSERT_EQ(messages.size(), 2U);
  EXPECT_TRUE(std::holds_alternative<ReceiverInfoMessage>(messages[0]));
  EXPECT_EQ(std::get<ChannelReportMessage>(messages[1]).nChannel1, 36000U);

  m_pSim->SetSampleRate(80);
  m_pSim->Advance(1000);
  EXPECT_EQ(LevelsOf(Messages(), 1).size(), 80U);

  m_pSim->SetMeasurementMode(false);
  m_pSim->Advance(1000);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(SimulatedReceiverTest, ReceiverWithoutItsSecondHalfMeasuresOneChannel) {
  FT_Close(m_hDevice);
  m_hDevice = nullptr;
  _simidentity identity;
  identity.strBridgeSerial = "TVX00002";
  identity.nPresence = 0x01;
  auto pSim = std::make_shared<CSimulatedReceiver>(identity);
  D2xxEnableBackend(std::make_shared<CD2xxSimBackend>(pSim));
  ASSERT_EQ(FT_OpenEx("TVX00002", FT_OPEN_BY_SERIAL_NUMBER, &m_hDevice), FT_OK);
  pSim->SetChannelCount(2);
  pSim->SetMeasurementMode(true);
  pSim->Advance(1000);
  EXPECT_EQ(pSim->GetPanel().nChannels, 1);
  EXPECT_EQ(pSim->LevelsSent(2), 0U);
  Command(0x01);
  const auto messages = Messages();
  ASSERT_FALSE(messages.empty());
  const auto &info = std::get<ReceiverInfoMessage>(messages.back());
  EXPECT_TRUE(info.receivers[0]);
  EXPECT_FALSE(info.receivers[1]);
}

TEST_F(SimulatedReceiverTest, HostQueueAndNotification) {
  // One port at a time.
  FT_HANDLE hSecond = nullptr;
  EXPECT_NE(FT_OpenEx("TVX10417", FT_OPEN_BY_SERIAL_NUMBER, &hSecond), FT_OK);

  EXPECT_EQ(FT_SetDivisor(m_hDevice, 78), FT_OK);
  EXPECT_EQ(FT_SetDataCharacteristics(m_hDevice, 8, 0, 0), FT_OK);
  EXPECT_EQ(FT_SetTimeouts(m_hDevice, 5000, 5000), FT_OK);
  const _simsettings settings = m_pSim->GetSettings();
  EXPECT_EQ(settings.nDivisor, 78);
  EXPECT_EQ(settings.nWordLength, 8);
  EXPECT_EQ(settings.nReadTimeoutMs, 5000U);
  EXPECT_EQ(settings.nEventMask, FT_EVENT_RXCHAR);

  // Without notification the bytes still queue; with it back on they are announced.
  ASSERT_EQ(FT_SetEventNotification(m_hDevice, 0, &m_rx), FT_OK);
  Command(0x1C);
  EXPECT_FALSE(m_rx.IsSignalled());
  EXPECT_EQ(m_pSim->QueuedBytes(), 10U);
  ASSERT_EQ(FT_SetEventNotification(m_hDevice, FT_EVENT_RXCHAR, &m_rx), FT_OK);
  EXPECT_TRUE(m_rx.Wait(0));

  // Closed, the port drops its queue; what the unit sends meanwhile is lost.
  EXPECT_EQ(FT_Close(m_hDevice), FT_OK);
  m_hDevice = nullptr;
  m_pSim->SetMeasurementMode(true);
  m_pSim->Advance(1000);
  ASSERT_EQ(FT_OpenEx("TVX10417", FT_OPEN_BY_SERIAL_NUMBER, &m_hDevice), FT_OK);
  EXPECT_EQ(m_pSim->QueuedBytes(), 0U);
  EXPECT_EQ(m_pSim->GetSettings().nOpens, 2U);
  EXPECT_EQ(m_pSim->GetSettings().nCloses, 1U);
}

TEST_F(SimulatedReceiverTest, DeliveryModes) {
  m_pSim->SetDelivery(SimDelivery::manual);
  Command(0x1C);
  EXPECT_EQ(m_pSim->PendingBytes(), 10U);
  EXPECT_EQ(m_pSim->QueuedBytes(), 0U);
  EXPECT_EQ(m_pSim->Deliver(4), 4U);
  EXPECT_TRUE(m_rx.Wait(0));
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(m_pSim->Deliver(100), 6U);
  EXPECT_EQ(Messages().size(), 1U);
  EXPECT_TRUE(m_pSim->WaitUntilRead(0));

  // At wire speed, 38461 baud carries 3846 bytes a second: ten milliseconds carry 38 bytes.
  ASSERT_EQ(FT_SetDivisor(m_hDevice, 78), FT_OK);
  m_pSim->SetDelivery(SimDelivery::wireSpeed);
  for (int i = 0; i < 8; ++i) {
    Command(0x01); // 8 descriptions of 29 bytes
  }
  EXPECT_EQ(m_pSim->PendingBytes(), 232U);
  m_pSim->Advance(10);
  EXPECT_EQ(m_pSim->QueuedBytes(), 38U);
  m_pSim->Advance(50);
  EXPECT_EQ(m_pSim->QueuedBytes(), 230U);
  m_pSim->Advance(1000);
  EXPECT_EQ(Messages().size(), 8U);
}

TEST_F(SimulatedReceiverTest, NoiseBetweenFramesNeverHoldsTheSyncByte) {
  m_pSim->SetNoise(6);
  m_pSim->SetMeasurementMode(true);
  m_pSim->Advance(20000);
  const auto bytes = ReadQueued();
  m_decoder.ProcessBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
  const auto sent = m_pSim->SentPayloads();
  EXPECT_EQ(m_decoder.Packets(), sent) << "noise without a sync byte costs no frame";
  size_t nFrameBytes = 0;
  for (const auto &payload : sent) {
    nFrameBytes += payload.size() + 3;
  }
  EXPECT_GT(bytes.size(), nFrameBytes + sent.size()) << "noise was sent";
}

TEST_F(SimulatedReceiverTest, DroppedByteShortensOneFrame) {
  m_pSim->DropByteOfNextFrame(4);
  Command(0x1C);
  const auto bytes = ReadQueued();
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0xAA, 0x07, 0x00, 0x1C, 'X', '5', '3', '0', '1'}));
  Command(0x1C);
  EXPECT_EQ(ReadQueued().size(), 10U) << "only one frame loses a byte";
}

TEST_F(SimulatedReceiverTest, UnplugFailsEveryCallUntilReopened) {
  m_pSim->SetMeasurementMode(true);
  m_pSim->Unplug();
  uint32_t nRx = 0;
  uint32_t nTx = 0;
  uint32_t nEvents = 0;
  EXPECT_NE(FT_GetStatus(m_hDevice, &nRx, &nTx, &nEvents), FT_OK);
  uint8_t buffer[4];
  uint32_t nCount = 0;
  EXPECT_NE(FT_Read(m_hDevice, buffer, 4, &nCount), FT_OK);
  EXPECT_NE(FT_Write(m_hDevice, buffer, 4, &nCount), FT_OK);
  EXPECT_NE(FT_SetDivisor(m_hDevice, 78), FT_OK);
  FT_HANDLE hOther = nullptr;
  EXPECT_EQ(FT_OpenEx("TVX10417", FT_OPEN_BY_SERIAL_NUMBER, &hOther), FT_DEVICE_NOT_FOUND);
  m_pSim->Advance(1000);
  EXPECT_EQ(m_pSim->LevelsSent(1), 0U) << "nothing leaves an unplugged unit";

  m_pSim->Replug();
  EXPECT_NE(FT_GetStatus(m_hDevice, &nRx, &nTx, &nEvents), FT_OK) << "the old port stays dead";
  ASSERT_EQ(FT_OpenEx("TVX10417", FT_OPEN_BY_SERIAL_NUMBER, &hOther), FT_OK);
  EXPECT_EQ(FT_Close(m_hDevice), FT_OK);
  m_hDevice = hOther;
  ASSERT_EQ(FT_SetEventNotification(m_hDevice, FT_EVENT_RXCHAR, &m_rx), FT_OK);
  m_pSim->Advance(1000);
  EXPECT_EQ(LevelsOf(Messages(), 1).size(), 40U);
}

TEST_F(SimulatedReceiverTest, WriteFailure) {
  m_pSim->FailWrites(true);
  const uint8_t frame[5] = {0xAA, 0x02, 0x00, 0x1C, 0x1C};
  uint32_t nWritten = 99;
  EXPECT_NE(FT_Write(m_hDevice, frame, 5, &nWritten), FT_OK);
  EXPECT_EQ(nWritten, 0U);
  EXPECT_TRUE(m_pSim->ReceivedBytes().empty());
  m_pSim->FailWrites(false);
  EXPECT_EQ(FT_Write(m_hDevice, frame, 5, &nWritten), FT_OK);
  EXPECT_EQ(Messages().size(), 1U);
}

// At wire speed the line paces the unit: 38461 baud carries 3846 bytes a second, about 415 levels
// a second on each of two channels in messages of 8 (37 bytes each). A unit measuring faster
// drops the level messages its send buffer cannot take, and counts them, instead of falling
// ever further behind: what it measured before ESC is on the line within the buffer's few
// milliseconds, so a segment begun after ESC never receives it.
TEST_F(SimulatedReceiverTest, TheLinePacesTheUnit) {
  const struct {
    uint32_t nRate;
    int nChannels;
    uint32_t nLineRate; // the most each channel gets through
  } cases[] = {{400, 2, 415}, {1000, 2, 415}, {1000, 1, 831}};
  ASSERT_EQ(FT_SetDivisor(m_hDevice, 78), FT_OK);
  m_pSim->SetDelivery(SimDelivery::wireSpeed);
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.nRate) + " levels/s on " + std::to_string(c.nChannels) + " channels");
    m_pSim->SetChannelCount(c.nChannels);
    m_pSim->SetSampleRate(c.nRate);
    EXPECT_EQ(m_pSim->LineLevelRate(), c.nLineRate);
    std::array<uint64_t, 2> sent{};
    std::array<uint64_t, 2> dropped{};
    for (int k = 0; k < c.nChannels; ++k) {
      sent.at(k) = m_pSim->LevelsSent(k + 1);
      dropped.at(k) = m_pSim->LevelsDropped(k + 1);
    }
    m_pSim->SetMeasurementMode(true);
    size_t nBytes = 0;
    std::vector<ReceiverMessage> messages;
    for (int nStep = 0; nStep <= 20; ++nStep) {
      m_pSim->Advance(nStep < 20 ? 1000 : 100); // 20 s, then ESC and 100 ms
      const auto bytes = ReadQueued();
      nBytes += bytes.size();
      const auto decoded = Decode(bytes);
      messages.insert(messages.end(), decoded.begin(), decoded.end());
      if (nStep == 19) {
        m_pSim->SetMeasurementMode(false);
      }
    }
    m_pSim->Advance(10000);
    EXPECT_TRUE(ReadQueued().empty()) << "the line fell silent after ESC";
    EXPECT_LE(nBytes, 3846 * 20.1 + SIM_SEND_BUFFER_BYTES) << "no more than 38461 baud carries";

    for (int k = 0; k < c.nChannels; ++k) {
      SCOPED_TRACE("channel " + std::to_string(k + 1));
      const uint64_t nReceived = LevelsOf(messages, k + 1).size();
      EXPECT_EQ(nReceived, m_pSim->LevelsSent(k + 1) - sent.at(k)) << "everything sent arrived";
      const uint64_t nDropped = m_pSim->LevelsDropped(k + 1) - dropped.at(k);
      EXPECT_NEAR(static_cast<double>(nReceived + nDropped), c.nRate * 20.0, 8.0) << "every level is counted";
      if (c.nRate <= c.nLineRate) {
        EXPECT_EQ(nDropped, 0U);
      } else {
        EXPECT_GE(nReceived, c.nLineRate * 20 * 97 / 100) << "the line is kept full and shared";
      }
    }
  }
}

// The unit's own thread moves its time on by the clock it is given: a test's clock that moves
// only when told lets a minute of levels pass in no real time.
TEST_F(SimulatedReceiverTest, RealTimeModeFollowsItsClock) {
  CManualWaitClock clock;
  m_pSim->SetMeasurementMode(true);
  m_pSim->StartRealTime(1.0, clock);
  ASSERT_TRUE(clock.WaitForWaits(1));
  EXPECT_EQ(m_pSim->LevelsSent(1), 0U);
  clock.Advance(std::chrono::seconds(60));
  // Once the minute is done, the thread waits for the clock's next tick.
  ASSERT_TRUE(clock.WaitForDeadline(clock.Now() + std::chrono::milliseconds(5)));
  m_pSim->StopRealTime();
  EXPECT_EQ(m_pSim->GetTimeMs(), 60000U);
  EXPECT_EQ(m_pSim->LevelsSent(1), 2400U);
  EXPECT_EQ(LevelsOf(Messages(), 1).size(), 2400U);
}

} // namespace
