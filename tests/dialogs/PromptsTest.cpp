// The prompt seam: the Qt prompts show exactly the text, caption and buttons asked for and report
// the button pressed; the scripted prompts used by every window test notice a script gone wrong.
#include "dialogs/Prompts.h"
#include "tests/support/ScriptedPrompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

// Once the next modal message box is up, records what it shows and presses the button labelled
// strPress.
struct _boxseen {
  QString strText;
  QString strCaption;
  QStringList buttons;
};

void PressWhenShown(_boxseen &seen, const QString &strPress) {
  QTimer::singleShot(0, [&seen, strPress] {
    auto *pBox = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (pBox == nullptr) {
      return;
    }
    seen.strText = pBox->text();
    seen.strCaption = pBox->windowTitle();
    QAbstractButton *pPress = nullptr;
    for (QAbstractButton *pButton : pBox->buttons()) {
      seen.buttons.append(pButton->text().remove(QLatin1Char('&')));
      if (pButton->text().remove(QLatin1Char('&')) == strPress) {
        pPress = pButton;
      }
    }
    seen.buttons.sort();
    if (pPress != nullptr) {
      pPress->click();
    }
  });
}

} // namespace

class CPromptsTest : public QObject {
  Q_OBJECT

private slots:
  void qtMessageShowsTextAndReportsButton_data() {
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("press");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<int>("answer");
    QTest::newRow("ok") << int(PROMPT_OK) << "OK" << QStringList{"OK"} << int(PROMPT_ANSWER_OK);
    QTest::newRow("yes") << int(PROMPT_YESNO) << "Yes" << QStringList{"No", "Yes"} << int(PROMPT_ANSWER_YES);
    QTest::newRow("no") << int(PROMPT_YESNO) << "No" << QStringList{"No", "Yes"} << int(PROMPT_ANSWER_NO);
    QTest::newRow("retry") << int(PROMPT_RETRYCANCEL) << "Retry" << QStringList{"Cancel", "Retry"}
                           << int(PROMPT_ANSWER_RETRY);
    QTest::newRow("cancel") << int(PROMPT_OKCANCEL) << "Cancel" << QStringList{"Cancel", "OK"}
                            << int(PROMPT_ANSWER_CANCEL);
  }

  void qtMessageShowsTextAndReportsButton() {
    QFETCH(int, buttons);
    QFETCH(QString, press);
    QFETCH(QStringList, labels);
    QFETCH(int, answer);
    // Line breaks, double blanks and inner quotes reach the box as they stand.
    const QString strText = QStringLiteral("Stop Point for the segment has not been set.\n  Please set \"it\"");
    _boxseen seen;
    PressWhenShown(seen, press);
    CQtPrompts prompts;
    const int nAnswer =
        prompts.Message(nullptr, {strText, QStringLiteral("Tarvex Collector"), PromptButtons(buttons), {}, {}});
    QCOMPARE(seen.strText, strText);
    QCOMPARE(seen.strCaption, QStringLiteral("Tarvex Collector"));
    QCOMPARE(seen.buttons, labels);
    QCOMPARE(nAnswer, answer);
  }

  void qtMessageWithOwnButtonsAnswersTheirIndex() {
    _boxseen seen;
    PressWhenShown(seen, QStringLiteral("Save a copy as..."));
    CQtPrompts prompts;
    const int nAnswer = prompts.Message(
        nullptr, {QStringLiteral("text"), QStringLiteral("caption"), PROMPT_OK, PROMPT_ICON_WARNING,
                  QStringList{QStringLiteral("Retry"), QStringLiteral("Save a copy as..."), QStringLiteral("Cancel")}});
    QCOMPARE(nAnswer, PROMPT_ANSWER_CUSTOM + 1);
  }

  void scriptedPromptsAnswerInOrderAndRecord() {
    CScriptedPrompts prompts;
    prompts.AnswerMessage(PROMPT_ANSWER_YES, QStringLiteral("Do you wish to open an existing data file?"));
    prompts.AnswerFile(QStringLiteral("/tmp/Data.tvd"));
    prompts.AnswerModal(QDialog::Accepted);
    QCOMPARE(PromptMessage(nullptr, QStringLiteral("Do you wish to open an existing data file?"),
                           QStringLiteral("Tarvex Collector"), PROMPT_YESNO),
             int(PROMPT_ANSWER_YES));
    QCOMPARE(PromptFile(nullptr, {}), QStringLiteral("/tmp/Data.tvd"));
    QDialog dialog;
    QCOMPARE(PromptModal(dialog), int(QDialog::Accepted));
    QVERIFY2(prompts.Problems().isEmpty(), qPrintable(prompts.Problems().join('\n')));
    QCOMPARE(prompts.Shown().size(), 3);
    QCOMPARE(prompts.Unused(), 0);
  }

  void scriptedPromptsReportAScriptGoneWrong() {
    CScriptedPrompts prompts;
    prompts.AnswerFile(QStringLiteral("/tmp/x"));
    prompts.AnswerMessage(PROMPT_ANSWER_OK, QStringLiteral("expected"));
    // A message box where a file dialog was scripted: answered as Cancel, and a problem.
    QCOMPARE(PromptMessage(nullptr, QStringLiteral("a"), QStringLiteral("b"), PROMPT_YESNO), int(PROMPT_ANSWER_CANCEL));
    // A message box whose text differs from the one scripted.
    PromptMessage(nullptr, QStringLiteral("other"), QStringLiteral("b"));
    // A prompt with nothing scripted.
    QVERIFY(PromptFile(nullptr, {}).isEmpty());
    QCOMPARE(prompts.Problems().size(), 3);
  }

  void scriptedModalIsPlayedOnTheDialog() {
    CScriptedPrompts prompts;
    prompts.AnswerModal([](QDialog &dialog) {
      dialog.accept();
      return dialog.result();
    });
    QDialog dialog;
    QCOMPARE(PromptModal(dialog), int(QDialog::Accepted));
    QCOMPARE(prompts.Shown().front().strDialog, QStringLiteral("QDialog"));
    QVERIFY(!dialog.isVisible());
  }
};

QTEST_MAIN(CPromptsTest)
#include "PromptsTest.moc"
