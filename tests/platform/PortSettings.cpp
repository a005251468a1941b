#include "tests/platform/PortSettings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool ReadPortSettings(int nFd, _portsettings &settings) {
  termios2 tio{};
  if (::ioctl(nFd, TCGETS2, &tio) != 0) {
    return false;
  }
  settings.nOutputSpeed = tio.c_ospeed;
  settings.nInputSpeed = tio.c_ispeed;
  settings.bOtherBaud = (tio.c_cflag & CBAUD) == BOTHER;
  settings.bEightBits = (tio.c_cflag & CSIZE) == CS8;
  settings.bTwoStopBits = (tio.c_cflag & CSTOPB) != 0;
  settings.bParity = (tio.c_cflag & PARENB) != 0;
  settings.bHardwareFlow = (tio.c_cflag & CRTSCTS) != 0;
  settings.bSoftwareFlow = (tio.c_iflag & (IXON | IXOFF)) != 0;
  settings.bRaw = (tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) == 0 && (tio.c_oflag & OPOST) == 0 &&
                  (tio.c_iflag & (ICRNL | INLCR | IGNCR)) == 0;
  return true;
}
