// The collection commands in the window: Open Projection and Open Collection in either order,
// with the boxes and dialogs each shows; Show Segment's enabling; Instructions; the files named
// by the recent-file list; what a walk disables; and a projection that cannot be loaded.
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "platform/FileFaults.h"
#include "tests/app/ViewDialogs.h"
#include "tests/app/ViewRunSupport.h"

#include <QAction>
#include <QLabel>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>

#include <functional>

namespace {

const QString SAVE_COLLECTION = "Please save the Collection File";
const QString LOAD_PROJECTION = "Please load the Projection File";
const QString TEXT_OPEN_EXISTING = "Do you wish to open an existing data file?";
const QString STOP_FIRST = "A segment is being walked: press STOP ! to end the walk first.";

// What the operator was shown, one line each: a box by its text, a file dialog by its kind, a
// dialog by its class.
QStringList Seen(const CScriptedPrompts &prompts) {
  QStringList seen;
  for (const _shownprompt &shown : prompts.Shown()) {
    switch (shown.nKind) {
    case _shownprompt::kindMessage:
      seen.append(shown.message.strText);
      break;
    case _shownprompt::kindFile:
      seen.append(shown.file.nKind == _fileprompt::save ? "save file" : "open file");
      break;
    case _shownprompt::kindModal:
      seen.append(shown.strDialog);
      break;
    }
  }
  return seen;
}

} // namespace

class CViewCommandsTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_settingsDir;
  std::unique_ptr<QTemporaryDir> m_pDir;
  std::shared_ptr<CSimulatedReceiver> m_pSim;
  std::unique_ptr<CHookedPrompts> m_pPrompts;
  std::unique_ptr<CMainFrame> m_pFrame;

  CMainFrame &Frame() { return *m_pFrame; }
  CTarvexCollectorView &View() { return *m_pFrame->GetView(); }
  CSurveySession &Session() { return View().Session(); }
  template <class T> T &Dialog() { return ViewDialog<T>(View()); }
  CHookedPrompts &Prompts() { return *m_pPrompts; }
  QString FilePath(const QString &strName) const { return m_pDir->filePath(strName); }
  bool Enabled(int nId) { return Frame().Action(nId)->isEnabled(); }

  // Open Projection on a small test plan, as the operator picks it; fnThen scripts what follows.
  QString OpenPlan(const QString &strName, const std::function<void()> &fnThen) {
    const QString strPlan = CopyTestData(strName, m_pDir->path());
    Prompts().AnswerFile(strPlan);
    fnThen();
    Frame().Action(ID_FILE_OPENPROJECTION)->trigger();
    return strPlan;
  }
  // Open Projection with no survey open: "Please save the Collection File" follows.
  QString OpenPlanFirst() {
    return OpenPlan("site.lpf", [this] { Prompts().AnswerMessage(PROMPT_ANSWER_OK, SAVE_COLLECTION); });
  }

  // Open Collection, new file, with nothing after the survey is created.
  void CreateSurveyWithoutProjection(const QString &strPath) {
    Prompts().AnswerMessage(PROMPT_ANSWER_NO, TEXT_OPEN_EXISTING);
    Prompts().AnswerFile(strPath);
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, LOAD_PROJECTION);
    Frame().Action(ID_FILE_OPENCOLLECTION)->trigger();
  }

private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
  }

  void init() {
    QSettings().clear();
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pSim = EnableSimulatedUnit();
    m_pPrompts = std::make_unique<CHookedPrompts>();
    m_pFrame = std::make_unique<CMainFrame>();
    m_pFrame->resize(1280, 800);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
  }

  void cleanup() {
    m_pFrame.reset();
    m_pPrompts.reset();
    CFileFaults::Reset();
    D2xxDisableAllBackends();
    m_pDir.reset();
  }

  // Projection first: the plan shown one to one, "Please save the Collection File"; then a new
  // survey: the channel choice, the help pages, the segment dialog. Show Segment is enabled once
  // both are open.
  void projectionFirst() {
    QVERIFY(!Enabled(ID_SHOW_SEGMENT));
    const QString strPlan = OpenPlanFirst();
    QVERIFY(Session().Run().m_bProjectionLoaded);
    QCOMPARE(Prompts().Shown().back().message.strCaption, QString("IMPORTANT"));
    // The 64 x 48 plan one to one from the top-left corner, nothing to scroll.
    const _planrect &plan = Session().Plan().m_rcExtent;
    QCOMPARE((QList<int>{plan.left, plan.right, plan.top, plan.bottom}), (QList<int>{0, 64, 0, 48}));
    const QSize client = View().viewport()->size();
    const _planrect &window = Session().Plan().m_rcView;
    QCOMPARE((QList<int>{window.left, window.right, window.top, window.bottom}),
             (QList<int>{0, client.width(), 0, client.height()}));
    QCOMPARE(View().horizontalScrollBar()->maximum(), 0);
    QCOMPARE(Dialog<CIntroDialog>().GetDlgItemText(1063), QDir::toNativeSeparators(strPlan));
    QCOMPARE(Frame().Pane(ID_INDICATOR_PROJECTION)->text(), QString("Projection Type: Linear Coded"));
    QCOMPARE(Frame().RecentFiles().Files(), QStringList{strPlan});
    QVERIFY(!Enabled(ID_SHOW_SEGMENT));
    // Both kinds of projection offered at once, after the two of their own.
    const _fileprompt &projection = Prompts().Shown().front().file;
    QCOMPARE(projection.filters, (QStringList{"Linear Projection Files (*.lpf)", "Geo-coded Projection Files (*.gpf)",
                                              "Projection Files (*.gpf *.lpf)"}));
    QCOMPARE(projection.strFilter, projection.filters.back());
    QCOMPARE(Frame().windowTitle(), QString("site.lpf - Tarvex Collector"));

    const QString strSurvey = FilePath("first.tvd");
    Prompts().AnswerMessage(PROMPT_ANSWER_NO, TEXT_OPEN_EXISTING);
    Prompts().AnswerFile(strSurvey);
    Prompts().AnswerModal(ChooseChannels(1));
    Prompts().AnswerModal(QDialog::Rejected); // the help pages' close box
    Frame().Action(ID_FILE_OPENCOLLECTION)->trigger();
    QCOMPARE(Seen(Prompts()), (QStringList{"open file", SAVE_COLLECTION, TEXT_OPEN_EXISTING, "save file",
                                           "CWarningDialog", "CHelpDialog"}));
    const _fileprompt &offered = Prompts().Shown()[3].file;
    QCOMPARE(offered.strFileName, QString("Data"));
    QCOMPARE(offered.strDefaultSuffix, QString("tvd"));
    QCOMPARE(offered.filters, (QStringList{"Tarvex Survey Data Files (*.tvd)", "All Files (*.*)"}));
    QCOMPARE(Session().SiteData()->m_segment.nRecordCount, uint16_t{1});
    QVERIFY(Session().Run().m_bCollectionOpen);
    QVERIFY(Session().Walk() != nullptr);
    QVERIFY(Dialog<CSegmentDataDialog>().isVisible());
    QCOMPARE(Dialog<CIntroDialog>().GetDlgItemText(1064), QDir::toNativeSeparators(strSurvey));
    QVERIFY(Enabled(ID_SHOW_SEGMENT));
    QCOMPARE(Frame().windowTitle(), QString("first.tvd (site.lpf) - Tarvex Collector"));
    QVERIFY(m_pSim->ReceivedBytes().empty());
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // A plan larger than the client area: the scroll ranges are the plan's size less the client's.
  void scrollRangesOfALargerPlan() {
    CTarvexCollectorView view;
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view.resize(60, 50);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, SAVE_COLLECTION);
    QVERIFY(view.OpenProjectionFile(CopyTestData("site.lpf", m_pDir->path())));
    const QSize client = view.viewport()->size();
    QVERIFY(client.width() < 64 && client.height() < 48);
    QCOMPARE(view.horizontalScrollBar()->maximum(), 64 - client.width());
    QCOMPARE(view.verticalScrollBar()->maximum(), 48 - client.height());
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // Collection first: "Please load the Projection File"; then the projection asks for the
  // channel count (2 this time), and nothing else follows.
  void collectionFirst() {
    CreateSurveyWithoutProjection(FilePath("second.tvd"));
    QCOMPARE(Prompts().Shown().back().message.strCaption, QString("IMPORTANT"));
    QVERIFY(Session().Run().m_bCollectionOpen);
    QVERIFY(!Enabled(ID_SHOW_SEGMENT));
    OpenPlan("site.gpf", [this] { Prompts().AnswerModal(ChooseChannels(2)); });
    QCOMPARE(Seen(Prompts()).mid(3), (QStringList{"open file", "CWarningDialog"}));
    QCOMPARE(Session().SiteData()->m_segment.nRecordCount, uint16_t{2});
    QCOMPARE(Frame().Pane(ID_INDICATOR_PROJECTION)->text(), QString("Projection Type: Geo-Coded"));
    QVERIFY(Enabled(ID_SHOW_SEGMENT));
    QVERIFY(!Dialog<CSegmentDataDialog>().isVisible());
    Frame().Action(ID_SHOW_SEGMENT)->trigger();
    QVERIFY(Dialog<CSegmentDataDialog>().isVisible());
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // A cancelled channel choice: on the new-file branch the help pages and the segment dialog
  // still follow; on the existing-file branch nothing follows.
  void cancelledChannelChoice() {
    OpenPlanFirst();
    const QString strSurvey = FilePath("cancel.tvd");
    Prompts().AnswerMessage(PROMPT_ANSWER_NO, TEXT_OPEN_EXISTING);
    Prompts().AnswerFile(strSurvey);
    Prompts().AnswerModal(QDialog::Rejected);
    Prompts().AnswerModal(QDialog::Rejected);
    Frame().Action(ID_FILE_OPENCOLLECTION)->trigger();
    QCOMPARE(Seen(Prompts()).mid(4), (QStringList{"CWarningDialog", "CHelpDialog"}));
    QVERIFY(Dialog<CSegmentDataDialog>().isVisible());
    QCOMPARE(Session().SiteData()->m_segment.nRecordCount, uint16_t{0});

    Dialog<CSegmentDataDialog>().hide();
    Prompts().Clear();
    Prompts().AnswerMessage(PROMPT_ANSWER_YES, TEXT_OPEN_EXISTING);
    Prompts().AnswerFile(strSurvey);
    Prompts().AnswerModal(QDialog::Rejected);
    Frame().Action(ID_FILE_OPENCOLLECTION)->trigger();
    QCOMPARE(Seen(Prompts()), (QStringList{TEXT_OPEN_EXISTING, "open file", "CWarningDialog"}));
    QVERIFY(!Dialog<CSegmentDataDialog>().isVisible());
    QVERIFY(Session().Run().m_bCollectionOpen);
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // An existing survey while connected: no warning before levels have come, and CMD_RESEND_INFO
  // after the help pages; once levels have come, the measurement-mode warning first; a failed
  // write of the command is reported.
  void existingSurveyWhileConnected() {
    QVERIFY(ConnectAndWaitForDescription(View(), Prompts()));
    OpenPlanFirst();
    const QString strSurvey = CopyTestData("two-channels.tvd", m_pDir->path());
    Prompts().Clear();
    Prompts().AnswerMessage(PROMPT_ANSWER_YES, TEXT_OPEN_EXISTING);
    Prompts().AnswerFile(strSurvey);
    Prompts().AnswerModal(ChooseChannels(2));
    Prompts().AnswerModal(QDialog::Rejected);
    Frame().Action(ID_FILE_OPENCOLLECTION)->trigger();
    QCOMPARE(Seen(Prompts()), (QStringList{TEXT_OPEN_EXISTING, "open file", "CWarningDialog", "CHelpDialog"}));
    QCOMPARE(CommandsWritten(m_pSim->ReceivedBytes(), CMD_RESEND_INFO), 1);
    QCOMPARE(Session().Plan().m_nSegmentCount, 2);
    QVERIFY(Session().Plan().m_Stop[1].bPlaced);
    VERIFY_AS_SCRIPTED(Prompts());

    m_pSim->SetMeasurementMode(true);
    m_pSim->Advance(500);
    QVERIFY(QTest::qWaitFor([&] { return Session().Run().m_bChannel1Levels; }, RUN_WAIT_MS));
    m_pSim->FailWrites(true);
    Prompts().Clear();
    const QString strWarning =
        "Tarvex Receiver must NOT be in Measurement Mode prior to opening a Survey Data File.\nPlease press \"ESC\" "
        "on the Tarvex Front panel to exit Measurement mode and then click OK";
    const QString strResendFailed =
        "Command to Resend Tarvex Info could not be sent, please check the connection. Make sure that the Tarvex is "
        "in Single Channel Measurement Mode and then try again";
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, strWarning);
    Prompts().AnswerMessage(PROMPT_ANSWER_YES, TEXT_OPEN_EXISTING);
    Prompts().AnswerFile(strSurvey);
    Prompts().AnswerModal(ChooseChannels(1));
    Prompts().AnswerModal(QDialog::Rejected);
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, strResendFailed);
    Frame().Action(ID_FILE_OPENCOLLECTION)->trigger();
    QCOMPARE(Prompts().Shown().front().message.strCaption, QString("Tarvex Collector"));
    QCOMPARE(Prompts().Shown().back().message.strCaption, QString("Tarvex Info Alert !"));
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // Not connected: no warning and no command, whatever came before.
  void existingSurveyWhileNotConnected() {
    OpenPlanFirst();
    Session().Run().m_bChannel1Levels = true; // levels came during an earlier connection
    Prompts().Clear();
    Prompts().AnswerMessage(PROMPT_ANSWER_YES, TEXT_OPEN_EXISTING);
    Prompts().AnswerFile(CopyTestData("one-channel.tvd", m_pDir->path()));
    Prompts().AnswerModal(ChooseChannels(1));
    Prompts().AnswerModal(QDialog::Rejected);
    Frame().Action(ID_FILE_OPENCOLLECTION)->trigger();
    QCOMPARE(Seen(Prompts()), (QStringList{TEXT_OPEN_EXISTING, "open file", "CWarningDialog", "CHelpDialog"}));
    QVERIFY(m_pSim->ReceivedBytes().empty());
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // Cancelling the new-file dialog says that nothing will be collected.
  void cancelledNewFile() {
    Prompts().AnswerMessage(PROMPT_ANSWER_NO, TEXT_OPEN_EXISTING);
    Prompts().AnswerFile({});
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, "No data file selected, data can not be collected.");
    Frame().Action(ID_FILE_OPENCOLLECTION)->trigger();
    QVERIFY(!Session().Run().m_bCollectionOpen);
    QCOMPARE(Prompts().Shown().back().message.strCaption, QString("Tarvex Collector"));
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // Show Segment follows both files in either order, and a failed projection load takes it away
  // again, as it takes the plan: nothing is left to paint or point at, and nothing divides by an
  // empty window.
  void failedProjectionLeavesNoPlan() {
    CreateSurveyWithoutProjection(FilePath("plan.tvd"));
    OpenPlan("site.lpf", [this] { Prompts().AnswerModal(QDialog::Rejected); });
    QVERIFY(Enabled(ID_SHOW_SEGMENT));
    const _planrect window = Session().Plan().m_rcView;

    const QString strBroken = FilePath("broken.gpf");
    QFile broken(strBroken);
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(300, 'x').prepend("GPF "));
    broken.close();
    Prompts().AnswerFile(strBroken);
    Prompts().AnswerMessage(PROMPT_ANSWER_OK);
    Frame().Action(ID_FILE_OPENPROJECTION)->trigger();
    const QString strShown = Prompts().Shown().back().message.strText;
    QVERIFY2(strShown.startsWith("The projection " + QDir::toNativeSeparators(strBroken) + " could not be loaded."),
             qPrintable(strShown));
    QVERIFY(!Session().Run().m_bProjectionLoaded);
    QVERIFY(!Enabled(ID_SHOW_SEGMENT));
    QVERIFY(Dialog<CIntroDialog>().GetDlgItemText(1063).isEmpty());
    QCOMPARE(Session().Plan().m_rcView.right - Session().Plan().m_rcView.left, window.right - window.left);
    const QImage shown = View().viewport()->grab().toImage();
    QCOMPARE(shown.pixelColor(5, 5), QColor(Qt::black)); // no plan: the request for one
    QTest::mouseClick(View().viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseMove(View().viewport(), QPoint(30, 25));
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // A projection whose transform gives no coordinates (all zeros, or numbers that are not numbers)
  // is refused on loading with the reason, before its plan is shown or its side files written.
  void projectionWithoutCoordinatesIsRefused_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<char>("fill"); // every byte of the transform's matrix
    QTest::newRow("geo-coded, all zeros") << "site.gpf" << '\0';
    QTest::newRow("linear, not a number") << "site.lpf" << '\xff';
  }
  void projectionWithoutCoordinatesIsRefused() {
    QFETCH(QString, file);
    QFETCH(char, fill);
    const QString strPlan = CopyTestData(file, m_pDir->path());
    QFile plan(strPlan);
    QVERIFY(plan.open(QIODevice::ReadWrite) && plan.seek(13)); // the matrix: 16 doubles
    QCOMPARE(plan.write(QByteArray(128, fill)), qint64{128});
    plan.close();
    Prompts().AnswerFile(strPlan);
    Prompts().AnswerMessage(PROMPT_ANSWER_OK);
    Frame().Action(ID_FILE_OPENPROJECTION)->trigger();
    const QString strShown = Prompts().Shown().back().message.strText;
    const QString strNative = QDir::toNativeSeparators(strPlan);
    QVERIFY2(strShown.startsWith("The projection " + strNative + " could not be loaded.\n\n" + strNative +
                                 ": its transform cannot be inverted"),
             qPrintable(strShown));
    QVERIFY2(strShown.contains("a walk would store them"), qPrintable(strShown));
    QVERIFY(!Session().Run().m_bProjectionLoaded);
    QVERIFY(!QFile::exists(strPlan + "c") && !QFile::exists(strPlan + "b"));
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // A projection in a folder that cannot be written to opens all the same: its side files go to
  // the user's cache, and the status bar says so.
  void readOnlyFolderKeepsThePlanInTheCache() {
    const QString strPlan = CopyTestData("site.lpf", m_pDir->path());
    // The side file is written through a temporary file beside it; the folder refuses that.
    CFileFaults::FailOpen((strPlan + "c" + CReplacingFile::PARTIAL_SUFFIX).toStdString(), EROFS);
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, SAVE_COLLECTION);
    QVERIFY(View().OpenProjectionFile(strPlan));
    QVERIFY(Session().Run().m_bProjectionLoaded);
    const QString strBitmap = QString::fromStdString(Session().Projection().m_strBitmapPath);
    QVERIFY2(strBitmap.startsWith(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)),
             qPrintable(strBitmap));
    QVERIFY(!QFile::exists(strPlan + "b"));
    QVERIFY(Frame().statusBar()->currentMessage().contains("cannot be written to"));
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // Instructions shows a help dialog made for that run, not the one Open Collection keeps.
  void instructionsShowANewHelpDialog() {
    QList<const QDialog *> shown;
    const auto play = [&shown](QDialog &dialog) {
      shown.append(&dialog);
      return int(QDialog::Rejected);
    };
    Prompts().AnswerModal(play);
    Prompts().AnswerModal(play);
    Frame().Action(ID_INSTRUCTIONS)->trigger();
    Frame().Action(ID_INSTRUCTIONS)->trigger();
    QCOMPARE(Seen(Prompts()), (QStringList{"CHelpDialog", "CHelpDialog"}));
    QVERIFY(!shown.contains(&Dialog<CHelpDialog>())); // the one Open Collection keeps
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // Recent-file entries open by kind: a survey as an existing one, without the Yes/No question.
  void recentEntriesOpenByKind() {
    const QString strSurvey = CopyTestData("one-channel.tvd", m_pDir->path());
    const QString strPlan = CopyTestData("site.lpf", m_pDir->path());
    Frame().AddRecentFile(strSurvey);
    Frame().AddRecentFile(strPlan);
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, LOAD_PROJECTION);
    Frame().Action(ID_FILE_RECENT2)->trigger();
    QVERIFY(Session().Run().m_bCollectionOpen);
    QCOMPARE(Session().SiteData()->m_strPath, strSurvey.toStdString());
    Prompts().AnswerModal(QDialog::Rejected);
    Frame().Action(ID_FILE_RECENT2)->trigger(); // the projection, second since the survey was opened
    QVERIFY(Session().Run().m_bProjectionLoaded);
    QCOMPARE(Seen(Prompts()), (QStringList{LOAD_PROJECTION, "CWarningDialog"}));
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // While a segment is walked nothing can take the plan, the survey or the receiver away: the
  // commands are disabled and say why, and a file named meanwhile is refused. The packets notice
  // BEGIN and STOP by themselves; the segment dialog also tells the view.
  void walkDisablesWhatWouldDisturbIt() {
    QVERIFY(ConnectAndWaitForDescription(View(), Prompts()));
    CreateSurveyWithoutProjection(FilePath("walked.tvd"));
    const QString strPlan = OpenPlan("site.lpf", [this] { Prompts().AnswerModal(QDialog::Rejected); });
    VERIFY_AS_SCRIPTED(Prompts());
    CSurveySession &walk = Session();
    QVERIFY(walk.NewSegment() && walk.SetStartPoint({5, 23}) && walk.SetStopPoint({58, 23}));
    QVERIFY(walk.Begin());
    m_pSim->SetMeasurementMode(true);
    m_pSim->Advance(500);
    QVERIFY(QTest::qWaitFor([&] { return !Enabled(ID_FILE_OPENPROJECTION); }, RUN_WAIT_MS));
    for (const int nId : {ID_FILE_OPENPROJECTION, ID_FILE_OPENCOLLECTION, ID_CONNECT, ID_FILE_RECENT1}) {
      QVERIFY2(!Enabled(nId), qPrintable(QString::number(nId)));
      QCOMPARE(Frame().Action(nId)->statusTip(), STOP_FIRST);
    }
    QVERIFY(Enabled(ID_SHOW_SEGMENT));
    Prompts().Clear();
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, STOP_FIRST);
    QVERIFY(Frame().OpenFileByKind(strPlan));
    VERIFY_AS_SCRIPTED(Prompts());
    QCOMPARE(Prompts().Shown().size(), 1);

    QVERIFY(walk.Stop());
    View().UpdateCommandStates();
    for (const int nId : {ID_FILE_OPENPROJECTION, ID_FILE_OPENCOLLECTION, ID_CONNECT, ID_FILE_RECENT1}) {
      QVERIFY2(Enabled(nId), qPrintable(QString::number(nId)));
      QVERIFY(Frame().Action(nId)->statusTip() != STOP_FIRST);
    }
    QCOMPARE(Frame().Action(ID_FILE_OPENPROJECTION)->statusTip(), QString("Open Projection"));
  }

  // While the view waits after the connection dialog, Connect is disabled and the status bar
  // says what is happening.
  void connectingShowsInTheWindow() {
    View().SetConnectWait(60 * 60 * 1000);
    Prompts().AnswerModal(PressConnect);
    Frame().Action(ID_CONNECT)->trigger();
    QVERIFY(View().IsConnecting());
    QVERIFY(!Enabled(ID_CONNECT));
    QCOMPARE(Frame().statusBar()->currentMessage(), QString("Connecting to the receiver…"));
    View().SetConnectWait(0); // the wait under way ends now
    QVERIFY(QTest::qWaitFor([&] { return View().IsReceiverConnected(); }, RUN_WAIT_MS));
    QVERIFY(Enabled(ID_CONNECT));
    QCOMPARE(Frame().statusBar()->currentMessage(), QString("Ready"));
  }
};

QTEST_MAIN(CViewCommandsTest)
#include "ViewCommandsTest.moc"
