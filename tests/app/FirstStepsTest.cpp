// The collector as scripts/run starts it: the file dialogs in the sample site's folder
// (--folder), the hint in the status bar until the operator takes a first step, and the
// application known to the desktop by its desktop entry's id.
#include "app/CommandIds.h"
#include "app/FirstStepsHint.h"
#include "app/MainFrame.h"
#include "app/StartFolderPrompts.h"
#include "app/TarvexCollectorApp.h"
#include "tests/support/ScriptedPrompts.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>

namespace {

// Answers each file dialog with the next path given and records the folder it was to open in.
class CFolderRecorder : public CPrompts {
public:
  QStringList m_answers;
  QStringList m_folders;

  int Message(QWidget * /*pParent*/, const _messageprompt & /*prompt*/) override { return PROMPT_ANSWER_OK; }
  QString File(QWidget * /*pParent*/, const _fileprompt &prompt) override {
    m_folders.append(prompt.strFolder);
    return m_answers.isEmpty() ? QString() : m_answers.takeFirst();
  }
  int Modal(QDialog & /*dialog*/) override { return QDialog::Rejected; }
};

// Everything cancelled: a file dialog, a modal dialog; a question answered No.
class CCancelAll : public CPrompts {
public:
  int Message(QWidget * /*pParent*/, const _messageprompt & /*prompt*/) override { return PROMPT_ANSWER_NO; }
  QString File(QWidget * /*pParent*/, const _fileprompt & /*prompt*/) override { return {}; }
  int Modal(QDialog & /*dialog*/) override { return QDialog::Rejected; }
};

QString MessagePane(const CMainFrame &frame) { return frame.statusBar()->currentMessage(); }

} // namespace

class CFirstStepsTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true); // the recent-file list and Qt's own settings aside
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkpath("site") && QDir(m_dir.path()).mkpath("elsewhere"));
  }

  // A dialog without a folder of its own opens in the start folder, until a file is chosen; then
  // in the folder of the file chosen last. A folder the dialog names is kept, and a cancelled
  // dialog changes nothing.
  void dialogsOpenInTheStartFolder() {
    const QString strSite = m_dir.filePath("site");
    const QString strElsewhere = m_dir.filePath("elsewhere");
    CFolderRecorder inner;
    CStartFolderPrompts prompts(strSite, inner);
    _fileprompt open;
    _fileprompt named;
    named.strFolder = strElsewhere;
    inner.m_answers = {"", "", strElsewhere + "/plan.gpf", "", ""};
    prompts.File(nullptr, open);  // cancelled
    prompts.File(nullptr, named); // its own folder, cancelled
    prompts.File(nullptr, open);  // a file chosen elsewhere
    prompts.File(nullptr, open);
    prompts.File(nullptr, named);
    QCOMPARE(inner.m_folders, QStringList({strSite, strElsewhere, strSite, strElsewhere, strElsewhere}));
    QCOMPARE(prompts.Folder(), strElsewhere);
  }

  // The real file dialog, as Open Projection shows it, lists the start folder.
  void theQtFileDialogOpensThere() {
    CQtPrompts qt;
    CStartFolderPrompts prompts(m_dir.filePath("site"), qt);
    QString strShown;
    QTimer::singleShot(0, this, [&strShown] {
      for (QWidget *pWindow : QApplication::topLevelWidgets()) {
        if (auto *pDialog = qobject_cast<QFileDialog *>(pWindow); pDialog != nullptr && pDialog->isVisible()) {
          strShown = pDialog->directory().absolutePath();
          pDialog->reject();
        }
      }
    });
    _fileprompt open;
    open.filters = {"Geo Projection Files (*.gpf)"};
    QCOMPARE(prompts.File(nullptr, open), QString());
    QCOMPARE(strShown, QDir(m_dir.filePath("site")).absolutePath());
  }

  void hintUntilTheFirstStep_data() {
    QTest::addColumn<int>("step");
    QTest::newRow("Connect") << ID_CONNECT;
    QTest::newRow("Open Projection") << ID_FILE_OPENPROJECTION;
    QTest::newRow("Open Collection") << ID_FILE_OPENCOLLECTION;
    QTest::newRow("a file by name") << 0;
  }

  // The hint stands where "Ready" stands: a command's prompt replaces it while pointed at, and it
  // comes back; the first step taken, any of them, ends it for "Ready".
  void hintUntilTheFirstStep() {
    QFETCH(int, step);
    CCancelAll cancel;
    CPrompts::Install(&cancel);
    CMainFrame frame;
    ShowFirstStepsHint(frame);
    const QString strHint = QString::fromUtf8(TEXT_FIRST_STEPS);
    QCOMPARE(MessagePane(frame), strHint);
    frame.statusBar()->showMessage("Open Projection");
    frame.statusBar()->clearMessage();
    QCOMPARE(MessagePane(frame), strHint);
    frame.Action(ID_ZOOM_IN)->trigger(); // not a first step
    QCOMPARE(MessagePane(frame), strHint);
    if (step != 0) {
      frame.Action(step)->trigger();
    } else {
      const QString strPlan = m_dir.filePath("site/empty.gpf");
      QFile(strPlan).open(QIODevice::WriteOnly);
      QVERIFY(frame.OpenFileByKind(strPlan)); // refused by the view as no projection, after asking
    }
    QCOMPARE(MessagePane(frame), QString("Ready"));
    frame.statusBar()->showMessage("Open Projection");
    frame.statusBar()->clearMessage();
    QCOMPARE(MessagePane(frame), QString("Ready"));
    CPrompts::Install(nullptr);
  }

  // The hint fits in the message pane beside the seven panes of a window maximised on a screen of
  // 1920 pixels. (On one of 1280 the panes leave the message pane room for a word or two.)
  void hintFitsBesideThePanes() {
    CMainFrame frame;
    ShowFirstStepsHint(frame);
    frame.resize(1920, 1080);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    const QStatusBar *pBar = frame.statusBar();
    int nFirstPane = pBar->width();
    for (const QLabel *pPane : pBar->findChildren<QLabel *>(QRegularExpression("^pane"))) {
      if (!pPane->isVisible()) {
        continue; // the coverage's level pane, shown only with a coverage
      }
      nFirstPane = std::min(nFirstPane, pPane->geometry().left());
    }
    QVERIFY(pBar->fontMetrics().horizontalAdvance(QString::fromUtf8(TEXT_FIRST_STEPS)) < nFirstPane);
  }

  // The desktop matches the window with the installed desktop entry by this id.
  void desktopFileNameIsTheEntrysId() {
    QCOMPARE(QGuiApplication::desktopFileName(), QString("org.tarvex.Collector"));
    QVERIFY(QFile::exists(TARVEX_DESKTOP_DIR "/" + QGuiApplication::desktopFileName() + ".desktop"));
  }

private:
  QTemporaryDir m_dir;
};

// The application itself, as the program makes it (its identity, icon and desktop file name),
// without running it.
int main(int argc, char **argv) {
  CTarvexCollectorApp app(argc, argv);
  CFirstStepsTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "FirstStepsTest.moc"
