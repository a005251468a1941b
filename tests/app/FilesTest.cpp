// Files the window opens by name: the kind a name stands for, the recent-file list kept in the
// settings and shown in the File menu, files dropped on the window.
#include "app/CommandIds.h"
#include "app/FileKinds.h"
#include "app/MainFrame.h"
#include "tests/support/ScriptedPrompts.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QUrl>
#include <QtTest>

#include <memory>

namespace {

const char *const ORGANISATION = "Local AppWizard-Generated Applications";

// What the File menu shows between its first two separators, in order.
QStringList RecentEntries(const CMainFrame &frame) {
  QStringList entries;
  int nSeparators = 0;
  for (QAction *pAction : frame.menuBar()->actions().front()->menu()->actions()) {
    if (pAction->isSeparator()) {
      ++nSeparators;
    } else if (nSeparators == 1) {
      entries.append(pAction->text());
    }
  }
  return entries;
}

} // namespace

class CFilesTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
  }

  void init() { QSettings(ORGANISATION, "tarvex-collector").clear(); }

  void kindFollowsTheExtension_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("kind");
    QTest::newRow("geo-coded") << "/site/office.gpf" << int(FILE_KIND_PROJECTION);
    QTest::newRow("linear, upper case") << "C:/SITE/OFFICE.LPF" << int(FILE_KIND_PROJECTION);
    QTest::newRow("survey") << "walk.tvd" << int(FILE_KIND_SURVEY);
    QTest::newRow("side file of a load") << "/site/office.gpfb" << int(FILE_KIND_NONE);
    QTest::newRow("backup") << "walk.tvd.bak" << int(FILE_KIND_NONE);
    QTest::newRow("document") << "site.vpf" << int(FILE_KIND_NONE);
    QTest::newRow("no extension") << "/site/gpf" << int(FILE_KIND_NONE);
  }

  void kindFollowsTheExtension() {
    QFETCH(QString, path);
    QFETCH(int, kind);
    QCOMPARE(int(FileKindOf(path)), kind);
  }

  void emptyListShowsDisabledPlace() {
    CMainFrame frame;
    QCOMPARE(RecentEntries(frame), QStringList{"Recent File"});
    QVERIFY(!frame.Action(ID_FILE_RECENT1)->isEnabled());
  }

  // Four entries, newest first; a file opened again moves to the top; the list outlives the window.
  void listKeepsFourNewestInTheSettings() {
    const QStringList files = {"/s/a.gpf", "/s/b.tvd", "/s/c.lpf", "/s/d&e.tvd", "/s/f.gpf"};
    {
      CMainFrame frame;
      for (const QString &strFile : files) {
        frame.AddRecentFile(strFile);
      }
      frame.AddRecentFile("/s/c.lpf");
      QCOMPARE(RecentEntries(frame), (QStringList{"&1 /s/c.lpf", "&2 /s/f.gpf", "&3 /s/d&&e.tvd", "&4 /s/b.tvd"}));
    }
    QSettings settings(ORGANISATION, "tarvex-collector");
    settings.beginGroup("Recent File List");
    QCOMPARE(settings.value("File1").toString(), QString("/s/c.lpf"));
    QCOMPARE(settings.value("File4").toString(), QString("/s/b.tvd"));
    QVERIFY(!settings.contains("File5"));
    CMainFrame later;
    QCOMPARE(later.RecentFiles().Files(), (QStringList{"/s/c.lpf", "/s/f.gpf", "/s/d&e.tvd", "/s/b.tvd"}));
  }

  void choosingAnEntryOpensItByKind() {
    const QString strSurvey = Touch("walk.tvd");
    const QString strPlan = Touch("office.lpf");
    CMainFrame frame;
    frame.AddRecentFile(strSurvey);
    frame.AddRecentFile(strPlan);
    CScriptedPrompts prompts; // the view opens them and says why these empty files cannot be read
    QSignalSpy opened(&frame, &CMainFrame::FileOpenRequested);
    frame.Action(ID_FILE_RECENT2)->trigger();
    frame.Action(ID_FILE_RECENT1)->trigger();
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened[0], (QVariantList{int(FILE_KIND_SURVEY), strSurvey}));
    QCOMPARE(opened[1], (QVariantList{int(FILE_KIND_PROJECTION), strPlan}));
  }

  // A file gone since it was opened is named in a message and leaves the list.
  void vanishedEntryIsReportedAndRemoved() {
    const QString strKept = Touch("kept.gpf");
    const QString strGone = Touch("gone.tvd");
    CMainFrame frame;
    frame.AddRecentFile(strKept);
    frame.AddRecentFile(strGone);
    QFile::remove(strGone);
    CScriptedPrompts prompts;
    prompts.AnswerMessage(PROMPT_ANSWER_OK, strGone + " could not be found.");
    QSignalSpy opened(&frame, &CMainFrame::FileOpenRequested);
    frame.Action(ID_FILE_RECENT1)->trigger();
    QVERIFY2(prompts.Problems().isEmpty(), qPrintable(prompts.Problems().join('\n')));
    QCOMPARE(opened.size(), 0);
    QCOMPARE(frame.RecentFiles().Files(), QStringList{strKept});
    QCOMPARE(RecentEntries(frame), QStringList{"&1 " + strKept});
  }

  void unknownKindIsRefusedByName() {
    CMainFrame frame;
    CScriptedPrompts prompts;
    const QString strPath = Touch("plan.png");
    prompts.AnswerMessage(PROMPT_ANSWER_OK,
                          strPath + " is neither a projection (.gpf, .lpf) nor a survey data file (.tvd).");
    QSignalSpy opened(&frame, &CMainFrame::FileOpenRequested);
    QVERIFY(!frame.OpenFileByKind(strPath));
    QVERIFY2(prompts.Problems().isEmpty(), qPrintable(prompts.Problems().join('\n')));
    QCOMPARE(prompts.Shown().front().message.strCaption, QString("Tarvex Collector"));
    QCOMPARE(opened.size(), 0);
  }

  // Files the collector opens are taken, in order, once the drop is over; others are left.
  void droppedFilesOpenByKind() {
    const QString strSurvey = Touch("drop.tvd");
    const QString strNote = Touch("note.txt");
    const QString strPlan = Touch("drop.gpf");
    CMainFrame frame;
    CScriptedPrompts prompts; // the view opens them and says why these empty files cannot be read
    QSignalSpy opened(&frame, &CMainFrame::FileOpenRequested);
    QMimeData onlyNote;
    onlyNote.setUrls({QUrl::fromLocalFile(strNote)});
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &onlyNote, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &refused);
    QVERIFY(!refused.isAccepted());

    QMimeData three;
    three.setUrls({QUrl::fromLocalFile(strSurvey), QUrl::fromLocalFile(strNote), QUrl::fromLocalFile(strPlan)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &three, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &three, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(opened.size(), 0);
    QTRY_COMPARE(opened.size(), 2);
    QCOMPARE(opened[0], (QVariantList{int(FILE_KIND_SURVEY), strSurvey}));
    QCOMPARE(opened[1], (QVariantList{int(FILE_KIND_PROJECTION), strPlan}));
  }

private:
  QString Touch(const QString &strName) {
    const QString strPath = m_filesDir.filePath(strName);
    QFile file(strPath);
    file.open(QIODevice::WriteOnly);
    return strPath;
  }

  QTemporaryDir m_settingsDir;
  QTemporaryDir m_filesDir;
};

QTEST_MAIN(CFilesTest)
#include "FilesTest.moc"
