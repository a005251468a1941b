#pragma once

#include "platform/D2xxBackend.h"

#include <string>

// The backend "tty": USB serial bridges on Linux through the kernel's ftdi_sio driver. Devices
// are found in sysfs (class/tty/ttyUSB*, bound to ftdi_sio) with the serial number, product
// text and vendor and product numbers of their USB device, and opened as <dev>/ttyUSB<n>.
//
// An open port runs raw, with the exact baud rate 3000000 / divisor, low latency where the
// driver allows it, and a reader thread that sets the notification event whenever bytes
// arrive. A hang-up or an I/O error marks the port lost: every later call fails at once.
class CD2xxTtyBackend : public CD2xxBackend {
public:
  // The sysfs root is $TARVEX_SYSFS_ROOT or /sys, the device folder $TARVEX_DEV_ROOT or /dev.
  CD2xxTtyBackend();
  CD2xxTtyBackend(std::string strSysfsRoot, std::string strDevRoot);

  std::string GetName() const override { return "tty"; }
  bool ListDevices(std::vector<_d2xxdeviceinfo> &devices) override;
  FT_STATUS Open(const std::string &strSerialNumber, bool bInfoOnly, std::unique_ptr<CD2xxDevice> &device) override;

private:
  struct _ttyport {
    std::string strName; // ttyUSB0
    _d2xxdeviceinfo info;
  };
  bool ListPorts(std::vector<_ttyport> &ports) const;

  std::string m_strSysfsRoot;
  std::string m_strDevRoot;
};
