#pragma once

#include "dialogs/DialogBase.h"

#include <memory>

class CSimulatedReceiver;
class QTimer;
namespace Ui {
class SimulatedReceiverPanel;
}

// Template and controls of the simulated receiver's panel.
constexpr int IDD_SIMULATED_RECEIVER = 190;
constexpr int IDC_SIM_MEASURE = 1080;       // MEASURE: measurement mode on
constexpr int IDC_SIM_ESCAPE = 1081;        // ESC: measurement mode off
constexpr int IDC_SIM_MODE = 1082;          // "On" or "Off"
constexpr int IDC_SIM_CHANNEL1 = 1083;      // receiver 1's channel, within its range
constexpr int IDC_SIM_FREQUENCY1 = 1084;    // that channel's frequency, "%4.4f MHz"
constexpr int IDC_SIM_CHANNEL2 = 1085;      // receiver 2's channel
constexpr int IDC_SIM_FREQUENCY2 = 1086;    //
constexpr int IDC_SIM_ONE_CHANNEL = 1087;   // channels measured: 1
constexpr int IDC_SIM_TWO_CHANNELS = 1088;  // or 2 (only with receiver 2 installed)
constexpr int IDC_SIM_SAMPLE_RATE = 1089;   // levels per second on each channel, 1 to 1000
constexpr int IDC_SIM_UNPLUG = 1090;        // pulls the USB cable
constexpr int IDC_SIM_REPLUG = 1091;        // plugs it in again
constexpr int IDC_SIM_NOISE = 1092;         // random bytes on the line between frames
constexpr int IDC_SIM_CABLE = 1093;         // "Plugged in" or "Unplugged"
constexpr int IDC_SIM_LINE_RATE = 1094;     // the most levels per second on each channel the line carries
constexpr int IDC_SIM_DROPPED = 1095;       // the levels the unit dropped because the line was full
constexpr int IDC_SIM_PAUSE_CHANNEL = 1096; // the channel Pause Channel silences
constexpr int IDC_SIM_PAUSE_SECONDS = 1097; // for this many seconds
constexpr int IDC_SIM_PAUSE = 1098;         // Pause Channel: no level message of that channel meanwhile

// The front panel of the simulated receiver of --simulate ("Simulated Receiver"), a modeless
// tool window: MEASURE and ESC, the channel of each receiver with its frequency, the channel
// count, the sample rate with the most the line carries and the levels dropped beyond it, and the
// faults of the unit (unplugging and plugging its cable in, line noise, a channel paused for a
// while). Each control acts on the unit at once; the unit is thread-safe, and its own thread
// sends what it measures. The panel shows the unit as it stands whenever it is shown and after
// each action (Refresh); the line's figures also every half second while it is shown.
class CSimulatedReceiverPanel : public CDialogBase {
  Q_OBJECT

public:
  static constexpr const char *TEXT_ON = "On";
  static constexpr const char *TEXT_OFF = "Off";
  static constexpr const char *TEXT_PLUGGED = "Plugged in";
  static constexpr const char *TEXT_UNPLUGGED = "Unplugged";
  static constexpr const char *TEXT_LINE_RATE = "at most %1 levels per second on each channel (%2 baud)";
  static constexpr const char *TEXT_DROPPED_NONE = "none";
  static constexpr const char *TEXT_DROPPED = "%1 levels, more than the line carries";
  static constexpr int LINE_REFRESH_MS = 500;
  // The most bytes of noise before a frame while line noise is on.
  static constexpr uint32_t NOISE_MAX_BYTES = 12;

  CSimulatedReceiverPanel(std::shared_ptr<CSimulatedReceiver> pReceiver, QWidget *pParent = nullptr);
  ~CSimulatedReceiverPanel() override;

  const std::shared_ptr<CSimulatedReceiver> &Receiver() const { return m_pReceiver; }

public slots:
  // Shows the unit's panel, channels, cable and noise as they are now.
  void Refresh();
  void OnMeasure();
  void OnEscape();
  void OnChannel1(int nChannel);
  void OnChannel2(int nChannel);
  void OnChannelCount();
  void OnSampleRate(int nLevelsPerSecond);
  void OnUnplug();
  void OnReplug();
  void OnNoise(bool bOn);
  void OnPause();
  // Shows the most the line carries and the levels dropped so far.
  void RefreshLine();

protected:
  void showEvent(QShowEvent *pEvent) override;
  void hideEvent(QHideEvent *pEvent) override;

private:
  void ShowFrequency(int nReceiver);

  QTimer *m_pLineTimer = nullptr;

  std::shared_ptr<CSimulatedReceiver> m_pReceiver;
  bool m_bNoise = false;
  std::unique_ptr<Ui::SimulatedReceiverPanel> m_pUi;
};
