// Open Collection and the files it touches: a survey that cannot be created, a file that exists,
// the files the session works with, a segment announced but never begun, a survey another program
// holds, a survey whose last walk was cut off, a file that is no survey, and the open survey that
// cannot be closed.
#include "app/SafeExit.h"
#include "platform/FileFaults.h"
#include "survey/SurveyFiles.h"
#include "tests/app/ViewDialogs.h"
#include "tests/app/ViewRunSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <stdexcept>

namespace {

const QString TEXT_OPEN_EXISTING = "Do you wish to open an existing data file?";
const QString LOAD_PROJECTION = "Please load the Projection File";
const QString NO_FILE = "No data file selected, data can not be collected.";

QByteArray Contents(const QString &strPath) {
  QFile file(strPath);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The operator's message for a failure of the survey file, as the survey data object says it.
QString CreationFailure(const QString &strPath, int nMode) {
  CSitePlan plan;
  try {
    CSiteData data(strPath.toStdString(), nMode, plan);
  } catch (const CFileException &failure) {
    return QString::fromStdString(failure.GetErrorMessage());
  }
  throw std::logic_error("the survey data object was made");
}

} // namespace

class CViewSurveyFilesTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> m_pDir;
  std::unique_ptr<CHookedPrompts> m_pPrompts;
  std::unique_ptr<CTarvexCollectorView> m_pView;

  CTarvexCollectorView &View() { return *m_pView; }
  CSurveySession &Session() { return m_pView->Session(); }
  // The file of the survey open now; empty while none is.
  std::string OpenPath() { return Session().IsOpen() ? Session().SiteData()->m_strPath : std::string(); }
  CHookedPrompts &Prompts() { return *m_pPrompts; }
  QString FilePath(const QString &strName) const { return m_pDir->filePath(strName); }

  // Open Collection up to the new survey's name.
  void AskForNew(const QString &strPath) {
    Prompts().AnswerMessage(PROMPT_ANSWER_NO, TEXT_OPEN_EXISTING);
    Prompts().AnswerFile(strPath);
  }
  void AskForExisting(const QString &strPath) {
    Prompts().AnswerMessage(PROMPT_ANSWER_YES, TEXT_OPEN_EXISTING);
    Prompts().AnswerFile(strPath);
  }
  // A survey at strPath with one walked segment and levels waiting for the close, on a disk that
  // then takes no more writes. False when the walk could not be made.
  bool CreateSurveyThatCannotBeClosed(const QString &strPath) {
    CreateSurvey(strPath);
    CSiteData &survey = *Session().SiteData();
    const uint32_t nFrequency = 8500;
    survey.SetChannels(&nFrequency, 1);
    if (!(Session().NewSegment() && Session().SetStartPoint({1, 1}) && Session().SetStopPoint({9, 1}) &&
          Session().Begin())) {
      return false;
    }
    const uint8_t levels[] = {7, 0, 8, 0, 9, 0, 0, 0, 0, 0, 0, 0};
    survey.AddLevels(1, levels, 6);
    if (!Session().Stop()) {
      return false;
    }
    survey.AddLevels(1, levels, 6); // waits for the next segment, or the close
    CFileFaults::FailWritesAfter(0);
    return true;
  }

  // A new survey, open with no projection loaded.
  void CreateSurvey(const QString &strPath) {
    AskForNew(strPath);
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, LOAD_PROJECTION);
    View().OnOpenCollection();
  }

private slots:
  void init() {
    D2xxDisableAllBackends();
    m_pDir = std::make_unique<QTemporaryDir>();
    m_pPrompts = std::make_unique<CHookedPrompts>();
    m_pView = std::make_unique<CTarvexCollectorView>();
  }

  void cleanup() {
    m_pView.reset();
    m_pPrompts.reset();
    CFileFaults::Reset();
    m_pDir.reset();
  }

  // A survey that cannot be created shows the file error; the survey open before has been
  // closed, whole, and no survey is open afterwards.
  void surveyThatCannotBeCreated() {
    const QString strOld = FilePath("old.tvd");
    CreateSurvey(strOld);
    const QString strPath = FilePath("no such folder/new.tvd");
    AskForNew(strPath);
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, CreationFailure(strPath, CSiteData::modeCreateNew));
    View().OnOpenCollection();
    QVERIFY(!Session().IsOpen());
    QVERIFY(!Session().Run().m_bCollectionOpen);
    QVERIFY(ViewDialog<CIntroDialog>(View()).GetDlgItemText(1064).isEmpty());
    QCOMPARE(LevelsInFile(strOld), 0U);
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // An existing file is replaced only when the operator says so; No offers the dialog again.
  void newSurveyAsksBeforeReplacing() {
    const QString strPath = CopyTestData("two-channels.tvd", m_pDir->path());
    const QByteArray before = Contents(strPath);
    const QString strQuestion = QDir::toNativeSeparators(strPath) + " already exists.\nDo you want to replace it?";
    AskForNew(strPath);
    Prompts().AnswerMessage(PROMPT_ANSWER_NO, strQuestion);
    Prompts().AnswerFile({});
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, NO_FILE);
    View().OnOpenCollection();
    QCOMPARE(Contents(strPath), before);
    QVERIFY(!Session().IsOpen());
    QCOMPARE(Prompts().Shown()[3].file.strFileName, QString("two-channels.tvd"));

    AskForNew(strPath);
    Prompts().AnswerMessage(PROMPT_ANSWER_YES, strQuestion);
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, LOAD_PROJECTION);
    View().OnOpenCollection();
    QVERIFY(Session().IsOpen());
    QCOMPARE(LevelsInFile(strPath), 0U);
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // A new survey never takes the place of a file the session works with: the survey open now,
  // the projection loaded (however its name is spelt), its side files, a backup of the open survey
  // or a quality side file. The operator is told why and asked again; the file stays as it was.
  void newSurveyNeverOverwritesTheSessionsFiles_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("why"); // with {name} chosen, the {projection} and the open {survey}
    const QString strOverwrite = ": the new survey would overwrite it. Choose another name for the new survey.";
    QTest::newRow("the survey open now") << "open.tvd"
                                         << "{name} is the survey open now. Choose another name for the new survey.";
    QTest::newRow("the projection") << "site.gpf"
                                    << "\"{name}\" is the projection loaded now" + strOverwrite;
    QTest::newRow("a link to the projection") << "link.gpf"
                                              << "\"{name}\" is the projection loaded now" + strOverwrite;
    QTest::newRow("its plan") << "site.gpfb"
                              << "\"{name}\" is a side file of the projection loaded now, \"{projection}\"" +
                                     strOverwrite;
    QTest::newRow("its compressed plan") << "site.gpfc"
                                         << "\"{name}\" is a side file of the projection loaded now, \"{projection}\"" +
                                                strOverwrite;
    QTest::newRow("a backup of the open survey")
        << "open.tvd.2.bak"
        << "\"{name}\" is a backup of the open survey \"{survey}\"" + strOverwrite;
    QTest::newRow("a quality side file")
        << "open.tvd.quality.json"
        << "\"{name}\" has the name of a survey's quality side file (SURVEY.quality.json), which the collector reads "
           "beside the survey; choose another name.";
  }
  void newSurveyNeverOverwritesTheSessionsFiles() {
    QFETCH(QString, name);
    QFETCH(QString, why);
    const QString strProjection = CopyTestData("site.gpf", m_pDir->path());
    Session().Projection().Load(strProjection.toStdString()); // its side files beside it
    QVERIFY(QFile::link(strProjection, FilePath("link.gpf")));
    const QString strOpen = FilePath("open.tvd");
    CreateSurvey(strOpen);
    const CSiteData *pOpen = Session().SiteData();
    const QString strPath = FilePath(name);
    const QByteArray before = Contents(strPath);
    AskForNew(strPath);
    why.replace("{name}", strPath).replace("{projection}", strProjection).replace("{survey}", strOpen);
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, why);
    Prompts().AnswerFile({});
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, NO_FILE);
    View().OnOpenCollection();
    QCOMPARE(Session().SiteData(), pOpen);
    QVERIFY(!pOpen->IsClosed());
    QCOMPARE(Contents(strPath), before);
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // A segment announced and never begun is not counted once the survey is closed, however it is
  // closed: the file reads back sound, and opened again the survey goes on at that number.
  void announcedSegmentIsNotCounted_data() {
    QTest::addColumn<int>("close");
    QTest::newRow("another survey opened") << 0;
    QTest::newRow("exit") << 1;
    QTest::newRow("ended from outside") << 2;
  }
  void announcedSegmentIsNotCounted() {
    QFETCH(int, close);
    const QString strPath = FilePath("walk.tvd");
    CreateSurvey(strPath);
    const uint32_t nFrequency = 8500;
    Session().SiteData()->SetChannels(&nFrequency, 1);
    QVERIFY(Session().NewSegment() && Session().SetStartPoint({1, 1}) && Session().SetStopPoint({9, 1}) &&
            Session().Begin() && Session().Stop());
    QVERIFY(Session().NewSegment());
    QCOMPARE(Session().Walk()->GetSegment(), 2);
    if (close == 0) {
      CreateSurvey(FilePath("other.tvd"));
    } else {
      QVERIFY(CSafeExit(Session(), &View()).MayClose(close == 1 ? CSafeExit::askOperator : CSafeExit::unattended));
    }
    const auto bytes = LoadSurveyFile(strPath.toStdString(), CFile::shareDenyNone);
    const _surveycontents contents = ParseSurvey(bytes.data(), bytes.size());
    QVERIFY2(contents.IsSound(), contents.IsSound() ? "" : contents.errors.front().strText.c_str());
    QCOMPARE(contents.nSegmentCount, 1U);

    AskForExisting(strPath);
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, LOAD_PROJECTION);
    View().OnOpenCollection();
    QVERIFY(Session().NewSegment());
    QCOMPARE(Session().Walk()->GetSegment(), 2);
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // A survey another program holds is refused with the reason, on either branch, and the survey
  // open before stays open.
  void surveyInUseIsRefused() {
    const QString strOpen = FilePath("mine.tvd");
    CreateSurvey(strOpen);
    const QString strHeld = CopyTestData("one-channel.tvd", m_pDir->path());
    CFile holder;
    holder.OpenOrThrow(strHeld.toStdString(), CFile::modeRead | CFile::shareExclusive);
    const QByteArray before = Contents(strHeld);
    for (const bool bExisting : {true, false}) {
      if (bExisting) {
        AskForExisting(strHeld);
      } else {
        AskForNew(strHeld);
        Prompts().AnswerMessage(PROMPT_ANSWER_YES);
      }
      Prompts().AnswerMessage(PROMPT_ANSWER_OK);
      View().OnOpenCollection();
      QVERIFY(Prompts().Shown().back().message.strText.contains("in use by another program"));
      QCOMPARE(OpenPath(), strOpen.toStdString());
    }
    QCOMPARE(Contents(strHeld), before);
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // A survey whose walk was cut off is offered for repair, naming the file, what was cut off and
  // the copy kept; No leaves it as it is, Yes repairs it, keeps the copy and opens it.
  void interruptedSurveyContinued() {
    const QString strPath = CopyTestData("interrupted.tvd", m_pDir->path());
    const QByteArray before = Contents(strPath);
    AskForExisting(strPath);
    Prompts().AnswerMessage(PROMPT_ANSWER_NO);
    View().OnOpenCollection();
    const QString strQuestion = Prompts().Shown().back().message.strText;
    QVERIFY2(strQuestion.startsWith(QDir::toNativeSeparators(strPath) + " was not closed properly: segment 2"),
             qPrintable(strQuestion));
    QVERIFY(strQuestion.contains(QDir::toNativeSeparators(strPath) + ".bak"));
    QVERIFY(!Session().IsOpen());
    QCOMPARE(Contents(strPath), before);

    AskForExisting(strPath);
    Prompts().AnswerMessage(PROMPT_ANSWER_YES, strQuestion);
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, LOAD_PROJECTION);
    View().OnOpenCollection();
    QVERIFY(Session().IsOpen());
    QVERIFY(Session().Run().m_bCollectionOpen);
    QCOMPARE(Session().SiteData()->m_nSegmentCount, 2);
    QCOMPARE(Contents(strPath + ".bak"), before);
    // Segment 1: a record of 96 and one of 24 on each channel; segment 2: its two records of 96.
    QCOMPARE(LevelsInFile(strPath), 2U * (96 + 24) + 2U * 96);
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // A file that is no survey is refused with the reason; nothing is offered.
  void fileThatIsNoSurveyIsRefused() {
    const QString strPath = FilePath("notes.tvd");
    QFile notes(strPath);
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write(QByteArray(200, 'n'));
    notes.close();
    AskForExisting(strPath);
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, CreationFailure(strPath, CSiteData::modeOpenExisting));
    View().OnOpenCollection();
    QVERIFY(!Session().IsOpen());
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // The open survey cannot write what it still holds: the operator may keep it (Cancel), retry,
  // or save a copy of the whole survey elsewhere and go on; the new survey is opened only then.
  void openSurveyThatCannotBeClosed() {
    const QString strOld = FilePath("old.tvd");
    QVERIFY(CreateSurveyThatCannotBeClosed(strOld));
    const CSiteData &old = *Session().SiteData();

    const QString strNew = FilePath("new.tvd");
    const int nCancel = PROMPT_ANSWER_CUSTOM + 3;
    AskForNew(strNew);
    Prompts().AnswerMessage(nCancel);
    View().OnOpenCollection();
    const _messageprompt &box = Prompts().Shown().back().message;
    QCOMPARE(box.customButtons, (QStringList{"Retry", "Save a Copy As…", "Discard the Levels", "Cancel"}));
    QVERIFY(box.strText.contains(QString::fromStdString(strOld.toStdString())));
    QCOMPARE(Session().SiteData(), &old);
    QVERIFY(!QFile::exists(strNew));

    const QString strCopy = FilePath("copy.tvd");
    AskForNew(strNew);
    Prompts().AnswerMessage(PROMPT_ANSWER_CUSTOM);     // Retry: the disk is still full
    Prompts().AnswerMessage(PROMPT_ANSWER_CUSTOM + 1); // Save a Copy As…
    Prompts().AnswerFile(strCopy);
    // The old survey's quality side file goes along with its copy.
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, "A sound copy of the whole survey was saved as " + strCopy +
                                                  ". Carried \"" + strOld + ".quality.json\" along to \"" + strCopy +
                                                  ".quality.json\".");
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, LOAD_PROJECTION);
    int nShown = 0;
    Prompts().fnWhileShown = [&nShown] {
      if (++nShown == 3) { // the second box about the close: the disk has room again for the copy
        CFileFaults::FailWritesAfter(-1);
      }
    };
    View().OnOpenCollection();
    QCOMPARE(LevelsInFile(strCopy), 6U);
    QCOMPARE(OpenPath(), strNew.toStdString());
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // The segment dialog shows the walk of the survey open now: a segment of the survey replaced that
  // was not saved leaves no Retry and no red line behind, and a segment announced in it leaves no
  // radio button to set points with.
  void dialogFollowsTheReplacedWalk() {
    const QString strOld = FilePath("old.tvd");
    CreateSurvey(strOld);
    const uint32_t nFrequency = 8500;
    Session().SiteData()->SetChannels(&nFrequency, 1);
    QVERIFY(Session().NewSegment() && Session().SetStartPoint({1, 1}) && Session().SetStopPoint({9, 1}) &&
            Session().Begin());
    const uint8_t levels[] = {7, 0, 8, 0, 9, 0, 0, 0, 0, 0, 0, 0};
    Session().SiteData()->AddLevels(1, levels, 6);
    CFileFaults::FailWritesAfter(0);
    CSegmentDataDialog &dialog = ViewDialog<CSegmentDataDialog>(View());
    Prompts().AnswerMessage(PROMPT_ANSWER_OK); // why the segment is not saved
    dialog.OnBeginStop();                      // STOP
    QCOMPARE(Session().Walk()->GetState(), WalkState::notSaved);
    QCOMPARE(dialog.GetDlgItemText(IDC_BEGIN_STOP), QString::fromUtf8(CSegmentDataDialog::TEXT_RETRY));
    QVERIFY(!dialog.GetDlgItem(IDC_NOT_SAVED)->isHidden());

    CFileFaults::FailWritesAfter(-1);
    CreateSurvey(FilePath("second.tvd")); // the close writes what waited
    VERIFY_AS_SCRIPTED(Prompts());
    QCOMPARE(LevelsInFile(strOld), 3U);
    QCOMPARE(dialog.GetDlgItemText(IDC_BEGIN_STOP), QString::fromUtf8(CSegmentDataDialog::TEXT_BEGIN));
    QVERIFY(dialog.GetDlgItem(IDC_NOT_SAVED)->isHidden());
    QVERIFY(dialog.GetDlgItem(IDC_SAVE_COPY)->isHidden());

    dialog.OnNewSegment();
    QVERIFY(dialog.GetDlgItem(IDC_START_POINT)->isEnabled());
    CreateSurvey(FilePath("third.tvd"));
    VERIFY_AS_SCRIPTED(Prompts());
    for (const int nId : {IDC_START_POINT, IDC_STOP_POINT}) {
      QVERIFY(!dialog.GetDlgItem(nId)->isEnabled());
    }
    QVERIFY(dialog.GetDlgItem(IDC_NEW_SEGMENT)->isEnabled());
  }

  // Giving up the levels that cannot be written is a choice made after reading what is lost: No
  // comes back to the choices (Cancel then keeps the survey open, its levels waiting), Yes opens
  // the new survey.
  void discardingTheLevelsAsksFirst() {
    const QString strOld = FilePath("old.tvd");
    QVERIFY(CreateSurveyThatCannotBeClosed(strOld));
    const CSiteData &old = *Session().SiteData();
    const int nDiscard = PROMPT_ANSWER_CUSTOM + 2;
    const QString strWarning = QString::fromUtf8(CSafeExit::TEXT_DISCARD).arg(QDir::toNativeSeparators(strOld));

    const QString strNew = FilePath("new.tvd");
    AskForNew(strNew);
    Prompts().AnswerMessage(nDiscard);
    Prompts().AnswerMessage(PROMPT_ANSWER_NO, strWarning);
    Prompts().AnswerMessage(PROMPT_ANSWER_CUSTOM + 3); // Cancel
    View().OnOpenCollection();
    VERIFY_AS_SCRIPTED(Prompts());
    QCOMPARE(Session().SiteData(), &old);
    QVERIFY(!old.IsClosed());
    QVERIFY(old.GetWaitingRecordCount() > 0 || old.GetBufferedLevels(1) == 3);
    QVERIFY(!QFile::exists(strNew));

    AskForNew(strNew);
    Prompts().AnswerMessage(nDiscard);
    Prompts().AnswerMessage(PROMPT_ANSWER_YES, strWarning);
    int nShown = 0;
    Prompts().fnWhileShown = [&nShown] {
      if (++nShown == 3) { // the warning: the disk has room again for the new survey
        CFileFaults::FailWritesAfter(-1);
      }
    };
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, LOAD_PROJECTION);
    View().OnOpenCollection();
    VERIFY_AS_SCRIPTED(Prompts());
    QCOMPARE(OpenPath(), strNew.toStdString());
  }
};

QTEST_MAIN(CViewSurveyFilesTest)
#include "ViewSurveyFilesTest.moc"
