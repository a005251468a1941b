#include "link/Usb.h"

#include "platform/D2xx.h"
#include "platform/UsbIds.h"

namespace {

const char *ProductName(uint16_t nProduct) {
  switch (nProduct) {
  case USB_PRODUCT_TARVEX:
  case USB_PRODUCT_TARVEX_2:
    return "TARVEX";
  case USB_PRODUCT_MORVANE:
    return "MORVANE";
  case USB_PRODUCT_SKELDRUP:
    return "SKELDRUP";
  default:
    return "Not Available";
  }
}

} // namespace

bool CUSB::ListDevices(uint32_t &nCount, std::vector<_usbdevice> &devices) {
  devices.clear();
  nCount = 0;
  if (FT_ListDevices(&nCount, nullptr, FT_LIST_NUMBER_ONLY) != FT_OK) {
    nCount = 0;
    return false;
  }
  devices.resize(nCount);
  for (uint32_t i = 0; i < nCount; ++i) {
    _usbdevice &device = devices[i];
    // A device that goes between the count and this query leaves its texts empty.
    char buffer[256] = {};
    void *pIndex = reinterpret_cast<void *>(static_cast<uintptr_t>(i));
    if (FT_ListDevices(pIndex, buffer, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER) == FT_OK) {
      device.strSerialNumber = buffer;
    }
    buffer[0] = '\0';
    if (FT_ListDevices(pIndex, buffer, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION) == FT_OK) {
      device.strDescription = buffer;
    }

    FT_HANDLE hDevice =
        FT_W32_CreateFile(device.strSerialNumber.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED | FT_OPEN_BY_SERIAL_NUMBER, nullptr);
    FT_DEVICE nType = FT_DEVICE_UNKNOWN;
    uint32_t nDeviceId = 0;
    char serial[FT_SERIAL_NUMBER_SIZE] = {};
    char description[FT_DESCRIPTION_SIZE] = {};
    if (FT_GetDeviceInfo(hDevice, &nType, &nDeviceId, serial, description, nullptr) == FT_OK) {
      device.strManufacturer = (nDeviceId >> 16) == USB_VENDOR_VEXLOR ? "Vexlor, Inc" : "Not Available";
      device.strProductName = ProductName(static_cast<uint16_t>(nDeviceId & 0xFFFF));
    }
    FT_Close(hDevice);
  }
  return true;
}
