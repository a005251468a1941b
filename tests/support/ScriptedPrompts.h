#pragma once

#include "dialogs/Prompts.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

// One prompt the program showed.
struct _shownprompt {
  enum Kind { kindMessage, kindFile, kindModal };
  Kind nKind = kindMessage;
  _messageprompt message; // for a message box
  _fileprompt file;       // for a file dialog
  QString strDialog;      // for a modal dialog: its class name
};

// Plays the operator in tests: installs itself as the program's prompts, answers each prompt with
// the next answer scripted, and records everything shown. A prompt that finds no answer waiting,
// or an answer of another kind, is a problem (see Problems) and is answered as Cancel.
class CScriptedPrompts : public CPrompts {
public:
  using PlayDialog = std::function<int(QDialog &)>;

  CScriptedPrompts();
  ~CScriptedPrompts() override;
  CScriptedPrompts(const CScriptedPrompts &) = delete;
  CScriptedPrompts &operator=(const CScriptedPrompts &) = delete;

  // The next message box is answered with nAnswer (a PromptAnswer). When strText is given, the box
  // must show exactly that text, or the difference is a problem.
  void AnswerMessage(int nAnswer, const QString &strText = {});
  // The next file dialog returns strPath; an empty path cancels it.
  void AnswerFile(const QString &strPath);
  // The next modal dialog is shown and played by fnPlay, whose result is the dialog's.
  void AnswerModal(PlayDialog fnPlay);
  // The next modal dialog ends with nResult without being touched.
  void AnswerModal(int nResult);

  const QList<_shownprompt> &Shown() const { return m_shown; }
  // Texts of the message boxes shown, in order.
  QStringList MessageTexts() const;
  // What went differently from the script; empty when everything was as scripted.
  QStringList Problems() const { return m_problems; }
  // Answers scripted but never asked for.
  int Unused() const { return static_cast<int>(m_answers.size()); }
  void Clear();

  int Message(QWidget *pParent, const _messageprompt &prompt) override;
  QString File(QWidget *pParent, const _fileprompt &prompt) override;
  int Modal(QDialog &dialog) override;

private:
  struct _answer {
    _shownprompt::Kind nKind = _shownprompt::kindMessage;
    int nResult = 0;
    QString strText;
    PlayDialog fnPlay;
  };
  // Takes the next answer if it is of the kind asked; otherwise records the problem.
  bool Take(_shownprompt::Kind nKind, const QString &strWhat, _answer &answer);

  std::deque<_answer> m_answers;
  QList<_shownprompt> m_shown;
  QStringList m_problems;
};
