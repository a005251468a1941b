// The worker and its mailbox against a scripted device that logs every driver call.
#include "link/Usb.h"
#include "platform/D2xxRegistry.h"
#include "tests/link/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Calls = std::vector<std::string>;

class UsbWorkerTest : public ::testing::Test {
protected:
  void SetUp() override {
    D2xxDisableAllBackends();
    m_pBackend = std::make_shared<CScriptedBackend>(
        std::vector<CScriptedBackend::_device>{{"TVX00001", "TARVEX Receiver", 0x2B7E0200, false}});
    D2xxEnableBackend(m_pBackend);
    m_pLink = std::make_unique<CPacketLink>();
  }
  void TearDown() override {
    m_pBackend->m_writeGate.Open();
    m_pBackend->m_readGate.Open();
    m_pLink.reset();
    D2xxDisableAllBackends();
  }

  // Short waits for the tests that are about running out of time.
  void ShortWaits(uint32_t nResultMs, uint32_t nStopMs = 1000) {
    _usbwaits waits;
    waits.nResultMs = nResultMs;
    waits.nStopMs = nStopMs;
    m_pLink->SetWaits(waits);
  }

  int32_t Post(int32_t nCommand) { return m_pLink->PostCommand({nCommand, 0, nullptr}); }

  std::shared_ptr<CScriptedBackend> m_pBackend;
  std::unique_ptr<CPacketLink> m_pLink;
};

TEST_F(UsbWorkerTest, OpenMakesEveryDriverCallWithItsValues) {
  m_pLink->StartWorker();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 0));
  EXPECT_EQ(m_pBackend->Calls(), (Calls{"OpenEx TVX00001", "SetDivisor 78", "SetDataCharacteristics 8 0 0",
                                        "SetFlowControl 0 0 0", "SetTimeouts 5000 5000", "SetEventNotification 1"}));
  EXPECT_EQ(m_pBackend->NotifiedEvent(), m_pLink->RxEvent());

  // Opening again replaces the connection: the old device is closed first, not left open.
  m_pBackend->ClearCalls();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 9600));
  EXPECT_EQ(m_pBackend->Calls(), (Calls{"SetEventNotification 0", "Close", "OpenEx TVX00001", "SetDivisor 313",
                                        "SetDataCharacteristics 8 0 0", "SetFlowControl 0 0 0", "SetTimeouts 5000 5000",
                                        "SetEventNotification 1"}));
}

TEST_F(UsbWorkerTest, BaudRateDivisor) {
  EXPECT_EQ(CUSB::BaudDivisor(0), 78);
  EXPECT_EQ(CUSB::BaudDivisor(38400), 78);
  EXPECT_EQ(CUSB::BaudDivisor(9600), 313);
  EXPECT_EQ(CUSB::BaudDivisor(115200), 26);
  EXPECT_EQ(CUSB::BaudDivisor(3000000), 1);
  // Rounded half up: 3000000 / 2400000 = 1.25, 3000000 / 1714286 = 1.75.
  EXPECT_EQ(CUSB::BaudDivisor(2400000), 1);
  EXPECT_EQ(CUSB::BaudDivisor(1714286), 2);
  // Only the low 16 bits of the divisor are programmed.
  EXPECT_EQ(CUSB::BaudDivisor(40), static_cast<uint16_t>(75000 & 0xFFFF));
}

TEST_F(UsbWorkerTest, FailedOpenAndFailedSettings) {
  m_pLink->StartWorker();
  m_pBackend->m_nOpenStatus = FT_DEVICE_NOT_OPENED;
  EXPECT_FALSE(m_pLink->Open("TVX00001", 38400));
  EXPECT_FALSE(m_pLink->SendCommandByte(0x1C)) << "no device is held after a failed open";
  EXPECT_FALSE(m_pLink->Open("TVX99999", 38400));
  EXPECT_EQ(m_pBackend->CountCalls("SetDivisor"), 0);

  // Settings that fail go unnoticed: the device is open all the same.
  m_pBackend->m_nOpenStatus = FT_OK;
  m_pBackend->m_nSettingStatus = FT_IO_ERROR;
  EXPECT_TRUE(m_pLink->Open("TVX00001", 38400));
  EXPECT_TRUE(m_pLink->SendCommandByte(0x1C));

  // A serial number longer than any listing gives is refused before it reaches the worker.
  EXPECT_FALSE(m_pLink->Open(std::string(300, 'x'), 38400));
}

TEST_F(UsbWorkerTest, CloseAndWriteWithoutADevice) {
  m_pLink->StartWorker();
  const uint8_t frame[5] = {0xAA, 0x02, 0x00, 0x1C, 0x1C};
  EXPECT_EQ(Post(USB_CLOSE), -1);
  EXPECT_EQ(m_pLink->PostCommand({USB_WRITE, 5, frame}), -1);
  EXPECT_TRUE(m_pBackend->Calls().empty()) << "the driver is not touched without a device";

  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  EXPECT_EQ(Post(USB_CLOSE), 0);
  EXPECT_EQ(Post(USB_CLOSE), -1);
  EXPECT_EQ(m_pLink->PostCommand({USB_WRITE, 5, frame}), -1);
  EXPECT_EQ(m_pBackend->CountCalls("Close"), 1);
  EXPECT_EQ(m_pBackend->CountCalls("Write"), 0);
  const Calls calls = m_pBackend->Calls();
  ASSERT_GE(calls.size(), 2U);
  EXPECT_EQ(calls[calls.size() - 2], "SetEventNotification 0") << "notifications stop before the close";
  EXPECT_EQ(calls.back(), "Close");
}

TEST_F(UsbWorkerTest, CommandResultsAndUnknownCodes) {
  m_pLink->StartWorker();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  EXPECT_TRUE(m_pLink->SendCommandByte(0x1C));
  EXPECT_EQ(m_pBackend->Written(), (std::vector<uint8_t>{0xAA, 0x02, 0x00, 0x1C, 0x1C}));

  m_pBackend->m_nWriteStatus = FT_IO_ERROR;
  EXPECT_FALSE(m_pLink->SendCommandByte(0x01));
  // An unknown code is answered, and the result stays what the last command made it.
  EXPECT_EQ(Post(99), -1);
  m_pBackend->m_nWriteStatus = FT_OK;
  EXPECT_TRUE(m_pLink->SendCommandByte(0x30));
  EXPECT_EQ(Post(99), 0);
  EXPECT_EQ(m_pBackend->Written().size(), 15U);

  // A malformed command never reaches the worker.
  EXPECT_EQ(m_pLink->PostCommand({USB_WRITE, -1, nullptr}), -1);
  EXPECT_EQ(m_pLink->PostCommand({USB_WRITE, 5, nullptr}), -1);
  EXPECT_EQ(m_pLink->PostCommand({USB_OPEN, 3, "abc"}), -1);
}

TEST_F(UsbWorkerTest, QuitClosesAnOpenDevice) {
  m_pLink->StartWorker();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  EXPECT_TRUE(m_pLink->StopWorker());
  EXPECT_FALSE(m_pLink->IsWorkerRunning());
  EXPECT_EQ(m_pBackend->Calls().back(), "Close");
  EXPECT_EQ(m_pBackend->CountCalls("Close"), 1);

  // A new worker starts without a device.
  m_pLink->StartWorker();
  EXPECT_EQ(Post(USB_CLOSE), -1);
  // Starting over a running worker with an open device closes that device.
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  m_pLink->StartWorker();
  EXPECT_EQ(m_pBackend->CountCalls("Close"), 2);
  EXPECT_TRUE(m_pLink->IsWorkerRunning());
}

TEST_F(UsbWorkerTest, ReceivedBytesAreReadInOneReadOfTheQueuedSizeAndDecoded) {
  m_pLink->StartWorker();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  m_pBackend->ClearCalls();
  m_pBackend->Arrive({0x00, 0xAA, 0x03, 0x00, 0x11});
  m_pBackend->Arrive({0x22, 0x33, 0xAA, 0x01, 0x00, 0x7F});
  ASSERT_TRUE(m_pLink->WaitForPackets(2));
  EXPECT_EQ(m_pLink->Packets(), (std::vector<std::vector<uint8_t>>{{0x11, 0x22, 0x33}, {0x7F}}));
  const Calls calls = m_pBackend->Calls();
  ASSERT_FALSE(calls.empty());
  for (size_t i = 0; i < calls.size(); ++i) {
    // Every read follows a status call and asks for the queued bytes, never for nothing.
    if (calls[i].starts_with("Read")) {
      ASSERT_GT(i, 0U);
      EXPECT_EQ(calls[i - 1], "GetStatus");
      EXPECT_NE(calls[i], "Read 0");
    }
  }
}

TEST_F(UsbWorkerTest, FailedStatusPassesNothingAndTheWorkerGoesOn) {
  m_pLink->StartWorker();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  m_pBackend->m_nStatusStatus = FT_IO_ERROR;
  m_pBackend->Arrive({0xAA, 0x01, 0x00, 0x42});
  const auto deadline = Clock::now() + std::chrono::milliseconds(LONG_WAIT_MS);
  while (m_pBackend->CountCalls("GetStatus") == 0 && Clock::now() < deadline) {
    std::this_thread::yield();
  }
  ASSERT_EQ(m_pBackend->CountCalls("GetStatus"), 1);
  EXPECT_TRUE(m_pLink->SendCommandByte(0x1C)) << "the worker goes on";
  EXPECT_TRUE(m_pLink->Packets().empty());
  EXPECT_EQ(m_pBackend->CountCalls("Read"), 0);

  m_pBackend->m_nStatusStatus = FT_OK;
  m_pBackend->Arrive({0xAA, 0x01, 0x00, 0x43});
  ASSERT_TRUE(m_pLink->WaitForPackets(2));
  // The bytes left in the queue by the failed wake are read with the next ones.
  EXPECT_EQ(m_pLink->Packets(), (std::vector<std::vector<uint8_t>>{{0x42}, {0x43}}));
}

// A command posted while data is arriving is served before the next read.
TEST_F(UsbWorkerTest, RequestIsServedBeforeTheNextRead) {
  m_pLink->StartWorker();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  m_pBackend->ClearCalls();

  // Hold the worker inside a read; meanwhile more data arrives and a command is posted.
  m_pBackend->m_readGate.Close();
  m_pBackend->Arrive({0xAA, 0x01, 0x00, 0x01});
  ASSERT_TRUE(m_pBackend->m_readGate.WaitReached());
  m_pBackend->Arrive({0xAA, 0x01, 0x00, 0x02});
  bool bSent = false;
  std::thread caller([&] { bSent = m_pLink->SendCommandByte(0x1C); });
  m_pLink->WaitForRequest();
  ASSERT_TRUE(m_pLink->RequestPending());
  m_pBackend->m_readGate.Open();
  caller.join();
  EXPECT_TRUE(bSent);
  ASSERT_TRUE(m_pLink->WaitForPackets(2));

  const Calls calls = m_pBackend->Calls();
  const auto write = std::find(calls.begin(), calls.end(), "Write 5");
  ASSERT_NE(write, calls.end());
  EXPECT_EQ(std::count(calls.begin(), write, "GetStatus"), 1) << "no read between the wake and the command";
}

TEST_F(UsbWorkerTest, PostCommandWithoutAWorkerFailsAfterItsWait) {
  ShortWaits(30);
  const auto start = Clock::now();
  EXPECT_EQ(Post(USB_CLOSE), -1);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
  EXPECT_TRUE(m_pBackend->Calls().empty());
}

TEST_F(UsbWorkerTest, StopWorkerWithoutAWorkerReturnsAtOnce) {
  _usbwaits waits;
  waits.nResultMs = LONG_WAIT_MS; // would show if StopWorker posted anything
  m_pLink->SetWaits(waits);
  const auto start = Clock::now();
  EXPECT_TRUE(m_pLink->StopWorker());
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(LONG_WAIT_MS / 2));
  EXPECT_FALSE(m_pLink->RequestPending());
}

// The data of a command that timed out stays valid while the worker still uses it, and its late
// completion is not taken for the result of the next command.
TEST_F(UsbWorkerTest, TimedOutCommandKeepsItsDataAndItsLateCompletionIsIgnored) {
  m_pLink->StartWorker();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  ShortWaits(30);
  m_pBackend->m_writeGate.Close();
  {
    auto pFrame = std::make_unique<std::vector<uint8_t>>(std::vector<uint8_t>{0xAA, 0x02, 0x00, 0x30, 0x30});
    EXPECT_EQ(m_pLink->PostCommand({USB_WRITE, 5, pFrame->data()}), -1);
    std::fill(pFrame->begin(), pFrame->end(), 0xEE); // the caller reuses and frees its block
  }
  ASSERT_TRUE(m_pBackend->m_writeGate.WaitReached());

  // The next command is posted while the worker is still inside the write.
  ShortWaits(LONG_WAIT_MS);
  std::thread releaser([&] {
    m_pLink->WaitForRequest();
    m_pBackend->m_writeGate.Open();
  });
  EXPECT_EQ(Post(USB_CLOSE), 0) << "the close's own result, not the late write's";
  releaser.join();
  EXPECT_EQ(m_pBackend->Written(), (std::vector<uint8_t>{0xAA, 0x02, 0x00, 0x30, 0x30}));
  EXPECT_EQ(m_pBackend->CountCalls("Close"), 1) << "the close was carried out, not dropped";
}

// A worker that does not end within the stop wait is reported, and the link is not destroyed
// before it has ended.
TEST_F(UsbWorkerTest, LinkWaitsForAWorkerThatEndsLate) {
  m_pLink->StartWorker();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  ShortWaits(20, 20);
  m_pBackend->m_writeGate.Close();
  EXPECT_FALSE(m_pLink->SendCommandByte(0x1C));
  ASSERT_TRUE(m_pBackend->m_writeGate.WaitReached());
  EXPECT_FALSE(m_pLink->StopWorker());
  EXPECT_FALSE(m_pLink->IsWorkerRunning());

  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    m_pBackend->m_writeGate.Open();
  });
  m_pLink.reset(); // waits for the worker, which closes the device as it ends
  EXPECT_EQ(m_pBackend->CountCalls("Close"), 1);
  releaser.join();
}

// A worker given up by StopWorker is waited for before a new one starts, so that two workers
// never share the mailbox.
TEST_F(UsbWorkerTest, StartWorkerWaitsForAWorkerGivenUp) {
  m_pLink->StartWorker();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  ShortWaits(20, 20);
  m_pBackend->m_writeGate.Close();
  EXPECT_FALSE(m_pLink->SendCommandByte(0x1C));
  ASSERT_TRUE(m_pBackend->m_writeGate.WaitReached());
  EXPECT_FALSE(m_pLink->StopWorker());

  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    m_pBackend->m_writeGate.Open();
  });
  m_pLink->StartWorker();
  releaser.join();
  EXPECT_EQ(m_pBackend->CountCalls("Close"), 1) << "the old worker ended, closing its device";
  ShortWaits(LONG_WAIT_MS);
  EXPECT_EQ(Post(USB_CLOSE), -1) << "the new worker holds no device";
  EXPECT_TRUE(m_pLink->Open("TVX00001", 38400));
}

} // namespace
