#include "dialogs/SimulatedReceiverPanel.h"

#include "link/ReceiverConversions.h"
#include "platform/SimulatedReceiver.h"

#include "ui_SimulatedReceiverPanel.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>

#include <array>

namespace {

// A receiver of the unit as the conversions take it: the step arrives in 1/256 kHz.
_receiverinfo ReceiverInfo(const _simreceiver &sim) {
  return {sim.nMinChannel, sim.nMaxChannel, sim.nStepRaw, sim.nSpare, static_cast<float>(sim.nStepRaw / 256.0)};
}

QString Text(const char *pszText) { return QString::fromUtf8(pszText); }

} // namespace

CSimulatedReceiverPanel::CSimulatedReceiverPanel(std::shared_ptr<CSimulatedReceiver> pReceiver, QWidget *pParent)
    : CDialogBase(pParent, Qt::Tool), m_pReceiver(std::move(pReceiver)),
      m_pUi(std::make_unique<Ui::SimulatedReceiverPanel>()) {
  m_pUi->setupUi(this);
  const _simidentity &identity = m_pReceiver->GetIdentity();
  const std::array<QSpinBox *, 2> channels{m_pUi->channel1, m_pUi->channel2};
  for (size_t i = 0; i < channels.size(); ++i) {
    channels[i]->setRange(static_cast<int>(identity.receivers[i].nMinChannel),
                          static_cast<int>(identity.receivers[i].nMaxChannel));
  }
  const bool bReceiver2 = (identity.nPresence & 0x02) != 0;
  m_pUi->channel2->setEnabled(bReceiver2);
  m_pUi->twoChannels->setEnabled(bReceiver2);

  connect(m_pUi->measure, &QPushButton::clicked, this, &CSimulatedReceiverPanel::OnMeasure);
  connect(m_pUi->escape, &QPushButton::clicked, this, &CSimulatedReceiverPanel::OnEscape);
  connect(m_pUi->channel1, &QSpinBox::valueChanged, this, &CSimulatedReceiverPanel::OnChannel1);
  connect(m_pUi->channel2, &QSpinBox::valueChanged, this, &CSimulatedReceiverPanel::OnChannel2);
  connect(m_pUi->oneChannel, &QRadioButton::clicked, this, &CSimulatedReceiverPanel::OnChannelCount);
  connect(m_pUi->twoChannels, &QRadioButton::clicked, this, &CSimulatedReceiverPanel::OnChannelCount);
  connect(m_pUi->sampleRate, &QSpinBox::valueChanged, this, &CSimulatedReceiverPanel::OnSampleRate);
  connect(m_pUi->unplug, &QPushButton::clicked, this, &CSimulatedReceiverPanel::OnUnplug);
  connect(m_pUi->replug, &QPushButton::clicked, this, &CSimulatedReceiverPanel::OnReplug);
  connect(m_pUi->noise, &QCheckBox::toggled, this, &CSimulatedReceiverPanel::OnNoise);
  connect(m_pUi->pause, &QPushButton::clicked, this, &CSimulatedReceiverPanel::OnPause);
  m_pUi->pauseChannel->setMaximum(bReceiver2 ? 2 : 1);
  m_pLineTimer = new QTimer(this);
  m_pLineTimer->setInterval(LINE_REFRESH_MS);
  connect(m_pLineTimer, &QTimer::timeout, this, &CSimulatedReceiverPanel::RefreshLine);
  Refresh();
}

CSimulatedReceiverPanel::~CSimulatedReceiverPanel() = default;

void CSimulatedReceiverPanel::showEvent(QShowEvent *pEvent) {
  Refresh();
  m_pLineTimer->start();
  CDialogBase::showEvent(pEvent);
}

void CSimulatedReceiverPanel::hideEvent(QHideEvent *pEvent) {
  m_pLineTimer->stop();
  CDialogBase::hideEvent(pEvent);
}

void CSimulatedReceiverPanel::Refresh() {
  const _simpanel panel = m_pReceiver->GetPanel();
  const bool bPlugged = m_pReceiver->IsPlugged();
  const QSignalBlocker block1(m_pUi->channel1);
  const QSignalBlocker block2(m_pUi->channel2);
  const QSignalBlocker blockRate(m_pUi->sampleRate);
  const QSignalBlocker blockNoise(m_pUi->noise);
  SetDlgItemText(IDC_SIM_MODE, Text(panel.bMeasurementMode ? TEXT_ON : TEXT_OFF));
  m_pUi->channel1->setValue(static_cast<int>(panel.nChannel[0]));
  m_pUi->channel2->setValue(static_cast<int>(panel.nChannel[1]));
  ShowFrequency(1);
  ShowFrequency(2);
  CheckDlgButton(IDC_SIM_ONE_CHANNEL, panel.nChannels == 1);
  CheckDlgButton(IDC_SIM_TWO_CHANNELS, panel.nChannels == 2);
  m_pUi->sampleRate->setValue(static_cast<int>(panel.nSampleRate));
  SetDlgItemText(IDC_SIM_CABLE, Text(bPlugged ? TEXT_PLUGGED : TEXT_UNPLUGGED));
  EnableDlgItem(IDC_SIM_UNPLUG, bPlugged);
  EnableDlgItem(IDC_SIM_REPLUG, !bPlugged);
  m_pUi->noise->setChecked(m_bNoise);
  RefreshLine();
}

void CSimulatedReceiverPanel::RefreshLine() {
  SetDlgItemText(IDC_SIM_LINE_RATE,
                 Text(TEXT_LINE_RATE).arg(m_pReceiver->LineLevelRate()).arg(m_pReceiver->GetLineBaud()));
  const uint64_t nDropped = m_pReceiver->LevelsDropped(1) + m_pReceiver->LevelsDropped(2);
  SetDlgItemText(IDC_SIM_DROPPED, nDropped == 0 ? Text(TEXT_DROPPED_NONE) : Text(TEXT_DROPPED).arg(nDropped));
}

void CSimulatedReceiverPanel::ShowFrequency(int nReceiver) {
  const auto nIndex = static_cast<size_t>(nReceiver - 1);
  const QSpinBox *pChannel = nReceiver == 1 ? m_pUi->channel1 : m_pUi->channel2;
  const _receiverinfo receiver = ReceiverInfo(m_pReceiver->GetIdentity().receivers.at(nIndex));
  const float fMHz = EdgeFrequencyMHz(static_cast<uint32_t>(pChannel->value()), receiver);
  SetDlgItemText(nReceiver == 1 ? IDC_SIM_FREQUENCY1 : IDC_SIM_FREQUENCY2, QString::fromStdString(FormatMHz(fMHz)));
}

void CSimulatedReceiverPanel::OnMeasure() {
  m_pReceiver->SetMeasurementMode(true);
  Refresh();
}

void CSimulatedReceiverPanel::OnEscape() {
  m_pReceiver->SetMeasurementMode(false);
  Refresh();
}

void CSimulatedReceiverPanel::OnChannel1(int nChannel) {
  m_pReceiver->SelectChannel(1, static_cast<uint32_t>(nChannel));
  Refresh();
}

void CSimulatedReceiverPanel::OnChannel2(int nChannel) {
  m_pReceiver->SelectChannel(2, static_cast<uint32_t>(nChannel));
  Refresh();
}

void CSimulatedReceiverPanel::OnChannelCount() {
  m_pReceiver->SetChannelCount(IsDlgButtonChecked(IDC_SIM_TWO_CHANNELS) ? 2 : 1);
  Refresh();
}

void CSimulatedReceiverPanel::OnSampleRate(int nLevelsPerSecond) {
  m_pReceiver->SetSampleRate(static_cast<uint32_t>(nLevelsPerSecond));
  Refresh();
}

void CSimulatedReceiverPanel::OnUnplug() {
  m_pReceiver->Unplug();
  Refresh();
}

void CSimulatedReceiverPanel::OnReplug() {
  m_pReceiver->Replug();
  Refresh();
}

void CSimulatedReceiverPanel::OnPause() {
  m_pReceiver->PauseChannel(m_pUi->pauseChannel->value(), static_cast<uint32_t>(m_pUi->pauseSeconds->value()) * 1000);
  Refresh();
}

void CSimulatedReceiverPanel::OnNoise(bool bOn) {
  m_bNoise = bOn;
  m_pReceiver->SetNoise(bOn ? NOISE_MAX_BYTES : 0);
  Refresh();
}
