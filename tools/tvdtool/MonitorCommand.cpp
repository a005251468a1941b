#include "tools/tvdtool/MonitorCommand.h"

#include "link/ReceiverMessages.h"
#include "link/Usb.h"
#include "platform/D2xxRegistry.h"
#include "platform/StreamRecording.h"
#include "tools/tvdtool/Commands.h"
#include "tools/tvdtool/MessageFormat.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// What the watch has seen.
struct _seen {
  uint64_t nPackets = 0;
  uint64_t nSerialNumbers = 0;
  uint64_t nDescriptions = 0;
  uint64_t nLevels[2] = {0, 0};
};

// Prints one packet with its arrival time and counts what it is.
void ShowPacket(const _linkitem &item, Clock::time_point start, bool bJson, std::ostream &out, _seen &seen) {
  const auto *pPayload = item.payload.data();
  const auto nLength = static_cast<uint32_t>(item.payload.size());
  const double dTime = std::chrono::duration<double>(item.arrived - start).count();
  if (bJson) {
    auto json = PayloadToJson(pPayload, nLength);
    json["t"] = dTime;
    out << JsonLine(json) << '\n';
  } else {
    char time[32];
    std::snprintf(time, sizeof time, "%9.3f  ", dTime);
    out << time << PayloadSummary(pPayload, nLength) << '\n';
  }
  out.flush();
  ++seen.nPackets;
  const auto message = DecodeReceiverMessage(pPayload, nLength);
  if (std::holds_alternative<SerialNumberMessage>(message)) {
    ++seen.nSerialNumbers;
  } else if (std::holds_alternative<ReceiverInfoMessage>(message)) {
    ++seen.nDescriptions;
  } else if (const auto *pLevels = std::get_if<LevelsMessage>(&message)) {
    seen.nLevels[pLevels->nChannel - 1] += pLevels->levels.size();
  }
}

// Writes every byte the link reads to a recording. Runs on the link's worker; a failure (a full
// disk) ends the recording and is reported at the end, the watch goes on.
class CRecordingTap {
public:
  explicit CRecordingTap(const std::string &strPath) : m_recorder(strPath) {}
  CRecordingTap(const CRecordingTap &) = delete;
  CRecordingTap &operator=(const CRecordingTap &) = delete;
  ~CRecordingTap() { D2xxSetReadTap(nullptr); }

  void Start(Clock::time_point start) {
    m_start = start;
    D2xxSetReadTap([this](const uint8_t *pData, uint32_t nCount) { Take(pData, nCount); });
  }

  // Called once the worker has ended. Returns the failure, if any.
  std::optional<std::string> Finish() {
    D2xxSetReadTap(nullptr);
    if (!m_error) {
      try {
        m_recorder.Close();
      } catch (const std::exception &e) {
        m_error = e.what();
      }
    }
    return m_error;
  }

  uint64_t GetBytes() const { return m_recorder.GetBytesWritten(); }

private:
  void Take(const uint8_t *pData, uint32_t nCount) {
    if (m_error) {
      return;
    }
    try {
      const auto nMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_start).count();
      m_recorder.Append(pData, nCount, static_cast<uint64_t>(nMs));
    } catch (const std::exception &e) {
      m_error = e.what();
    }
  }

  CStreamRecorder m_recorder;
  Clock::time_point m_start;
  std::optional<std::string> m_error;
};

std::atomic<bool> g_bInterrupted{false};

void OnInterrupt(int) { g_bInterrupted = true; }

// One watch: the link, the device it opened, and what has come.
class CMonitor {
public:
  CMonitor(const _monitoroptions &options, std::ostream &out, std::ostream &err,
           const std::shared_ptr<CSimulatedReceiver> &pSimulator)
      : m_options(options), m_out(out), m_err(err), m_pSimulator(pSimulator) {}

  // Finds the device to watch; false, with the reason on err, when there is none.
  bool FindDevice(const CDeviceBackends &backends, _usbdevice &device);
  // Opens the device and asks for its serial number; false when it cannot be opened.
  bool Open(const _usbdevice &device, Clock::time_point start);
  // Handles what the link hands on until the time, the packet count, an interrupt or the loss of
  // the receiver ends the watch. False when the receiver was lost.
  bool Watch();
  // Closes the device and ends the worker.
  void Close();
  const _seen &GetSeen() const { return m_seen; }

private:
  // Handles one item; false when the watch is over.
  bool Handle(const _linkitem &item);
  bool CountReached() const { return m_options.nMaxPackets > 0 && m_seen.nPackets >= m_options.nMaxPackets; }

  const _monitoroptions &m_options;
  std::ostream &m_out;
  std::ostream &m_err;
  const std::shared_ptr<CSimulatedReceiver> &m_pSimulator;
  CUSB m_link;
  std::string m_strSerial;
  Clock::time_point m_start;
  _seen m_seen;
  bool m_bMeasuring = false;
  bool m_bLost = false;
};

bool CMonitor::FindDevice(const CDeviceBackends &backends, _usbdevice &device) {
  uint32_t nCount = 0;
  std::vector<_usbdevice> devices;
  if (!CUSB::ListDevices(nCount, devices)) {
    m_err << "tvdtool: the number of attached devices cannot be told\n";
    return false;
  }
  const std::string strSerial = !m_options.strDevice.empty() ? m_options.strDevice : backends.PreferredSerialNumber();
  for (const _usbdevice &listed : devices) {
    if (strSerial.empty() || listed.strSerialNumber == strSerial) {
      device = listed;
      m_err << "device " << device.strSerialNumber << '\t' << device.strDescription << '\t' << device.strProductName
            << '\t' << device.strManufacturer << '\n';
      return true;
    }
  }
  m_err << (strSerial.empty() ? std::string("tvdtool: no devices found\n")
                              : "tvdtool: no device with the serial number \"" + strSerial + "\"\n");
  return false;
}

bool CMonitor::Open(const _usbdevice &device, Clock::time_point start) {
  m_start = start;
  m_strSerial = device.strSerialNumber;
  m_link.StartWorker();
  std::string strWhy;
  if (!m_link.Open(m_strSerial, 38400, &strWhy)) {
    m_err << "tvdtool: device " << m_strSerial << " could not be opened: " << strWhy << '\n';
    return false;
  }
  if (!m_link.SendCommandByte(CMD_SERIAL_NUMBER, &strWhy)) {
    m_err << "tvdtool: the serial number command could not be sent: " << strWhy << '\n';
  }
  return true;
}

bool CMonitor::Watch() {
  const auto deadline =
      m_options.dSeconds > 0
          ? m_start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(m_options.dSeconds))
          : Clock::time_point::max();
  for (;;) {
    if ((m_options.pfnInterrupted && m_options.pfnInterrupted()) || Clock::now() >= deadline) {
      return true;
    }
    m_link.Queue().WaitForItem(std::min(deadline, Clock::now() + std::chrono::milliseconds(100)));
    for (const _linkitem &item : m_link.Queue().TakeAll()) {
      if (!Handle(item)) {
        return !m_bLost;
      }
    }
  }
}

// The answers are sent from here, the thread that takes the packets, never from the worker.
bool CMonitor::Handle(const _linkitem &item) {
  if (item.nKind == LinkItemKind::lost) {
    m_err << "tvdtool: device " << m_strSerial << ": " << item.strReason << '\n';
    m_bLost = true;
    return false;
  }
  if (CountReached()) {
    return false; // what comes while the watch ends is not shown
  }
  const uint64_t nSerials = m_seen.nSerialNumbers;
  ShowPacket(item, m_start, m_options.bJson, m_out, m_seen);
  std::string strWhy;
  if (m_seen.nSerialNumbers > nSerials && !m_link.SendCommandByte(CMD_RECEIVER_INFO, &strWhy)) {
    m_err << "tvdtool: the receiver description command could not be sent: " << strWhy << '\n';
  }
  if (!m_bMeasuring && m_seen.nDescriptions > 0) {
    m_bMeasuring = true;
    if (m_pSimulator) {
      m_pSimulator->SetMeasurementMode(true); // as the operator would on the unit's panel
    }
  }
  return !CountReached();
}

void CMonitor::Close() {
  m_link.PostCommand({USB_CLOSE, 0, nullptr});
  m_link.StopWorker();
}

} // namespace

int RunMonitor(const _monitoroptions &options, std::ostream &out, std::ostream &err) {
  CDeviceBackends backends(options.backends);
  const auto &pSimulator = backends.GetSimulator();
  // The simulated unit runs in real time while the watch lasts, however the watch ends.
  struct _realtime {
    const std::shared_ptr<CSimulatedReceiver> &pSimulator;
    ~_realtime() {
      if (pSimulator) {
        pSimulator->StopRealTime();
      }
    }
  } realtime{pSimulator};
  if (pSimulator) {
    pSimulator->SetDelivery(SimDelivery::wireSpeed);
    pSimulator->SetChannelCount(options.nSimulatorChannels);
    pSimulator->StartRealTime(options.dSimulatorSpeed);
  }

  // Made before the link, so that it goes after the link's worker, which feeds it, has ended.
  std::unique_ptr<CRecordingTap> pRecording;
  if (!options.strRecordPath.empty()) {
    pRecording = std::make_unique<CRecordingTap>(options.strRecordPath);
  }
  CMonitor monitor(options, out, err, pSimulator);
  _usbdevice device;
  if (!monitor.FindDevice(backends, device)) {
    return 1;
  }
  const auto start = Clock::now();
  if (pRecording) {
    pRecording->Start(start);
  }
  if (!monitor.Open(device, start)) {
    return 1;
  }
  int nStatus = monitor.Watch() ? 0 : 1;
  monitor.Close();
  if (pSimulator) {
    pSimulator->StopRealTime();
  }
  const _seen &seen = monitor.GetSeen();
  err << seen.nPackets << " packets in " << SecondsSince(start) << " s; levels: channel 1 " << seen.nLevels[0]
      << ", channel 2 " << seen.nLevels[1] << '\n';
  if (pRecording) {
    if (auto error = pRecording->Finish()) {
      err << "tvdtool: the recording stopped: " << *error << '\n';
      nStatus = 1;
    } else {
      err << "recorded " << pRecording->GetBytes() << " bytes to " << options.strRecordPath << '\n';
    }
  }
  return nStatus;
}

void RegisterMonitorCommands(CLI::App &app) {
  auto *monitor = app.add_subcommand(
      "monitor", "Open a receiver through the link at 38400 baud, ask for its serial number and description, and "
                 "print every message it sends as it arrives.");
  auto options = std::make_shared<_monitoroptions>();
  monitor->add_option("--device", options->strDevice, "The serial number of the device to open (default: the first).");
  monitor->add_flag("--simulate", options->backends.bSimulate,
                    "Use a simulated receiver, put in measurement mode once it has described itself.");
  monitor->add_option("--channels", options->nSimulatorChannels, "Channels the simulated receiver measures: 1 or 2.")
      ->check(CLI::Range(1, 2));
  monitor->add_option("--replay", options->backends.strReplayPath,
                      "Play back a recording of 'tvdtool monitor --record' as a device.");
  monitor->add_flag("--fast", options->backends.bReplayAsFastAsPossible,
                    "Play the recording back as fast as possible instead of at its recorded pace.");
  monitor->add_option("--record", options->strRecordPath,
                      "Save the raw byte stream to FILE and the arrival times to FILE.arrivals; 'tvdtool frames "
                      "decode FILE' reads it back, 'tvdtool monitor --replay FILE' plays it.");
  monitor->add_option("--seconds", options->dSeconds, "Stop after this many seconds (default: at Ctrl-C).")
      ->check(CLI::NonNegativeNumber);
  monitor->add_option("--count", options->nMaxPackets, "Stop after this many packets.");
  monitor->add_flag("--json", options->bJson, "One JSON object per message, with its arrival time in seconds (t).");
  monitor->callback([options] {
    g_bInterrupted = false;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    options->pfnInterrupted = [] { return g_bInterrupted.load(); };
    const int nStatus = RunMonitor(*options, std::cout, std::cerr);
    if (nStatus != 0) {
      throw CLI::RuntimeError(nStatus);
    }
  });
}
