#pragma once

#include "app/RecentFileList.h"
#include "dialogs/SurveyReportDialog.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QSet>

#include <functional>

class CTarvexCollectorView;
struct _submenudef;
class QAction;
class QLabel;
class QMenu;
class QToolBar;

// The main window: the menu bar, the toolbar, the status bar with its panes, and the view in the
// middle, all built from the command tables (CommandTable.h). Every command is one QAction,
// shared by its menu item, its toolbar button and its accelerators, and found by its id.
//
// A command is enabled once something handles it (RouteCommand); until then it is shown
// disabled, as the Edit commands always are.
class CMainFrame : public QMainWindow {
  Q_OBJECT

public:
  explicit CMainFrame(QWidget *pParent = nullptr);
  ~CMainFrame() override;
  CMainFrame(const CMainFrame &) = delete;
  CMainFrame &operator=(const CMainFrame &) = delete;

  CTarvexCollectorView *GetView() const { return m_pView; }
  QToolBar *GetToolBar() const { return m_pToolBar; }

  // The action of command nId; null for an id the tables do not hold.
  QAction *Action(int nId) const { return m_actions.value(nId); }
  // Runs fnHandler whenever command nId fires, and enables the command.
  void RouteCommand(int nId, std::function<void()> fnHandler);

  // The indicator pane nId (ID_INDICATOR_...), null for another id. Each shows its initial text
  // until SetPaneText gives it another; passing texts go to the message pane (statusBar()).
  QLabel *Pane(int nId) const;
  void SetPaneText(int nId, const QString &strText);
  // The message pane's text while no prompt is shown: strText, or "Ready" when it is empty.
  void SetIdleMessage(const QString &strText);

  // The commands call this for every file they have opened: it goes to the top of the
  // recent-file list in the File menu.
  void AddRecentFile(const QString &strPath);
  const CRecentFileList &RecentFiles() const { return m_RecentFiles; }

  // Opens a file named by the recent-file list, a drop or the command line, by its extension:
  // FileOpenRequested hands it on when it exists and is a projection or a survey data file.
  // Otherwise a message names the file and the reason, and false is returned.
  bool OpenFileByKind(const QString &strPath);

  // Leaving safely (MainFrameClose.cpp): closes the window without asking anyone, as SIGTERM
  // and SIGINT do. Modal prompts that are open are ended first; then the close steps of CSafeExit
  // run unattended.
  void CloseUnattended();

signals:
  // A file to open: nKind is a FileKind, strPath an existing file. The view's open-by-kind
  // entry point takes it.
  void FileOpenRequested(int nKind, const QString &strPath);

protected:
  // Asks before a walk is stopped and closes the survey (CSafeExit); ignored when the operator
  // stays.
  void closeEvent(QCloseEvent *pEvent) override;
  // The first time the window shows: what an unattended close of the last run kept for the
  // surveyor is shown once (RescueNote.h).
  void showEvent(QShowEvent *pEvent) override;
  void dragEnterEvent(QDragEnterEvent *pEvent) override;
  void dropEvent(QDropEvent *pEvent) override;

private:
  void CreateActions();
  void CreateMenus();
  void AddSubmenu(QMenu &menu, const _submenudef &submenu);
  void CreateToolBar();
  void CreateStatusBar();
  void RouteFrameCommands();
  void UpdateRecentFileMenu();
  void OpenRecentFile(int nIndex);
  // File > New Projection from Image: the projection made and saved, then opened as a file named
  // on the command line or dropped is.
  void OnNewProjectionFromImage();
  // File > Survey Report (MainFrameReport.cpp): the grid test and the paper asked for, then where
  // to save the report of the open survey on the loaded projection, which is made and written
  // whole or not at all. Refused, with the reason, while a segment is walked or without a
  // projection and a survey.
  void OnSurveyReport();

  QHash<int, QAction *> m_actions;
  QToolBar *m_pToolBar = nullptr;
  QList<QLabel *> m_panes;        // in the order of the pane table
  QString m_strIdle;              // the message pane's text while no prompt is shown
  QMenu *m_pRecentMenu = nullptr; // the menu with the recent-file list, and the list's place in it
  int m_nRecentIndex = 0;
  CTarvexCollectorView *m_pView = nullptr;
  CRecentFileList m_RecentFiles;
  _reportchoice m_reportChoice{false, 20, DefaultReportPaper()}; // what the last report was made with
  // Leaving safely.
  bool m_bUnattendedClose = false; // the next close asks nobody
  bool m_bInClose = false;         // the close steps are under way
  bool m_bShown = false;           // the window has been shown
  int m_nCloseAttempts = 0;        // CloseUnattended's tries while prompts were open
};
