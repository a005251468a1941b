// The simulated receiver's front panel: every control named for screen readers, and each one
// driving the unit as its own front panel would, down to what the link receives.
#include "dialogs/SimulatedReceiverPanel.h"
#include "link/ReceiverConversions.h"
#include "link/ReceiverMessages.h"
#include "link/Usb.h"
#include "platform/D2xxRegistry.h"
#include "platform/D2xxSimBackend.h"
#include "platform/SimulatedReceiver.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include <chrono>
#include <memory>
#include <optional>

namespace {

constexpr int LINK_WAIT_MS = 10000; // a guard against a link that never answers, not a timing

// The channel reports among the payloads sent from index nFrom on.
QList<QPair<uint32_t, uint32_t>> ChannelReports(const CSimulatedReceiver &unit, size_t nFrom = 0) {
  QList<QPair<uint32_t, uint32_t>> reports;
  const auto payloads = unit.SentPayloads();
  for (size_t i = nFrom; i < payloads.size(); ++i) {
    const auto message = DecodeReceiverMessage(payloads[i].data(), static_cast<uint32_t>(payloads[i].size()));
    if (const auto *pReport = std::get_if<ChannelReportMessage>(&message)) {
      reports.append({pReport->nChannel1, pReport->nChannel2});
    }
  }
  return reports;
}

// The next item of the link's queue of the kind asked for, skipping others.
std::optional<_linkitem> NextItem(CUSB &link, LinkItemKind nKind) {
  const auto deadline = CWaitClock::Steady().After(LINK_WAIT_MS);
  while (link.Queue().WaitForItem(deadline)) {
    if (auto item = link.Queue().TakeOne(); item && item->nKind == nKind) {
      return item;
    }
  }
  return std::nullopt;
}

} // namespace

class CSimulatedReceiverPanelTest : public QObject {
  Q_OBJECT

private slots:
  void init() {
    m_pUnit = std::make_shared<CSimulatedReceiver>();
    m_pUnit->KeepLog(true);
    m_pPanel = std::make_unique<CSimulatedReceiverPanel>(m_pUnit);
    m_pPanel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pPanel.get()));
  }

  void cleanup() {
    m_pPanel.reset();
    D2xxDisableAllBackends();
  }

  // A tool window named "Simulated Receiver"; every numbered control has an accessible name.
  void everyControlIsNamed() {
    QCOMPARE(m_pPanel->windowTitle(), QString("Simulated Receiver"));
    QVERIFY(m_pPanel->windowFlags().testFlag(Qt::Tool));
    QVERIFY(!m_pPanel->isModal());
    const QMap<int, QString> names = {
        {IDC_SIM_MEASURE, "MEASURE"},
        {IDC_SIM_ESCAPE, "ESC"},
        {IDC_SIM_MODE, "Measurement mode"},
        {IDC_SIM_CHANNEL1, "Receiver 1 channel"},
        {IDC_SIM_FREQUENCY1, "Receiver 1 frequency"},
        {IDC_SIM_CHANNEL2, "Receiver 2 channel"},
        {IDC_SIM_FREQUENCY2, "Receiver 2 frequency"},
        {IDC_SIM_ONE_CHANNEL, "1 channel"},
        {IDC_SIM_TWO_CHANNELS, "2 channels"},
        {IDC_SIM_SAMPLE_RATE, "Sample rate"},
        {IDC_SIM_UNPLUG, "Unplug"},
        {IDC_SIM_REPLUG, "Plug In"},
        {IDC_SIM_NOISE, "Line noise"},
        {IDC_SIM_CABLE, "USB cable"},
        {IDC_SIM_LINE_RATE, "The line carries"},
        {IDC_SIM_DROPPED, "Dropped by the unit"},
        {IDC_SIM_PAUSE, "Pause Channel"},
        {IDC_SIM_PAUSE_CHANNEL, "Channel to pause"},
        {IDC_SIM_PAUSE_SECONDS, "Pause length"},
    };
    for (auto it = names.begin(); it != names.end(); ++it) {
      QWidget *pControl = m_pPanel->GetDlgItem(it.key());
      QVERIFY2(pControl != nullptr, qPrintable(QString::number(it.key())));
      QAccessibleInterface *pAccessible = QAccessible::queryAccessibleInterface(pControl);
      QVERIFY(pAccessible != nullptr);
      QCOMPARE(pAccessible->text(QAccessible::Name), it.value());
    }
  }

  // The channel boxes keep within the receivers' ranges and show the channel's frequency.
  void channelsKeepToTheirReceivers() {
    const _simidentity &identity = m_pUnit->GetIdentity();
    auto *pChannel1 = m_pPanel->GetDlgItemAs<QSpinBox>(IDC_SIM_CHANNEL1);
    auto *pChannel2 = m_pPanel->GetDlgItemAs<QSpinBox>(IDC_SIM_CHANNEL2);
    QCOMPARE(pChannel1->minimum(), int(identity.receivers[0].nMinChannel));
    QCOMPARE(pChannel1->maximum(), int(identity.receivers[0].nMaxChannel));
    QCOMPARE(pChannel2->minimum(), int(identity.receivers[1].nMinChannel));
    QCOMPARE(pChannel2->maximum(), int(identity.receivers[1].nMaxChannel));
    // Channel 34000 in 12.5 kHz steps is 425 MHz; channel 20000 in 25 kHz steps is 500 MHz.
    QCOMPARE(m_pPanel->GetDlgItemText(IDC_SIM_FREQUENCY1), QString("425.0000 MHz"));
    QCOMPARE(m_pPanel->GetDlgItemText(IDC_SIM_FREQUENCY2), QString("500.0000 MHz"));
    pChannel1->setValue(99999);
    QCOMPARE(m_pUnit->GetPanel().nChannel[0], identity.receivers[0].nMaxChannel);
    QCOMPARE(m_pPanel->GetDlgItemText(IDC_SIM_FREQUENCY1), QString("470.0000 MHz"));
  }

  // MEASURE sends a channel report, as do a new channel and a new channel count while measuring;
  // the sample rate sets the pace; ESC ends the levels.
  void frontPanelDrivesTheUnit() {
    QCOMPARE(m_pPanel->GetDlgItemText(IDC_SIM_MODE), QString("Off"));
    QTest::mouseClick(m_pPanel->GetDlgItemAs<QPushButton>(IDC_SIM_MEASURE), Qt::LeftButton);
    QVERIFY(m_pUnit->GetPanel().bMeasurementMode);
    QCOMPARE(m_pPanel->GetDlgItemText(IDC_SIM_MODE), QString("On"));
    QCOMPARE(ChannelReports(*m_pUnit), (QList<QPair<uint32_t, uint32_t>>{{34000, 20000}}));

    m_pPanel->GetDlgItemAs<QSpinBox>(IDC_SIM_CHANNEL1)->setValue(33000);
    QCOMPARE(ChannelReports(*m_pUnit).back(), (QPair<uint32_t, uint32_t>{33000, 20000}));
    QCOMPARE(m_pPanel->GetDlgItemText(IDC_SIM_FREQUENCY1), QString("412.5000 MHz"));

    QTest::mouseClick(m_pPanel->GetDlgItemAs<QRadioButton>(IDC_SIM_ONE_CHANNEL), Qt::LeftButton);
    QCOMPARE(m_pUnit->GetPanel().nChannels, 1);
    QCOMPARE(ChannelReports(*m_pUnit).size(), 3);

    m_pPanel->GetDlgItemAs<QSpinBox>(IDC_SIM_SAMPLE_RATE)->setValue(1000);
    QCOMPARE(m_pUnit->GetPanel().nSampleRate, 1000U);
    const uint64_t nBefore = m_pUnit->LevelsSent(1);
    m_pUnit->Advance(1000);
    const uint64_t nSent = m_pUnit->LevelsSent(1) - nBefore;
    QVERIFY2(nSent >= 990 && nSent <= 1000, qPrintable(QString::number(nSent)));
    QCOMPARE(m_pUnit->LevelsSent(2), 0U);

    QTest::mouseClick(m_pPanel->GetDlgItemAs<QPushButton>(IDC_SIM_ESCAPE), Qt::LeftButton);
    QVERIFY(!m_pUnit->GetPanel().bMeasurementMode);
    const uint64_t nAtEscape = m_pUnit->LevelsSent(1);
    m_pUnit->Advance(1000);
    QCOMPARE(m_pUnit->LevelsSent(1), nAtEscape);
  }

  // Connected at 38400 baud, the panel shows the most the line carries on each channel; measuring
  // more, the unit drops what its line cannot take, and the panel counts it.
  void theLineShowsWhatItCarries() {
    D2xxDisableAllBackends();
    D2xxEnableBackend(std::make_shared<CD2xxSimBackend>(m_pUnit));
    m_pUnit->SetDelivery(SimDelivery::wireSpeed);
    CUSB link;
    QVERIFY(link.StartWorker());
    QVERIFY(link.Open(m_pUnit->GetIdentity().strBridgeSerial, 38400));
    m_pPanel->GetDlgItemAs<QSpinBox>(IDC_SIM_SAMPLE_RATE)->setValue(1000);
    QCOMPARE(m_pPanel->GetDlgItemText(IDC_SIM_LINE_RATE),
             QString("at most 415 levels per second on each channel (38461 baud)"));
    QCOMPARE(m_pPanel->GetDlgItemText(IDC_SIM_DROPPED), QString("none"));
    QTest::mouseClick(m_pPanel->GetDlgItemAs<QRadioButton>(IDC_SIM_ONE_CHANNEL), Qt::LeftButton);
    QCOMPARE(m_pPanel->GetDlgItemText(IDC_SIM_LINE_RATE),
             QString("at most 831 levels per second on each channel (38461 baud)"));

    QTest::mouseClick(m_pPanel->GetDlgItemAs<QPushButton>(IDC_SIM_MEASURE), Qt::LeftButton);
    m_pUnit->Advance(10000);
    m_pPanel->RefreshLine(); // as its timer does while it is shown
    const uint64_t nDropped = m_pUnit->LevelsDropped(1);
    QVERIFY2(nDropped > 1000 && nDropped + m_pUnit->LevelsSent(1) <= 10000, qPrintable(QString::number(nDropped)));
    QCOMPARE(m_pPanel->GetDlgItemText(IDC_SIM_DROPPED), QString("%1 levels, more than the line carries").arg(nDropped));
    link.StopWorker();
  }

  // Pause Channel silences the channel chosen for the seconds chosen; the other goes on.
  void pauseChannelSilencesItForAWhile() {
    QTest::mouseClick(m_pPanel->GetDlgItemAs<QPushButton>(IDC_SIM_MEASURE), Qt::LeftButton);
    m_pUnit->Advance(1000);
    const uint64_t nSent1 = m_pUnit->LevelsSent(1);
    const uint64_t nSent2 = m_pUnit->LevelsSent(2);
    QCOMPARE(m_pPanel->GetDlgItemAs<QSpinBox>(IDC_SIM_PAUSE_CHANNEL)->value(), 2);
    QCOMPARE(m_pPanel->GetDlgItemAs<QSpinBox>(IDC_SIM_PAUSE_SECONDS)->value(), 6);
    QTest::mouseClick(m_pPanel->GetDlgItemAs<QPushButton>(IDC_SIM_PAUSE), Qt::LeftButton);
    m_pUnit->Advance(6000);
    QCOMPARE(m_pUnit->LevelsSent(1) - nSent1, 240U);
    QCOMPARE(m_pUnit->LevelsSent(2), nSent2);
    m_pUnit->Advance(1000);
    QCOMPARE(m_pUnit->LevelsSent(2) - nSent2, 40U);
  }

  // Unplugging makes the link report the receiver lost; plugged in again, it opens anew. Line
  // noise costs the link no packet.
  void cableAndNoiseReachTheLink() {
    D2xxDisableAllBackends();
    D2xxEnableBackend(std::make_shared<CD2xxSimBackend>(m_pUnit));
    CUSB link;
    QVERIFY(link.StartWorker());
    QVERIFY(link.Open(m_pUnit->GetIdentity().strBridgeSerial, 38400));
    QCOMPARE(m_pPanel->GetDlgItemText(IDC_SIM_CABLE), QString("Plugged in"));
    QVERIFY(!m_pPanel->IsDlgItemEnabled(IDC_SIM_REPLUG));

    QTest::mouseClick(m_pPanel->GetDlgItemAs<QCheckBox>(IDC_SIM_NOISE), Qt::LeftButton);
    QTest::mouseClick(m_pPanel->GetDlgItemAs<QPushButton>(IDC_SIM_MEASURE), Qt::LeftButton);
    m_pUnit->Advance(2000);
    const auto sent = m_pUnit->SentPayloads();
    QVERIFY(sent.size() > 20);
    for (const auto &payload : sent) {
      const auto item = NextItem(link, LinkItemKind::packet);
      QVERIFY(item.has_value());
      QVERIFY(item->payload == payload);
    }

    QTest::mouseClick(m_pPanel->GetDlgItemAs<QPushButton>(IDC_SIM_UNPLUG), Qt::LeftButton);
    QVERIFY(!m_pUnit->IsPlugged());
    QCOMPARE(m_pPanel->GetDlgItemText(IDC_SIM_CABLE), QString("Unplugged"));
    QVERIFY(!m_pPanel->IsDlgItemEnabled(IDC_SIM_UNPLUG));
    const auto lost = NextItem(link, LinkItemKind::lost);
    QVERIFY(lost.has_value());
    QVERIFY(!lost->strReason.empty());
    QVERIFY(!link.Open(m_pUnit->GetIdentity().strBridgeSerial, 38400));

    QTest::mouseClick(m_pPanel->GetDlgItemAs<QPushButton>(IDC_SIM_REPLUG), Qt::LeftButton);
    QVERIFY(m_pUnit->IsPlugged());
    QCOMPARE(m_pPanel->GetDlgItemText(IDC_SIM_CABLE), QString("Plugged in"));
    QVERIFY(link.Open(m_pUnit->GetIdentity().strBridgeSerial, 38400));
    link.StopWorker();
  }

private:
  std::shared_ptr<CSimulatedReceiver> m_pUnit;
  std::unique_ptr<CSimulatedReceiverPanel> m_pPanel;
};

QTEST_MAIN(CSimulatedReceiverPanelTest)
#include "SimulatedReceiverPanelTest.moc"
