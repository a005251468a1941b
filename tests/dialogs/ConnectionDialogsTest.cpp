// The connection dialog over the simulated device layer, and the termination question.
#include "dialogs/ConnectionDialog.h"
#include "dialogs/ConnectionTerminationDialog.h"
#include "platform/D2xxRegistry.h"
#include "platform/D2xxSimBackend.h"
#include "tests/support/ScriptedPrompts.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QtTest>

#include <memory>

namespace {

// A device layer that cannot tell how many devices are attached.
class CUncountableBackend : public CD2xxBackend {
public:
  std::string GetName() const override { return "uncountable"; }
  bool ListDevices(std::vector<_d2xxdeviceinfo> &) override { return false; }
  FT_STATUS Open(const std::string &, bool, std::unique_ptr<CD2xxDevice> &) override { return FT_DEVICE_NOT_FOUND; }
};

std::shared_ptr<CSimulatedReceiver> Receiver(const char *pszSerial, uint16_t nVendor = USB_VENDOR_VEXLOR) {
  _simidentity identity;
  identity.strBridgeSerial = pszSerial;
  identity.nVendor = nVendor;
  return std::make_shared<CSimulatedReceiver>(identity);
}

void Click(CDialogBase &dialog, int nId) {
  auto *pButton = dialog.GetDlgItemAs<QAbstractButton>(nId);
  QVERIFY(pButton != nullptr && pButton->isEnabled());
  QTest::mouseClick(pButton, Qt::LeftButton);
}

// The dialog's state: its message and which of the two buttons is enabled.
struct _seen {
  QString strMessage;
  bool bConnect = false;
  bool bLook = false;
};

_seen Seen(const CConnectionDialog &dialog) {
  return {dialog.GetDlgItemText(IDC_DEVICE_MESSAGE), dialog.IsDlgItemEnabled(IDOK),
          dialog.IsDlgItemEnabled(IDC_LOOK_FOR_DEVICES)};
}

const QString NO_DEVICES = QString::fromLatin1(CConnectionDialog::TEXT_NO_DEVICES);

} // namespace

class CConnectionDialogsTest : public QObject {
  Q_OBJECT

  std::shared_ptr<CD2xxSimBackend> m_pSim;

private slots:
  void init() {
    D2xxDisableAllBackends();
    m_pSim = std::make_shared<CD2xxSimBackend>();
    D2xxEnableBackend(m_pSim);
  }
  void cleanup() { D2xxDisableAllBackends(); }

  void noDeviceShowsTheTextAndOffersASearch() {
    QCOMPARE(NO_DEVICES, QStringLiteral("No USB Devices have been found\n Please check the USB Connection between the "
                                        "Tarvex Receiver and the Tablet PC. Make sure that the Tarvex batteries are "
                                        "charged. Click \" Look For USB Devices\" after making sure of the above"));
    CConnectionDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Tarvex Connection"));
    dialog.show();
    const _seen seen = Seen(dialog);
    QCOMPARE(seen.strMessage, NO_DEVICES);
    QVERIFY(!seen.bConnect && seen.bLook);
    QVERIFY(dialog.m_Link.IsWorkerRunning());
  }

  void twoDevicesOfferAndOpenTheFirst() {
    auto pFirst = Receiver("SIMA", 0x0403);
    auto pSecond = Receiver("SIMB");
    m_pSim->AddReceiver(pFirst);
    m_pSim->AddReceiver(pSecond);
    CScriptedPrompts prompts;
    _seen seen;
    prompts.AnswerModal([&](QDialog &shown) {
      auto &dialog = static_cast<CConnectionDialog &>(shown);
      seen = Seen(dialog);
      Click(dialog, IDOK);
      return dialog.result();
    });
    CConnectionDialog dialog;
    QCOMPARE(dialog.DoModal(), int(QDialog::Accepted));
    // A maker's number that differs shows "Not Available"; the device is offered all the same.
    QCOMPARE(seen.strMessage, QStringLiteral("SIMA\tTARVEX\tNot Available"));
    QVERIFY(seen.bConnect && !seen.bLook);
    QCOMPARE(dialog.m_SerialNumbers, (QStringList{"SIMA", "SIMB"}));
    QCOMPARE(dialog.m_Manufacturers, (QStringList{"Not Available", "Vexlor, Inc"}));
    // Opened at 38400 baud: 3000000 / 38400, rounded.
    QCOMPARE(pFirst->GetSettings().nDivisor, uint16_t(78));
    QCOMPARE(pSecond->GetSettings().nDivisor, uint16_t(0));
    QVERIFY(prompts.Problems().isEmpty());
  }

  void searchAfterUnplugAndAfterReplug() {
    auto pReceiver = Receiver("TVX10417");
    m_pSim->AddReceiver(pReceiver);
    CConnectionDialog dialog;
    dialog.show();
    QCOMPARE(Seen(dialog).strMessage, QStringLiteral("TVX10417\tTARVEX\tVexlor, Inc"));
    dialog.hide();

    pReceiver->Unplug();
    dialog.show();
    _seen seen = Seen(dialog);
    QCOMPARE(seen.strMessage, NO_DEVICES);
    QVERIFY(!seen.bConnect && seen.bLook);
    QVERIFY(dialog.m_SerialNumbers.isEmpty());

    pReceiver->Replug();
    Click(dialog, IDC_LOOK_FOR_DEVICES);
    seen = Seen(dialog);
    QCOMPARE(seen.strMessage, QStringLiteral("TVX10417\tTARVEX\tVexlor, Inc"));
    QVERIFY(seen.bConnect && !seen.bLook);
  }

  void failedOpenKeepsTheDialogOpenAndItsState() {
    auto pReceiver = Receiver("TVX10417");
    m_pSim->AddReceiver(pReceiver);
    CConnectionDialog dialog;
    dialog.show();
    // Another program holds the port.
    std::unique_ptr<CD2xxDevice> pHeld;
    QCOMPARE(pReceiver->OpenPort(pHeld), FT_OK);
    Click(dialog, IDOK);
    QVERIFY(dialog.isVisible());
    const _seen seen = Seen(dialog);
    QCOMPARE(seen.strMessage, QStringLiteral("USB Port Could not be Opened !"));
    QVERIFY(seen.bConnect && !seen.bLook);
    // Once the port is free, Connect ! can be pressed again.
    pHeld->Close();
    pHeld.reset();
    Click(dialog, IDOK);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  }

  void uncountableDevicesAreReportedThroughTheSeam() {
    D2xxEnableBackend(std::make_shared<CUncountableBackend>());
    m_pSim->AddReceiver(Receiver("TVX10417"));
    CScriptedPrompts prompts;
    prompts.AnswerMessage(PROMPT_ANSWER_OK, QStringLiteral("No Glintwing USB Devices Found"));
    CConnectionDialog dialog;
    dialog.show();
    QVERIFY2(prompts.Problems().isEmpty(), qPrintable(prompts.Problems().join('\n')));
    QCOMPARE(prompts.Shown().size(), 1);
    QCOMPARE(prompts.Shown().front().message.strCaption, QStringLiteral("No Devices"));
    const _seen seen = Seen(dialog);
    QCOMPARE(seen.strMessage, NO_DEVICES);
    QVERIFY(!seen.bConnect && seen.bLook);
  }

  void closingOpensNothingAndTheLinkGoesWithTheDialog() {
    auto pReceiver = Receiver("TVX10417");
    m_pSim->AddReceiver(pReceiver);
    CScriptedPrompts prompts;
    prompts.AnswerModal([](QDialog &dialog) {
      dialog.close();
      return dialog.result();
    });
    {
      CConnectionDialog dialog;
      QCOMPARE(dialog.DoModal(), int(QDialog::Rejected));
      QCOMPARE(pReceiver->GetSettings().nDivisor, uint16_t(0));
      dialog.show();
      Click(dialog, IDOK);
      QCOMPARE(pReceiver->GetSettings().nDivisor, uint16_t(78));
    }
    // The device was closed as the dialog went: another open succeeds.
    std::unique_ptr<CD2xxDevice> pPort;
    QCOMPARE(pReceiver->OpenPort(pPort), FT_OK);
    pPort->Close();
  }

  void aDialogNeverShownGoesAtOnce() {
    QElapsedTimer timer;
    timer.start();
    { CConnectionDialog dialog; }
    // No worker ran: nothing to close, and no wait for an answer that cannot come (5 s).
    QVERIFY(timer.elapsed() < 2000);
  }

  void terminationAnswers_data() {
    QTest::addColumn<int>("action"); // 0 press Terminate, 1 press Cancel, 2 close box, 3 Enter, 4 Escape
    QTest::addColumn<int>("result");
    QTest::newRow("terminate") << 0 << int(QDialog::Accepted);
    QTest::newRow("cancel") << 1 << int(QDialog::Rejected);
    QTest::newRow("close box") << 2 << int(QDialog::Rejected);
    QTest::newRow("enter presses the default") << 3 << int(QDialog::Accepted);
    QTest::newRow("escape") << 4 << int(QDialog::Rejected);
  }

  void terminationAnswers() {
    QFETCH(int, action);
    QFETCH(int, result);
    CScriptedPrompts prompts;
    prompts.AnswerModal([action](QDialog &shown) {
      auto &dialog = static_cast<CDialogBase &>(shown);
      switch (action) {
      case 0:
        Click(dialog, IDOK);
        break;
      case 1:
        Click(dialog, IDCANCEL);
        break;
      case 2:
        dialog.close();
        break;
      default:
        QTest::keyClick(&dialog, action == 3 ? Qt::Key_Return : Qt::Key_Escape);
        break;
      }
      return dialog.result();
    });
    CConnectionTerminationDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Terminate Connection ?"));
    QCOMPARE(dialog.DoModal(), result);
  }
};

QTEST_MAIN(CConnectionDialogsTest)
#include "ConnectionDialogsTest.moc"
