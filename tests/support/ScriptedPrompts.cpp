#include "tests/support/ScriptedPrompts.h"

#include <QDialog>

namespace {

const char *KindName(_shownprompt::Kind nKind) {
  switch (nKind) {
  case _shownprompt::kindFile:
    return "file dialog";
  case _shownprompt::kindModal:
    return "modal dialog";
  case _shownprompt::kindMessage:
    break;
  }
  return "message box";
}

} // namespace

CScriptedPrompts::CScriptedPrompts() { CPrompts::Install(this); }

CScriptedPrompts::~CScriptedPrompts() { CPrompts::Install(nullptr); }

void CScriptedPrompts::AnswerMessage(int nAnswer, const QString &strText) {
  m_answers.push_back({_shownprompt::kindMessage, nAnswer, strText, {}});
}

void CScriptedPrompts::AnswerFile(const QString &strPath) {
  m_answers.push_back({_shownprompt::kindFile, 0, strPath, {}});
}

void CScriptedPrompts::AnswerModal(PlayDialog fnPlay) {
  m_answers.push_back({_shownprompt::kindModal, QDialog::Rejected, {}, std::move(fnPlay)});
}

void CScriptedPrompts::AnswerModal(int nResult) { m_answers.push_back({_shownprompt::kindModal, nResult, {}, {}}); }

QStringList CScriptedPrompts::MessageTexts() const {
  QStringList texts;
  for (const auto &shown : m_shown) {
    if (shown.nKind == _shownprompt::kindMessage) {
      texts.append(shown.message.strText);
    }
  }
  return texts;
}

void CScriptedPrompts::Clear() {
  m_answers.clear();
  m_shown.clear();
  m_problems.clear();
}

bool CScriptedPrompts::Take(_shownprompt::Kind nKind, const QString &strWhat, _answer &answer) {
  if (m_answers.empty()) {
    m_problems.append(QStringLiteral("no answer scripted for the %1 %2").arg(KindName(nKind), strWhat));
    return false;
  }
  if (m_answers.front().nKind != nKind) {
    m_problems.append(QStringLiteral("a %1 %2 came where a %3 was scripted")
                          .arg(KindName(nKind), strWhat, KindName(m_answers.front().nKind)));
    m_answers.pop_front();
    return false;
  }
  answer = std::move(m_answers.front());
  m_answers.pop_front();
  return true;
}

int CScriptedPrompts::Message(QWidget *, const _messageprompt &prompt) {
  _shownprompt shown;
  shown.nKind = _shownprompt::kindMessage;
  shown.message = prompt;
  m_shown.append(shown);
  _answer answer;
  if (!Take(_shownprompt::kindMessage, QStringLiteral("\"%1\"").arg(prompt.strText), answer)) {
    return prompt.customButtons.isEmpty() ? PROMPT_ANSWER_CANCEL
                                          : PROMPT_ANSWER_CUSTOM + static_cast<int>(prompt.customButtons.size()) - 1;
  }
  if (!answer.strText.isNull() && answer.strText != prompt.strText) {
    m_problems.append(
        QStringLiteral("message box \"%1\" where \"%2\" was expected").arg(prompt.strText, answer.strText));
  }
  return answer.nResult;
}

QString CScriptedPrompts::File(QWidget *, const _fileprompt &prompt) {
  _shownprompt shown;
  shown.nKind = _shownprompt::kindFile;
  shown.file = prompt;
  m_shown.append(shown);
  _answer answer;
  if (!Take(_shownprompt::kindFile, QStringLiteral("\"%1\"").arg(prompt.strCaption), answer)) {
    return {};
  }
  return answer.strText;
}

int CScriptedPrompts::Modal(QDialog &dialog) {
  _shownprompt shown;
  shown.nKind = _shownprompt::kindModal;
  shown.strDialog = QString::fromLatin1(dialog.metaObject()->className());
  m_shown.append(shown);
  _answer answer;
  if (!Take(_shownprompt::kindModal, shown.strDialog, answer)) {
    return QDialog::Rejected;
  }
  if (!answer.fnPlay) {
    return answer.nResult;
  }
  dialog.setResult(QDialog::Rejected);
  dialog.show();
  const int nResult = answer.fnPlay(dialog);
  dialog.hide();
  return nResult;
}
