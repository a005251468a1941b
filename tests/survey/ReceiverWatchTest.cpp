// The receiver as the operator is shown it: rates over a sliding second, the connection states,
// and the alert when levels stop reaching the survey during a walk. The clock is driven by hand.
#include "survey/ReceiverWatch.h"

#include "platform/ManualWaitClock.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;

class ReceiverWatchTest : public ::testing::Test {
protected:
  void Pass(int nMs) { m_clock.Advance(milliseconds(nMs)); }

  CManualWaitClock m_clock;
  CReceiverWatch m_watch{m_clock};
};

TEST(LevelRate, CountsTheLevelsOfTheLastSecondOnly) {
  CManualWaitClock clock;
  CLevelRate rate;
  // 1000 levels per second as 125 messages of 8, one every 8 ms.
  for (int i = 0; i < 125; ++i) {
    rate.Add(clock.Now(), 8);
    clock.Advance(milliseconds(8));
  }
  // The first message came exactly 1000 ms ago: it has left the window (0, 1000].
  EXPECT_EQ(rate.Rate(clock.Now()), 124U * 8);
  clock.Advance(milliseconds(496)); // the 62 oldest of the rest leave too
  EXPECT_EQ(rate.Rate(clock.Now()), 62U * 8);
  clock.Advance(milliseconds(1000));
  EXPECT_EQ(rate.Rate(clock.Now()), 0U);
  rate.Add(clock.Now(), 3);
  EXPECT_EQ(rate.Rate(clock.Now()), 3U);
  rate.Clear();
  EXPECT_EQ(rate.Rate(clock.Now()), 0U);
}

TEST_F(ReceiverWatchTest, ConnectionStatesFollowTheirEvents) {
  struct _step {
    void (*pfnDo)(CReceiverWatch &);
    ReceiverState nState;
    ReceiverAlert nAlert;
  };
  const _step steps[] = {
      {[](CReceiverWatch &) {}, ReceiverState::notConnected, ReceiverAlert::none},
      {[](CReceiverWatch &w) { w.OnConnecting(); }, ReceiverState::connecting, ReceiverAlert::none},
      {[](CReceiverWatch &w) { w.OnConnected(); }, ReceiverState::connected, ReceiverAlert::none},
      {[](CReceiverWatch &w) { w.OnLost("the receiver is gone"); }, ReceiverState::lost, ReceiverAlert::lost},
      // Levels still queued behind the lost report do not end it.
      {[](CReceiverWatch &w) { w.OnLevels(1, 8, -40); }, ReceiverState::lost, ReceiverAlert::lost},
      {[](CReceiverWatch &w) { w.OnConnecting(); }, ReceiverState::connecting, ReceiverAlert::none},
      {[](CReceiverWatch &w) { w.OnConnected(); }, ReceiverState::connected, ReceiverAlert::none},
      {[](CReceiverWatch &w) { w.OnDisconnected(); }, ReceiverState::notConnected, ReceiverAlert::none},
  };
  int nStep = 0;
  for (const _step &step : steps) {
    step.pfnDo(m_watch);
    const _receiverview view = m_watch.View();
    EXPECT_EQ(view.nState, step.nState) << "step " << nStep;
    EXPECT_EQ(view.nAlert, step.nAlert) << "step " << nStep;
    EXPECT_EQ(view.strLostReason.empty(), step.nState != ReceiverState::lost) << "step " << nStep;
    ++nStep;
  }
}

TEST_F(ReceiverWatchTest, MeasuringChannelsCarryTheirLastLevelAndRate) {
  m_watch.OnConnected();
  for (int i = 0; i < 10; ++i) {
    m_watch.OnLevels(1, 8, -40 - i);
    m_watch.OnLevels(2, 4, -70);
    Pass(50);
  }
  _receiverview view = m_watch.View();
  EXPECT_EQ(view.nMeasuring, 2);
  EXPECT_EQ(view.channels[0].nLastLevel, -49);
  EXPECT_EQ(view.channels[0].nRate, 80U);
  EXPECT_EQ(view.channels[1].nRate, 40U);

  // Channel 2 falls silent: after the hold it no longer counts as measuring; channel 1 goes on.
  for (int i = 0; i < 60; ++i) {
    m_watch.OnLevels(1, 8, -41);
    Pass(50);
  }
  view = m_watch.View();
  EXPECT_EQ(view.nMeasuring, 1);
  EXPECT_TRUE(view.channels[0].bMeasuring);
  EXPECT_FALSE(view.channels[1].bMeasuring);
  EXPECT_EQ(view.channels[1].nRate, 0U);
  EXPECT_EQ(view.channels[0].nRate, 19U * 8) << "messages at 2550 to 3450 ms, seen at 3500 ms";

  // A lost receiver measures nothing, and a new connection starts from nothing.
  m_watch.OnLost("gone");
  EXPECT_EQ(m_watch.View().nMeasuring, 0);
  m_watch.OnConnected();
  EXPECT_EQ(m_watch.View().nMeasuring, 0);
  EXPECT_EQ(m_watch.View().channels[0].nRate, 0U);
}

TEST_F(ReceiverWatchTest, LevelsBeforeTheConnectionIsMadeShowNoMeasuring) {
  m_watch.OnConnecting();
  m_watch.OnLevels(1, 8, -40);
  EXPECT_EQ(m_watch.View().nMeasuring, 0);
  m_watch.OnConnected();
  EXPECT_EQ(m_watch.View().nMeasuring, 1) << "the levels that came during the wait count once connected";
}

TEST_F(ReceiverWatchTest, AWalkWithoutRecordedLevelsStallsAfterThreeSeconds) {
  m_watch.OnConnected();
  // A long wait before BEGIN does not count: the stall is timed from the start of the walk.
  Pass(10000);
  m_watch.Follow(true, 500);
  Pass(2999);
  m_watch.Follow(true, 500);
  EXPECT_EQ(m_watch.View().nAlert, ReceiverAlert::none);
  Pass(1);
  m_watch.Follow(true, 500);
  EXPECT_EQ(m_watch.View().nAlert, ReceiverAlert::stalled);
  EXPECT_EQ(m_watch.View().quiet, milliseconds(3000));

  // Levels recorded again end the alert, and the count starts anew from them.
  m_watch.Follow(true, 508);
  EXPECT_EQ(m_watch.View().nAlert, ReceiverAlert::none);
  Pass(2500);
  m_watch.Follow(true, 508);
  EXPECT_EQ(m_watch.View().nAlert, ReceiverAlert::none);
  Pass(600);
  m_watch.Follow(true, 508);
  EXPECT_EQ(m_watch.View().nAlert, ReceiverAlert::stalled);

  // STOP ends the alert: no walk waits for levels.
  m_watch.Follow(false, 508);
  EXPECT_EQ(m_watch.View().nAlert, ReceiverAlert::none);
  EXPECT_EQ(m_watch.View().quiet, milliseconds(0));
}

TEST_F(ReceiverWatchTest, LostOutranksStalledAndLastsUntilTheNextConnection) {
  m_watch.OnConnected();
  m_watch.Follow(true, 0);
  Pass(5000);
  m_watch.Follow(true, 0);
  m_watch.OnLost("the receiver is gone");
  EXPECT_EQ(m_watch.View().nAlert, ReceiverAlert::lost);
  EXPECT_EQ(m_watch.View().strLostReason, "the receiver is gone");
  m_watch.Follow(false, 0);
  EXPECT_EQ(m_watch.View().nAlert, ReceiverAlert::lost) << "STOP does not bring the receiver back";
  m_watch.OnConnecting();
  EXPECT_EQ(m_watch.View().nAlert, ReceiverAlert::none);
}

TEST_F(ReceiverWatchTest, LevelsOfUnknownChannelsAreIgnored) {
  m_watch.OnConnected();
  m_watch.OnLevels(0, 8, 1);
  m_watch.OnLevels(3, 8, 1);
  m_watch.OnLevels(1, 0, 1);
  const _receiverview view = m_watch.View();
  EXPECT_EQ(view.nMeasuring, 0);
  EXPECT_EQ(view.channels[0].nRate + view.channels[1].nRate, 0U);
}

} // namespace
