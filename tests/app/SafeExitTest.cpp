// Leaving safely: closing the window during a walk asks first and then stops the walk as STOP
// does, the survey is closed with its reporting close, a failed final write offers Retry, a copy
// elsewhere or quitting after a warning, and SIGTERM and SIGINT do the same without asking.
#include "app/SafeExit.h"
#include "app/MainFrame.h"
#include "app/SignalExit.h"
#include "platform/FileFaults.h"
#include "tests/app/WalkingSurvey.h"
#include "tests/support/ScriptedPrompts.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

enum { answerStopAndExit = PROMPT_ANSWER_CUSTOM, answerKeepWalking };
enum { answerRetry = PROMPT_ANSWER_CUSTOM, answerSaveCopy, answerQuitAnyway, answerCancel };

// The operator, who also frees the disk when asked where a copy goes (it goes to another disk)
// or, with bFreeOnRetry, before pressing Retry.
class CFreeingPrompts : public CScriptedPrompts {
public:
  bool m_bFreeOnRetry = false;
  int Message(QWidget *pParent, const _messageprompt &prompt) override {
    const int nAnswer = CScriptedPrompts::Message(pParent, prompt);
    if (m_bFreeOnRetry && prompt.customButtons.size() == 4 && nAnswer == answerRetry) {
      CFileFaults::Reset();
    }
    return nAnswer;
  }
  QString File(QWidget *pParent, const _fileprompt &prompt) override {
    CFileFaults::Reset();
    return CScriptedPrompts::File(pParent, prompt);
  }
};

} // namespace

class CSafeExitTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
  }

  void init() {
    m_pDir = std::make_unique<QTemporaryDir>();
    m_strPath = m_pDir->filePath("walk.tvd").toStdString();
    m_pFrame = std::make_unique<CMainFrame>();
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
  }

  void cleanup() {
    CFileFaults::Reset();
    m_pFrame.reset();
    QDir(CSafeExit::RescueFolder()).removeRecursively();
  }

  // Asked first; "Keep Walking" leaves everything as it was, "Stop and Exit" stops the walk and
  // closes a sound survey with the segment's final header.
  void closeDuringAWalk_data() {
    QTest::addColumn<int>("nAnswer");
    QTest::newRow("keep walking") << int(answerKeepWalking);
    QTest::newRow("stop and exit") << int(answerStopAndExit);
  }
  void closeDuringAWalk() {
    QFETCH(int, nAnswer);
    const uint64_t nRecorded = Walk();
    CScriptedPrompts prompts;
    prompts.AnswerMessage(nAnswer, QString::fromUtf8(CSafeExit::TEXT_WALKING).arg(1));
    m_pFrame->close();
    QVERIFY2(prompts.Problems().isEmpty(), qPrintable(prompts.Problems().join('\n')));
    QCOMPARE(prompts.Shown().size(), 1);
    QCOMPARE(prompts.Shown()[0].message.customButtons, QStringList({"Stop and Exit", "Keep Walking"}));
    CTarvexCollectorView &view = *m_pFrame->GetView();
    const CSegmentDataDialog &dialog = ViewDialog<CSegmentDataDialog>(view);
    if (nAnswer == answerKeepWalking) {
      QVERIFY(m_pFrame->isVisible());
      QVERIFY(view.IsWalkInProgress());
      QVERIFY(view.Session().IsOpen());
      QCOMPARE(dialog.GetDlgItemText(IDC_BEGIN_STOP), QString("STOP !"));
      return;
    }
    QVERIFY(!m_pFrame->isVisible());
    QVERIFY(!view.Session().IsOpen());
    QVERIFY(!dialog.m_bWalking);
    QCOMPARE(dialog.GetDlgItemText(IDC_BEGIN_STOP), QString("BEGIN !"));
    ExpectFinished(m_strPath, nRecorded);
  }

  // A survey open and no walk: closed without a question.
  void closeWithASurveyOpen() {
    const uint64_t nRecorded = Walk();
    QVERIFY(m_pFrame->GetView()->Session().Stop());
    CScriptedPrompts prompts;
    QVERIFY(m_pFrame->close());
    QVERIFY(prompts.Shown().isEmpty());
    QVERIFY(!m_pFrame->GetView()->Session().IsOpen());
    ExpectFinished(m_strPath, nRecorded);
  }

  // The final write fails (the disk is full): Retry once there is room; or a sound copy of the
  // whole survey elsewhere; or quit after the warning; or stay.
  void failedFinalWrite_data() {
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<bool>("bClosed");
    QTest::newRow("retry") << QList<int>{answerRetry} << true;
    QTest::newRow("save a copy") << QList<int>{answerSaveCopy, PROMPT_ANSWER_OK} << true;
    QTest::newRow("quit anyway") << QList<int>{answerQuitAnyway, PROMPT_ANSWER_YES} << true;
    QTest::newRow("quit anyway, no") << QList<int>{answerQuitAnyway, PROMPT_ANSWER_NO, answerCancel} << false;
    QTest::newRow("retry, still full, stay") << QList<int>{answerRetry, answerCancel} << false;
  }
  void failedFinalWrite() {
    QFETCH(QList<int>, answers);
    QFETCH(bool, bClosed);
    const uint64_t nRecorded = Walk();
    CTarvexCollectorView &view = *m_pFrame->GetView();
    const bool bRetryFrees = QTest::currentDataTag() == QByteArray("retry");
    const QString strCopy = m_pDir->filePath("elsewhere/walk copy.tvd");
    QDir().mkpath(m_pDir->filePath("elsewhere"));
    CFreeingPrompts prompts;
    prompts.m_bFreeOnRetry = bRetryFrees;
    prompts.AnswerMessage(answerStopAndExit);
    for (const int nAnswer : answers) {
      prompts.AnswerMessage(nAnswer);
      if (nAnswer == answerSaveCopy) {
        prompts.AnswerFile(strCopy);
      }
    }
    CFileFaults::FailWritesAfter(0);
    m_pFrame->close();
    CFileFaults::Reset();
    QVERIFY2(prompts.Problems().isEmpty(), qPrintable(prompts.Problems().join('\n')));
    QCOMPARE(prompts.Unused(), 0);
    QCOMPARE(!m_pFrame->isVisible(), bClosed);
    QVERIFY(!view.IsWalkInProgress());

    // The failure says why, and offers its four ways out.
    const _shownprompt &failure = prompts.Shown()[1];
    QVERIFY(failure.message.strText.startsWith("The survey could not be saved completely:\n"));
    QVERIFY2(failure.message.strText.contains(QString::fromStdString(m_strPath)), qPrintable(failure.message.strText));
    QCOMPARE(failure.message.customButtons, QStringList({"Retry", "Save a Copy As…", "Quit Anyway", "Cancel"}));

    const QString strTag = QString::fromLatin1(QTest::currentDataTag());
    if (strTag == "retry") {
      QVERIFY(!view.Session().IsOpen());
      ExpectFinished(m_strPath, nRecorded);
    } else if (strTag == "save a copy") {
      const _fileprompt &asked = prompts.Shown()[2].file;
      QCOMPARE(asked.nKind, _fileprompt::save);
      QVERIFY(asked.bConfirmOverwrite);
      QCOMPARE(asked.strFileName, QString("walk copy.tvd"));
      QCOMPARE(asked.strCaption, QString("Save a Copy of the Survey As"));
      QCOMPARE(asked.filters, (QStringList{"Tarvex Survey Data Files (*.tvd)", "All Files (*.*)"}));
      QCOMPARE(prompts.Shown()[3].message.strText, "A sound copy of the whole survey was saved as " + strCopy + ".");
      ExpectFinished(strCopy.toStdString(), nRecorded);
    } else if (strTag.startsWith("quit anyway")) {
      QCOMPARE(prompts.Shown()[2].message.strText,
               QString::fromUtf8(CSafeExit::TEXT_QUIT_ANYWAY).arg(QString::fromStdString(m_strPath)));
      QCOMPARE(prompts.Shown()[2].message.nButtons, PROMPT_YESNO);
      QCOMPARE(ReadSurvey(m_strPath).LevelCount(), 0U); // nothing could be written
    }
    if (!bClosed) {
      QVERIFY(view.Session().IsOpen());
      // What could not be written is still there for a later close.
      QVERIFY(m_pFrame->close());
      ExpectFinished(m_strPath, nRecorded);
    }
  }

  // Unattended, with a survey that can no longer be written (its permissions changed under the
  // collector): the close is retried once, then a sound copy of the whole survey goes to the
  // rescue folder. The window's next start names the copy, once.
  void unattendedCloseRescuesACopy() {
    const uint64_t nRecorded = Walk();
    CScriptedPrompts prompts;
    CFileFaults::FailOpenForWriting(m_strPath, EACCES);
    m_pFrame->CloseUnattended();
    CFileFaults::Reset();
    QVERIFY(!m_pFrame->isVisible());
    QVERIFY(prompts.Shown().isEmpty());
    const QStringList copies = QDir(CSafeExit::RescueFolder()).entryList({"walk-*.tvd"}, QDir::Files);
    QCOMPARE(copies.size(), 1);
    const QString strCopy = QDir(CSafeExit::RescueFolder()).filePath(copies[0]);
    ExpectFinished(strCopy.toStdString(), nRecorded);

    prompts.AnswerMessage(PROMPT_ANSWER_OK);
    for (int nStart = 1; nStart <= 2; ++nStart) {
      CMainFrame next;
      next.show();
      QVERIFY(QTest::qWaitForWindowExposed(&next));
      QTest::qWait(1);
      QCOMPARE(prompts.Shown().size(), 1); // the second start says nothing more
    }
    const QString strShown = prompts.MessageTexts().value(0);
    QVERIFY2(strShown.contains("A sound copy of the whole survey was saved as " + strCopy + "."), qPrintable(strShown));
    QVERIFY2(strShown.contains("SIGTERM"), qPrintable(strShown));
    QVERIFY2(prompts.Problems().isEmpty(), qPrintable(prompts.Problems().join('\n')));
  }

  // SIGTERM and SIGINT in-process: the handler only wakes the window, which then closes without
  // asking; the survey is closed and sound with the walked segment's final header.
  void signalClosesWithoutAsking_data() {
    QTest::addColumn<int>("nSignal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
  }
  void signalClosesWithoutAsking() {
    QFETCH(int, nSignal);
    const uint64_t nRecorded = Walk();
    CScriptedPrompts prompts;
    int nCloses = 0;
    CMainFrame *pFrame = m_pFrame.get();
    CSignalExit signalExit([pFrame, &nCloses] {
      ++nCloses;
      pFrame->CloseUnattended();
    });
    QVERIFY(signalExit.IsInstalled());
    QCOMPARE(std::raise(nSignal), 0);
    QCOMPARE(nCloses, 0); // the handler itself does nothing but write to the pipe
    QTRY_VERIFY(!m_pFrame->isVisible());
    QCOMPARE(nCloses, 1);
    QVERIFY(prompts.Shown().isEmpty());
    QVERIFY(!m_pFrame->GetView()->Session().IsOpen());
    ExpectFinished(m_strPath, nRecorded);
  }

private:
  // Segment 1 walked in the frame's view for 1.5 s of the unit at 40 levels a second per
  // channel: the levels are buffered, none in the file yet. Returns the levels recorded.
  uint64_t Walk() {
    CTarvexCollectorView &view = *m_pFrame->GetView();
    m_pFeed = std::make_unique<CUnitFeed>(view);
    const bool bWalking = StartWalking(view, m_strPath);
    m_pFeed->Unit().SetMeasurementMode(true);
    m_pFeed->Advance(1500);
    const CCollectionRun &run = view.Session().Run();
    const uint64_t nRecorded = run.GetLevelsRecorded(1) + run.GetLevelsRecorded(2);
    [&] { QVERIFY(bWalking && nRecorded >= 100); }();
    return nRecorded;
  }

  // The survey at strPath holds segment 1 with its final header (stop time, record count) and
  // every level recorded.
  static void ExpectFinished(const std::string &strPath, uint64_t nRecorded) {
    const _surveycontents contents = ReadSurvey(strPath);
    QVERIFY2(contents.IsSound(), contents.IsSound() ? "" : contents.errors.front().strText.c_str());
    QCOMPARE(contents.segments.size(), size_t{1});
    const _surveysegmententry &segment = contents.segments[0];
    // The final header: stamped at STOP, after BEGIN, and counting the segment's records.
    QVERIFY(CTickingSurveyClock::StopOf(segment.header) > CTickingSurveyClock::StartOf(segment.header));
    QVERIFY(!segment.records.empty());
    QCOMPARE(uint64_t{segment.header.nRecordCount}, uint64_t{segment.records.size()});
    QCOMPARE(contents.LevelCount(), nRecorded);
  }

  QTemporaryDir m_settings;
  std::unique_ptr<QTemporaryDir> m_pDir;
  std::string m_strPath;
  std::unique_ptr<CMainFrame> m_pFrame;
  std::unique_ptr<CUnitFeed> m_pFeed;
};

QTEST_MAIN(CSafeExitTest)
#include "SafeExitTest.moc"
