#pragma once

#include "link/Usb.h"
#include "platform/D2xxBackend.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Long enough never to run out in a passing run; waits end as soon as their condition holds.
constexpr uint32_t LONG_WAIT_MS = 10000;

// A link whose owner is the test's thread: it takes what the link hands on through its queue and
// keeps it. Every function is for the test's thread.
class CPacketLink : public CUSB {
public:
  explicit CPacketLink(CWaitClock &clock = CWaitClock::Steady()) : CUSB(clock) {}

  // Waits, by real time, until at least nCount packets have come. False if they do not in time.
  bool WaitForPackets(size_t nCount, uint32_t nMilliseconds = LONG_WAIT_MS);
  // Waits until the packets so far satisfy pfnDone. False if they do not in time.
  bool WaitUntil(const std::function<bool(const std::vector<std::vector<uint8_t>> &)> &pfnDone,
                 uint32_t nMilliseconds = LONG_WAIT_MS);
  // Waits until the link has reported the receiver lost at least nCount times.
  bool WaitForLost(size_t nCount = 1, uint32_t nMilliseconds = LONG_WAIT_MS);
  // Waits until at least nCount queued commands have come back failed.
  bool WaitForFailed(size_t nCount, uint32_t nMilliseconds = LONG_WAIT_MS);
  // Everything that has come so far, in order.
  std::vector<std::vector<uint8_t>> Packets();
  std::vector<std::string> LostReasons();
  // The reasons of the queued commands that came back failed, in order.
  std::vector<std::string> FailedCommands();
  // Kinds of everything taken so far, in order: 'p' a packet, 'L' the lost report, 'F' a queued
  // command that failed.
  std::string Kinds();

  CEvent *RxEvent() { return &m_hRxEvent; }
  // Whether a command waits in the mailbox, not yet taken by the worker.
  bool RequestPending() const { return m_hRequestEvent.IsSignalled(); }
  // Spins until a command waits in the mailbox.
  void WaitForRequest() const;
  // Spins until the worker has taken the arrival notification, then waits for a command of no
  // effect: once it is answered, the worker has dealt with that arrival.
  void WaitUntilArrivalHandled();

private:
  void TakeWaiting();
  bool WaitFor(const std::function<bool()> &pfnDone, uint32_t nMilliseconds);

  std::vector<std::vector<uint8_t>> m_packets;
  std::vector<std::string> m_lost;
  std::vector<std::string> m_failed;
  std::string m_strKinds;
};

// A gate a device call can be made to wait at, to hold the worker inside a driver call.
class CGate {
public:
  void Close();
  void Open();
  // Called by the device: waits while the gate is closed.
  void Pass();
  // Waits until a call has reached the gate while it was closed.
  bool WaitReached(uint32_t nMilliseconds = LONG_WAIT_MS);

private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_bClosed = false;
  int m_nReached = 0;
};

// A backend of scripted devices that logs every call with the values passed, in order.
class CScriptedBackend : public CD2xxBackend {
public:
  struct _device {
    std::string strSerialNumber;
    std::string strDescription;
    uint32_t nDeviceId = 0;
    bool bQueryFails = false; // FT_W32_CreateFile cannot open it
  };
  explicit CScriptedBackend(std::vector<_device> devices) : m_devices(std::move(devices)) {}

  std::string GetName() const override { return "scripted"; }
  bool ListDevices(std::vector<_d2xxdeviceinfo> &devices) override;
  FT_STATUS Open(const std::string &strSerialNumber, bool bInfoOnly, std::unique_ptr<CD2xxDevice> &device) override;

  // Bytes arrive from the device: queued, and the notification event is set.
  void Arrive(const std::vector<uint8_t> &bytes);
  std::vector<std::string> Calls();
  void ClearCalls();
  std::vector<uint8_t> Written();
  int CountCalls(const std::string &strPrefix);
  CEvent *NotifiedEvent();

  // What the calls return; changed by tests.
  std::atomic<bool> m_bListFails{false};
  std::atomic<FT_STATUS> m_nOpenStatus{FT_OK};
  std::atomic<FT_STATUS> m_nStatusStatus{FT_OK};
  std::atomic<int> m_nStatusFailures{0}; // so many GetStatus calls fail with FT_IO_ERROR, then they pass again
  std::atomic<FT_STATUS> m_nWriteStatus{FT_OK};
  // The setting call whose log line starts with this is refused with FT_IO_ERROR.
  void RefuseSetting(const std::string &strPrefix);
  CGate m_writeGate;
  CGate m_readGate;

private:
  friend class CScriptedDevice;
  void Log(const std::string &strCall);
  // With m_mutex held.
  bool IsRefused(const std::string &strCall) const;

  std::vector<_device> m_devices;
  std::mutex m_mutex;
  std::vector<std::string> m_calls;
  std::vector<uint8_t> m_written;
  std::deque<uint8_t> m_rx;
  CEvent *m_pEvent = nullptr;
  std::string m_strRefusedSetting;
};
