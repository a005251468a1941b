#pragma once

#include "dialogs/Prompts.h"

#include <QString>

// The prompts of --folder: every file dialog that names no folder of its own opens in the start
// folder until the operator has chosen a file in one of them, and from then on in the folder of
// the file chosen last. Everything else is passed on to the prompts given, unchanged.
class CStartFolderPrompts : public CPrompts {
public:
  CStartFolderPrompts(QString strFolder, CPrompts &inner);

  int Message(QWidget *pParent, const _messageprompt &prompt) override;
  QString File(QWidget *pParent, const _fileprompt &prompt) override;
  int Modal(QDialog &dialog) override;

  // The folder the next file dialog without one of its own opens in.
  const QString &Folder() const { return m_strFolder; }

private:
  QString m_strFolder;
  CPrompts &m_inner;
};
