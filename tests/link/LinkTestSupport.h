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

// A link that keeps every packet it is handed.
class CPacketLink : public CUSB {
public:
  ~CPacketLink() override { StopWorker(); }

  // Waits until at least nCount packets have come. False if they do not come in time.
  bool WaitForPackets(size_t nCount, uint32_t nMilliseconds = LONG_WAIT_MS);
  std::vector<std::vector<uint8_t>> Packets();
  // Waits until the packets so far satisfy pfnDone. False if they do not in time.
  bool WaitUntil(const std::function<bool(const std::vector<std::vector<uint8_t>> &)> &pfnDone,
                 uint32_t nMilliseconds = LONG_WAIT_MS);

  CEvent *RxEvent() { return &m_hRxEvent; }
  // Whether a command waits in the mailbox, not yet taken by the worker.
  bool RequestPending() const { return m_hRequestEvent.IsSignalled(); }
  // Spins until a command waits in the mailbox.
  void WaitForRequest() const;

protected:
  void OnPacket(const uint8_t *payload, uint32_t length) override;

private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::vector<std::vector<uint8_t>> m_packets;
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
  std::atomic<FT_STATUS> m_nSettingStatus{FT_OK};
  std::atomic<FT_STATUS> m_nStatusStatus{FT_OK};
  std::atomic<FT_STATUS> m_nWriteStatus{FT_OK};
  CGate m_writeGate;
  CGate m_readGate;

private:
  friend class CScriptedDevice;
  void Log(const std::string &strCall);

  std::vector<_device> m_devices;
  std::mutex m_mutex;
  std::vector<std::string> m_calls;
  std::vector<uint8_t> m_written;
  std::deque<uint8_t> m_rx;
  CEvent *m_pEvent = nullptr;
};
