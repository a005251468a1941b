#include "platform/Event.h"
#include "platform/Mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

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

TEST(Event, WaitTimesOutAndWakesFromAnotherThread) {
  CEvent event;
  const auto start = Clock::now();
  EXPECT_FALSE(event.Wait(20));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(20));

  std::thread setter([&] { event.Set(); });
  EXPECT_TRUE(event.Wait(LONG_WAIT_MS));
  setter.join();
}

TEST(Event, TwoWaitersShareOneSetBetweenThem) {
  CEvent event;
  std::atomic<int> nTaken{0};
  std::thread a([&] { nTaken += event.Wait(50) ? 1 : 0; });
  std::thread b([&] { nTaken += WaitForTwoEvents(event, event, 50) == WaitResult::first ? 1 : 0; });
  event.Set();
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
  CEvent request;
  CEvent data;
  const auto start = Clock::now();
  EXPECT_EQ(WaitForTwoEvents(request, data, 20), WaitResult::timeout);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(20));
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

TEST(Mutex, TimedLockFailsWhileAnotherThreadOwnsIt) {
  CMutex mutex;
  ASSERT_TRUE(mutex.Lock(0));
  std::atomic<int> nResult{-1};
  std::thread other([&] { nResult = mutex.Lock(20) ? 1 : 0; });
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
