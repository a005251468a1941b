// The receiver information panel, the channel choice and the help pages, driven by their
// control numbers with the operator scripted.
#include "dialogs/HelpDialog.h"
#include "dialogs/IntroDialog.h"
#include "dialogs/PictureLabel.h"
#include "dialogs/WarningDialog.h"
#include "survey/CollectionRun.h"
#include "tests/support/ScriptedPrompts.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QtTest>

#include <vector>

namespace {

void Click(CDialogBase &dialog, int nId) {
  auto *pButton = dialog.GetDlgItemAs<QAbstractButton>(nId);
  QVERIFY2(pButton != nullptr, qPrintable(QStringLiteral("no button %1").arg(nId)));
  QTest::mouseClick(pButton, Qt::LeftButton);
}

void PutU32(std::vector<uint8_t> &payload, uint32_t n) {
  for (int i = 0; i < 4; ++i) {
    payload.push_back(static_cast<uint8_t>(n >> (8 * i)));
  }
}

// A receiver description: presence, then both receivers' ranges and steps.
std::vector<uint8_t> Description(uint8_t nPresence, uint32_t nMin2, uint32_t nMax2) {
  std::vector<uint8_t> payload{MSG_RECEIVER_INFO, nPresence};
  PutU32(payload, 32000);
  PutU32(payload, 37600);
  PutU32(payload, 3200); // step 12.5 kHz, spare 0
  PutU32(payload, nMin2);
  PutU32(payload, nMax2);
  PutU32(payload, 6400); // step 25 kHz
  return payload;
}

} // namespace

class CGuidanceDialogsTest : public QObject {
  Q_OBJECT

private slots:
  void introPanelShowsInitialTextsAndOkOnlyHidesIt() {
    QWidget parent;
    CIntroDialog dialog(&parent);
    QVERIFY(!dialog.isVisible());
    QVERIFY(dialog.windowTitle().isEmpty());
    for (const int nId : {IDC_RECEIVER1_INSTALLED, IDC_RECEIVER2_INSTALLED}) {
      QCOMPARE(dialog.GetDlgItemText(nId), QStringLiteral("Not Installed"));
    }
    for (const int nId : {IDC_SERIAL_NUMBER, IDC_RECEIVER1_MIN, IDC_RECEIVER1_MAX, IDC_RECEIVER1_STEP,
                          IDC_RECEIVER2_MIN, IDC_RECEIVER2_MAX, IDC_RECEIVER2_STEP}) {
      QCOMPARE(dialog.GetDlgItemText(nId), QStringLiteral("Not Available"));
    }
    dialog.SetDlgItemText(IDC_COLLECTION_FILE, QStringLiteral("/data/Data.tvd"));
    dialog.SetDlgItemText(IDC_PROJECTION_FILE, QStringLiteral("/plans/office.gpf"));
    dialog.show();
    Click(dialog, IDOK);
    QVERIFY(!dialog.isVisible());
    dialog.show();
    QCOMPARE(dialog.m_editCollectionFile->text(), QStringLiteral("/data/Data.tvd"));
    QCOMPARE(dialog.m_editProjectionFile->toPlainText(), QStringLiteral("/plans/office.gpf"));
  }

  void descriptionWithoutReceiver2TouchesOnly1009() {
    CIntroDialog dialog;
    _collectioncallbacks callbacks;
    callbacks.pfnShowReceiverInfo = [&dialog] { dialog.show(); };
    callbacks.pfnSetInfoItem = [&dialog](int nItem, const std::string &strText) {
      dialog.SetDlgItemText(nItem, QString::fromStdString(strText));
    };
    CCollectionRun run(callbacks);
    const auto both = Description(0x03, 16000, 24000);
    run.OnReceiverPacket(both.data(), static_cast<uint32_t>(both.size()));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.GetDlgItemText(IDC_RECEIVER2_INSTALLED), QStringLiteral("Installed"));
    QCOMPARE(dialog.GetDlgItemText(IDC_RECEIVER2_MIN), QStringLiteral("400.0000 MHz"));
    QCOMPARE(dialog.GetDlgItemText(IDC_RECEIVER2_MAX), QStringLiteral("600.0000 MHz"));
    QCOMPARE(dialog.GetDlgItemText(IDC_RECEIVER2_STEP), QStringLiteral("25.0000 KHz"));

    const auto first = Description(0x01, 0, 0);
    run.OnReceiverPacket(first.data(), static_cast<uint32_t>(first.size()));
    QCOMPARE(dialog.GetDlgItemText(IDC_RECEIVER2_INSTALLED), QStringLiteral("Not Installed"));
    QCOMPARE(dialog.GetDlgItemText(IDC_RECEIVER2_MIN), QStringLiteral("400.0000 MHz"));
    QCOMPARE(dialog.GetDlgItemText(IDC_RECEIVER2_MAX), QStringLiteral("600.0000 MHz"));
    QCOMPARE(dialog.GetDlgItemText(IDC_RECEIVER2_STEP), QStringLiteral("25.0000 KHz"));
    QCOMPARE(dialog.GetDlgItemText(IDC_RECEIVER1_INSTALLED), QStringLiteral("Installed"));
  }

  void channelChoiceRefusesOkWithoutAChoice_data() {
    QTest::addColumn<int>("radio");
    QTest::addColumn<int>("channels");
    QTest::newRow("one channel") << IDC_ONE_CHANNEL << 1;
    QTest::newRow("two channels") << IDC_TWO_CHANNELS << 2;
  }

  void channelChoiceRefusesOkWithoutAChoice() {
    QFETCH(int, radio);
    QFETCH(int, channels);
    CScriptedPrompts prompts;
    const QString strRefusal = QStringLiteral("Select \"1 Channel\" OR \"2 Channels\" for the Walk study");
    prompts.AnswerModal([&](QDialog &shown) {
      auto &dialog = static_cast<CWarningDialog &>(shown);
      // Neither button is checked at open, and OK is refused while so.
      [&] {
        QVERIFY(!dialog.IsDlgButtonChecked(IDC_ONE_CHANNEL) && !dialog.IsDlgButtonChecked(IDC_TWO_CHANNELS));
        Click(dialog, IDOK);
        QVERIFY(dialog.isVisible());
      }();
      Click(dialog, radio);
      Click(dialog, IDOK);
      return dialog.result();
    });
    prompts.AnswerMessage(PROMPT_ANSWER_OK, strRefusal);
    CWarningDialog dialog;
    QCOMPARE(dialog.m_nChannels, 2);
    QCOMPARE(dialog.DoModal(), int(QDialog::Accepted));
    QCOMPARE(dialog.m_nChannels, channels);
    QVERIFY2(prompts.Problems().isEmpty(), qPrintable(prompts.Problems().join('\n')));
    QCOMPARE(prompts.MessageTexts(), QStringList{strRefusal});
    QCOMPARE(prompts.Shown().at(1).message.strCaption, QStringLiteral("Select Channels"));
    QCOMPARE(prompts.Unused(), 0);
  }

  void channelChoiceEscapeCancelsAndHasNoCloseBox() {
    CScriptedPrompts prompts;
    prompts.AnswerModal([](QDialog &dialog) {
      QTest::mouseClick(static_cast<CWarningDialog &>(dialog).m_btnOneChannel, Qt::LeftButton);
      QTest::keyClick(&dialog, Qt::Key_Escape);
      return dialog.result();
    });
    CWarningDialog dialog;
    QCOMPARE(dialog.DoModal(), int(QDialog::Rejected));
    QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("IMPORTANT: Please read !"));
  }

  void helpPagesWrapBothWaysAndEveryRunStartsAtTheFirst() {
    const int order[] = {164, 165, 168, 167, 166, 169};
    CScriptedPrompts prompts;
    QList<int> shown;
    prompts.AnswerModal([&](QDialog &dialog) {
      auto &help = static_cast<CHelpDialog &>(dialog);
      shown.append(help.ShownBitmap());
      for (int i = 0; i < 6; ++i) {
        Click(help, IDC_HELP_NEXT);
        shown.append(help.ShownBitmap());
      }
      Click(help, IDC_HELP_PREVIOUS); // from the first page back to the sixth
      shown.append(help.ShownBitmap());
      Click(help, IDC_HELP_PREVIOUS);
      shown.append(help.ShownBitmap());
      help.close();
      return help.result();
    });
    prompts.AnswerModal([&](QDialog &dialog) {
      auto &help = static_cast<CHelpDialog &>(dialog);
      shown.append(help.m_nPage);
      QTest::keyClick(&help, Qt::Key_Escape);
      return help.result();
    });
    CHelpDialog dialog;
    QCOMPARE(dialog.DoModal(), int(QDialog::Rejected));
    QCOMPARE(shown,
             (QList<int>{order[0], order[1], order[2], order[3], order[4], order[5], order[0], order[5], order[4]}));
    QCOMPARE(dialog.m_nPage, 4);
    // The kept dialog opens again at page 0.
    QCOMPARE(dialog.DoModal(), int(QDialog::Rejected));
    QCOMPARE(shown.back(), 0);
    QCOMPARE(dialog.ShownBitmap(), order[0]);
    QCOMPARE(dialog.m_picture->PicturePath(), QStringLiteral(":/pictures/help/164.svg"));
    QVERIFY(prompts.Problems().isEmpty());
  }
};

QTEST_MAIN(CGuidanceDialogsTest)
#include "GuidanceDialogsTest.moc"
