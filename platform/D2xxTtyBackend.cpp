#include "platform/D2xxTtyBackend.h"

#include "platform/Event.h"

// termios2 (any baud rate) comes from the kernel's headers, which cannot be mixed with the C
// library's <termios.h>; this file uses the kernel's alone.
#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

namespace {

namespace fs = std::filesystem;

constexpr uint32_t TTY_BRIDGE_CLOCK = 3000000; // baud = clock / divisor
constexpr const char *TTY_DRIVER = "ftdi_sio";
constexpr const char *TTY_PREFIX = "ttyUSB";

std::string EnvOr(const char *pName, const char *pDefault) {
  const char *pValue = std::getenv(pName);
  return pValue != nullptr && *pValue != '\0' ? pValue : pDefault;
}

// The first line of a sysfs attribute, without surrounding blanks; empty when it is missing.
std::string ReadAttribute(const fs::path &path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  const auto first = line.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) {
    return {};
  }
  return line.substr(first, line.find_last_not_of(" \t\r\n") - first + 1);
}

uint16_t ReadHexAttribute(const fs::path &path) {
  const std::string text = ReadAttribute(path);
  char *pEnd = nullptr;
  const unsigned long nValue = std::strtoul(text.c_str(), &pEnd, 16);
  return text.empty() || *pEnd != '\0' || nValue > 0xFFFF ? 0 : static_cast<uint16_t>(nValue);
}

// Why a port's node could not be opened: held by another program (the port is opened
// exclusively), the user's permissions, gone, or anything else.
FT_STATUS OpenFailure(int nError) {
  switch (nError) {
  case EBUSY:
    return FT_DEVICE_NOT_OPENED;
  case EACCES:
  case EPERM:
    return FT_ACCESS_DENIED;
  case ENOENT:
  case ENODEV:
  case ENXIO:
    return FT_DEVICE_NOT_FOUND;
  default:
    return FT_IO_ERROR;
  }
}

unsigned long PortNumber(const std::string &strName) {
  return std::strtoul(strName.c_str() + std::char_traits<char>::length(TTY_PREFIX), nullptr, 10);
}

class CTtyPort : public CD2xxDevice {
public:
  CTtyPort(int nFd, int nEpoll, int nStop, _d2xxdeviceinfo info)
      : m_nFd(nFd), m_nEpoll(nEpoll), m_nStop(nStop), m_info(std::move(info)) {
    m_reader = std::thread([this] { ReadLoop(); });
  }
  CTtyPort(const CTtyPort &) = delete;
  CTtyPort &operator=(const CTtyPort &) = delete;
  ~CTtyPort() override { Close(); }

  static FT_STATUS Open(const std::string &strPath, const _d2xxdeviceinfo &info, std::unique_ptr<CD2xxDevice> &port);

  FT_STATUS GetDeviceInfo(_d2xxdeviceinfo &info) override {
    info = m_info;
    return FT_OK;
  }

  FT_STATUS SetDivisor(uint16_t nDivisor) override {
    if (nDivisor == 0) {
      return FT_INVALID_PARAMETER;
    }
    return ChangeSettings([&](termios2 &tio) {
      tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
      tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
      tio.c_ispeed = tio.c_ospeed = TTY_BRIDGE_CLOCK / nDivisor;
    });
  }

  // The link sends eight data bits, one stop bit, no parity; that is all this port offers.
  FT_STATUS SetDataCharacteristics(uint8_t nWordLength, uint8_t nStopBits, uint8_t nParity) override {
    if (nWordLength != FT_BITS_8 || nStopBits != FT_STOP_BITS_1 || nParity != FT_PARITY_NONE) {
      return FT_INVALID_PARAMETER;
    }
    return ChangeSettings([](termios2 &tio) {
      tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD);
      tio.c_cflag |= CS8;
    });
  }

  FT_STATUS SetFlowControl(uint16_t nFlowControl, uint8_t /*nXon*/, uint8_t /*nXoff*/) override {
    if (nFlowControl != FT_FLOW_NONE) {
      return FT_INVALID_PARAMETER;
    }
    return ChangeSettings([](termios2 &tio) {
      tio.c_cflag &= ~CRTSCTS;
      tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    });
  }

  FT_STATUS SetTimeouts(uint32_t nReadTimeoutMs, uint32_t nWriteTimeoutMs) override {
    m_nReadTimeoutMs = nReadTimeoutMs;
    m_nWriteTimeoutMs = nWriteTimeoutMs;
    return m_bLost ? FT_IO_ERROR : FT_OK;
  }

  FT_STATUS SetEventNotification(uint32_t nMask, CEvent *pEvent) override {
    if (m_bLost) {
      return FT_IO_ERROR;
    }
    std::lock_guard lock(m_mutex);
    m_pEvent = (nMask & FT_EVENT_RXCHAR) != 0 ? pEvent : nullptr;
    int nQueued = 0;
    if (m_pEvent != nullptr && ::ioctl(m_nFd, FIONREAD, &nQueued) == 0 && nQueued > 0) {
      m_pEvent->Set(); // bytes that came before the notification are not left unannounced
    }
    return FT_OK;
  }

  FT_STATUS GetStatus(uint32_t &nRxQueue, uint32_t &nTxQueue, uint32_t &nEventStatus) override {
    nRxQueue = nTxQueue = nEventStatus = 0;
    int nIn = 0;
    int nOut = 0;
    if (m_bLost || ::ioctl(m_nFd, FIONREAD, &nIn) != 0) {
      return Lost();
    }
    if (::ioctl(m_nFd, TIOCOUTQ, &nOut) != 0) {
      nOut = 0;
    }
    nRxQueue = static_cast<uint32_t>(nIn);
    nTxQueue = static_cast<uint32_t>(nOut);
    return FT_OK;
  }

  FT_STATUS Read(void *pBuffer, uint32_t nToRead, uint32_t &nRead) override {
    nRead = 0;
    const auto deadline = Deadline(m_nReadTimeoutMs);
    auto *pBytes = static_cast<uint8_t *>(pBuffer);
    while (nRead < nToRead) {
      if (m_bLost) {
        return FT_IO_ERROR;
      }
      const ssize_t n = ::read(m_nFd, pBytes + nRead, nToRead - nRead);
      if (n > 0) {
        nRead += static_cast<uint32_t>(n);
      } else if (n == 0) {
        return Lost(); // the port was hung up
      } else if (errno == EAGAIN) {
        if (!WaitFor(POLLIN, deadline)) {
          break;
        }
      } else if (errno != EINTR) {
        return Lost();
      }
    }
    return FT_OK;
  }

  // A write that cannot finish within the write time-out fails, so that a short write is never
  // taken for a sent command.
  FT_STATUS Write(const void *pBuffer, uint32_t nToWrite, uint32_t &nWritten) override {
    nWritten = 0;
    const auto deadline = Deadline(m_nWriteTimeoutMs);
    const auto *pBytes = static_cast<const uint8_t *>(pBuffer);
    while (nWritten < nToWrite) {
      if (m_bLost) {
        return FT_IO_ERROR;
      }
      const ssize_t n = ::write(m_nFd, pBytes + nWritten, nToWrite - nWritten);
      if (n > 0) {
        nWritten += static_cast<uint32_t>(n);
      } else if (n < 0 && errno == EAGAIN) {
        if (!WaitFor(POLLOUT, deadline)) {
          return FT_IO_ERROR;
        }
      } else if (n < 0 && errno != EINTR) {
        return Lost();
      }
    }
    return FT_OK;
  }

  FT_STATUS Close() override {
    if (m_nFd < 0) {
      return FT_OK;
    }
    const uint64_t nOne = 1;
    if (::write(m_nStop, &nOne, sizeof nOne) < 0) {
      m_bLost = true; // cannot happen with an eventfd; the reader still ends on the hang-up
    }
    if (m_reader.joinable()) {
      m_reader.join();
    }
    ::close(m_nEpoll);
    ::close(m_nStop);
    ::close(m_nFd);
    m_nFd = -1;
    return FT_OK;
  }

private:
  using Clock = std::chrono::steady_clock;

  static Clock::time_point Deadline(uint32_t nMilliseconds) {
    return Clock::now() + std::chrono::milliseconds(nMilliseconds);
  }

  // Waits until the port is ready for the given poll event or the deadline passes.
  bool WaitFor(short nEvent, Clock::time_point deadline) {
    for (;;) {
      const auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (nLeft <= 0) {
        return false;
      }
      pollfd pfd{m_nFd, nEvent, 0};
      const int n = ::poll(&pfd, 1, static_cast<int>(std::min<int64_t>(nLeft, 1000)));
      if (n > 0) {
        if ((pfd.revents & (POLLHUP | POLLERR)) != 0 && (pfd.revents & nEvent) == 0) {
          m_bLost = true;
          return false;
        }
        return true;
      }
      if (n < 0 && errno != EINTR) {
        return false;
      }
    }
  }

  FT_STATUS Lost() {
    m_bLost = true;
    return FT_IO_ERROR;
  }

  template <class Change> FT_STATUS ChangeSettings(Change change) {
    termios2 tio{};
    if (m_bLost || ::ioctl(m_nFd, TCGETS2, &tio) != 0) {
      return FT_IO_ERROR;
    }
    change(tio);
    return ::ioctl(m_nFd, TCSETS2, &tio) == 0 ? FT_OK : FT_IO_ERROR;
  }

  void Notify() {
    std::lock_guard lock(m_mutex);
    if (m_pEvent != nullptr) {
      m_pEvent->Set();
    }
  }

  // Edge-triggered: every arrival of bytes wakes the reader once, whether or not the consumer
  // has read the earlier ones, so a message split over arrivals is never left waiting.
  void ReadLoop() {
    epoll_event events[2];
    for (;;) {
      const int n = ::epoll_wait(m_nEpoll, events, 2, -1);
      if (n < 0) {
        if (errno == EINTR) {
          continue;
        }
        m_bLost = true;
        Notify();
        return;
      }
      for (int i = 0; i < n; ++i) {
        if (events[i].data.fd == m_nStop) {
          return;
        }
        if ((events[i].events & (EPOLLHUP | EPOLLERR)) != 0) {
          m_bLost = true;
          Notify();
          return;
        }
        if ((events[i].events & EPOLLIN) != 0) {
          Notify();
        }
      }
    }
  }

  int m_nFd;
  int m_nEpoll;
  int m_nStop;
  _d2xxdeviceinfo m_info;
  std::atomic<bool> m_bLost{false};
  std::atomic<uint32_t> m_nReadTimeoutMs{0};
  std::atomic<uint32_t> m_nWriteTimeoutMs{0};
  std::mutex m_mutex;
  CEvent *m_pEvent = nullptr;
  std::thread m_reader;
};

FT_STATUS CTtyPort::Open(const std::string &strPath, const _d2xxdeviceinfo &info, std::unique_ptr<CD2xxDevice> &port) {
  const int nFd = ::open(strPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (nFd < 0) {
    return OpenFailure(errno);
  }
  // Raw: no line editing, no echo, no character translation, no signals. A read waits for at
  // least one byte, so that an empty read means a hang-up.
  termios2 tio{};
  if (::ioctl(nFd, TCGETS2, &tio) != 0) {
    ::close(nFd);
    return FT_IO_ERROR;
  }
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag |= CREAD | CLOCAL;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  if (::ioctl(nFd, TCSETS2, &tio) != 0) {
    ::close(nFd);
    return FT_IO_ERROR;
  }
  // Keep other programs off the port while it is open.
  ::ioctl(nFd, TIOCEXCL);
  // Hand every byte on at once instead of after the bridge's latency timer. Ports that do not
  // know the setting (a pseudo-terminal) work without it.
  serial_struct serial{};
  if (::ioctl(nFd, TIOCGSERIAL, &serial) == 0) {
    serial.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(nFd, TIOCSSERIAL, &serial);
  }

  const int nStop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  const int nEpoll = ::epoll_create1(EPOLL_CLOEXEC);
  epoll_event portEvent{};
  portEvent.events = EPOLLIN | EPOLLET;
  portEvent.data.fd = nFd;
  epoll_event stopEvent{};
  stopEvent.events = EPOLLIN;
  stopEvent.data.fd = nStop;
  if (nStop < 0 || nEpoll < 0 || ::epoll_ctl(nEpoll, EPOLL_CTL_ADD, nFd, &portEvent) != 0 ||
      ::epoll_ctl(nEpoll, EPOLL_CTL_ADD, nStop, &stopEvent) != 0) {
    for (const int n : {nStop, nEpoll, nFd}) {
      if (n >= 0) {
        ::close(n);
      }
    }
    return FT_IO_ERROR;
  }
  port = std::make_unique<CTtyPort>(nFd, nEpoll, nStop, info);
  return FT_OK;
}

} // namespace

CD2xxTtyBackend::CD2xxTtyBackend()
    : CD2xxTtyBackend(EnvOr("TARVEX_SYSFS_ROOT", "/sys"), EnvOr("TARVEX_DEV_ROOT", "/dev")) {}

CD2xxTtyBackend::CD2xxTtyBackend(std::string strSysfsRoot, std::string strDevRoot)
    : m_strSysfsRoot(std::move(strSysfsRoot)), m_strDevRoot(std::move(strDevRoot)) {}

// A port is <root>/class/tty/ttyUSB<n>; its "device" link leads to the USB serial port, whose
// "driver" names the driver and whose grandparent is the USB device with the identity files.
bool CD2xxTtyBackend::ListPorts(std::vector<_ttyport> &ports) const {
  const fs::path classDir = fs::path(m_strSysfsRoot) / "class" / "tty";
  std::error_code error;
  if (!fs::exists(classDir, error)) {
    return !error; // no serial ports at all
  }
  fs::directory_iterator it(classDir, error);
  if (error) {
    return false;
  }
  for (const auto &entry : it) {
    const std::string strName = entry.path().filename().string();
    if (!strName.starts_with(TTY_PREFIX)) {
      continue;
    }
    const fs::path port = fs::canonical(entry.path() / "device", error);
    if (error || fs::canonical(port / "driver", error).filename() != TTY_DRIVER || error) {
      continue;
    }
    const fs::path usbDevice = port.parent_path().parent_path();
    _ttyport found;
    found.strName = strName;
    found.info.strSerialNumber = ReadAttribute(usbDevice / "serial").substr(0, FT_SERIAL_NUMBER_SIZE - 1);
    found.info.strDescription = ReadAttribute(usbDevice / "product").substr(0, FT_DESCRIPTION_SIZE - 1);
    found.info.nDeviceId = static_cast<uint32_t>(ReadHexAttribute(usbDevice / "idVendor")) << 16 |
                           ReadHexAttribute(usbDevice / "idProduct");
    ports.push_back(std::move(found));
  }
  std::sort(ports.begin(), ports.end(),
            [](const _ttyport &a, const _ttyport &b) { return PortNumber(a.strName) < PortNumber(b.strName); });
  return true;
}

bool CD2xxTtyBackend::ListDevices(std::vector<_d2xxdeviceinfo> &devices) {
  std::vector<_ttyport> ports;
  const bool bListed = ListPorts(ports);
  for (auto &port : ports) {
    devices.push_back(std::move(port.info));
  }
  return bListed;
}

// The listing's query needs nothing that sysfs does not already say, so it leaves the port
// closed (opening a serial port can disturb the device behind it).
FT_STATUS CD2xxTtyBackend::Open(const std::string &strSerialNumber, bool bInfoOnly,
                                std::unique_ptr<CD2xxDevice> &device) {
  std::vector<_ttyport> ports;
  ListPorts(ports);
  for (const auto &port : ports) {
    if (strSerialNumber.empty() || port.info.strSerialNumber != strSerialNumber) {
      continue;
    }
    if (bInfoOnly) {
      device = std::make_unique<CD2xxInfoDevice>(port.info);
      return FT_OK;
    }
    return CTtyPort::Open((fs::path(m_strDevRoot) / port.strName).string(), port.info, device);
  }
  return FT_DEVICE_NOT_FOUND;
}
