// The worker and its mailbox against a scripted device that logs every driver call. The link's
// waits count by a clock that moves only when a test moves it, so a time-out is reached without
// waiting for it, and its length is checked by the deadline the wait was given.
#include "link/Usb.h"
#include "link/UsbReasons.h"
#include "platform/D2xxRegistry.h"
#include "platform/ManualWaitClock.h"
#include "tests/link/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace {

using Calls = std::vector<std::string>;
using std::chrono::milliseconds;

class UsbWorkerTest : public ::testing::Test {
protected:
  void SetUp() override {
    D2xxDisableAllBackends();
    m_pBackend = std::make_shared<CScriptedBackend>(
        std::vector<CScriptedBackend::_device>{{"TVX00001", "TARVEX Receiver", 0x2B7E0200, false}});
    D2xxEnableBackend(m_pBackend);
    m_pLink = std::make_unique<CPacketLink>(m_clock);
  }
  void TearDown() override {
    m_pBackend->m_writeGate.Open();
    m_pBackend->m_readGate.Open();
    m_pLink.reset();
    D2xxDisableAllBackends();
  }

  int32_t Post(int32_t nCommand, std::string *pWhy = nullptr) {
    return m_pLink->PostCommand({nCommand, 0, nullptr}, pWhy);
  }

  // Runs call on a thread of its own, waits until a wait with the given deadline is under way,
  // moves the clock to it, and returns what call returned.
  template <class Call> auto RunPastDeadline(Call call, CWaitClock::time_point deadline) {
    auto result = std::async(std::launch::async, call);
    EXPECT_TRUE(m_clock.WaitForDeadline(deadline)) << "no wait with that deadline";
    m_clock.Advance(std::chrono::duration_cast<milliseconds>(deadline - m_clock.Now()));
    return result.get();
  }

  CManualWaitClock m_clock;
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

TEST_F(UsbWorkerTest, FailedOpenSaysWhy) {
  m_pLink->StartWorker();
  const struct {
    FT_STATUS nStatus;
    std::string strSerial;
    std::string strWhy;
  } cases[] = {
      {FT_OK, "TVX99999", "no receiver with the serial number \"TVX99999\" is attached"},
      {FT_DEVICE_NOT_OPENED, "TVX00001", "the receiver \"TVX00001\" is in use by another program or connection"},
      {FT_ACCESS_DENIED, "TVX00001",
       "there is no permission to open the receiver \"TVX00001\"; install the "
       "receiver's udev rule and plug it in again"},
      {FT_IO_ERROR, "TVX00001", "the receiver \"TVX00001\" could not be opened (I/O error)"},
  };
  for (const auto &c : cases) {
    m_pBackend->m_nOpenStatus = c.nStatus;
    std::string strWhy;
    EXPECT_FALSE(m_pLink->Open(c.strSerial, 38400, &strWhy));
    EXPECT_EQ(strWhy, c.strWhy);
    EXPECT_FALSE(m_pLink->SendCommandByte(0x1C, &strWhy)) << "no device is held after a failed open";
    EXPECT_EQ(strWhy, "no receiver is open");
  }
  EXPECT_EQ(m_pBackend->CountCalls("SetDivisor"), 0);

  // A serial number longer than any listing gives is refused before it reaches the worker.
  const int nOpens = m_pBackend->CountCalls("OpenEx");
  std::string strWhy;
  EXPECT_FALSE(m_pLink->Open(std::string(300, 'x'), 38400, &strWhy));
  EXPECT_EQ(strWhy, USB_WHY_SERIAL_TOO_LONG);
  EXPECT_EQ(m_pBackend->CountCalls("OpenEx"), nOpens);
}

// A setting the device refuses fails the open, names the setting, makes no setting after it and
// closes the device again; the link then holds no device.
TEST_F(UsbWorkerTest, RefusedSettingFailsTheOpen) {
  m_pLink->StartWorker();
  const struct {
    std::string strCall;
    std::string strSetting;
    int nSettingsMade;
  } cases[] = {
      {"SetDivisor", "the baud rate divisor 78", 1},
      {"SetDataCharacteristics", "8 data bits, 1 stop bit, no parity", 2},
      {"SetFlowControl", "no flow control", 3},
      {"SetTimeouts", "read and write time-outs of 5000 ms", 4},
      {"SetEventNotification 1", "the notification of arriving bytes", 5},
  };
  for (const auto &c : cases) {
    m_pBackend->ClearCalls();
    m_pBackend->RefuseSetting(c.strCall);
    std::string strWhy;
    EXPECT_FALSE(m_pLink->Open("TVX00001", 38400, &strWhy)) << c.strCall;
    EXPECT_EQ(strWhy, "the receiver \"TVX00001\" refused its port settings (" + c.strSetting + ": I/O error)");
    const Calls calls = m_pBackend->Calls();
    ASSERT_EQ(calls.size(), static_cast<size_t>(c.nSettingsMade) + 3) << c.strCall;
    EXPECT_TRUE(calls[static_cast<size_t>(c.nSettingsMade)].starts_with(c.strCall));
    EXPECT_EQ(calls.back(), "Close");
    EXPECT_EQ(Post(USB_CLOSE), -1) << "the device was given up";
  }
  m_pBackend->RefuseSetting("");
  EXPECT_TRUE(m_pLink->Open("TVX00001", 38400));
}

TEST_F(UsbWorkerTest, CloseAndWriteWithoutADevice) {
  m_pLink->StartWorker();
  const uint8_t frame[5] = {0xAA, 0x02, 0x00, 0x1C, 0x1C};
  std::string strWhy;
  EXPECT_EQ(Post(USB_CLOSE, &strWhy), -1);
  EXPECT_EQ(strWhy, USB_WHY_NO_DEVICE);
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

// A status call that fails once, while the device still answers the next, passes nothing on and
// reports nothing; the worker goes on.
TEST_F(UsbWorkerTest, PassingFailurePassesNothingAndTheWorkerGoesOn) {
  m_pLink->StartWorker();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  m_pBackend->ClearCalls();
  m_pBackend->m_nStatusFailures = 1;
  m_pBackend->Arrive({0xAA, 0x01, 0x00, 0x42});
  m_pLink->WaitUntilArrivalHandled();
  EXPECT_EQ(m_pBackend->Calls(), (Calls{"GetStatus", "GetStatus"})) << "the failure and the second look";
  EXPECT_TRUE(m_pLink->SendCommandByte(0x1C)) << "the worker goes on";
  EXPECT_EQ(m_pLink->Kinds(), "") << "nothing passed on, no loss reported";

  m_pBackend->Arrive({0xAA, 0x01, 0x00, 0x43});
  ASSERT_TRUE(m_pLink->WaitForPackets(2));
  // The bytes left in the queue by the failed wake are read with the next ones.
  EXPECT_EQ(m_pLink->Packets(), (std::vector<std::vector<uint8_t>>{{0x42}, {0x43}}));
  EXPECT_TRUE(m_pLink->LostReasons().empty());
}

// A device whose status cannot be read twice running is lost: reported once, behind the packets
// read before, and left alone until it is closed or another is opened.
TEST_F(UsbWorkerTest, DeviceThatStopsAnsweringIsReportedLostOnce) {
  m_pLink->StartWorker();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  m_pBackend->Arrive({0xAA, 0x01, 0x00, 0x42});
  ASSERT_TRUE(m_pLink->WaitForPackets(1));
  m_pBackend->m_nStatusStatus = FT_IO_ERROR;
  m_pBackend->Arrive({0xAA, 0x01, 0x00, 0x43});
  ASSERT_TRUE(m_pLink->WaitForLost());
  EXPECT_EQ(m_pLink->LostReasons()[0], "the receiver is gone: asking its port for arrived bytes failed (I/O error); "
                                       "it was unplugged or switched off, or its port failed");

  // Later arrivals reach no driver call and no second report.
  m_pBackend->ClearCalls();
  m_pBackend->Arrive({0xAA, 0x01, 0x00, 0x44});
  m_pLink->WaitUntilArrivalHandled();
  std::string strWhy;
  EXPECT_FALSE(m_pLink->SendCommandByte(0x1C, &strWhy));
  EXPECT_EQ(strWhy, m_pLink->LostReasons()[0]);
  EXPECT_TRUE(m_pBackend->Calls().empty()) << "a lost device is not called again";
  EXPECT_EQ(m_pLink->Kinds(), "pL");

  // Closing gives the handle up; a new connection is watched afresh. (The scripted device keeps
  // the bytes the lost connection never read, so they come first.)
  EXPECT_EQ(Post(USB_CLOSE), 0);
  m_pBackend->m_nStatusStatus = FT_OK;
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  m_pBackend->Arrive({0xAA, 0x01, 0x00, 0x45});
  ASSERT_TRUE(m_pLink->WaitForPackets(4));
  EXPECT_EQ(m_pLink->Packets(), (std::vector<std::vector<uint8_t>>{{0x42}, {0x43}, {0x44}, {0x45}}));
  m_pBackend->m_nStatusStatus = FT_IO_ERROR;
  m_pBackend->m_nWriteStatus = FT_IO_ERROR;
  EXPECT_FALSE(m_pLink->SendCommandByte(0x1C, &strWhy));
  ASSERT_TRUE(m_pLink->WaitForLost(2));
  EXPECT_EQ(strWhy, m_pLink->LostReasons()[1]);
  EXPECT_NE(strWhy.find("writing to its port failed (I/O error)"), std::string::npos) << strWhy;
  EXPECT_EQ(m_pLink->Kinds(), "pLpppL");
}

// A write that fails while the device still answers is only a failed write.
TEST_F(UsbWorkerTest, FailedWriteOfAnAnsweringDeviceIsNoLoss) {
  m_pLink->StartWorker();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  m_pBackend->m_nWriteStatus = FT_IO_ERROR;
  std::string strWhy;
  EXPECT_FALSE(m_pLink->SendCommandByte(0x1C, &strWhy));
  EXPECT_EQ(strWhy, "writing to the receiver failed (I/O error)");
  m_pBackend->m_nWriteStatus = FT_OK;
  EXPECT_TRUE(m_pLink->SendCommandByte(0x1C));
  EXPECT_TRUE(m_pLink->LostReasons().empty());
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
  const auto start = m_clock.Now();
  std::string strWhy;
  EXPECT_EQ(RunPastDeadline([&] { return Post(USB_CLOSE, &strWhy); }, start + milliseconds(5000)), -1);
  EXPECT_EQ(strWhy, USB_WHY_NO_ANSWER);
  EXPECT_TRUE(m_pBackend->Calls().empty());
}

// A caller that cannot obtain the mailbox within 5000 ms gives up without posting.
TEST_F(UsbWorkerTest, MailboxHeldByAnotherCallerTimesOut) {
  m_pLink->StartWorker();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  _usbwaits waits;
  waits.nResultMs = 60000; // the first caller holds the mailbox until its write is let through
  m_pLink->SetWaits(waits);
  m_pBackend->m_writeGate.Close();
  auto first = std::async(std::launch::async, [&] { return m_pLink->SendCommandByte(0x1C); });
  ASSERT_TRUE(m_pBackend->m_writeGate.WaitReached());

  std::string strWhy;
  const auto start = m_clock.Now();
  EXPECT_EQ(RunPastDeadline([&] { return Post(USB_CLOSE, &strWhy); }, start + milliseconds(5000)), -1);
  EXPECT_EQ(strWhy, USB_WHY_MAILBOX_BUSY);
  m_pBackend->m_writeGate.Open();
  EXPECT_TRUE(first.get());
  EXPECT_EQ(m_pBackend->CountCalls("Close"), 0) << "the close was never posted";
}

TEST_F(UsbWorkerTest, StopWorkerWithoutAWorkerReturnsAtOnce) {
  // Were anything posted, it would wait for a clock that does not move.
  auto stopped = std::async(std::launch::async, [&] { return m_pLink->StopWorker(); });
  ASSERT_EQ(stopped.wait_for(std::chrono::milliseconds(LONG_WAIT_MS)), std::future_status::ready);
  EXPECT_TRUE(stopped.get());
  EXPECT_FALSE(m_pLink->RequestPending());
  EXPECT_EQ(m_clock.CountWaits(), 0U);
}

// On the worker thread, inside the hand-off of a packet, a command fails at once with its reason
// instead of waiting for the mailbox that only that thread serves; the worker cannot be stopped or
// restarted from there either. The owner's thread sends as it likes.
TEST_F(UsbWorkerTest, CommandFromTheWorkerThreadFailsAtOnce) {
  m_pLink->StartWorker();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  bool bSent = true;
  bool bStopped = true;
  bool bStarted = true;
  std::string strWhy;
  CEvent woken;
  m_pLink->Queue().SetWake([&] {
    bSent = m_pLink->SendCommandByte(0x1C, &strWhy);
    bStopped = m_pLink->StopWorker();
    bStarted = m_pLink->StartWorker();
    woken.Set();
  });
  m_pBackend->Arrive({0xAA, 0x01, 0x00, 0x42});
  // Had the command waited, it would wait for ever: the link's clock does not move.
  ASSERT_TRUE(woken.Wait(LONG_WAIT_MS));
  m_pLink->Queue().DetachWake();
  EXPECT_EQ(m_pLink->Packets().size(), 1U);
  EXPECT_FALSE(bSent);
  EXPECT_EQ(strWhy, USB_WHY_ON_WORKER);
  EXPECT_FALSE(bStopped);
  EXPECT_FALSE(bStarted);
  EXPECT_FALSE(CUSB::IsWorkerThread());
  EXPECT_EQ(m_pBackend->CountCalls("Write"), 0);
  EXPECT_TRUE(m_pLink->IsWorkerRunning());
  EXPECT_TRUE(m_pLink->SendCommandByte(0x1C));
}

// A queued command never waits for the worker: with the worker held inside a write that does not
// return (a device that stopped answering), the owner's thread queues more at once. Once the
// device answers, the commands are carried out in the order they came; a write that fails, and a
// command queued while no worker runs, come back through the queue with their reasons, in order
// with the packets. Had anything waited, it would wait for ever: the clock does not move.
TEST_F(UsbWorkerTest, QueuedCommandsNeverWaitAndTheirFailuresComeBack) {
  m_pLink->QueueCommandByte(0x01);
  ASSERT_TRUE(m_pLink->WaitForFailed(1));
  m_pLink->StartWorker();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  m_pBackend->Arrive({0xAA, 0x01, 0x00, 0x42});
  ASSERT_TRUE(m_pLink->WaitForPackets(1));
  m_pBackend->m_writeGate.Close();
  m_pLink->QueueCommandByte(0x1C);
  ASSERT_TRUE(m_pBackend->m_writeGate.WaitReached());
  m_pLink->QueueCommandByte(0x01);
  m_pLink->QueueCommand({USB_CLOSE, 0, nullptr});
  EXPECT_EQ(m_pBackend->CountCalls("Close"), 0);

  m_pBackend->m_writeGate.Open();
  m_pLink->WaitUntilArrivalHandled(); // a mailbox command: served after the queued ones
  EXPECT_EQ(m_pBackend->Written(), (std::vector<uint8_t>{0xAA, 0x02, 0x00, 0x1C, 0x1C, 0xAA, 0x02, 0x00, 0x01, 0x01}));
  EXPECT_EQ(m_pBackend->CountCalls("Close"), 1);
  m_pLink->QueueCommandByte(0x30); // no device any more
  ASSERT_TRUE(m_pLink->WaitForFailed(2));
  EXPECT_EQ(m_pLink->FailedCommands(),
            (std::vector<std::string>{"the command 0x01 to the receiver failed: " + std::string(USB_WHY_NO_WORKER),
                                      "the command 0x30 to the receiver failed: " + std::string(USB_WHY_NO_DEVICE)}));
  EXPECT_EQ(m_pLink->Packets(), (std::vector<std::vector<uint8_t>>{{0x42}}));
  EXPECT_EQ(m_pLink->Kinds(), "FpF");
}

// The data of a command that timed out stays valid while the worker still uses it, and its late
// completion is not taken for the result of the next command.
TEST_F(UsbWorkerTest, TimedOutCommandKeepsItsDataAndItsLateCompletionIsIgnored) {
  m_pLink->StartWorker();
  ASSERT_TRUE(m_pLink->Open("TVX00001", 38400));
  m_pBackend->m_writeGate.Close();
  {
    auto pFrame = std::make_unique<std::vector<uint8_t>>(std::vector<uint8_t>{0xAA, 0x02, 0x00, 0x30, 0x30});
    const auto start = m_clock.Now();
    auto write = [&] { return m_pLink->PostCommand({USB_WRITE, 5, pFrame->data()}); };
    EXPECT_EQ(RunPastDeadline(write, start + milliseconds(5000)), -1);
    std::fill(pFrame->begin(), pFrame->end(), 0xEE); // the caller reuses and frees its block
  }
  ASSERT_TRUE(m_pBackend->m_writeGate.WaitReached());

  // The next command is posted while the worker is still inside the write.
  std::thread releaser([&] {
    m_pLink->WaitForRequest();
    m_pBackend->m_writeGate.Open();
  });
  EXPECT_EQ(Post(USB_CLOSE), 0) << "the close's own result, not the late write's";
  releaser.join();
  EXPECT_EQ(m_pBackend->Written(), (std::vector<uint8_t>{0xAA, 0x02, 0x00, 0x30, 0x30}));
  EXPECT_EQ(m_pBackend->CountCalls("Close"), 1) << "the close was carried out, not dropped";
}

// Leaves the worker inside a write that timed out, and StopWorker giving up on it after its wait.
void GiveUpOnAWorker(CPacketLink &link, CScriptedBackend &backend, CManualWaitClock &clock) {
  link.StartWorker();
  ASSERT_TRUE(link.Open("TVX00001", 38400));
  backend.m_writeGate.Close();
  auto send = std::async(std::launch::async, [&] { return link.SendCommandByte(0x1C); });
  ASSERT_TRUE(backend.m_writeGate.WaitReached());
  ASSERT_TRUE(clock.WaitForDeadline(clock.Now() + milliseconds(5000)));
  clock.Advance(milliseconds(5000));
  EXPECT_FALSE(send.get());

  // The quit is posted but never taken: the result wait, then the stop wait, run out.
  auto stop = std::async(std::launch::async, [&] { return link.StopWorker(); });
  ASSERT_TRUE(clock.WaitForDeadline(clock.Now() + milliseconds(5000)));
  clock.Advance(milliseconds(5000));
  ASSERT_TRUE(clock.WaitForDeadline(clock.Now() + milliseconds(1000)));
  clock.Advance(milliseconds(1000));
  EXPECT_FALSE(stop.get());
  EXPECT_FALSE(link.IsWorkerRunning());
}

// A worker that does not end within the stop wait is reported, and the link is not destroyed
// before it has ended: the destructor is seen waiting for it before the worker is let go.
TEST_F(UsbWorkerTest, LinkWaitsForAWorkerThatEndsLate) {
  GiveUpOnAWorker(*m_pLink, *m_pBackend, m_clock);
  auto destroyed = std::async(std::launch::async, [&] { m_pLink.reset(); });
  ASSERT_TRUE(m_clock.WaitForWaits(1)) << "the destructor does not wait for the worker";
  EXPECT_EQ(destroyed.wait_for(milliseconds(0)), std::future_status::timeout);
  EXPECT_EQ(m_pBackend->CountCalls("Close"), 0);
  m_pBackend->m_writeGate.Open();
  destroyed.get();
  EXPECT_EQ(m_pBackend->CountCalls("Close"), 1) << "the worker closed its device as it ended";
}

// A worker given up by StopWorker is waited for before a new one starts, so that two workers
// never share the mailbox.
TEST_F(UsbWorkerTest, StartWorkerWaitsForAWorkerGivenUp) {
  GiveUpOnAWorker(*m_pLink, *m_pBackend, m_clock);
  auto started = std::async(std::launch::async, [&] { return m_pLink->StartWorker(); });
  ASSERT_TRUE(m_clock.WaitForWaits(1)) << "StartWorker does not wait for the old worker";
  EXPECT_EQ(m_pBackend->CountCalls("Close"), 0);
  m_pBackend->m_writeGate.Open();
  EXPECT_TRUE(started.get());
  EXPECT_EQ(m_pBackend->CountCalls("Close"), 1) << "the old worker ended, closing its device";
  EXPECT_EQ(Post(USB_CLOSE), -1) << "the new worker holds no device";
  EXPECT_TRUE(m_pLink->Open("TVX00001", 38400));
}

} // namespace
