#include "link/UsbReasons.h"

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
