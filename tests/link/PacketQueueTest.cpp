// The road from the link's worker to the owner's thread: order, takes, waits and the wake-up.
#include "link/PacketQueue.h"
#include "link/Usb.h"
#include "platform/D2xxRegistry.h"
#include "platform/D2xxSimBackend.h"
#include "platform/ManualWaitClock.h"
#include "tests/link/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

namespace {

using std::chrono::milliseconds;

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> bytes) { return bytes; }

void Push(CPacketQueue &queue, const std::vector<uint8_t> &payload) {
  queue.PushPacket(payload.data(), static_cast<uint32_t>(payload.size()));
}

TEST(PacketQueue, TakesInTheOrderHandedOnWithTheLostReportInItsPlace) {
  CPacketQueue queue;
  EXPECT_FALSE(queue.TakeOne());
  EXPECT_TRUE(queue.TakeAll().empty());
  Push(queue, Bytes({1}));
  Push(queue, Bytes({2, 3}));
  queue.PushLost("gone");
  Push(queue, Bytes({4}));
  EXPECT_EQ(queue.Size(), 4U);

  const auto first = queue.TakeOne();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->nKind, LinkItemKind::packet);
  EXPECT_EQ(first->payload, Bytes({1}));
  const auto rest = queue.TakeAll();
  ASSERT_EQ(rest.size(), 3U);
  EXPECT_EQ(rest[0].payload, Bytes({2, 3}));
  EXPECT_EQ(rest[1].nKind, LinkItemKind::lost);
  EXPECT_EQ(rest[1].strReason, "gone");
  EXPECT_TRUE(rest[1].payload.empty());
  EXPECT_EQ(rest[2].payload, Bytes({4}));
  EXPECT_LE(rest[0].arrived, rest[2].arrived);
  EXPECT_EQ(queue.Size(), 0U);
}

// The payload handed on is a copy: the decoder's buffer is reused at once.
TEST(PacketQueue, KeepsACopyOfThePayload) {
  CPacketQueue queue;
  uint8_t buffer[3] = {7, 8, 9};
  queue.PushPacket(buffer, 3);
  buffer[0] = 0;
  EXPECT_EQ(queue.TakeOne()->payload, Bytes({7, 8, 9}));
}

TEST(PacketQueue, WaitEndsWithAnItemOrAtItsDeadline) {
  CManualWaitClock clock;
  CPacketQueue queue;
  const auto deadline = clock.Now() + milliseconds(100);
  EXPECT_FALSE(queue.WaitForItem(clock.Now(), clock)) << "a deadline already passed";

  auto timedOut = std::async(std::launch::async, [&] { return queue.WaitForItem(deadline, clock); });
  ASSERT_TRUE(clock.WaitForDeadline(deadline));
  clock.Advance(milliseconds(100));
  EXPECT_FALSE(timedOut.get());

  auto woken = std::async(std::launch::async, [&] { return queue.WaitForItem(deadline + milliseconds(100), clock); });
  ASSERT_TRUE(clock.WaitForDeadline(deadline + milliseconds(100)));
  Push(queue, Bytes({5}));
  EXPECT_TRUE(woken.get());
  EXPECT_TRUE(queue.WaitForItem(clock.Now(), clock)) << "an item that waits ends the wait at once";
}

// The wake-up runs on the handing thread after the item is in the queue, once per hand-off, and
// never after it is detached.
TEST(PacketQueue, WakeFollowsEachHandOffUntilDetached) {
  CPacketQueue queue;
  std::vector<size_t> sizes;
  std::thread::id wakeThread;
  queue.SetWake([&] {
    sizes.push_back(queue.Size());
    wakeThread = std::this_thread::get_id();
  });
  std::thread worker([&] {
    Push(queue, Bytes({1}));
    queue.PushLost("gone");
  });
  const std::thread::id workerId = worker.get_id();
  worker.join();
  EXPECT_EQ(sizes, (std::vector<size_t>{1, 2}));
  EXPECT_EQ(wakeThread, workerId);
  queue.DetachWake();
  Push(queue, Bytes({2}));
  EXPECT_EQ(sizes.size(), 2U);
}

// While the link delivers as fast as the simulated receiver streams, wake-ups are registered and
// detached over and over, each on a target that is destroyed right after its detach. A wake that
// came after its detach would touch freed memory (which the thread and address checkers report)
// and count in the wrong round.
TEST(PacketQueue, DetachedWakeIsNeverCalledWhileTheWorkerDelivers) {
  D2xxDisableAllBackends();
  auto pSim = std::make_shared<CSimulatedReceiver>();
  D2xxEnableBackend(std::make_shared<CD2xxSimBackend>(pSim));
  CPacketLink link;
  link.StartWorker();
  ASSERT_TRUE(link.Open("TVX10417", 38400));
  _simpanel panel;
  panel.bMeasurementMode = true;
  panel.nSampleRate = 1000;
  panel.nLevelsPerMessage = 1;
  pSim->SetPanel(panel);
  std::atomic<bool> bStop{false};
  std::thread feeder([&] {
    while (!bStop) {
      pSim->Advance(5);
    }
  });

  struct _target {
    int nRound = 0;
    int nWakes = 0; // written by the worker, read here only after the detach
  };
  std::atomic<int> nCurrentRound{0};
  std::atomic<int> nLate{0};
  int nWakes = 0;
  for (int nRound = 1; nRound <= 300; ++nRound) {
    auto pOwned = std::make_unique<_target>(_target{nRound, 0});
    _target *pTarget = pOwned.get();
    nCurrentRound = nRound;
    link.Queue().SetWake([pTarget, &nCurrentRound, &nLate] {
      ++pTarget->nWakes;
      if (pTarget->nRound != nCurrentRound) {
        ++nLate;
      }
    });
    ASSERT_TRUE(link.Queue().WaitForItem(std::chrono::steady_clock::now() + milliseconds(LONG_WAIT_MS)));
    link.Queue().TakeAll();
    link.Queue().DetachWake();
    nWakes += pTarget->nWakes;
    pOwned.reset();
  }
  bStop = true;
  feeder.join();
  EXPECT_EQ(nLate, 0);
  EXPECT_GT(nWakes, 0) << "the worker never woke anyone: nothing was exercised";
  link.StopWorker();
  D2xxDisableAllBackends();
}

} // namespace
