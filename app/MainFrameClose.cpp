#include "app/MainFrame.h"

#include "app/RescueNote.h"
#include "app/SafeExit.h"
#include "app/TarvexCollectorView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QShowEvent>
#include <QTimer>

namespace {

// CloseUnattended tries again this often, while a prompt is open or the close steps run, and
// at most this many times before it closes all the same.
constexpr int RETRY_MS = 10;
constexpr int MAX_ATTEMPTS = 100;

} // namespace

void CMainFrame::closeEvent(QCloseEvent *pEvent) {
  if (m_bInClose) {
    pEvent->ignore(); // a close asked for while the close steps ask the operator something
    return;
  }
  m_bInClose = true;
  CSafeExit safeExit(m_pView->Session(), this);
  const bool bClose = safeExit.MayClose(m_bUnattendedClose ? CSafeExit::unattended : CSafeExit::askOperator);
  m_bInClose = false;
  if (!bClose) {
    pEvent->ignore();
    return;
  }
  QMainWindow::closeEvent(pEvent);
}

// A modal prompt runs a command's event loop of its own: it is ended (as Cancel or its Escape
// button), the command goes on to its end, and the close comes once no prompt is open and no
// close steps are under way.
void CMainFrame::CloseUnattended() {
  m_bUnattendedClose = true;
  QWidget *pModal = QApplication::activeModalWidget();
  if ((pModal != nullptr || m_bInClose) && m_nCloseAttempts < MAX_ATTEMPTS) {
    ++m_nCloseAttempts;
    if (auto *pDialog = qobject_cast<QDialog *>(pModal)) {
      pDialog->reject();
    } else if (pModal != nullptr) {
      pModal->close();
    }
    QTimer::singleShot(RETRY_MS, this, &CMainFrame::CloseUnattended);
    return;
  }
  close();
}

void CMainFrame::showEvent(QShowEvent *pEvent) {
  QMainWindow::showEvent(pEvent);
  if (!m_bShown) {
    m_bShown = true;
    // Once the window is on the screen, over it.
    QTimer::singleShot(0, this, [this] { ShowRescueNote(this); });
  }
}
