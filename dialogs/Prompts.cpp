#include "dialogs/Prompts.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

CPrompts *g_pInstalled = nullptr;

QMessageBox::StandardButtons StandardButtons(PromptButtons nButtons) {
  switch (nButtons) {
  case PROMPT_OKCANCEL:
    return QMessageBox::Ok | QMessageBox::Cancel;
  case PROMPT_YESNO:
    return QMessageBox::Yes | QMessageBox::No;
  case PROMPT_YESNOCANCEL:
    return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  case PROMPT_RETRYCANCEL:
    return QMessageBox::Retry | QMessageBox::Cancel;
  case PROMPT_OK:
    break;
  }
  return QMessageBox::Ok;
}

int AnswerOf(int nButton) {
  switch (nButton) {
  case QMessageBox::Cancel:
    return PROMPT_ANSWER_CANCEL;
  case QMessageBox::Yes:
    return PROMPT_ANSWER_YES;
  case QMessageBox::No:
    return PROMPT_ANSWER_NO;
  case QMessageBox::Retry:
    return PROMPT_ANSWER_RETRY;
  default:
    return PROMPT_ANSWER_OK;
  }
}

QMessageBox::Icon IconOf(PromptIcon nIcon) {
  switch (nIcon) {
  case PROMPT_ICON_INFORMATION:
    return QMessageBox::Information;
  case PROMPT_ICON_QUESTION:
    return QMessageBox::Question;
  case PROMPT_ICON_WARNING:
    return QMessageBox::Warning;
  case PROMPT_ICON_CRITICAL:
    return QMessageBox::Critical;
  case PROMPT_ICON_NONE:
    break;
  }
  return QMessageBox::NoIcon;
}

} // namespace

CPrompts &CPrompts::Current() {
  static CQtPrompts qtPrompts;
  return g_pInstalled != nullptr ? *g_pInstalled : qtPrompts;
}

void CPrompts::Install(CPrompts *pPrompts) { g_pInstalled = pPrompts; }

int PromptMessage(QWidget *pParent, const QString &strText, const QString &strCaption, PromptButtons nButtons,
                  PromptIcon nIcon) {
  return CPrompts::Current().Message(pParent, {strText, strCaption, nButtons, nIcon, {}});
}

QString PromptFile(QWidget *pParent, const _fileprompt &prompt) { return CPrompts::Current().File(pParent, prompt); }

int PromptModal(QDialog &dialog) { return CPrompts::Current().Modal(dialog); }

int CQtPrompts::Message(QWidget *pParent, const _messageprompt &prompt) {
  QMessageBox box(IconOf(prompt.nIcon), prompt.strCaption, prompt.strText, QMessageBox::NoButton, pParent);
  box.setTextFormat(Qt::PlainText);
  if (prompt.customButtons.isEmpty()) {
    box.setStandardButtons(StandardButtons(prompt.nButtons));
    return AnswerOf(box.exec());
  }
  QList<QPushButton *> buttons;
  for (const QString &strLabel : prompt.customButtons) {
    buttons.append(box.addButton(strLabel, QMessageBox::AcceptRole));
  }
  box.setDefaultButton(buttons.front());
  box.setEscapeButton(buttons.back());
  box.exec();
  const auto nIndex = buttons.indexOf(qobject_cast<QPushButton *>(box.clickedButton()));
  return PROMPT_ANSWER_CUSTOM + static_cast<int>(nIndex < 0 ? buttons.size() - 1 : nIndex);
}

QString CQtPrompts::File(QWidget *pParent, const _fileprompt &prompt) {
  QFileDialog dialog(pParent, prompt.strCaption, prompt.strFolder);
  dialog.setAcceptMode(prompt.nKind == _fileprompt::save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(prompt.nKind == _fileprompt::save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(prompt.filters);
  if (!prompt.strFilter.isEmpty()) {
    dialog.selectNameFilter(prompt.strFilter);
  }
  dialog.setDefaultSuffix(prompt.strDefaultSuffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !prompt.bConfirmOverwrite);
  if (!prompt.strFileName.isEmpty()) {
    dialog.selectFile(prompt.strFileName);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return {};
  }
  return dialog.selectedFiles().front();
}

int CQtPrompts::Modal(QDialog &dialog) { return dialog.exec(); }
