#include "app/Screenshots.h"

#include "app/MainFrame.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <functional>
#include <vector>

namespace {

const char *const MAIN_WINDOW_FILE = "main-window.png";
const char *const TEXT_NOT_WRITTEN = "%1 could not be written.";

// One dialog's picture: its file name, and how to show the dialog over the frame in a state that
// shows its content. The dialog is photographed as it is returned, then closed.
struct _dialogshot {
  const char *szFile = nullptr;
  std::function<QWidget *(CMainFrame &)> fnShow;
};

// Every dialog of the program, as each is built.
std::vector<_dialogshot> DialogShots() { return {}; }

QString Save(QWidget &window, const QString &strPath) {
  QCoreApplication::processEvents();
  if (!window.grab().save(strPath, "PNG")) {
    return QString::fromUtf8(TEXT_NOT_WRITTEN).arg(QDir::toNativeSeparators(strPath));
  }
  return {};
}

} // namespace

QString WriteScreenshots(CMainFrame &frame, const QString &strDir) {
  const QDir dir(strDir);
  frame.showNormal();
  frame.resize(SCREENSHOT_WIDTH, SCREENSHOT_HEIGHT);
  if (QString strError = Save(frame, dir.filePath(QString::fromUtf8(MAIN_WINDOW_FILE))); !strError.isEmpty()) {
    return strError;
  }
  for (const _dialogshot &shot : DialogShots()) {
    QWidget *pDialog = shot.fnShow(frame);
    const QString strError = Save(*pDialog, dir.filePath(QString::fromUtf8(shot.szFile)));
    pDialog->close();
    if (!strError.isEmpty()) {
      return strError;
    }
  }
  return {};
}
