#pragma once

#include "platform/WaitClock.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>

// Levels counted over a sliding window of time: how many arrived in the last second.
class CLevelRate {
public:
  CLevelRate() = default;
  explicit CLevelRate(std::chrono::milliseconds window) : m_window(window) {}

  // nCount levels arrived at tArrived. Arrivals come in time order.
  void Add(CWaitClock::time_point tArrived, uint32_t nCount);
  // Levels that arrived in (tNow - window, tNow]; older arrivals are forgotten.
  uint32_t Rate(CWaitClock::time_point tNow);
  void Clear();

private:
  std::chrono::milliseconds m_window{1000};
  std::deque<std::pair<CWaitClock::time_point, uint32_t>> m_arrivals;
  uint64_t m_nSum = 0;
};

// Where the receiver stands, as the operator is shown it.
enum class ReceiverState {
  notConnected, // never connected, or the operator terminated the connection
  connecting,   // the connection dialog or the wait after it is under way
  connected,    // connected; measuring when levels come (see _receiverview::nMeasuring)
  lost,         // the link reported the receiver gone; a new Connect (or BEGIN) reconnects
};

// What the operator must be told at once, over the plan.
enum class ReceiverAlert {
  none,
  lost,    // the receiver is gone
  stalled, // a segment is walked and no level has been recorded for STALL_LIMIT
};

// One channel as shown: its last level and how many levels came in the last second.
struct _channelview {
  bool bMeasuring = false; // a level message came within MEASURING_HOLD
  int nLastLevel = 0;
  uint32_t nRate = 0;
};

// The whole picture at one moment.
struct _receiverview {
  ReceiverState nState = ReceiverState::notConnected;
  ReceiverAlert nAlert = ReceiverAlert::none;
  int nMeasuring = 0; // channels measuring, 0 to 2
  std::array<_channelview, 2> channels;
  std::chrono::milliseconds quiet{0}; // while walking: time since the last level recorded (or BEGIN)
  std::string strLostReason;          // the link's sentence, while lost
};

// Watches the receiver for the operator: its connection state from the connect flow and the
// link, the levels it sends (per channel: the last one and the rate over a sliding second), and
// whether levels still reach the survey while a segment is walked. Knows nothing of windows; the
// window calls the On... functions as things happen and Follow a few times a second, and shows
// View(). Time is read from the clock given, so tests drive it without waiting.
class CReceiverWatch {
public:
  // No level recorded for this long while walking raises the stalled alert.
  static constexpr std::chrono::milliseconds STALL_LIMIT{3000};
  // A channel counts as measuring for this long after its last level message.
  static constexpr std::chrono::milliseconds MEASURING_HOLD{3000};

  explicit CReceiverWatch(CWaitClock &clock = CWaitClock::Steady());

  void OnConnecting();
  void OnConnected();
  // The operator terminated the connection (or a connection attempt ended without one).
  void OnDisconnected();
  // The link reported the receiver gone. Stays lost until the next connection attempt.
  void OnLost(std::string strReason);
  // A level message of channel nChannel (1 or 2) with nCount levels, the last of them nLastLevel.
  void OnLevels(int nChannel, uint32_t nCount, int nLastLevel);

  // Follows the walk: whether a segment is walked now, and the levels recorded in the survey so
  // far (any running total that grows with every level recorded). A walk that starts, or a
  // total that changes, restarts the stall count.
  void Follow(bool bWalking, uint64_t nRecorded);

  _receiverview View();
  ReceiverState GetState() const { return m_nState; }

private:
  struct _channel {
    CLevelRate rate;
    bool bSeen = false;
    CWaitClock::time_point tLast;
    int nLastLevel = 0;
  };

  CWaitClock &m_clock;
  ReceiverState m_nState = ReceiverState::notConnected;
  std::string m_strLostReason;
  std::array<_channel, 2> m_channels;
  bool m_bWalkFollowed = false;
  uint64_t m_nRecorded = 0;
  CWaitClock::time_point m_tLastRecorded; // or the start of the walk
};
