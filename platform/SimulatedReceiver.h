#pragma once

#include "platform/D2xxBackend.h"
#include "platform/UsbIds.h"
#include "platform/WaitClock.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

// One receiver of the simulated unit, as its description reports it.
struct _simreceiver {
  uint32_t nMinChannel = 0;
  uint32_t nMaxChannel = 0;
  uint16_t nStepRaw = 0; // channel step in 1/256 kHz
  uint16_t nSpare = 0;
};

// What the simulated unit is: its USB bridge's identity and the receiver's own description.
struct _simidentity {
  std::string strBridgeSerial = "TVX10417"; // the USB serial number the listing shows
  std::string strDescription = "TARVEX Receiver";
  uint16_t nVendor = USB_VENDOR_VEXLOR;
  uint16_t nProduct = USB_PRODUCT_TARVEX;
  std::string strSerialNumber = "TX5301"; // the receiver's serial number, six characters
  uint8_t nPresence = 0x03;               // bit 0: receiver 1 installed, bit 1: receiver 2
  // Receiver 1: 400 to 470 MHz in 12.5 kHz steps; receiver 2: 400 to 600 MHz in 25 kHz steps.
  std::array<_simreceiver, 2> receivers{{{32000, 37600, 3200, 0}, {16000, 24000, 6400, 0}}};
  uint32_t nSeed = 1; // seeds the level pattern and the random faults
};

// The unit's front panel.
struct _simpanel {
  bool bMeasurementMode = false;
  std::array<uint32_t, 2> nChannel{34000, 20000}; // selected channel of receiver 1 and receiver 2
  int nChannels = 2;                              // channels measured: 1, or 2 when receiver 2 is installed
  uint32_t nSampleRate = 40;                      // levels per second on each channel, 1 to 1000
  uint32_t nLevelsPerMessage = 8;                 // 1 to 63
};

// What the host programmed through the driver, and how often it opened and closed the port.
struct _simsettings {
  uint16_t nDivisor = 0;
  uint8_t nWordLength = 0;
  uint8_t nStopBits = 0;
  uint8_t nParity = 0;
  uint16_t nFlowControl = 0;
  uint8_t nXon = 0;
  uint8_t nXoff = 0;
  uint32_t nReadTimeoutMs = 0;
  uint32_t nWriteTimeoutMs = 0;
  uint32_t nEventMask = 0;
  uint32_t nOpens = 0;
  uint32_t nCloses = 0;
};

// How bytes the unit sends reach the host's receive queue.
enum class SimDelivery {
  immediate, // at once, as one arrival per operation
  wireSpeed, // at the programmed baud rate, as simulated time passes, through a send buffer of
             // SIM_SEND_BUFFER_BYTES shared by the channels measured: a level message that finds
             // its channel's share full is dropped and counted
  manual,    // only when Deliver is called
};

// The bytes the unit's end of the line holds while they wait for the line, as a USB serial
// bridge's buffer does. At wire speed a unit measuring faster than its line carries drops the
// level messages that do not fit, instead of falling ever further behind.
constexpr uint32_t SIM_SEND_BUFFER_BYTES = 256;

// A two-channel receiver behind its USB bridge, inside the process. It answers the receiver
// commands, streams a channel report and level messages while its front panel is in measurement
// mode, and can be made to misbehave as a cable or a unit does in the field. Time passes only
// through Advance, or in real time once StartRealTime is called. Thread-safe.
//
// The unit is reached through the device layer (see D2xxSimBackend.h): OpenPort gives the
// host's end of the link, which wakes the host through the event of FT_SetEventNotification
// whenever bytes arrive.
class CSimulatedReceiver : public std::enable_shared_from_this<CSimulatedReceiver> {
public:
  explicit CSimulatedReceiver(_simidentity identity = {});
  CSimulatedReceiver(const CSimulatedReceiver &) = delete;
  CSimulatedReceiver &operator=(const CSimulatedReceiver &) = delete;
  ~CSimulatedReceiver();

  const _simidentity &GetIdentity() const { return m_identity; }
  _d2xxdeviceinfo GetDeviceInfo() const;

  // Front panel. Entering measurement mode, or changing a channel or the channel count while
  // in it, sends a channel report.
  void SetPanel(const _simpanel &panel);
  _simpanel GetPanel() const;
  void SetMeasurementMode(bool bOn);
  void SelectChannel(int nReceiver, uint32_t nChannel);
  void SetChannelCount(int nChannels);
  void SetSampleRate(uint32_t nLevelsPerSecond);

  // Lets nMilliseconds of simulated time pass: the levels due are measured and sent.
  void Advance(uint32_t nMilliseconds);
  uint64_t GetTimeMs() const;
  // Advances time from a thread of its own, dSpeed simulated milliseconds per millisecond of
  // clock (the steady clock, or a test's clock that moves only when told).
  void StartRealTime(double dSpeed = 1.0, CWaitClock &clock = CWaitClock::Steady());
  void StopRealTime();

  // For the next nMilliseconds of simulated time, channel nChannel (1 or 2) sends no level
  // message, as a receiver that lost its signal; its levels of that time are never sent. 0 ends
  // a pause.
  void PauseChannel(int nChannel, uint32_t nMilliseconds);
  // The most levels per second on each channel measured that the line carries, at its present
  // speed (9600 baud until the host programs one), channel count and message size.
  uint32_t LineLevelRate() const;
  // The line's speed in baud: the divisor the host programmed, or 9600 before it programs one.
  uint32_t GetLineBaud() const;

  // Levels sent in level messages of channel 1 or 2 while plugged in, and every payload sent
  // while the log is on.
  uint64_t LevelsSent(int nChannel) const;
  // Levels of channel 1 or 2 measured, but dropped because the send buffer was full (wire speed).
  uint64_t LevelsDropped(int nChannel) const;
  void KeepLog(bool bOn);
  std::vector<std::vector<uint8_t>> SentPayloads() const;
  // Every byte the host has written.
  std::vector<uint8_t> ReceivedBytes() const;
  _simsettings GetSettings() const;

  // Delivery to the host.
  void SetDelivery(SimDelivery delivery);
  // Moves up to nMaxBytes sent bytes into the host's queue as one arrival. Returns how many.
  uint32_t Deliver(uint32_t nMaxBytes);
  // Bytes sent but not yet in the host's queue.
  uint32_t PendingBytes() const;
  // Bytes in the host's queue.
  uint32_t QueuedBytes() const;
  // Waits at most nMilliseconds until the host has read everything delivered to it.
  bool WaitUntilRead(uint32_t nMilliseconds) const;

  // Faults.
  // Before every frame, 0 to nMaxBytes random bytes that are never the sync byte 0xAA.
  void SetNoise(uint32_t nMaxBytes);
  // Sends raw bytes now, between frames.
  void InjectBytes(const std::vector<uint8_t> &bytes);
  // The next frame loses its byte at nIndex (its last byte when it is shorter).
  void DropByteOfNextFrame(uint32_t nIndex);
  // Unplugged, the unit is no longer listed, the open port's notification event is set one last
  // time, and every call on a port opened before fails at once. Plugged in again, it can be
  // opened anew; old ports stay dead.
  void Unplug();
  void Replug();
  bool IsPlugged() const;
  // While on, every write from the host fails.
  void FailWrites(bool bOn);

  // The host's end of the link. Fails with FT_DEVICE_NOT_FOUND when unplugged and with
  // FT_DEVICE_NOT_OPENED while another port is open.
  FT_STATUS OpenPort(std::unique_ptr<CD2xxDevice> &port);

private:
  friend class CSimPort;

  struct _channelstate {
    uint64_t nStartUs = 0; // sampling started at this simulated time
    uint64_t nSamples = 0; // samples taken since then
    std::vector<int8_t> pending;
    uint64_t nLevelsSent = 0;
    uint64_t nLevelsDropped = 0;
    uint64_t nPausedUntilUs = 0; // no level message before this simulated time
  };

  // Everything below runs with m_mutex held.
  bool IsMeasuring(int nChannel) const;
  void RestartSampling();
  void SendChannelReport();
  void SendDescription();
  void SendSerialNumber();
  void SendLevels(int nChannel);
  // Frames the payload and puts it on the line. A level message of channel nLevelsOf that does
  // not fit into its channel's share of the send buffer at wire speed is not sent: false. Other
  // messages (nLevelsOf 0) are always sent.
  bool Send(const std::vector<uint8_t> &payload, int nLevelsOf = 0);
  void Transmit(const std::vector<uint8_t> &bytes, int nLevelsOf = 0);
  uint32_t LineBaud() const;
  // Moves what the line carries in nMilliseconds from the send buffer to the host (wire speed).
  void CarryOnLine(uint32_t nMilliseconds);
  int8_t Level(int nChannel, uint64_t nTimeUs);
  void SampleUntil(uint64_t nTimeUs);
  uint32_t MoveToHost(uint32_t nMaxBytes);
  void FlushIfImmediate();
  void TakeCommandByte(uint8_t b);
  void RunRealTime(double dSpeed, CWaitClock &clock);

  // Port calls, for the session they were opened under.
  bool IsLive(uint64_t nSession) const;
  FT_STATUS PortClose(uint64_t nSession);
  FT_STATUS PortSetNotification(uint64_t nSession, uint32_t nMask, CEvent *pEvent);
  FT_STATUS PortGetStatus(uint64_t nSession, uint32_t &nRxQueue);
  FT_STATUS PortRead(uint64_t nSession, uint8_t *pBuffer, uint32_t nToRead, uint32_t &nRead);
  FT_STATUS PortWrite(uint64_t nSession, const uint8_t *pData, uint32_t nCount);
  template <class Change> FT_STATUS PortSetting(uint64_t nSession, Change change);

  const _simidentity m_identity;

  mutable std::mutex m_mutex;
  mutable std::condition_variable m_cvRead; // the host queue changed
  _simpanel m_panel;
  _simsettings m_settings;
  uint64_t m_nNowUs = 0;
  std::array<_channelstate, 2> m_channels;
  uint8_t m_nSequence = 0;
  std::mt19937 m_rng;

  SimDelivery m_delivery = SimDelivery::immediate;
  double m_dWireBudget = 0.0;
  std::deque<uint8_t> m_wire; // sent, not yet in the host's queue
  struct _wireframe {
    uint32_t nBytes; // of it still on the wire
    int nLevelsOf;   // the channel of a level message, or 0
  };
  std::deque<_wireframe> m_wireFrames;         // what m_wire holds, frame by frame
  std::array<uint32_t, 2> m_nWireLevelBytes{}; // bytes of each channel's level messages in m_wire
  std::deque<uint8_t> m_hostQueue;             // the host's receive queue

  uint32_t m_nNoiseMax = 0;
  std::optional<uint32_t> m_nDropIndex;
  bool m_bPlugged = true;
  bool m_bFailWrites = false;

  uint64_t m_nSession = 0; // the open port's session, 0 when none is open
  uint64_t m_nLastSession = 0;
  CEvent *m_pEvent = nullptr;

  bool m_bKeepLog = false;
  std::vector<std::vector<uint8_t>> m_log;
  std::vector<uint8_t> m_received;

  // Commands from the host, cut out of its byte stream.
  enum class CommandState { hunting, length, spare, payload } m_commandState = CommandState::hunting;
  std::vector<uint8_t> m_command;
  uint8_t m_nCommandLength = 0;

  std::thread m_realTime;
  std::condition_variable m_cvStop;
  bool m_bStop = false;
};
