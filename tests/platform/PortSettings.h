#pragma once

#include <cstdint>

// What a serial port is set to, read with the kernel's termios2 (which cannot share a file with
// the C library's <termios.h>, and so lives in a file of its own).
struct _portsettings {
  uint32_t nOutputSpeed = 0;
  uint32_t nInputSpeed = 0;
  bool bOtherBaud = false; // the speed is a number of its own, not one of the fixed rates
  bool bEightBits = false;
  bool bTwoStopBits = false;
  bool bParity = false;
  bool bHardwareFlow = false;
  bool bSoftwareFlow = false;
  bool bRaw = false; // no line editing, echo, signals or character translation
};

bool ReadPortSettings(int nFd, _portsettings &settings);
