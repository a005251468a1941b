// The window and tvdtool simulate walk their surveys through the same survey session: the same
// route walked with the same simulated receiver, in the same steps of its time, is heard alike
// by a listener of either session, level by level.
#include "tests/app/ViewRunSupport.h"
#include "tools/tvdtool/SimulateCommand.h"

#include <QTemporaryDir>

#include <sstream>

namespace {

// The reference walk of the golden files on the plan of site.gpf (tests/data/route.txt).
const std::vector<_pixelpoint> ROUTE = {{6, 23}, {58, 23}, {50, 40}};
constexpr uint32_t STEP_MS = 100;   // the receiver's time moves in steps of this
constexpr uint32_t SETUP_MS = 1000; // choosing the points before each BEGIN
constexpr uint32_t WALK_MS = 3000;  // walking each segment
constexpr int64_t START_TIME = 1717236000;

// Every event a listener hears, one line each; arrival times are the link's and differ.
_sessionlistener Recorder(QStringList &heard) {
  _sessionlistener listener;
  listener.pfnOpened = [&heard](const _sessionlistener::_opened &opened) {
    heard << QStringLiteral("opened with %1").arg(opened.segments.size());
  };
  listener.pfnClosed = [&heard](const std::string &) { heard << QStringLiteral("closed"); };
  listener.pfnAnnounced = [&heard](int32_t n) { heard << QStringLiteral("announced %1").arg(n); };
  listener.pfnBegun = [&heard](int32_t n) { heard << QStringLiteral("begun %1").arg(n); };
  listener.pfnStopped = [&heard](const _sessionlistener::_stopped &stopped) {
    heard << QStringLiteral("stopped %1%2").arg(stopped.nSegment).arg(stopped.bSaved ? "" : " not saved");
  };
  listener.pfnLevels = [&heard](const _sessionlistener::_levels &levels) {
    QStringList values;
    for (const int8_t level : levels.levels) {
      values << QString::number(level);
    }
    heard
        << QStringLiteral("segment %1 channel %2: %3").arg(levels.nSegment).arg(levels.nChannel).arg(values.join(','));
  };
  return listener;
}

} // namespace

class CSessionEventsTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;

  // A copy of the golden files' geo-coded projection (loading it leaves side files beside it).
  QString Projection(const QString &strName) {
    const QString strPath = m_dir.filePath(strName);
    QFile::copy(QStringLiteral(TARVEX_TEST_DATA "/site.gpf"), strPath);
    return strPath;
  }

  // Lets nMs of the unit's time pass in steps, the view taking everything sent after each.
  static bool Advance(CSimulatedReceiver &unit, const CCollectionRun &run, uint32_t nMs) {
    for (uint32_t nDone = 0; nDone < nMs; nDone += STEP_MS) {
      unit.Advance(STEP_MS);
      const auto Handled = [&] {
        return run.GetLevelsReceived(1) == unit.LevelsSent(1) && run.GetLevelsReceived(2) == unit.LevelsSent(2);
      };
      if (!QTest::qWaitFor(Handled, RUN_WAIT_MS)) {
        return false;
      }
    }
    return true;
  }

private slots:
  void cleanup() { D2xxDisableAllBackends(); }

  void windowAndSimulateAreHeardAlike() {
    QStringList simulated;
    _simulateoptions options;
    options.strProjection = Projection(QStringLiteral("simulated.gpf")).toStdString();
    options.strOutput = m_dir.filePath(QStringLiteral("simulated.tvd")).toStdString();
    options.strRoute = TARVEX_TEST_DATA "/route.txt";
    options.dSetupSeconds = SETUP_MS / 1000.0;
    options.dSecondsPerSegment = WALK_MS / 1000.0;
    options.nStepMs = STEP_MS;
    options.nStartTime = START_TIME;
    options.pSimulator = std::make_shared<CSimulatedReceiver>();
    options.listener = Recorder(simulated);
    std::ostringstream out;
    std::ostringstream err;
    QCOMPARE(RunSimulate(options, out, err), 0);

    QStringList windowed;
    CHookedPrompts prompts;
    const std::shared_ptr<CSimulatedReceiver> pUnit = EnableSimulatedUnit(_simidentity{});
    pUnit->SetChannelCount(options.nChannels);
    CTarvexCollectorView view;
    CSurveySession &session = view.Session();
    session.AddListener(Recorder(windowed));
    prompts.AnswerMessage(PROMPT_ANSWER_OK, QStringLiteral("Please save the Collection File"));
    QVERIFY(view.OpenProjectionFile(Projection(QStringLiteral("window.gpf"))));
    prompts.AnswerModal(QDialog::Rejected); // the channel choice
    prompts.AnswerModal(QDialog::Rejected); // the help pages
    QVERIFY(view.OpenCollectionFile(m_dir.filePath(QStringLiteral("window.tvd")), CSiteData::modeCreateNew));
    QVERIFY(ConnectAndWaitForDescription(view, prompts));
    pUnit->SetMeasurementMode(true);
    QVERIFY(QTest::qWaitFor([&] { return session.Run().GetChannelReportCount() > 0; }, RUN_WAIT_MS));
    for (size_t i = 0; i + 1 < ROUTE.size(); ++i) {
      QVERIFY(session.NewSegment() && session.SetStartPoint(ROUTE[i]) && session.SetStopPoint(ROUTE[i + 1]));
      QVERIFY(Advance(*pUnit, session.Run(), SETUP_MS));
      QVERIFY(session.Begin());
      QVERIFY(Advance(*pUnit, session.Run(), WALK_MS));
      QVERIFY(session.Stop());
    }
    QVERIFY(session.Close());
    VERIFY_AS_SCRIPTED(prompts);

    QVERIFY(simulated.size() > 10); // levels were heard, not only the walk's steps
    QCOMPARE(windowed, simulated);
  }
};

QTEST_MAIN(CSessionEventsTest)
#include "SessionEventsTest.moc"
