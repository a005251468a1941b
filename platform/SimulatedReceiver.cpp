#include "platform/SimulatedReceiver.h"

#include "platform/Event.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

namespace {

// The receiver's side of the protocol. Frames: 0xAA, length, a spare byte, payload.
constexpr uint8_t SIM_SYNC = 0xAA;
constexpr uint8_t SIM_MSG_DESCRIPTION = 0x01;
constexpr uint8_t SIM_MSG_LEVELS_1 = 0x02;
constexpr uint8_t SIM_MSG_LEVELS_2 = 0x03;
constexpr uint8_t SIM_MSG_CHANNELS = 0x05;
constexpr uint8_t SIM_MSG_SERIAL = 0x1C;
constexpr uint8_t SIM_CMD_SERIAL = 0x1C;
constexpr uint8_t SIM_CMD_DESCRIPTION = 0x01;
constexpr uint8_t SIM_CMD_RESEND = 0x30;

constexpr uint32_t SIM_BRIDGE_CLOCK = 3000000; // baud = clock / divisor
constexpr uint32_t SIM_DEFAULT_BAUD = 9600;    // before the host programs a divisor
constexpr uint32_t SIM_BITS_PER_BYTE = 10;     // start bit, eight data bits, stop bit
constexpr uint32_t SIM_FRAME_BYTES = 3;        // sync, length, spare
constexpr uint32_t SIM_REAL_TIME_TICK_MS = 5;  // how often the real-time thread moves time on
constexpr double SIM_REAL_TIME_MAX_STEP_MS = 60000.0;

void PutU32(std::vector<uint8_t> &out, uint32_t n) {
  for (int i = 0; i < 4; ++i) {
    out.push_back(static_cast<uint8_t>(n >> (8 * i)));
  }
}

void PutU16(std::vector<uint8_t> &out, uint16_t n) {
  out.push_back(static_cast<uint8_t>(n));
  out.push_back(static_cast<uint8_t>(n >> 8));
}

} // namespace

// The host's end of the link to one unit, for one session.
class CSimPort : public CD2xxDevice {
public:
  CSimPort(std::shared_ptr<CSimulatedReceiver> pReceiver, uint64_t nSession)
      : m_pReceiver(std::move(pReceiver)), m_nSession(nSession) {}

  FT_STATUS GetDeviceInfo(_d2xxdeviceinfo &info) override {
    if (!m_pReceiver->IsLive(m_nSession)) {
      return FT_IO_ERROR;
    }
    info = m_pReceiver->GetDeviceInfo();
    return FT_OK;
  }
  FT_STATUS SetDivisor(uint16_t nDivisor) override {
    if (nDivisor == 0) {
      return FT_INVALID_PARAMETER;
    }
    return m_pReceiver->PortSetting(m_nSession, [&](_simsettings &s) { s.nDivisor = nDivisor; });
  }
  FT_STATUS SetDataCharacteristics(uint8_t nWordLength, uint8_t nStopBits, uint8_t nParity) override {
    return m_pReceiver->PortSetting(m_nSession, [&](_simsettings &s) {
      s.nWordLength = nWordLength;
      s.nStopBits = nStopBits;
      s.nParity = nParity;
    });
  }
  FT_STATUS SetFlowControl(uint16_t nFlowControl, uint8_t nXon, uint8_t nXoff) override {
    return m_pReceiver->PortSetting(m_nSession, [&](_simsettings &s) {
      s.nFlowControl = nFlowControl;
      s.nXon = nXon;
      s.nXoff = nXoff;
    });
  }
  FT_STATUS SetTimeouts(uint32_t nReadTimeoutMs, uint32_t nWriteTimeoutMs) override {
    return m_pReceiver->PortSetting(m_nSession, [&](_simsettings &s) {
      s.nReadTimeoutMs = nReadTimeoutMs;
      s.nWriteTimeoutMs = nWriteTimeoutMs;
    });
  }
  FT_STATUS SetEventNotification(uint32_t nMask, CEvent *pEvent) override {
    return m_pReceiver->PortSetNotification(m_nSession, nMask, pEvent);
  }
  FT_STATUS GetStatus(uint32_t &nRxQueue, uint32_t &nTxQueue, uint32_t &nEventStatus) override {
    nTxQueue = 0;
    nEventStatus = 0;
    return m_pReceiver->PortGetStatus(m_nSession, nRxQueue);
  }
  FT_STATUS Read(void *pBuffer, uint32_t nToRead, uint32_t &nRead) override {
    return m_pReceiver->PortRead(m_nSession, static_cast<uint8_t *>(pBuffer), nToRead, nRead);
  }
  FT_STATUS Write(const void *pBuffer, uint32_t nToWrite, uint32_t &nWritten) override {
    const FT_STATUS status = m_pReceiver->PortWrite(m_nSession, static_cast<const uint8_t *>(pBuffer), nToWrite);
    nWritten = status == FT_OK ? nToWrite : 0;
    return status;
  }
  FT_STATUS Close() override { return m_pReceiver->PortClose(m_nSession); }

private:
  std::shared_ptr<CSimulatedReceiver> m_pReceiver;
  uint64_t m_nSession;
};

CSimulatedReceiver::CSimulatedReceiver(_simidentity identity)
    : m_identity(std::move(identity)), m_rng(m_identity.nSeed) {
  if ((m_identity.nPresence & 0x02) == 0) {
    m_panel.nChannels = 1;
  }
}

CSimulatedReceiver::~CSimulatedReceiver() { StopRealTime(); }

_d2xxdeviceinfo CSimulatedReceiver::GetDeviceInfo() const {
  _d2xxdeviceinfo info;
  info.strSerialNumber = m_identity.strBridgeSerial.substr(0, FT_SERIAL_NUMBER_SIZE - 1);
  info.strDescription = m_identity.strDescription.substr(0, FT_DESCRIPTION_SIZE - 1);
  info.nDeviceId = static_cast<uint32_t>(m_identity.nVendor) << 16 | m_identity.nProduct;
  return info;
}

// Front panel.

void CSimulatedReceiver::SetPanel(const _simpanel &panel) {
  std::lock_guard lock(m_mutex);
  const bool bWasMeasuring = m_panel.bMeasurementMode;
  const uint32_t nOldRate = m_panel.nSampleRate;
  const int nOldChannels = m_panel.nChannels;
  const bool bReport = panel.bMeasurementMode &&
                       (!bWasMeasuring || panel.nChannel != m_panel.nChannel || panel.nChannels != m_panel.nChannels);
  m_panel = panel;
  m_panel.nSampleRate = std::clamp<uint32_t>(m_panel.nSampleRate, 1, 1000);
  m_panel.nLevelsPerMessage = std::clamp<uint32_t>(m_panel.nLevelsPerMessage, 1, 63);
  m_panel.nChannels = (m_identity.nPresence & 0x02) != 0 && m_panel.nChannels >= 2 ? 2 : 1;
  if (!bWasMeasuring || !m_panel.bMeasurementMode) {
    RestartSampling();
  } else if (m_panel.nSampleRate != nOldRate || m_panel.nChannels != nOldChannels) {
    // Levels already measured are kept; the new pace counts from now.
    for (auto &channel : m_channels) {
      channel.nStartUs = m_nNowUs;
      channel.nSamples = 0;
    }
  }
  if (bReport) {
    SendChannelReport();
  }
  FlushIfImmediate();
}

_simpanel CSimulatedReceiver::GetPanel() const {
  std::lock_guard lock(m_mutex);
  return m_panel;
}

void CSimulatedReceiver::SetMeasurementMode(bool bOn) {
  _simpanel panel = GetPanel();
  panel.bMeasurementMode = bOn;
  SetPanel(panel);
}

void CSimulatedReceiver::SelectChannel(int nReceiver, uint32_t nChannel) {
  _simpanel panel = GetPanel();
  panel.nChannel.at(static_cast<size_t>(nReceiver - 1)) = nChannel;
  SetPanel(panel);
}

void CSimulatedReceiver::SetChannelCount(int nChannels) {
  _simpanel panel = GetPanel();
  panel.nChannels = nChannels;
  SetPanel(panel);
}

void CSimulatedReceiver::SetSampleRate(uint32_t nLevelsPerSecond) {
  _simpanel panel = GetPanel();
  panel.nSampleRate = nLevelsPerSecond;
  SetPanel(panel);
}

// Time.

void CSimulatedReceiver::Advance(uint32_t nMilliseconds) {
  std::lock_guard lock(m_mutex);
  // At wire speed the line empties the send buffer a millisecond at a time while the unit fills
  // it, so a message meets the buffer as it stands at its own time.
  const uint32_t nStepMs = m_delivery == SimDelivery::wireSpeed ? 1 : std::max<uint32_t>(nMilliseconds, 1);
  for (uint32_t nDone = 0; nDone < nMilliseconds;) {
    const uint32_t nStep = std::min(nStepMs, nMilliseconds - nDone);
    const uint64_t nTargetUs = m_nNowUs + uint64_t{nStep} * 1000;
    SampleUntil(nTargetUs);
    m_nNowUs = nTargetUs;
    if (m_delivery == SimDelivery::wireSpeed) {
      CarryOnLine(nStep);
    }
    nDone += nStep;
  }
  FlushIfImmediate();
}

uint32_t CSimulatedReceiver::LineBaud() const {
  return m_settings.nDivisor != 0 ? SIM_BRIDGE_CLOCK / m_settings.nDivisor : SIM_DEFAULT_BAUD;
}

void CSimulatedReceiver::CarryOnLine(uint32_t nMilliseconds) {
  m_dWireBudget += nMilliseconds * (static_cast<double>(LineBaud()) / SIM_BITS_PER_BYTE) / 1000.0;
  const auto nBytes = static_cast<uint32_t>(std::min<double>(m_dWireBudget, static_cast<double>(m_wire.size())));
  m_dWireBudget = m_wire.size() > nBytes ? m_dWireBudget - nBytes : 0.0;
  MoveToHost(nBytes);
}

uint32_t CSimulatedReceiver::GetLineBaud() const {
  std::lock_guard lock(m_mutex);
  return LineBaud();
}

uint32_t CSimulatedReceiver::LineLevelRate() const {
  std::lock_guard lock(m_mutex);
  // A level message of n levels: its frame, the message type, four bytes a level, the sequence.
  const uint64_t nLevels = m_panel.nLevelsPerMessage;
  const uint64_t nMessageBytes = SIM_FRAME_BYTES + 1 + 4 * nLevels + 1;
  const uint64_t nBytesPerSecond = LineBaud() / SIM_BITS_PER_BYTE;
  return static_cast<uint32_t>(nBytesPerSecond * nLevels / (nMessageBytes * static_cast<uint64_t>(m_panel.nChannels)));
}

void CSimulatedReceiver::PauseChannel(int nChannel, uint32_t nMilliseconds) {
  std::lock_guard lock(m_mutex);
  auto &channel = m_channels.at(static_cast<size_t>(nChannel - 1));
  channel.nPausedUntilUs = m_nNowUs + uint64_t{nMilliseconds} * 1000;
  channel.pending.clear(); // what was measured for the next message is lost with the signal
}

uint64_t CSimulatedReceiver::GetTimeMs() const {
  std::lock_guard lock(m_mutex);
  return m_nNowUs / 1000;
}

void CSimulatedReceiver::StartRealTime(double dSpeed, CWaitClock &clock) {
  StopRealTime();
  std::lock_guard lock(m_mutex);
  m_bStop = false;
  m_realTime = std::thread([this, dSpeed, &clock] { RunRealTime(dSpeed, clock); });
}

void CSimulatedReceiver::StopRealTime() {
  {
    std::lock_guard lock(m_mutex);
    m_bStop = true;
    m_cvStop.notify_all();
  }
  if (m_realTime.joinable()) {
    m_realTime.join();
  }
}

void CSimulatedReceiver::RunRealTime(double dSpeed, CWaitClock &clock) {
  const auto start = clock.Now();
  double dDoneMs = 0.0;
  std::unique_lock lock(m_mutex);
  while (!clock.WaitUntil(m_cvStop, lock, clock.After(SIM_REAL_TIME_TICK_MS), [this] { return m_bStop; })) {
    const double dDueMs = std::chrono::duration<double, std::milli>(clock.Now() - start).count() * dSpeed;
    lock.unlock();
    while (dDueMs - dDoneMs >= 1.0) {
      const auto nStep = static_cast<uint32_t>(std::min(dDueMs - dDoneMs, SIM_REAL_TIME_MAX_STEP_MS));
      Advance(nStep);
      dDoneMs += nStep;
    }
    lock.lock();
  }
}

// Counts and logs.

uint64_t CSimulatedReceiver::LevelsSent(int nChannel) const {
  std::lock_guard lock(m_mutex);
  return m_channels.at(static_cast<size_t>(nChannel - 1)).nLevelsSent;
}

uint64_t CSimulatedReceiver::LevelsDropped(int nChannel) const {
  std::lock_guard lock(m_mutex);
  return m_channels.at(static_cast<size_t>(nChannel - 1)).nLevelsDropped;
}

void CSimulatedReceiver::KeepLog(bool bOn) {
  std::lock_guard lock(m_mutex);
  m_bKeepLog = bOn;
}

std::vector<std::vector<uint8_t>> CSimulatedReceiver::SentPayloads() const {
  std::lock_guard lock(m_mutex);
  return m_log;
}

std::vector<uint8_t> CSimulatedReceiver::ReceivedBytes() const {
  std::lock_guard lock(m_mutex);
  return m_received;
}

_simsettings CSimulatedReceiver::GetSettings() const {
  std::lock_guard lock(m_mutex);
  return m_settings;
}

// Delivery.

void CSimulatedReceiver::SetDelivery(SimDelivery delivery) {
  std::lock_guard lock(m_mutex);
  m_delivery = delivery;
  m_dWireBudget = 0.0;
  FlushIfImmediate();
}

uint32_t CSimulatedReceiver::Deliver(uint32_t nMaxBytes) {
  std::lock_guard lock(m_mutex);
  return MoveToHost(nMaxBytes);
}

uint32_t CSimulatedReceiver::PendingBytes() const {
  std::lock_guard lock(m_mutex);
  return static_cast<uint32_t>(m_wire.size());
}

uint32_t CSimulatedReceiver::QueuedBytes() const {
  std::lock_guard lock(m_mutex);
  return static_cast<uint32_t>(m_hostQueue.size());
}

bool CSimulatedReceiver::WaitUntilRead(uint32_t nMilliseconds) const {
  std::unique_lock lock(m_mutex);
  return m_cvRead.wait_for(lock, std::chrono::milliseconds(nMilliseconds), [this] { return m_hostQueue.empty(); });
}

// Faults.

void CSimulatedReceiver::SetNoise(uint32_t nMaxBytes) {
  std::lock_guard lock(m_mutex);
  m_nNoiseMax = nMaxBytes;
}

void CSimulatedReceiver::InjectBytes(const std::vector<uint8_t> &bytes) {
  std::lock_guard lock(m_mutex);
  Transmit(bytes);
  FlushIfImmediate();
}

void CSimulatedReceiver::DropByteOfNextFrame(uint32_t nIndex) {
  std::lock_guard lock(m_mutex);
  m_nDropIndex = nIndex;
}

void CSimulatedReceiver::Unplug() {
  std::lock_guard lock(m_mutex);
  m_bPlugged = false;
  m_wire.clear();
  m_wireFrames.clear();
  m_nWireLevelBytes = {};
  m_hostQueue.clear();
  // As a driver does when its device goes, the host is woken once more, to find the port dead.
  if (m_pEvent != nullptr) {
    m_pEvent->Set();
  }
  m_pEvent = nullptr;
  m_cvRead.notify_all();
}

void CSimulatedReceiver::Replug() {
  std::lock_guard lock(m_mutex);
  if (!m_bPlugged) {
    m_bPlugged = true;
    // The port that was open before the unplug stays dead.
    m_nSession = 0;
  }
}

bool CSimulatedReceiver::IsPlugged() const {
  std::lock_guard lock(m_mutex);
  return m_bPlugged;
}

void CSimulatedReceiver::FailWrites(bool bOn) {
  std::lock_guard lock(m_mutex);
  m_bFailWrites = bOn;
}

// The port.

FT_STATUS CSimulatedReceiver::OpenPort(std::unique_ptr<CD2xxDevice> &port) {
  std::lock_guard lock(m_mutex);
  if (!m_bPlugged) {
    return FT_DEVICE_NOT_FOUND;
  }
  if (m_nSession != 0) {
    return FT_DEVICE_NOT_OPENED;
  }
  m_nSession = ++m_nLastSession;
  ++m_settings.nOpens;
  m_settings.nEventMask = 0;
  m_pEvent = nullptr;
  m_hostQueue.clear();
  m_commandState = CommandState::hunting;
  port = std::make_unique<CSimPort>(shared_from_this(), m_nSession);
  return FT_OK;
}

bool CSimulatedReceiver::IsLive(uint64_t nSession) const {
  std::lock_guard lock(m_mutex);
  return m_bPlugged && nSession == m_nSession;
}

FT_STATUS CSimulatedReceiver::PortClose(uint64_t nSession) {
  std::lock_guard lock(m_mutex);
  if (nSession != m_nSession) {
    return FT_OK; // the unit was unplugged under the port; nothing is left to release
  }
  ++m_settings.nCloses;
  m_nSession = 0;
  m_pEvent = nullptr;
  m_settings.nEventMask = 0;
  m_hostQueue.clear();
  m_cvRead.notify_all();
  return FT_OK;
}

template <class Change> FT_STATUS CSimulatedReceiver::PortSetting(uint64_t nSession, Change change) {
  std::lock_guard lock(m_mutex);
  if (!m_bPlugged || nSession != m_nSession) {
    return FT_IO_ERROR;
  }
  change(m_settings);
  return FT_OK;
}

FT_STATUS CSimulatedReceiver::PortSetNotification(uint64_t nSession, uint32_t nMask, CEvent *pEvent) {
  std::lock_guard lock(m_mutex);
  if (!m_bPlugged || nSession != m_nSession) {
    return FT_IO_ERROR;
  }
  m_settings.nEventMask = nMask;
  m_pEvent = (nMask & FT_EVENT_RXCHAR) != 0 ? pEvent : nullptr;
  if (m_pEvent != nullptr && !m_hostQueue.empty()) {
    m_pEvent->Set(); // characters that came before the notification are not left unannounced
  }
  return FT_OK;
}

FT_STATUS CSimulatedReceiver::PortGetStatus(uint64_t nSession, uint32_t &nRxQueue) {
  std::lock_guard lock(m_mutex);
  nRxQueue = 0;
  if (!m_bPlugged || nSession != m_nSession) {
    return FT_IO_ERROR;
  }
  nRxQueue = static_cast<uint32_t>(m_hostQueue.size());
  return FT_OK;
}

FT_STATUS CSimulatedReceiver::PortRead(uint64_t nSession, uint8_t *pBuffer, uint32_t nToRead, uint32_t &nRead) {
  std::unique_lock lock(m_mutex);
  nRead = 0;
  auto live = [&] { return m_bPlugged && nSession == m_nSession; };
  // Like a driver, wait up to the read time-out for the bytes asked for.
  m_cvRead.wait_for(lock, std::chrono::milliseconds(m_settings.nReadTimeoutMs),
                    [&] { return !live() || m_hostQueue.size() >= nToRead; });
  if (!live()) {
    return FT_IO_ERROR;
  }
  nRead = static_cast<uint32_t>(std::min<size_t>(nToRead, m_hostQueue.size()));
  std::copy_n(m_hostQueue.begin(), nRead, pBuffer);
  m_hostQueue.erase(m_hostQueue.begin(), m_hostQueue.begin() + nRead);
  m_cvRead.notify_all();
  return FT_OK;
}

FT_STATUS CSimulatedReceiver::PortWrite(uint64_t nSession, const uint8_t *pData, uint32_t nCount) {
  std::lock_guard lock(m_mutex);
  if (!m_bPlugged || nSession != m_nSession || m_bFailWrites) {
    return FT_IO_ERROR;
  }
  m_received.insert(m_received.end(), pData, pData + nCount);
  for (uint32_t i = 0; i < nCount; ++i) {
    TakeCommandByte(pData[i]);
  }
  FlushIfImmediate();
  return FT_OK;
}

// The receiver.

void CSimulatedReceiver::TakeCommandByte(uint8_t b) {
  switch (m_commandState) {
  case CommandState::hunting:
    if (b == SIM_SYNC) {
      m_commandState = CommandState::length;
    }
    break;
  case CommandState::length:
    m_nCommandLength = b;
    m_commandState = b == 0 ? CommandState::hunting : CommandState::spare;
    break;
  case CommandState::spare:
    m_command.clear();
    m_commandState = CommandState::payload;
    break;
  case CommandState::payload:
    m_command.push_back(b);
    if (m_command.size() < m_nCommandLength) {
      break;
    }
    m_commandState = CommandState::hunting;
    // A command is its code twice; anything else is not a command.
    if (m_command.size() != 2 || m_command[0] != m_command[1]) {
      break;
    }
    switch (m_command[0]) {
    case SIM_CMD_SERIAL:
      SendSerialNumber();
      break;
    case SIM_CMD_DESCRIPTION:
      SendDescription();
      break;
    case SIM_CMD_RESEND:
      SendDescription();
      if (m_panel.bMeasurementMode) {
        SendChannelReport();
      }
      break;
    default:
      break;
    }
    break;
  }
}

bool CSimulatedReceiver::IsMeasuring(int nChannel) const {
  return m_panel.bMeasurementMode && nChannel <= m_panel.nChannels;
}

void CSimulatedReceiver::RestartSampling() {
  for (auto &channel : m_channels) {
    channel.nStartUs = m_nNowUs;
    channel.nSamples = 0;
    channel.pending.clear();
  }
}

void CSimulatedReceiver::SendChannelReport() {
  std::vector<uint8_t> payload{SIM_MSG_CHANNELS};
  PutU32(payload, m_panel.nChannel[0]);
  // Measuring one channel, the unit reports no channel for its second receiver.
  PutU32(payload, m_panel.nChannels >= 2 ? m_panel.nChannel[1] : 0);
  Send(payload);
}

void CSimulatedReceiver::SendDescription() {
  std::vector<uint8_t> payload{SIM_MSG_DESCRIPTION, m_identity.nPresence};
  for (const _simreceiver &receiver : m_identity.receivers) {
    PutU32(payload, receiver.nMinChannel);
    PutU32(payload, receiver.nMaxChannel);
    PutU16(payload, receiver.nStepRaw);
    PutU16(payload, receiver.nSpare);
  }
  Send(payload);
}

void CSimulatedReceiver::SendSerialNumber() {
  std::vector<uint8_t> payload{SIM_MSG_SERIAL};
  std::string strSerial = m_identity.strSerialNumber;
  strSerial.resize(6, ' ');
  payload.insert(payload.end(), strSerial.begin(), strSerial.end());
  Send(payload);
}

// A level message of n levels: 2n two-byte items of which the first n carry a level and a
// gain byte, the next n the peak level and a zero, then a sequence byte.
void CSimulatedReceiver::SendLevels(int nChannel) {
  auto &channel = m_channels[static_cast<size_t>(nChannel - 1)];
  std::vector<uint8_t> payload{nChannel == 1 ? SIM_MSG_LEVELS_1 : SIM_MSG_LEVELS_2};
  for (const int8_t level : channel.pending) {
    payload.push_back(static_cast<uint8_t>(level));
    payload.push_back(static_cast<uint8_t>(0x20 + (m_rng() % 4)));
  }
  const int8_t nPeak = *std::max_element(channel.pending.begin(), channel.pending.end());
  for (size_t i = 0; i < channel.pending.size(); ++i) {
    payload.push_back(static_cast<uint8_t>(nPeak));
    payload.push_back(0);
  }
  payload.push_back(m_nSequence++);
  const bool bSent = Send(payload, nChannel);
  if (m_bPlugged) {
    (bSent ? channel.nLevelsSent : channel.nLevelsDropped) += channel.pending.size();
  }
  channel.pending.clear();
}

bool CSimulatedReceiver::Send(const std::vector<uint8_t> &payload, int nLevelsOf) {
  std::vector<uint8_t> bytes;
  if (m_nNoiseMax > 0) {
    const uint32_t nNoise = m_rng() % (m_nNoiseMax + 1);
    for (uint32_t i = 0; i < nNoise; ++i) {
      auto b = static_cast<uint8_t>(m_rng());
      bytes.push_back(b == SIM_SYNC ? 0x55 : b);
    }
  }
  const size_t nFrameStart = bytes.size();
  bytes.push_back(SIM_SYNC);
  bytes.push_back(static_cast<uint8_t>(payload.size()));
  bytes.push_back(0x00);
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  // Each channel measured has its share of the buffer, so that a fast channel 1 does not starve
  // channel 2 of the line.
  if (nLevelsOf != 0 && m_delivery == SimDelivery::wireSpeed &&
      m_nWireLevelBytes[static_cast<size_t>(nLevelsOf - 1)] + bytes.size() >
          SIM_SEND_BUFFER_BYTES / static_cast<uint32_t>(m_panel.nChannels)) {
    return false;
  }
  if (m_nDropIndex) {
    const size_t nIndex = nFrameStart + std::min<size_t>(*m_nDropIndex, payload.size() + 2);
    bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(nIndex));
    m_nDropIndex.reset();
  }
  if (m_bKeepLog) {
    m_log.push_back(payload);
  }
  Transmit(bytes, nLevelsOf);
  return true;
}

void CSimulatedReceiver::Transmit(const std::vector<uint8_t> &bytes, int nLevelsOf) {
  if (m_bPlugged && !bytes.empty()) {
    m_wire.insert(m_wire.end(), bytes.begin(), bytes.end());
    m_wireFrames.push_back({static_cast<uint32_t>(bytes.size()), nLevelsOf});
    if (nLevelsOf != 0) {
      m_nWireLevelBytes[static_cast<size_t>(nLevelsOf - 1)] += static_cast<uint32_t>(bytes.size());
    }
  }
}

// A plausible level: a slow fade and a faster ripple around a level that depends on the
// channel, with a little measurement noise; between -120 and -20.
int8_t CSimulatedReceiver::Level(int nChannel, uint64_t nTimeUs) {
  const double dSeconds = static_cast<double>(nTimeUs) / 1e6;
  const double dPhase = static_cast<double>(m_panel.nChannel[static_cast<size_t>(nChannel - 1)] % 997) * 0.01;
  const double dBase = nChannel == 1 ? -58.0 : -71.0;
  const double dTwoPi = 2.0 * std::numbers::pi;
  const double dLevel = dBase + 9.0 * std::sin(dTwoPi * dSeconds / 6.1 + dPhase) +
                        4.0 * std::sin(dTwoPi * dSeconds / 1.7 + 2.0 * dPhase) +
                        static_cast<double>(static_cast<int>(m_rng() % 7) - 3);
  return static_cast<int8_t>(std::clamp(std::lround(dLevel), -120L, -20L));
}

// Takes every sample due up to nTimeUs in time order, channel 1 first at equal times, and sends
// a level message whenever a channel has a message's worth.
void CSimulatedReceiver::SampleUntil(uint64_t nTimeUs) {
  if (!m_panel.bMeasurementMode) {
    return;
  }
  const uint64_t nRate = m_panel.nSampleRate;
  auto nextSample = [&](const _channelstate &channel) {
    return channel.nStartUs + (channel.nSamples + 1) * 1000000 / nRate;
  };
  for (;;) {
    int nNext = 0;
    uint64_t nNextUs = 0;
    for (int k = 1; k <= 2; ++k) {
      const uint64_t nDue = nextSample(m_channels[static_cast<size_t>(k - 1)]);
      if (IsMeasuring(k) && nDue <= nTimeUs && (nNext == 0 || nDue < nNextUs)) {
        nNext = k;
        nNextUs = nDue;
      }
    }
    if (nNext == 0) {
      return;
    }
    auto &channel = m_channels[static_cast<size_t>(nNext - 1)];
    ++channel.nSamples;
    if (nNextUs < channel.nPausedUntilUs) {
      continue; // no signal: nothing of this sample is sent
    }
    channel.pending.push_back(Level(nNext, nNextUs));
    if (channel.pending.size() >= m_panel.nLevelsPerMessage) {
      SendLevels(nNext);
    }
  }
}

uint32_t CSimulatedReceiver::MoveToHost(uint32_t nMaxBytes) {
  const auto nCount = static_cast<uint32_t>(std::min<size_t>(nMaxBytes, m_wire.size()));
  if (nCount == 0) {
    return 0;
  }
  if (m_bPlugged && m_nSession != 0) {
    m_hostQueue.insert(m_hostQueue.end(), m_wire.begin(), m_wire.begin() + nCount);
    if (m_pEvent != nullptr) {
      m_pEvent->Set();
    }
    m_cvRead.notify_all();
  }
  // With no port open the bridge has nowhere to put the bytes: they are lost.
  m_wire.erase(m_wire.begin(), m_wire.begin() + nCount);
  for (uint32_t nLeft = nCount; nLeft > 0 && !m_wireFrames.empty();) {
    _wireframe &frame = m_wireFrames.front();
    const uint32_t nGone = std::min(nLeft, frame.nBytes);
    frame.nBytes -= nGone;
    nLeft -= nGone;
    if (frame.nLevelsOf != 0) {
      m_nWireLevelBytes[static_cast<size_t>(frame.nLevelsOf - 1)] -= nGone;
    }
    if (frame.nBytes == 0) {
      m_wireFrames.pop_front();
    }
  }
  return nCount;
}

void CSimulatedReceiver::FlushIfImmediate() {
  if (m_delivery == SimDelivery::immediate) {
    MoveToHost(static_cast<uint32_t>(m_wire.size()));
  }
}
