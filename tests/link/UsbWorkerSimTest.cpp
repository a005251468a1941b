// The link against the simulated receiver: the whole road from the unit's frames to the queue
// the owner's thread takes them from.
#include "link/ReceiverMessages.h"
#include "link/Usb.h"
#include "platform/D2xxRegistry.h"
#include "platform/D2xxSimBackend.h"
#include "platform/ManualWaitClock.h"
#include "tests/link/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>

namespace {

using Payloads = std::vector<std::vector<uint8_t>>;

class UsbWorkerSimTest : public ::testing::Test {
protected:
  void SetUp() override {
    D2xxDisableAllBackends();
    m_pSim = std::make_shared<CSimulatedReceiver>();
    m_pSim->KeepLog(true);
    D2xxEnableBackend(std::make_shared<CD2xxSimBackend>(m_pSim));
    m_link.StartWorker();
    ASSERT_TRUE(m_link.Open("TVX10417", 38400));
  }
  void TearDown() override {
    m_link.StopWorker();
    D2xxDisableAllBackends();
  }

  // Waits until the link has delivered every payload the unit sent, and compares them.
  void ExpectEverySentPayloadDelivered() {
    const Payloads sent = m_pSim->SentPayloads();
    ASSERT_TRUE(m_link.WaitForPackets(sent.size())) << m_link.Packets().size() << " of " << sent.size();
    EXPECT_EQ(m_link.Packets(), sent);
  }

  std::shared_ptr<CSimulatedReceiver> m_pSim;
  CPacketLink m_link;
};

TEST_F(UsbWorkerSimTest, StartUpExchange) {
  ASSERT_TRUE(m_link.SendCommandByte(CMD_SERIAL_NUMBER));
  ASSERT_TRUE(m_link.WaitForPackets(1));
  const auto serial = DecodeReceiverMessage(m_link.Packets()[0].data(), 7);
  ASSERT_TRUE(std::holds_alternative<SerialNumberMessage>(serial));
  EXPECT_EQ(std::get<SerialNumberMessage>(serial).strSerial, "TX5301");

  ASSERT_TRUE(m_link.SendCommandByte(CMD_RECEIVER_INFO));
  ASSERT_TRUE(m_link.WaitForPackets(2));
  const auto packet = m_link.Packets()[1];
  const auto info = DecodeReceiverMessage(packet.data(), static_cast<uint32_t>(packet.size()));
  ASSERT_TRUE(std::holds_alternative<ReceiverInfoMessage>(info));
  EXPECT_EQ(std::get<ReceiverInfoMessage>(info).nPresence, 0x03);
  EXPECT_EQ(m_pSim->ReceivedBytes(),
            (std::vector<uint8_t>{0xAA, 0x02, 0x00, 0x1C, 0x1C, 0xAA, 0x02, 0x00, 0x01, 0x01}));
}

TEST_F(UsbWorkerSimTest, LevelStreamWithNoiseDeliversEveryFrameInOrder) {
  m_pSim->SetNoise(7);
  m_pSim->SetMeasurementMode(true);
  for (int i = 0; i < 100; ++i) {
    m_pSim->Advance(50);
  }
  EXPECT_EQ(m_pSim->LevelsSent(1), 200U);
  ExpectEverySentPayloadDelivered();
  EXPECT_EQ(m_link.Packets().size(), 51U) << "a channel report and 50 level messages";
}

TEST_F(UsbWorkerSimTest, FramesSplitAtArbitraryPoints) {
  m_pSim->SetDelivery(SimDelivery::manual);
  m_pSim->SetMeasurementMode(true);
  m_pSim->Advance(3000);
  std::mt19937 rng(7);
  // Each piece is read by the worker before the next arrives, so frames reach the decoder cut.
  while (m_pSim->PendingBytes() > 0) {
    m_pSim->Deliver(1 + rng() % 9);
    ASSERT_TRUE(m_pSim->WaitUntilRead(LONG_WAIT_MS));
  }
  ExpectEverySentPayloadDelivered();
}

TEST_F(UsbWorkerSimTest, DroppedByteCostsAFewFramesAndTheStreamRecovers) {
  m_pSim->SetMeasurementMode(true);
  m_pSim->Advance(2000);
  const size_t nBefore = m_pSim->SentPayloads().size();
  m_pSim->DropByteOfNextFrame(5);
  m_pSim->Advance(5000);
  const Payloads sent = m_pSim->SentPayloads();
  ASSERT_TRUE(m_link.WaitUntil([&](const Payloads &packets) {
    return !packets.empty() && packets.back() == sent.back();
  })) << "the stream never recovered";

  const Payloads packets = m_link.Packets();
  ASSERT_GE(packets.size(), nBefore);
  EXPECT_TRUE(std::equal(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(nBefore), packets.begin()));
  EXPECT_NE(packets[nBefore], sent[nBefore]) << "the damaged frame";
  // The last ten frames arrive whole and in order, and few of the rest are lost.
  ASSERT_GE(packets.size(), 10U);
  EXPECT_TRUE(std::equal(sent.end() - 10, sent.end(), packets.end() - 10));
  size_t nIntact = 0;
  for (const auto &payload : sent) {
    nIntact += std::find(packets.begin(), packets.end(), payload) != packets.end() ? 1 : 0;
  }
  EXPECT_GE(nIntact + 4, sent.size());
}

TEST_F(UsbWorkerSimTest, UnplugDuringStreamingIsReportedAndLeavesTheLinkAnsweringAndStoppable) {
  m_pSim->SetMeasurementMode(true);
  m_pSim->Advance(1000);
  ASSERT_TRUE(m_link.WaitForPackets(11));
  m_pSim->Unplug();
  m_pSim->Advance(1000);
  ASSERT_TRUE(m_link.WaitForLost());
  EXPECT_EQ(m_link.Kinds(), std::string(11, 'p') + "L") << "every packet first, then one report";
  EXPECT_NE(m_link.LostReasons()[0].find("the receiver is gone"), std::string::npos);
  std::string strWhy;
  EXPECT_FALSE(m_link.SendCommandByte(CMD_SERIAL_NUMBER, &strWhy));
  EXPECT_EQ(strWhy, m_link.LostReasons()[0]);
  EXPECT_EQ(m_link.PostCommand({USB_CLOSE, 0, nullptr}), 0) << "the handle is given up all the same";
  EXPECT_EQ(m_link.PostCommand({USB_CLOSE, 0, nullptr}), -1);
  EXPECT_FALSE(m_link.Open("TVX10417", 38400, &strWhy));
  EXPECT_EQ(strWhy, "no receiver with the serial number \"TVX10417\" is attached");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(m_link.StopWorker());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(LONG_WAIT_MS / 2));
  EXPECT_EQ(m_link.Packets().size(), 11U);

  // Plugged in again, a new connection streams again, and its loss is reported again.
  m_pSim->Replug();
  m_link.StartWorker();
  ASSERT_TRUE(m_link.Open("TVX10417", 38400));
  m_pSim->Advance(1000);
  ASSERT_TRUE(m_link.WaitForPackets(21));
  m_pSim->Unplug();
  ASSERT_TRUE(m_link.WaitForLost(2));
}

// The report does not wait for the worker's idle wait to run out: on a clock that never moves,
// the unplug alone wakes the worker.
TEST_F(UsbWorkerSimTest, UnplugIsReportedWithoutWaitingForTheIdleTimeOut) {
  m_link.StopWorker();
  CManualWaitClock clock;
  CPacketLink link(clock);
  link.StartWorker();
  ASSERT_TRUE(link.Open("TVX10417", 38400));
  m_pSim->Unplug();
  ASSERT_TRUE(link.WaitForLost());
  EXPECT_EQ(link.Kinds(), "L");
}

TEST_F(UsbWorkerSimTest, UnitHeldByAnotherConnectionIsBusy) {
  CPacketLink other;
  other.StartWorker();
  std::string strWhy;
  EXPECT_FALSE(other.Open("TVX10417", 38400, &strWhy));
  EXPECT_EQ(strWhy, "the receiver \"TVX10417\" is in use by another program or connection");
}

TEST_F(UsbWorkerSimTest, WriteFailureIsReported) {
  m_pSim->FailWrites(true);
  EXPECT_FALSE(m_link.SendCommandByte(CMD_RESEND_INFO));
  m_pSim->FailWrites(false);
  EXPECT_TRUE(m_link.SendCommandByte(CMD_RESEND_INFO));
  ASSERT_TRUE(m_link.WaitForPackets(1));
}

} // namespace
