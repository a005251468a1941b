#include "app/FirstStepsHint.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"

#include <QAction>

void ShowFirstStepsHint(CMainFrame &frame) {
  frame.SetIdleMessage(QString::fromUtf8(TEXT_FIRST_STEPS));
  // The connections live as long as this object: the first step taken ends them all.
  auto *pHint = new QObject(&frame);
  const auto End = [&frame, pHint] {
    frame.SetIdleMessage({});
    pHint->deleteLater();
  };
  for (const int nId : {ID_CONNECT, ID_FILE_OPENPROJECTION, ID_FILE_OPENCOLLECTION}) {
    QObject::connect(frame.Action(nId), &QAction::triggered, pHint, End);
  }
  QObject::connect(&frame, &CMainFrame::FileOpenRequested, pHint, End);
}
