#pragma once

#include "platform/D2xx.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What the listing knows of one attached device.
struct _d2xxdeviceinfo {
  std::string strSerialNumber; // at most FT_SERIAL_NUMBER_SIZE - 1 characters
  std::string strDescription;  // at most FT_DESCRIPTION_SIZE - 1 characters
  uint32_t nDeviceId = 0;      // USB vendor number << 16 | product number
  FT_DEVICE nType = FT_DEVICE_UNKNOWN;
};

// One open device of a backend. The device layer calls Close exactly once, last. The calls of
// one handle come from one thread at a time (the link's worker, or the listing).
class CD2xxDevice {
public:
  virtual ~CD2xxDevice() = default;
  virtual FT_STATUS GetDeviceInfo(_d2xxdeviceinfo &info) = 0;
  virtual FT_STATUS SetDivisor(uint16_t nDivisor) = 0;
  virtual FT_STATUS SetDataCharacteristics(uint8_t nWordLength, uint8_t nStopBits, uint8_t nParity) = 0;
  virtual FT_STATUS SetFlowControl(uint16_t nFlowControl, uint8_t nXon, uint8_t nXoff) = 0;
  virtual FT_STATUS SetTimeouts(uint32_t nReadTimeoutMs, uint32_t nWriteTimeoutMs) = 0;
  virtual FT_STATUS SetEventNotification(uint32_t nMask, CEvent *pEvent) = 0;
  virtual FT_STATUS GetStatus(uint32_t &nRxQueue, uint32_t &nTxQueue, uint32_t &nEventStatus) = 0;
  virtual FT_STATUS Read(void *pBuffer, uint32_t nToRead, uint32_t &nRead) = 0;
  virtual FT_STATUS Write(const void *pBuffer, uint32_t nToWrite, uint32_t &nWritten) = 0;
  virtual FT_STATUS Close() = 0;
};

// A source of devices: the simulated receiver, the kernel's serial ports, a recorded session.
class CD2xxBackend {
public:
  virtual ~CD2xxBackend() = default;
  // The name the backend is enabled and disabled under ("sim", "tty", "replay").
  virtual std::string GetName() const = 0;
  // Fills devices with what is attached now. Returns false when the backend cannot tell.
  virtual bool ListDevices(std::vector<_d2xxdeviceinfo> &devices) = 0;
  // Opens the device with the given serial number. With bInfoOnly the device only has to answer
  // GetDeviceInfo (the listing's query); otherwise it is opened for I/O.
  virtual FT_STATUS Open(const std::string &strSerialNumber, bool bInfoOnly, std::unique_ptr<CD2xxDevice> &device) = 0;
};

// A device that answers its identity and nothing else: the listing's handle on a backend whose
// devices need not be opened to be named.
class CD2xxInfoDevice : public CD2xxDevice {
public:
  explicit CD2xxInfoDevice(_d2xxdeviceinfo info) : m_info(std::move(info)) {}
  FT_STATUS GetDeviceInfo(_d2xxdeviceinfo &info) override {
    info = m_info;
    return FT_OK;
  }
  FT_STATUS SetDivisor(uint16_t) override { return FT_DEVICE_NOT_OPENED; }
  FT_STATUS SetDataCharacteristics(uint8_t, uint8_t, uint8_t) override { return FT_DEVICE_NOT_OPENED; }
  FT_STATUS SetFlowControl(uint16_t, uint8_t, uint8_t) override { return FT_DEVICE_NOT_OPENED; }
  FT_STATUS SetTimeouts(uint32_t, uint32_t) override { return FT_DEVICE_NOT_OPENED; }
  FT_STATUS SetEventNotification(uint32_t, CEvent *) override { return FT_DEVICE_NOT_OPENED; }
  FT_STATUS GetStatus(uint32_t &, uint32_t &, uint32_t &) override { return FT_DEVICE_NOT_OPENED; }
  FT_STATUS Read(void *, uint32_t, uint32_t &) override { return FT_DEVICE_NOT_OPENED; }
  FT_STATUS Write(const void *, uint32_t, uint32_t &) override { return FT_DEVICE_NOT_OPENED; }
  FT_STATUS Close() override { return FT_OK; }

private:
  _d2xxdeviceinfo m_info;
};
