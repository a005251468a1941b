// The files the frame opens by name: the recent-file list, files dropped on the window, and
// (through the application) the file named on the command line.
#include "app/MainFrame.h"

#include "app/AppIdentity.h"
#include "app/CommandIds.h"
#include "app/FileKinds.h"
#include "app/TarvexCollectorView.h"
#include "dialogs/NewProjectionFromImage.h"
#include "dialogs/Prompts.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

namespace {

const char *const TEXT_NOT_FOUND = "%1 could not be found.";
// The recent-file list's place in the File menu while it is empty.
const char *const TEXT_NO_RECENT_FILE = "Recent File";

// The local files of a drag, in order: those of a kind the collector opens, and folders, pipes
// and devices, which are told why they cannot be opened.
QStringList OpenableFiles(const QMimeData *pMime) {
  QStringList files;
  if (pMime == nullptr) {
    return files;
  }
  for (const QUrl &url : pMime->urls()) {
    if (url.isLocalFile() &&
        (FileKindOf(url.toLocalFile()) != FILE_KIND_NONE || !NotAFileRefusal(url.toLocalFile()).isEmpty())) {
      files.append(url.toLocalFile());
    }
  }
  return files;
}

} // namespace

bool CMainFrame::OpenFileByKind(const QString &strPath) {
  const FileKind nKind = FileKindOf(strPath);
  QString strRefusal = NotAFileRefusal(strPath); // a folder or a pipe is no file, whatever it is called
  if (strRefusal.isEmpty() && nKind == FILE_KIND_NONE) {
    strRefusal = FileKindRefusal(strPath);
  } else if (strRefusal.isEmpty() && !QFileInfo(strPath).isFile()) {
    strRefusal = QString::fromUtf8(TEXT_NOT_FOUND).arg(QDir::toNativeSeparators(strPath));
  }
  if (!strRefusal.isEmpty()) {
    PromptMessage(this, strRefusal, QString::fromUtf8(APP_TITLE), PROMPT_OK, PROMPT_ICON_WARNING);
    return false;
  }
  emit FileOpenRequested(nKind, strPath);
  return true;
}

// Disabled during a walk, as Open Projection is.
void CMainFrame::OnNewProjectionFromImage() {
  if (m_pView->IsWalkInProgress()) {
    return;
  }
  const QString strSaved = NewProjectionFromImage(this);
  if (!strSaved.isEmpty()) {
    OpenFileByKind(strSaved);
  }
}

void CMainFrame::AddRecentFile(const QString &strPath) {
  m_RecentFiles.Add(strPath);
  UpdateRecentFileMenu();
}

// An entry that can no longer be opened leaves the list.
void CMainFrame::OpenRecentFile(int nIndex) {
  const QString strPath = m_RecentFiles.Files().value(nIndex);
  if (strPath.isEmpty()) {
    return;
  }
  if (!OpenFileByKind(strPath)) {
    m_RecentFiles.Remove(nIndex);
    UpdateRecentFileMenu();
  }
}

// Entries "&1 path" to "&4 path", newest first; a disabled "Recent File" while there is none.
// Only the entries shown are in the menu, so that screen readers find no hidden ones.
void CMainFrame::UpdateRecentFileMenu() {
  const QStringList &files = m_RecentFiles.Files();
  QList<QAction *> shown;
  for (int i = 0; i < CRecentFileList::RECENT_FILE_COUNT; ++i) {
    QAction *pAction = Action(ID_FILE_RECENT1 + i);
    m_pRecentMenu->removeAction(pAction);
    if (i < files.size()) {
      QString strShown = QDir::toNativeSeparators(files.at(i));
      strShown.replace(QLatin1Char('&'), QLatin1String("&&"));
      pAction->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(strShown));
      pAction->setEnabled(true);
      shown.append(pAction);
    } else if (i == 0) {
      pAction->setText(QString::fromUtf8(TEXT_NO_RECENT_FILE));
      pAction->setEnabled(false);
      shown.append(pAction);
    }
  }
  m_pRecentMenu->insertActions(m_pRecentMenu->actions().value(m_nRecentIndex), shown);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent *pEvent) {
  if (!OpenableFiles(pEvent->mimeData()).isEmpty()) {
    pEvent->acceptProposedAction();
  }
}

// The files are opened after the drop has ended, one after the other, so that the dialogs their
// opening shows do not hold up the program they were dragged from.
void CMainFrame::dropEvent(QDropEvent *pEvent) {
  const QStringList files = OpenableFiles(pEvent->mimeData());
  if (files.isEmpty()) {
    return;
  }
  pEvent->acceptProposedAction();
  for (const QString &strPath : files) {
    QMetaObject::invokeMethod(
        this, [this, strPath] { OpenFileByKind(strPath); }, Qt::QueuedConnection);
  }
}
