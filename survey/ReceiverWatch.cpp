#include "survey/ReceiverWatch.h"

#include <algorithm>

void CLevelRate::Add(CWaitClock::time_point tArrived, uint32_t nCount) {
  if (nCount == 0) {
    return;
  }
  m_arrivals.emplace_back(tArrived, nCount);
  m_nSum += nCount;
}

uint32_t CLevelRate::Rate(CWaitClock::time_point tNow) {
  while (!m_arrivals.empty() && m_arrivals.front().first <= tNow - m_window) {
    m_nSum -= m_arrivals.front().second;
    m_arrivals.pop_front();
  }
  return static_cast<uint32_t>(std::min<uint64_t>(m_nSum, UINT32_MAX));
}

void CLevelRate::Clear() {
  m_arrivals.clear();
  m_nSum = 0;
}

CReceiverWatch::CReceiverWatch(CWaitClock &clock) : m_clock(clock), m_tLastRecorded(clock.Now()) {}

void CReceiverWatch::OnConnecting() {
  m_nState = ReceiverState::connecting;
  m_strLostReason.clear();
}

void CReceiverWatch::OnConnected() {
  m_nState = ReceiverState::connected;
  m_strLostReason.clear();
}

void CReceiverWatch::OnDisconnected() {
  m_nState = ReceiverState::notConnected;
  m_strLostReason.clear();
  for (_channel &channel : m_channels) {
    channel = _channel{};
  }
}

void CReceiverWatch::OnLost(std::string strReason) {
  m_nState = ReceiverState::lost;
  m_strLostReason = std::move(strReason);
  // Nothing more comes from a lost receiver: what it measured before is no longer its state.
  for (_channel &channel : m_channels) {
    channel = _channel{};
  }
}

void CReceiverWatch::OnLevels(int nChannel, uint32_t nCount, int nLastLevel) {
  if (nChannel < 1 || nChannel > 2 || nCount == 0) {
    return;
  }
  _channel &channel = m_channels[static_cast<size_t>(nChannel - 1)];
  const auto tNow = m_clock.Now();
  channel.rate.Add(tNow, nCount);
  channel.bSeen = true;
  channel.tLast = tNow;
  channel.nLastLevel = nLastLevel;
}

void CReceiverWatch::Follow(bool bWalking, uint64_t nRecorded) {
  if ((bWalking && !m_bWalkFollowed) || nRecorded != m_nRecorded) {
    m_tLastRecorded = m_clock.Now();
  }
  m_bWalkFollowed = bWalking;
  m_nRecorded = nRecorded;
}

_receiverview CReceiverWatch::View() {
  const auto tNow = m_clock.Now();
  _receiverview view;
  view.nState = m_nState;
  view.strLostReason = m_strLostReason;
  for (size_t i = 0; i < m_channels.size(); ++i) {
    _channel &channel = m_channels[i];
    _channelview &shown = view.channels[i];
    shown.nRate = channel.rate.Rate(tNow);
    shown.nLastLevel = channel.nLastLevel;
    shown.bMeasuring = m_nState == ReceiverState::connected && channel.bSeen && tNow - channel.tLast < MEASURING_HOLD;
    view.nMeasuring += shown.bMeasuring ? 1 : 0;
  }
  if (m_bWalkFollowed) {
    view.quiet = std::chrono::duration_cast<std::chrono::milliseconds>(tNow - m_tLastRecorded);
  }
  if (m_nState == ReceiverState::lost) {
    view.nAlert = ReceiverAlert::lost;
  } else if (m_bWalkFollowed && view.quiet >= STALL_LIMIT) {
    view.nAlert = ReceiverAlert::stalled;
  }
  return view;
}
