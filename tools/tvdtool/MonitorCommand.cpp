#include "tools/tvdtool/MonitorCommand.h"

#include "link/ReceiverMessages.h"
#include "link/Usb.h"
#include "platform/D2xxRegistry.h"
#include "platform/StreamRecording.h"
#include "tools/tvdtool/Commands.h"
#include "tools/tvdtool/MessageFormat.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A link that prints every packet and tells the watching thread what has come.
class CMonitorLink : public CUSB {
public:
  // Prints at most nMaxPackets packets (0: no limit).
  CMonitorLink(std::ostream &out, bool bJson, uint64_t nMaxPackets)
      : m_out(out), m_bJson(bJson), m_nMaxPackets(nMaxPackets) {}
  ~CMonitorLink() override { StopWorker(); }

  void SetStart(Clock::time_point start) {
    std::lock_guard lock(m_mutex);
    m_start = start;
  }

  // What the watching thread waits for.
  struct _seen {
    uint64_t nPackets = 0;
    uint64_t nSerialNumbers = 0;
    uint64_t nDescriptions = 0;
    uint64_t nLevels[2] = {0, 0};
  };

  // Waits until pfnDone holds for what has been seen, or until the deadline.
  template <class Done> _seen WaitUntil(Clock::time_point deadline, Done pfnDone) {
    std::unique_lock lock(m_mutex);
    m_cv.wait_until(lock, deadline, [&] { return pfnDone(m_seen); });
    return m_seen;
  }

protected:
  void OnPacket(const uint8_t *payload, uint32_t length) override {
    std::lock_guard lock(m_mutex);
    if (m_nMaxPackets > 0 && m_seen.nPackets >= m_nMaxPackets) {
      return; // what comes while the watch ends is not shown
    }
    const double dTime = SecondsSince(m_start);
    if (m_bJson) {
      auto json = PayloadToJson(payload, length);
      json["t"] = dTime;
      m_out << JsonLine(json) << '\n';
    } else {
      char time[32];
      std::snprintf(time, sizeof time, "%9.3f  ", dTime);
      m_out << time << PayloadSummary(payload, length) << '\n';
    }
    m_out.flush();
    ++m_seen.nPackets;
    const auto message = DecodeReceiverMessage(payload, length);
    if (std::holds_alternative<SerialNumberMessage>(message)) {
      ++m_seen.nSerialNumbers;
    } else if (std::holds_alternative<ReceiverInfoMessage>(message)) {
      ++m_seen.nDescriptions;
    } else if (const auto *pLevels = std::get_if<LevelsMessage>(&message)) {
      m_seen.nLevels[pLevels->nChannel - 1] += pLevels->levels.size();
    }
    m_cv.notify_all();
  }

private:
  std::ostream &m_out;
  bool m_bJson;
  uint64_t m_nMaxPackets;
  std::mutex m_mutex;
  std::condition_variable m_cv;
  Clock::time_point m_start = Clock::now();
  _seen m_seen;
};

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
  CMonitorLink link(out, options.bJson, options.nMaxPackets);
  link.StartWorker();
  uint32_t nCount = 0;
  std::vector<_usbdevice> devices;
  if (!CUSB::ListDevices(nCount, devices)) {
    err << "tvdtool: the number of attached devices cannot be told\n";
    return 1;
  }
  std::string strSerial = !options.strDevice.empty() ? options.strDevice : backends.PreferredSerialNumber();
  const _usbdevice *pDevice = nullptr;
  for (const _usbdevice &device : devices) {
    if (strSerial.empty() || device.strSerialNumber == strSerial) {
      pDevice = &device;
      break;
    }
  }
  if (pDevice == nullptr) {
    err << (strSerial.empty() ? std::string("tvdtool: no devices found\n")
                              : "tvdtool: no device with the serial number \"" + strSerial + "\"\n");
    return 1;
  }
  err << "device " << pDevice->strSerialNumber << '\t' << pDevice->strDescription << '\t' << pDevice->strProductName
      << '\t' << pDevice->strManufacturer << '\n';

  const auto start = Clock::now();
  link.SetStart(start);
  if (pRecording) {
    pRecording->Start(start);
  }
  if (!link.Open(pDevice->strSerialNumber, 38400)) {
    err << "tvdtool: device " << pDevice->strSerialNumber << " could not be opened\n";
    return 1;
  }
  if (!link.SendCommandByte(CMD_SERIAL_NUMBER)) {
    err << "tvdtool: the serial number command could not be sent\n";
  }

  const auto deadline =
      options.dSeconds > 0
          ? start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.dSeconds))
          : Clock::time_point::max();
  uint64_t nSerialsAnswered = 0;
  bool bMeasuring = false;
  CMonitorLink::_seen seen;
  for (;;) {
    if ((options.pfnInterrupted && options.pfnInterrupted()) || Clock::now() >= deadline) {
      break;
    }
    seen = link.WaitUntil(std::min(deadline, Clock::now() + std::chrono::milliseconds(100)), [&](const auto &s) {
      return s.nSerialNumbers > nSerialsAnswered || (!bMeasuring && s.nDescriptions > 0) ||
             (options.nMaxPackets > 0 && s.nPackets >= options.nMaxPackets);
    });
    if (options.nMaxPackets > 0 && seen.nPackets >= options.nMaxPackets) {
      break;
    }
    // The answers are sent from here, never from the worker that delivers the packets.
    while (nSerialsAnswered < seen.nSerialNumbers) {
      ++nSerialsAnswered;
      if (!link.SendCommandByte(CMD_RECEIVER_INFO)) {
        err << "tvdtool: the receiver description command could not be sent\n";
      }
    }
    if (!bMeasuring && seen.nDescriptions > 0) {
      bMeasuring = true;
      if (pSimulator) {
        pSimulator->SetMeasurementMode(true); // as the operator would on the unit's panel
      }
    }
  }

  link.PostCommand({USB_CLOSE, 0, nullptr});
  link.StopWorker();
  if (pSimulator) {
    pSimulator->StopRealTime();
  }
  int nStatus = 0;
  seen = link.WaitUntil(Clock::now(), [](const auto &) { return true; });
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
