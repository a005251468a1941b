// The main window against the collector's resource tables, written out here from the description
// of the window: menus, toolbar, status-bar panes, accelerators and the two bar toggles.
#include "app/MainFrame.h"
#include "app/TarvexCollectorView.h"
#include "tests/app/ViewDialogs.h"
#include "tests/support/ScriptedPrompts.h"

#include <QAction>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

constexpr int SEPARATOR = 0;

struct _menuitem {
  int nId; // 0 for a separator
  QString strText;
  bool bEnabled;
};

struct _menu {
  QString strTitle;
  QList<_menuitem> items;
};

// The menu bar of a fresh window with an empty recent-file list. Measure Distance and Show Segment
// wait for a projection (and a survey); the Edit commands are disabled for good.
const QList<_menu> MENUS = {
    {"&File",
     {{32791, "New Projection from &Image...", true},
      {32777, "&Open Projection\t Ctrl+N", true},
      {32770, "&Open Collection..\tCtrl+O", true},
      {32792, "Survey &Report...", true},
      {SEPARATOR, {}, true},
      {57616, "Recent File", false},
      {SEPARATOR, {}, true},
      {57665, "E&xit", true},
      {32783, "Connect !", true}}},
    {"&Edit",
     {{57643, "&Undo\tCtrl+Z", false},
      {SEPARATOR, {}, true},
      {57635, "Cu&t\tCtrl+X", false},
      {57634, "&Copy\tCtrl+C", false},
      {57637, "&Paste\tCtrl+V", false}}},
    {"&View",
     {{59392, "&Toolbar", true}, {59393, "&Status Bar", true}, {SEPARATOR, {}, true}, {32840, "&Coverage", true}}},
    {"&Help", {{57664, "&About Tarvex Collector...", true}, {32778, "Measure Distance", false}}},
};

struct _button {
  int nId;
  QString strTip;    // the tool tip
  QString strPrompt; // the status-bar prompt
};

// Given whole for 32783 and 32780 ("prompt \n tip"); the others carry their command's name.
const QList<_button> TOOLBAR = {
    {32783, "Establish a connection with the Tarvex Receiver.", "Connect to the Receiver"},
    {32777, "Open Projection", "Open Projection"},
    {32770, "Open Collection", "Open Collection"},
    {32771, "Zoom into a region", "Zoom into a region"},
    {32779, "Fit the Bitmap to Display", "Fit the Bitmap to Display"},
    {32772, "Zoom out", "Zoom out"},
    {32773, "Click a snapshot of the view", "Click a snapshot of the view"},
    {32780, "Show the Segment Info Dialog", "Show Segment Info Dialog"},
    {32782, "Instructions to follow before data collection", "Instructions to follow before data collection"},
    {57664, "About Tarvex Collector", "About Tarvex Collector"},
    {32778, "Measure Distance", "Measure Distance"},
};

struct _pane {
  int nId;
  QString strStart; // the text before the blanks
  int nLength;      // the whole text's length, blanks included
};

const QList<_pane> PANES = {
    {1052, "Latitude =  NA", 36}, {1053, "Longitude =  NA", 36},        {1054, "X =  NA", 14},  {1055, "Y =   NA", 14},
    {1056, "Projection: NA", 46}, {1057, "Receiver not connected", 41}, {1070, "Zoom: NA", 22},
};

struct _accelerator {
  QString strKeys;
  int nId;
};

// Ctrl+N and Ctrl+O open a projection and a collection, as the File menu shows.
const QList<_accelerator> ACCELERATORS = {
    {"Ctrl+N", 32777},        {"Ctrl+O", 32770},    {"Ctrl+S", 57603},    {"Ctrl+P", 57607},   {"Ctrl+Z", 57643},
    {"Alt+Backspace", 57643}, {"Ctrl+X", 57635},    {"Shift+Del", 57635}, {"Ctrl+C", 57634},   {"Ctrl+Ins", 57634},
    {"Ctrl+V", 57637},        {"Shift+Ins", 57637}, {"F6", 57680},        {"Shift+F6", 57681},
};

QString PaneText(const _pane &pane) { return pane.strStart.leftJustified(pane.nLength, ' '); }

int IdOf(const QAction *pAction) { return pAction->isSeparator() ? SEPARATOR : pAction->data().toInt(); }

} // namespace

class CFrameTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
  }

  void init() {
    m_pFrame = std::make_unique<CMainFrame>();
    m_pFrame->resize(1280, 800);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
  }

  void cleanup() { m_pFrame.reset(); }

  void titleIsTheApplications() { QCOMPARE(m_pFrame->windowTitle(), QString("Tarvex Collector")); }

  void menusHoldTheirItemsInOrder() {
    const QList<QAction *> menus = m_pFrame->menuBar()->actions();
    QCOMPARE(menus.size(), MENUS.size());
    for (qsizetype m = 0; m < MENUS.size(); ++m) {
      QCOMPARE(menus[m]->text(), MENUS[m].strTitle);
      const QList<QAction *> shown = menus[m]->menu()->actions();
      QCOMPARE(shown.size(), MENUS[m].items.size());
      for (qsizetype i = 0; i < shown.size(); ++i) {
        const _menuitem &item = MENUS[m].items[i];
        const QString strWhere = MENUS[m].strTitle + " item " + QString::number(i);
        QVERIFY2(IdOf(shown[i]) == item.nId, qPrintable(strWhere));
        if (item.nId != SEPARATOR) {
          QVERIFY2(shown[i]->text() == item.strText, qPrintable(strWhere + ": " + shown[i]->text()));
          QVERIFY2(shown[i]->isEnabled() == item.bEnabled, qPrintable(strWhere));
        }
      }
    }
  }

  void toolbarHasElevenButtonsWithTipsAndPrompts() {
    QToolBar *pToolBar = m_pFrame->GetToolBar();
    QCOMPARE(pToolBar->iconSize(), QSize(16, 16));
    const QList<QAction *> actions = pToolBar->actions();
    QCOMPARE(actions.size(), TOOLBAR.size());
    for (qsizetype i = 0; i < actions.size(); ++i) {
      QCOMPARE(IdOf(actions[i]), TOOLBAR[i].nId);
      QCOMPARE(actions[i]->toolTip(), TOOLBAR[i].strTip);
      QCOMPARE(actions[i]->statusTip(), TOOLBAR[i].strPrompt);
      // Found by its tool tip, as a screen reader names a button without text.
      auto *pButton = qobject_cast<QToolButton *>(pToolBar->widgetForAction(actions[i]));
      QVERIFY(pButton != nullptr);
      QCOMPARE(pButton->toolTip(), TOOLBAR[i].strTip);
      // Its picture is drawn afresh at 200 %, not scaled up from 16 x 16.
      const QPixmap picture = actions[i]->icon().pixmap(QSize(16, 16), 2.0);
      QCOMPARE(picture.size(), QSize(32, 32));
      QCOMPARE(picture.devicePixelRatio(), 2.0);
    }
  }

  // Pointing at a button shows its prompt in the message pane; "Ready" comes back after.
  void messagePaneShowsPromptsThenReady() {
    QStatusBar *pStatusBar = m_pFrame->statusBar();
    QCOMPARE(pStatusBar->currentMessage(), QString("Ready"));
    QWidget *pButton = m_pFrame->GetToolBar()->widgetForAction(m_pFrame->Action(32780));
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(pButton, &enter);
    QCOMPARE(pStatusBar->currentMessage(), QString("Show Segment Info Dialog"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(pButton, &leave);
    QCOMPARE(pStatusBar->currentMessage(), QString("Ready"));
  }

  void panesInOrderWithTheirWidths() {
    QList<QLabel *> panes;
    for (const _pane &pane : PANES) {
      QLabel *pLabel = m_pFrame->Pane(pane.nId);
      QVERIFY2(pLabel != nullptr, qPrintable(QString::number(pane.nId)));
      const QString strText = pLabel->text();
      QCOMPARE(strText.size(), pane.nLength);
      QCOMPARE(strText.trimmed(), pane.strStart);
      QVERIFY(strText.startsWith(pane.strStart));
      panes.append(pLabel);
    }
    // The blanks reserve room: each pane stays as wide as its initial text when a shorter one
    // is shown.
    for (const _pane &pane : PANES) {
      m_pFrame->SetPaneText(pane.nId, "1");
    }
    m_pFrame->statusBar()->layout()->activate();
    for (qsizetype i = 0; i < panes.size(); ++i) {
      const QString strReserved = PaneText(PANES[i]);
      const int nTextWidth = QFontMetrics(m_pFrame->statusBar()->font()).horizontalAdvance(strReserved);
      QVERIFY2(panes[i]->contentsRect().width() >= nTextWidth, qPrintable(QString::number(PANES[i].nId)));
    }
    QVERIFY(m_pFrame->Pane(0) == nullptr);
    // Left to right, all after the message pane.
    for (qsizetype i = 1; i < panes.size(); ++i) {
      QVERIFY2(panes[i - 1]->geometry().right() < panes[i]->geometry().left(),
               qPrintable(QStringLiteral("%1 ends at %2, %3 begins at %4 in a status bar %5 wide")
                              .arg(PANES[i - 1].nId)
                              .arg(panes[i - 1]->geometry().right())
                              .arg(PANES[i].nId)
                              .arg(panes[i]->geometry().left())
                              .arg(m_pFrame->statusBar()->width())));
    }
    QVERIFY(m_pFrame->statusBar()->fontMetrics().horizontalAdvance("Ready") < panes.front()->geometry().left());
    QCOMPARE(panes.back()->text(), QString("1"));
  }

  void everyAcceleratorBelongsToItsCommand() {
    for (const _accelerator &accelerator : ACCELERATORS) {
      const QKeySequence keys(accelerator.strKeys);
      QList<int> holders;
      for (QAction *pAction : m_pFrame->actions()) {
        if (pAction->shortcuts().contains(keys)) {
          holders.append(IdOf(pAction));
        }
      }
      QVERIFY2(holders == QList<int>{accelerator.nId}, qPrintable(accelerator.strKeys));
    }
  }

  // Pressed in the window: Ctrl+N and Ctrl+O fire the two open commands, Ctrl+S fires Save,
  // which has no effect, and the Edit and pane keys fire nothing.
  void keysFireTheirCommands_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QList<int>>("fired");
    QTest::newRow("Ctrl+N") << int(Qt::Key_N) << int(Qt::ControlModifier) << QList<int>{32777};
    QTest::newRow("Ctrl+O") << int(Qt::Key_O) << int(Qt::ControlModifier) << QList<int>{32770};
    QTest::newRow("Ctrl+S") << int(Qt::Key_S) << int(Qt::ControlModifier) << QList<int>{57603};
    QTest::newRow("Ctrl+C") << int(Qt::Key_C) << int(Qt::ControlModifier) << QList<int>{};
    QTest::newRow("Shift+Ins") << int(Qt::Key_Insert) << int(Qt::ShiftModifier) << QList<int>{};
    QTest::newRow("F6") << int(Qt::Key_F6) << int(Qt::NoModifier) << QList<int>{};
  }

  void keysFireTheirCommands() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QList<int>, fired);
    // The view's open commands ask first: the operator cancels.
    CScriptedPrompts prompts;
    if (fired.contains(32777)) {
      prompts.AnswerFile({});
    }
    if (fired.contains(32770)) {
      prompts.AnswerMessage(PROMPT_ANSWER_NO, "Do you wish to open an existing data file?");
      prompts.AnswerFile({});
      prompts.AnswerMessage(PROMPT_ANSWER_OK, "No data file selected, data can not be collected.");
    }
    QList<int> ran;
    for (const int nId : {32777, 32770}) {
      m_pFrame->RouteCommand(nId, [&ran, nId] { ran.append(nId); });
    }
    QList<int> triggered;
    for (QAction *pAction : m_pFrame->actions()) {
      connect(pAction, &QAction::triggered, this, [&triggered, pAction] { triggered.append(IdOf(pAction)); });
    }
    m_pFrame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_pFrame.get()));
    QTest::keyClick(m_pFrame->GetView(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(triggered, fired);
    QCOMPARE(ran, fired.contains(57603) ? QList<int>{} : fired);
    QVERIFY2(prompts.Problems().isEmpty(), qPrintable(prompts.Problems().join('\n')));
    QCOMPARE(prompts.Unused(), 0);
  }

  void viewMenuTogglesTheBars() {
    QAction *pToolbar = m_pFrame->Action(59392);
    QAction *pStatusBar = m_pFrame->Action(59393);
    QVERIFY(pToolbar->isCheckable() && pToolbar->isChecked());
    QVERIFY(pStatusBar->isCheckable() && pStatusBar->isChecked());
    pToolbar->trigger();
    QVERIFY(m_pFrame->GetToolBar()->isHidden());
    QVERIFY(!pToolbar->isChecked());
    pToolbar->trigger();
    QVERIFY(!m_pFrame->GetToolBar()->isHidden());
    pStatusBar->trigger();
    QVERIFY(m_pFrame->statusBar()->isHidden());
    pStatusBar->trigger();
    QVERIFY(!m_pFrame->statusBar()->isHidden());
    // Hidden from the bars' own menu, the check mark follows.
    m_pFrame->GetToolBar()->toggleViewAction()->trigger();
    QVERIFY(!pToolbar->isChecked());
    // Hiding the whole window does not take the toolbar away.
    pToolbar->trigger();
    m_pFrame->hide();
    m_pFrame->show();
    QVERIFY(pToolbar->isChecked());
    QVERIFY(m_pFrame->GetToolBar()->isVisible());
  }

  // About shows the receiver information panel, modeless, with what it last showed.
  void aboutShowsTheReceiverInformation() {
    CIntroDialog &panel = ViewDialog<CIntroDialog>(*m_pFrame->GetView());
    QVERIFY(!panel.isVisible());
    panel.SetDlgItemText(1013, "TX5301");
    m_pFrame->Action(57664)->trigger();
    QVERIFY(panel.isVisible());
    QVERIFY(!panel.isModal());
    QCOMPARE(panel.GetDlgItemText(1013), QString("TX5301"));
  }

  void exitClosesTheWindow() {
    m_pFrame->Action(57665)->trigger();
    QVERIFY(!m_pFrame->isVisible());
  }

private:
  QTemporaryDir m_settingsDir;
  std::unique_ptr<CMainFrame> m_pFrame;
};

QTEST_MAIN(CFrameTest)
#include "FrameTest.moc"
