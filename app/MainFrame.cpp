#include "app/MainFrame.h"

#include "app/AppIdentity.h"
#include "app/CommandIds.h"
#include "app/CommandTable.h"
#include "app/TarvexCollectorView.h"
#include "resources/pictures/Pictures.h"

#include <QAction>
#include <QActionGroup>
#include <QFontMetrics>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include <utility>

namespace {

// The message pane's text while no prompt is shown.
const char *const TEXT_IDLE = "Ready";
// How the two bars are named for screen readers, desktop automation and the bars' own menu.
const char *const TOOLBAR_TITLE = "Toolbar";
const char *const STATUS_BAR_NAME = "Status Bar";
constexpr int TOOLBAR_ICON_SIZE = 16;
// Room around a pane's text, inside its frame.
constexpr int PANE_PADDING = 3;

} // namespace

CMainFrame::CMainFrame(QWidget *pParent)
    : QMainWindow(pParent), m_RecentFiles(QString::fromUtf8(APP_PROFILE_KEY), QString::fromUtf8(APP_NAME)) {
  setWindowTitle(QString::fromUtf8(APP_TITLE));
  setAcceptDrops(true);
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateStatusBar();
  m_pView = new CTarvexCollectorView(this);
  setCentralWidget(m_pView);
  m_pView->SetReceiverPane(Pane(ID_INDICATOR_RECEIVER)); // the receiver's state
  RouteFrameCommands();
  // The view's commands. Files named by the recent-file list, a drop or the command line reach
  // the view through FileOpenRequested and its open-by-kind entry.
  for (const auto &route : CTarvexCollectorView::CommandMap()) {
    RouteCommand(route.nId, [pView = m_pView, pfnHandler = route.pfnHandler] { (pView->*pfnHandler)(); });
  }
  connect(this, &CMainFrame::FileOpenRequested, m_pView, &CTarvexCollectorView::OpenFileByKind);
  // Measure Distance waits for a projection; the zoom pane shows that there is none yet.
  m_pView->UpdateMapCommands();
  UpdateRecentFileMenu();
  // Show Segment waits for a projection and a survey; the walk disables what would disturb it.
  m_pView->UpdateCommandStates();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::RouteCommand(int nId, std::function<void()> fnHandler) {
  QAction *pAction = Action(nId);
  if (pAction == nullptr) {
    return;
  }
  connect(pAction, &QAction::triggered, this, [fnHandler = std::move(fnHandler)] { fnHandler(); });
  pAction->setEnabled(true);
}

// One action per command of the table, disabled until something handles it. Each is added to
// the frame as well, so that its accelerators work whether or not a menu or a button shows it.
void CMainFrame::CreateActions() {
  for (const _commanddef &command : CommandTable()) {
    auto *pAction = new QAction(this);
    const QString strTip = CommandTip(command);
    pAction->setText(command.szText != nullptr ? QString::fromUtf8(command.szText) : strTip);
    pAction->setIconText(strTip);
    pAction->setToolTip(strTip);
    pAction->setStatusTip(CommandPrompt(command));
    if (command.szKeys != nullptr) {
      pAction->setShortcuts(QKeySequence::listFromString(QString::fromUtf8(command.szKeys)));
    }
    pAction->setCheckable(command.bCheckable);
    pAction->setData(command.nId);
    pAction->setEnabled(false);
    addAction(pAction);
    m_actions.insert(command.nId, pAction);
  }
  m_actions.value(ID_VIEW_TOOLBAR)->setChecked(true);
  m_actions.value(ID_VIEW_STATUS_BAR)->setChecked(true);
}

void CMainFrame::CreateMenus() {
  for (const _menudef &menuDef : MenuTable()) {
    QMenu *pMenu = menuBar()->addMenu(QString::fromUtf8(menuDef.szTitle));
    for (const int nId : menuDef.items) {
      if (nId == ID_SEPARATOR) {
        pMenu->addSeparator();
      } else if (const _submenudef *pSubmenu = FindSubmenu(nId)) {
        AddSubmenu(*pMenu, *pSubmenu);
      } else if (nId == ID_FILE_RECENT1) {
        m_pRecentMenu = pMenu; // its entries are put in by UpdateRecentFileMenu
        m_nRecentIndex = static_cast<int>(pMenu->actions().size());
      } else {
        pMenu->addAction(Action(nId));
      }
    }
  }
}

void CMainFrame::AddSubmenu(QMenu &menu, const _submenudef &submenu) {
  QMenu *pSubmenu = menu.addMenu(QString::fromUtf8(submenu.szTitle));
  pSubmenu->menuAction()->setData(submenu.nId);
  auto *pChoice = new QActionGroup(pSubmenu);
  for (const int nId : submenu.items) {
    if (nId == ID_SEPARATOR) {
      pSubmenu->addSeparator();
      continue;
    }
    QAction *pAction = Action(nId);
    pSubmenu->addAction(pAction);
    if (pAction->isCheckable()) {
      pChoice->addAction(pAction);
    }
  }
}

void CMainFrame::CreateToolBar() {
  m_pToolBar = new QToolBar(QString::fromUtf8(TOOLBAR_TITLE), this);
  m_pToolBar->setObjectName(QStringLiteral("toolbar"));
  m_pToolBar->setIconSize(QSize(TOOLBAR_ICON_SIZE, TOOLBAR_ICON_SIZE));
  m_pToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  m_pToolBar->setAllowedAreas(Qt::AllToolBarAreas);
  for (const int nId : ToolbarTable()) {
    QAction *pAction = Action(nId);
    // An SVG, which Qt's SVG icon engine draws crisp at any scale.
    pAction->setIcon(QIcon(QString::fromStdString(ToolbarIconPath(nId))));
    m_pToolBar->addAction(pAction);
  }
  addToolBar(Qt::TopToolBarArea, m_pToolBar);
}

// The indicator panes on the right, each as wide as its initial text in the status bar's font;
// the message area on the left shows "Ready" whenever no prompt is shown.
void CMainFrame::CreateStatusBar() {
  QStatusBar *pStatusBar = statusBar();
  pStatusBar->setAccessibleName(QString::fromUtf8(STATUS_BAR_NAME));
  const QFontMetrics metrics(pStatusBar->font());
  for (const _panedef &pane : PaneTable()) {
    auto *pLabel = new QLabel(pane.strText, pStatusBar);
    pLabel->setObjectName(QStringLiteral("pane%1").arg(pane.nId));
    pLabel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    pLabel->setIndent(0);
    pLabel->setMargin(PANE_PADDING);
    pLabel->setMinimumWidth(metrics.horizontalAdvance(pane.strText) + 2 * (pLabel->frameWidth() + PANE_PADDING));
    pStatusBar->addPermanentWidget(pLabel);
    m_panes.append(pLabel);
  }
  m_strIdle = QString::fromUtf8(TEXT_IDLE);
  connect(pStatusBar, &QStatusBar::messageChanged, pStatusBar, [this, pStatusBar](const QString &strMessage) {
    if (strMessage.isEmpty()) {
      pStatusBar->showMessage(m_strIdle);
    }
  });
  pStatusBar->showMessage(m_strIdle);
}

// A prompt shown now stays; the new idle text comes when it goes.
void CMainFrame::SetIdleMessage(const QString &strText) {
  const QString strOld = m_strIdle;
  m_strIdle = strText.isEmpty() ? QString::fromUtf8(TEXT_IDLE) : strText;
  if (statusBar()->currentMessage() == strOld) {
    statusBar()->showMessage(m_strIdle);
  }
}

// The commands the frame carries out itself: New Projection from Image, Survey Report, Exit, About,
// the two bars, the recent files.
void CMainFrame::RouteFrameCommands() {
  RouteCommand(ID_FILE_NEWPROJECTION, [this] { OnNewProjectionFromImage(); });
  RouteCommand(ID_FILE_SURVEY_REPORT, [this] { OnSurveyReport(); });
  RouteCommand(ID_APP_EXIT, [this] { close(); });
  // About shows the view's receiver information panel with whatever it last showed.
  RouteCommand(ID_APP_ABOUT, [this] { m_pView->ShowReceiverInformation(); });
  RouteCommand(ID_VIEW_TOOLBAR, [this] { m_pToolBar->setVisible(Action(ID_VIEW_TOOLBAR)->isChecked()); });
  // The toolbar's own menu (a right click on the bars) hides it too; the check mark follows.
  connect(m_pToolBar->toggleViewAction(), &QAction::toggled, Action(ID_VIEW_TOOLBAR), &QAction::setChecked);
  RouteCommand(ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(Action(ID_VIEW_STATUS_BAR)->isChecked()); });
  for (int i = 0; i < CRecentFileList::RECENT_FILE_COUNT; ++i) {
    RouteCommand(ID_FILE_RECENT1 + i, [this, i] { OpenRecentFile(i); });
  }
}

QLabel *CMainFrame::Pane(int nId) const {
  const auto panes = PaneTable();
  for (qsizetype i = 0; i < m_panes.size(); ++i) {
    if (panes[static_cast<size_t>(i)].nId == nId) {
      return m_panes.at(i);
    }
  }
  return nullptr;
}

void CMainFrame::SetPaneText(int nId, const QString &strText) {
  if (QLabel *pPane = Pane(nId)) {
    pPane->setText(strText);
  }
}
