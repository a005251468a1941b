#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QDialog;
class QWidget;

// The program's title: the main window's, and the caption of every message box without a caption
// of its own.
constexpr const char *APP_TITLE = "Tarvex Collector";

// Button sets of a message box.
enum PromptButtons {
  PROMPT_OK,
  PROMPT_OKCANCEL,
  PROMPT_YESNO,
  PROMPT_YESNOCANCEL,
  PROMPT_RETRYCANCEL,
};

// What the operator answered. A message box with buttons of its own answers with the index of the
// button pressed, counted from PROMPT_ANSWER_CUSTOM.
enum PromptAnswer {
  PROMPT_ANSWER_OK = 1,
  PROMPT_ANSWER_CANCEL = 2,
  PROMPT_ANSWER_RETRY = 4,
  PROMPT_ANSWER_YES = 6,
  PROMPT_ANSWER_NO = 7,
  PROMPT_ANSWER_CUSTOM = 100,
};

enum PromptIcon {
  PROMPT_ICON_NONE,
  PROMPT_ICON_INFORMATION,
  PROMPT_ICON_QUESTION,
  PROMPT_ICON_WARNING,
  PROMPT_ICON_CRITICAL,
};

// One message box: its text and caption exactly as the operator reads them.
struct _messageprompt {
  QString strText;
  QString strCaption;
  PromptButtons nButtons = PROMPT_OK;
  PromptIcon nIcon = PROMPT_ICON_NONE;
  // When not empty, these buttons replace nButtons, in this order; the first is the default and
  // the last answers Escape.
  QStringList customButtons;
};

// One file dialog.
struct _fileprompt {
  enum Kind { open, save };
  Kind nKind = open;
  QString strCaption;
  QString strFolder;        // the folder it opens in; empty for the last one used
  QString strFileName;      // the name offered
  QString strDefaultSuffix; // added to a name typed without one, e.g. "tvd"
  QStringList filters;      // e.g. "Linear Projection Files (*.lpf)", in order
  QString strFilter;        // the one of filters selected when the dialog opens; empty: the first
  bool bConfirmOverwrite = false;
};

// The one way the program asks the operator anything: every message box, file dialog and modal
// dialog run goes through the prompts installed here. The program installs nothing and gets the
// Qt implementation; tests install a scripted one and play the operator.
class CPrompts {
public:
  virtual ~CPrompts() = default;

  // Shows a message box; returns a PromptAnswer.
  virtual int Message(QWidget *pParent, const _messageprompt &prompt) = 0;
  // Shows a file dialog; returns the chosen absolute path, or an empty string when cancelled.
  virtual QString File(QWidget *pParent, const _fileprompt &prompt) = 0;
  // Runs a dialog modally; returns QDialog::Accepted or QDialog::Rejected.
  virtual int Modal(QDialog &dialog) = 0;

  // The prompts in force. Install(nullptr) puts the Qt implementation back.
  static CPrompts &Current();
  static void Install(CPrompts *pPrompts);
};

// Shortcuts through the prompts in force.
int PromptMessage(QWidget *pParent, const QString &strText, const QString &strCaption,
                  PromptButtons nButtons = PROMPT_OK, PromptIcon nIcon = PROMPT_ICON_NONE);
QString PromptFile(QWidget *pParent, const _fileprompt &prompt);
int PromptModal(QDialog &dialog);

// The real prompts: QMessageBox, QFileDialog and QDialog::exec.
class CQtPrompts : public CPrompts {
public:
  int Message(QWidget *pParent, const _messageprompt &prompt) override;
  QString File(QWidget *pParent, const _fileprompt &prompt) override;
  int Modal(QDialog &dialog) override;
};
