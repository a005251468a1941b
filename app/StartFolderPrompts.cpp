#include "app/StartFolderPrompts.h"

#include <QFileInfo>

#include <utility>

CStartFolderPrompts::CStartFolderPrompts(QString strFolder, CPrompts &inner)
    : m_strFolder(std::move(strFolder)), m_inner(inner) {}

int CStartFolderPrompts::Message(QWidget *pParent, const _messageprompt &prompt) {
  return m_inner.Message(pParent, prompt);
}

QString CStartFolderPrompts::File(QWidget *pParent, const _fileprompt &prompt) {
  _fileprompt inFolder = prompt;
  if (inFolder.strFolder.isEmpty()) {
    inFolder.strFolder = m_strFolder;
  }
  QString strPath = m_inner.File(pParent, inFolder);
  if (!strPath.isEmpty()) {
    m_strFolder = QFileInfo(strPath).absolutePath();
  }
  return strPath;
}

int CStartFolderPrompts::Modal(QDialog &dialog) { return m_inner.Modal(dialog); }
