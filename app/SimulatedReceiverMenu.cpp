#include "app/SimulatedReceiverMenu.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "dialogs/SimulatedReceiverPanel.h"

#include <QAction>
#include <QMenu>
#include <QScreen>

#include <algorithm>

namespace {

const char *const MENU_TEXT = "Simulated &Receiver";
const char *const MENU_PROMPT = "Show the front panel of the simulated receiver";
// Room between the panel and the screen's edges.
constexpr int PANEL_MARGIN = 16;

// The View menu: the one that holds Status Bar.
QMenu *ViewMenu(const CMainFrame &frame) {
  for (QObject *pObject : frame.Action(ID_VIEW_STATUS_BAR)->associatedObjects()) {
    if (auto *pMenu = qobject_cast<QMenu *>(pObject)) {
      return pMenu;
    }
  }
  return nullptr;
}

} // namespace

CSimulatedReceiverPanel *AddSimulatedReceiverPanel(CMainFrame &frame, std::shared_ptr<CSimulatedReceiver> pReceiver) {
  auto *pPanel = new CSimulatedReceiverPanel(std::move(pReceiver), &frame);
  pPanel->setObjectName(QStringLiteral("simulatedReceiverPanel"));
  if (QMenu *pMenu = ViewMenu(frame)) {
    pMenu->addSeparator();
    QAction *pAction = pMenu->addAction(QString::fromUtf8(MENU_TEXT));
    pAction->setObjectName(QStringLiteral("simulatedReceiverAction"));
    pAction->setStatusTip(QString::fromUtf8(MENU_PROMPT));
    QObject::connect(pAction, &QAction::triggered, pPanel, [pPanel] { ShowSimulatedReceiverPanel(*pPanel); });
  }
  return pPanel;
}

void ShowSimulatedReceiverPanel(CSimulatedReceiverPanel &panel) {
  if (!panel.isVisible()) {
    panel.adjustSize();
    const QWidget *pFrame = panel.parentWidget();
    const QRect rcScreen = pFrame->screen()->availableGeometry();
    const QRect rcFrame = pFrame->frameGeometry();
    const int nX = std::min(rcFrame.right(), rcScreen.right()) - panel.width() - PANEL_MARGIN;
    const int nY = std::max(rcFrame.top(), rcScreen.top()) + 4 * PANEL_MARGIN;
    panel.move(std::max(nX, rcScreen.left()), nY);
  }
  panel.show();
  panel.raise();
  panel.activateWindow();
}
