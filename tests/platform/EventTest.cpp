#include "platform/Event.h"
#include "platform/ManualWaitClock.h"
#include "platform/Mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Long enough never to run out in a passing run; a wait that returns at once costs nothing.
constexpr uint32_t LONG_WAIT_MS = 10000;

TEST(Event, SetIsTakenByExactlyOneWait) {
  CEvent event;
  EXPECT_FALSE(event.Wait(0));
  event.Set();
  event.Set(); // a second Set before the wait does not count twice
  EXPECT_TRUE(event.IsSignalled());
  EXPECT_TRUE(event.Wait(0));
  EXPECT_FALSE(event.IsSignalled());
  EXPECT_FALSE(event.Wait(0));

  event.Set();
  event.Reset();
  EXPECT_FALSE(event.Wait(0));
}

// The wait is given exactly its time on the clock, and ends when the clock gets there.
TEST(Event, WaitTimesOutAndWakesFromAnotherThread) {
  CManualWaitClock clock;
  CEvent event;
  const auto start = clock.Now();
  auto waited = std::async(std::launch::async, [&] { return event.Wait(20, clock); });
  ASSERT_TRUE(clock.WaitForDeadline(start + milliseconds(20)));
  clock.Advance(milliseconds(19));
  EXPECT_EQ(waited.wait_for(milliseconds(0)), std::future_status::timeout);
  clock.Advance(milliseconds(1));
  EXPECT_FALSE(waited.get());

  std::thread setter([&] { event.Set(); });
  EXPECT_TRUE(event.Wait(LONG_WAIT_MS, clock));
  setter.join();
}

TEST(Event, TwoWaitersShareOneSetBetweenThem) {
  CManualWaitClock clock;
  CEvent event;
  std::atomic<int> nTaken{0};
  std::thread a([&] { nTaken += event.Wait(50, clock) ? 1 : 0; });
  std::thread b([&] { nTaken += WaitForTwoEvents(event, event, 50, clock) == WaitResult::first ? 1 : 0; });
  ASSERT_TRUE(clock.WaitForWaits(2));
  event.Set();
  clock.Advance(milliseconds(50)); // ends the wait that did not take it
  a.join();
  b.join();
  EXPECT_EQ(nTaken, 1);
}

TEST(WaitForTwoEvents, FirstWinsAndSecondStaysSignalled) {
  CEvent request;
  CEvent data;
  request.Set();
  data.Set();
  EXPECT_EQ(WaitForTwoEvents(request, data, 0), WaitResult::first);
  EXPECT_TRUE(data.IsSignalled());
  EXPECT_EQ(WaitForTwoEvents(request, data, 0), WaitResult::second);
  EXPECT_EQ(WaitForTwoEvents(request, data, 0), WaitResult::timeout);
}

TEST(WaitForTwoEvents, TimesOutWhenNeitherComes) {
  CManualWaitClock clock;
  CEvent request;
  CEvent data;
  const auto start = clock.Now();
  auto waited = std::async(std::launch::async, [&] { return WaitForTwoEvents(request, data, 20, clock); });
  ASSERT_TRUE(clock.WaitForDeadline(start + milliseconds(20)));
  clock.Advance(milliseconds(20));
  EXPECT_EQ(waited.get(), WaitResult::timeout);
}

TEST(WaitForTwoEvents, WakesForEitherEventSetWhileWaiting) {
  for (const bool bFirst : {true, false}) {
    CEvent request;
    CEvent data;
    std::atomic<bool> bWaiting{false};
    std::thread setter([&] {
      while (!bWaiting) {
        std::this_thread::yield();
      }
      (bFirst ? request : data).Set();
    });
    bWaiting = true;
    const auto start = Clock::now();
    EXPECT_EQ(WaitForTwoEvents(request, data, LONG_WAIT_MS), bFirst ? WaitResult::first : WaitResult::second);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(LONG_WAIT_MS / 2));
    setter.join();
  }
}

// Many Sets from another thread while the waiter loops: no Set may be lost, and the waiter's
// registration must not outlive the wait (a Set after the wait touches no stale waiter).
TEST(WaitForTwoEvents, NoSetIsLostUnderContention) {
  CEvent request;
  CEvent data;
  constexpr int ROUNDS = 2000;
  CEvent taken;
  std::thread setter([&] {
    for (int i = 0; i < ROUNDS; ++i) {
      ((i % 2) != 0 ? request : data).Set();
      ASSERT_TRUE(taken.Wait(LONG_WAIT_MS));
    }
  });
  int nRequests = 0;
  int nData = 0;
  for (int i = 0; i < ROUNDS; ++i) {
    const WaitResult result = WaitForTwoEvents(request, data, LONG_WAIT_MS);
    ASSERT_NE(result, WaitResult::timeout) << "round " << i;
    ++(result == WaitResult::first ? nRequests : nData);
    taken.Set();
  }
  setter.join();
  EXPECT_EQ(nRequests, ROUNDS / 2);
  EXPECT_EQ(nData, ROUNDS / 2);
}

// Advance never falls between a waiter's look at the clock and its wait: round after round, each
// wait ends when the clock reaches its deadline and not before.
TEST(ManualWaitClock, EveryAdvanceToTheDeadlineEndsTheWait) {
  CManualWaitClock clock;
  CEvent never;
  constexpr int ROUNDS = 300;
  std::atomic<int> nEnded{0};
  std::thread waiter([&] {
    for (int i = 0; i < ROUNDS; ++i) {
      ASSERT_FALSE(never.Wait(10, clock));
      ++nEnded;
    }
  });
  for (int i = 0; i < ROUNDS; ++i) {
    ASSERT_TRUE(clock.WaitForDeadline(clock.Now() + milliseconds(10))) << "round " << i;
    clock.Advance(milliseconds(4));
    clock.Advance(milliseconds(6));
  }
  waiter.join();
  EXPECT_EQ(nEnded, ROUNDS);
  EXPECT_EQ(clock.CountWaits(), 0U);
}

TEST(Mutex, TimedLockFailsWhileAnotherThreadOwnsIt) {
  CManualWaitClock clock;
  CMutex mutex;
  ASSERT_TRUE(mutex.Lock(0));
  std::atomic<int> nResult{-1};
  const auto start = clock.Now();
  std::thread other([&] { nResult = mutex.Lock(20, clock) ? 1 : 0; });
  ASSERT_TRUE(clock.WaitForDeadline(start + milliseconds(20)));
  clock.Advance(milliseconds(20));
  other.join();
  EXPECT_EQ(nResult, 0);
  mutex.Unlock();

  std::thread again([&] {
    nResult = mutex.Lock(LONG_WAIT_MS) ? 1 : 0;
    mutex.Unlock();
  });
  again.join();
  EXPECT_EQ(nResult, 1);
}

} // namespace
