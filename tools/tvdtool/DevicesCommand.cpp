#include "tools/tvdtool/DevicesCommand.h"

#include "link/Usb.h"
#include "tools/tvdtool/Commands.h"
#include "tools/tvdtool/DeviceBackends.h"
#include "tools/tvdtool/MessageFormat.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

int PrintDevices(std::ostream &out, std::ostream &err, bool bJson) {
  uint32_t nCount = 0;
  std::vector<_usbdevice> devices;
  if (!CUSB::ListDevices(nCount, devices)) {
    err << "tvdtool: the number of attached devices cannot be told\n";
    return 1;
  }
  if (devices.empty()) {
    err << "no devices found\n";
  }
  for (const _usbdevice &device : devices) {
    if (bJson) {
      out << JsonLine({{"serial", Latin1ToUtf8(device.strSerialNumber)},
                       {"description", Latin1ToUtf8(device.strDescription)},
                       {"product", device.strProductName},
                       {"manufacturer", device.strManufacturer}})
          << '\n';
    } else {
      out << device.strSerialNumber << '\t' << device.strDescription << '\t' << device.strProductName << '\t'
          << device.strManufacturer << '\n';
    }
  }
  return 0;
}

void RegisterDevicesCommands(CLI::App &app) {
  auto *devices = app.add_subcommand(
      "devices", "List the attached receivers' USB devices: serial number, description, product name and "
                 "manufacturer, tab-separated, one device per line.");
  auto options = std::make_shared<CDeviceBackends::_options>();
  auto bJson = std::make_shared<bool>(false);
  devices->add_flag("--simulate", options->bSimulate, "List a simulated receiver as well.");
  devices->add_option("--replay", options->strReplayPath,
                      "List a device that plays back this recording of 'tvdtool monitor --record'.");
  devices->add_flag("--json", *bJson, "One JSON object per device.");
  devices->callback([options, bJson] {
    CDeviceBackends backends(*options);
    const int nStatus = PrintDevices(std::cout, std::cerr, *bJson);
    if (nStatus != 0) {
      throw CLI::RuntimeError(nStatus);
    }
  });
}
