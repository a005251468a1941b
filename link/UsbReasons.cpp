#include "link/UsbReasons.h"

#include "link/Usb.h"

#include <cstdio>

std::string UsbFillReason(const char *pText, const std::string &strFirst, const std::string &strSecond) {
  std::string strText;
  for (const char *p = pText; *p != '\0'; ++p) {
    if (p[0] == '%' && (p[1] == '1' || p[1] == '2')) {
      strText += p[1] == '1' ? strFirst : strSecond;
      ++p;
    } else {
      strText += *p;
    }
  }
  return strText;
}

std::string UsbStatusText(FT_STATUS status) {
  switch (status) {
  case FT_OK:
    return "no error";
  case FT_INVALID_HANDLE:
    return "invalid handle";
  case FT_DEVICE_NOT_FOUND:
    return "device not found";
  case FT_DEVICE_NOT_OPENED:
    return "device not opened";
  case FT_IO_ERROR:
    return "I/O error";
  case FT_INVALID_PARAMETER:
    return "invalid parameter";
  case FT_NOT_SUPPORTED:
    return "not supported";
  case FT_ACCESS_DENIED:
    return "access denied";
  default:
    return "driver status " + std::to_string(status);
  }
}

std::string UsbOpenFailure(const std::string &strSerialNumber, FT_STATUS status) {
  switch (status) {
  case FT_DEVICE_NOT_FOUND:
    return UsbFillReason(USB_WHY_NOT_FOUND, strSerialNumber);
  case FT_DEVICE_NOT_OPENED:
    return UsbFillReason(USB_WHY_BUSY, strSerialNumber);
  case FT_ACCESS_DENIED:
    return UsbFillReason(USB_WHY_NO_PERMISSION, strSerialNumber);
  default:
    return UsbFillReason(USB_WHY_NOT_OPENED, strSerialNumber, UsbStatusText(status));
  }
}

std::string UsbQueuedFailure(int32_t nCommand, const std::vector<uint8_t> &data, const std::string &strWhy) {
  std::string strWhat;
  switch (nCommand) {
  case USB_WRITE:
    if (data.size() == 5 && data[0] == CUSB::FRAME_SYNC) {
      char text[40];
      std::snprintf(text, sizeof text, "the command 0x%02X to the receiver", data[3]);
      strWhat = text;
    } else {
      strWhat = "writing " + std::to_string(data.size()) + " bytes to the receiver";
    }
    break;
  case USB_CLOSE:
    strWhat = "closing the receiver's port";
    break;
  case USB_OPEN:
    strWhat = "opening the receiver's port";
    break;
  default:
    strWhat = "the link's command " + std::to_string(nCommand);
    break;
  }
  return UsbFillReason(USB_WHY_QUEUED_FAILED, strWhat, strWhy);
}
